#include "ftp/ftp_failures.h"

#include <string>

#include "base/escaped_text.h"
#include "platform/response_codes.h"

namespace tarnwick::ftp_failure {
namespace {

std::string Where(const FtpRequest& request) { return request.host + ":" + std::to_string(request.port); }

constexpr bool kTransient = true;

bool BusyReply(int code) { return code == 421 || code == 425 || code == 426 || code == 450; }

}  // namespace

TransferOutcome ServerReply(const FtpRequest& request, int code, std::string_view replyLine) {
  // The remote path and the user name are the link's values (SUBSOURCE, TIMESOURCE, LOGIN).
  if (code == 550) {
    return TransferOutcome::Failed(code, "the server has no file " + ShownValue(request.remotePath) + " (550)");
  }
  if (code == 530) {
    return TransferOutcome::Failed(
        code, "the server " + Where(request) + " refused the login of " + ShownValue(request.user) + " (530)");
  }
  return TransferOutcome::Failed(code, "the server " + Where(request) + " answered: " + std::string(replyLine),
                                 BusyReply(code));
}

TransferOutcome HostUnknown(const FtpRequest& request) {
  return TransferOutcome::Failed(codes::kNoConnection, "the host " + request.host + " is unknown");
}

TransferOutcome ConnectionRefused(const FtpRequest& request) {
  return TransferOutcome::Failed(codes::kNoConnection, "connection to " + Where(request) + " refused", kTransient);
}

TransferOutcome NoConnection(const FtpRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kNoConnection,
                                 "no connection to " + Where(request) + ": " + std::string(reason));
}

TransferOutcome NoAnswer(const FtpRequest& request, int timeoutSeconds) {
  return TransferOutcome::Failed(codes::kTimedOut,
                                 "no answer from " + Where(request) + " for " + std::to_string(timeoutSeconds) + " s",
                                 kTransient);
}

TransferOutcome CannotCreateBeside(const FtpRequest& request) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot create a file beside " + request.localPath);
}

TransferOutcome CannotWrite(const FtpRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot write " + request.localPath + ": " + std::string(reason));
}

TransferOutcome CannotPutInPlace(const FtpRequest& request) {
  return TransferOutcome::Failed(codes::kLocalWrite, "cannot put " + request.localPath + " in place");
}

TransferOutcome ConnectionFailed(const FtpRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kConnectionLost,
                                 "the connection to " + Where(request) + " failed: " + std::string(reason));
}

TransferOutcome ConnectionReset(const FtpRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(codes::kConnectionLost,
                                 "the connection to " + Where(request) + " was broken: " + std::string(reason),
                                 kTransient);
}

TransferOutcome SizeDiffers(const FtpRequest& request, std::uint64_t received, std::uint64_t announced) {
  const std::string how = received < announced ? " was cut short: " : " came longer than announced: ";
  return TransferOutcome::Failed(codes::kConnectionLost, "the file " + request.remotePath + how +
                                                             std::to_string(received) + " of " +
                                                             std::to_string(announced) + " bytes came");
}

TransferOutcome NoTlsOffered(const FtpRequest& request) {
  return TransferOutcome::Failed(
      codes::kTlsFailed, "the server " + Where(request) + " offers no TLS, and TLS is required: nothing was sent");
}

TransferOutcome CertificateRefused(const FtpRequest& request, std::string_view reason) {
  return TransferOutcome::Failed(
      codes::kTlsFailed, "the certificate of " + Where(request) + " does not check out: " + std::string(reason));
}

TransferOutcome UnreadableRequest() {
  return TransferOutcome::Failed(codes::kBadRequest, "the server's address (HOST) or the request cannot be read");
}

}  // namespace tarnwick::ftp_failure
