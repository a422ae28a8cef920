#include "remote/transfer_failures.h"

#include <string>

#include "base/escaped_text.h"
#include "platform/response_codes.h"

namespace tarnwick::transfer_failure {
namespace {

std::string Where(const RemoteRequest& request) { return request.host + ":" + std::to_string(request.port); }

constexpr bool kTransient = true;
constexpr std::string_view kClosed = "the connection closed";

bool BusyReply(int code) { return code == 421 || code == 425 || code == 426 || code == 450; }

// What the server or libcurl (in words that may quote the server) said, cut as a link's values are: a
// server may send a reply line of any length. None said: what is known.
std::string Said(std::string_view said, std::string_view otherwise) {
  return said.empty() ? std::string(otherwise) : ShownValue(said);
}

TransferOutcome DiffersFromManifest(const RemoteRequest& request, const std::string& how) {
  return TransferOutcome::Failed(codes::kDiffersFromManifest,
                                 "the file " + ShownValue(request.remotePath) + " differs from the manifest: " + how);
}

}  // namespace

TransferOutcome ServerReply(const RemoteRequest& request, int code, std::string_view replyLine) {
  // The remote path and the user name are the link's values (SUBSOURCE, TIMESOURCE, LOGIN).
  if (code == 550) {
    return TransferOutcome::Failed(code, "the server has no file " + ShownValue(request.remotePath) + " (550)");
  }
  if (code == 530) {
    return TransferOutcome::Failed(
        code, "the server " + Where(request) + " refused the login of " + ShownValue(request.user) + " (530)");
  }
  return TransferOutcome::Failed(
      code, "the server " + Where(request) + " answered: " + Said(replyLine, std::to_string(code)), BusyReply(code));
}

TransferOutcome HostUnknown(const RemoteRequest& request) {
  return TransferOutcome::Failed(codes::kNoConnection, "the host " + request.host + " is unknown");
}

TransferOutcome ProxyUnknown(const RemoteRequest& request) {
  return TransferOutcome::Failed(codes::kNoConnection, "the proxy for " + Where(request) + " is an unknown host");
}

TransferOutcome ProxyRefused(const RemoteRequest& request, int status) {
  const std::string code = std::to_string(status);
  return TransferOutcome::Failed(codes::kNoConnection,
                                 status == 407 || status == 401
                                     ? "the proxy refused the login for " + Where(request) + " (407)"
                                     : "the proxy refused the connection to " + Where(request) + " (" + code + ")");
}

TransferOutcome ProxyUnreachable(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kNoConnection,
                                 "no connection to the proxy for " + Where(request) + ": " + std::string(reason),
                                 kTransient);
}

TransferOutcome ConnectionRefused(const RemoteRequest& request) {
  return TransferOutcome::Failed(codes::kNoConnection, "connection to " + Where(request) + " refused", kTransient);
}

TransferOutcome NoConnection(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kNoConnection,
                                 "no connection to " + Where(request) + ": " + std::string(reason));
}

TransferOutcome NoAnswer(const RemoteRequest& request, int timeoutSeconds) {
  return TransferOutcome::Failed(codes::kTimedOut,
                                 "no answer from " + Where(request) + " for " + std::to_string(timeoutSeconds) + " s",
                                 kTransient);
}

TransferOutcome CannotCreateBeside(const RemoteRequest& request) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot create a file beside " + request.localPath);
}

TransferOutcome CannotWrite(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot write " + request.localPath + ": " + std::string(reason));
}

TransferOutcome CannotPutInPlace(const RemoteRequest& request) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot put " + request.localPath + " in place");
}

TransferOutcome ConnectionFailed(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kConnectionLost,
                                 "the connection to " + Where(request) + " failed: " + Said(reason, kClosed));
}

TransferOutcome ConnectionReset(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kConnectionLost,
                                 "the connection to " + Where(request) + " was broken: " + Said(reason, kClosed),
                                 kTransient);
}

TransferOutcome SizeDiffers(const RemoteRequest& request, std::uint64_t received, std::uint64_t announced) {
  const std::string how = received < announced ? " was cut short: " : " came longer than announced: ";
  return TransferOutcome::Failed(codes::kConnectionLost, "the file " + ShownValue(request.remotePath) + how +
                                                             std::to_string(received) + " of " +
                                                             std::to_string(announced) + " bytes came");
}

TransferOutcome LengthsDisagree(const RemoteRequest& request, std::uint64_t first, std::uint64_t second) {
  return TransferOutcome::Failed(codes::kConnectionLost,
                                 "the server " + Where(request) + " announced two lengths for " +
                                     ShownValue(request.remotePath) + ": " + std::to_string(first) + " and " +
                                     std::to_string(second) + " bytes");
}

TransferOutcome EncodedAnswer(const RemoteRequest& request, std::string_view encoding) {
  return TransferOutcome::Failed(
      codes::kConnectionLost, "the server " + Where(request) + " sent " + ShownValue(request.remotePath) +
                                  " encoded as " + ShownValue(encoding) + ", which was not asked for: it was not kept");
}

TransferOutcome DiskNearlyFull(const RemoteRequest& request, std::uint64_t received) {
  return TransferOutcome::Failed(codes::kLocalWrite, "the disk of " + request.localPath +
                                                         " is nearly full: the server named no length for " +
                                                         ShownValue(request.remotePath) + ", and " +
                                                         std::to_string(received) + " bytes of it had come");
}

TransferOutcome LongerThanBound(const RemoteRequest& request, std::uint64_t most) {
  return TransferOutcome::Failed(codes::kUnusableManifest, "the file " + ShownValue(request.remotePath) +
                                                               " came longer than it can be: more than " +
                                                               std::to_string(most) + " bytes; it was not read");
}

TransferOutcome LongerThanListed(const RemoteRequest& request, std::uint64_t listed) {
  return DiffersFromManifest(request, "more than the " + std::to_string(listed) + " bytes that it lists came");
}

TransferOutcome NotTheListedSize(const RemoteRequest& request, std::uint64_t received, std::uint64_t listed) {
  return DiffersFromManifest(request, std::to_string(received) + " bytes came, it lists " + std::to_string(listed));
}

TransferOutcome NotTheListedDigest(const RemoteRequest& request, std::string_view received, std::string_view listed) {
  return DiffersFromManifest(
      request, "the SHA-256 of what came is " + std::string(received) + ", it lists " + std::string(listed));
}

TransferOutcome NoTlsOffered(const RemoteRequest& request) {
  return TransferOutcome::Failed(
      codes::kTlsFailed, "the server " + Where(request) + " offers no TLS, and TLS is required: nothing was sent");
}

TransferOutcome CertificateRefused(const RemoteRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(
      codes::kTlsFailed, "the certificate of " + Where(request) + " does not check out: " + std::string(reason));
}

TransferOutcome UnreadableRequest() {
  return TransferOutcome::Failed(codes::kBadRequest, "the server's address (HOST) or the request cannot be read");
}

}  // namespace tarnwick::transfer_failure
