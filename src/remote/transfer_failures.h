// How a request for a remote file failed, in the same code and words whichever protocol and control ran it. Each text
// names the host and port or the paths concerned, never the password.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/transfer_control.h"
#include "remote/remote_request.h"

namespace tarnwick::transfer_failure {

// A server that is busy refuses for now: the connection refused or reset, no answer within the time-out,
// 421 (service not available, too many users), 425 (no data connection), 426 (transfer aborted), 450 (file
// busy). Such outcomes are marked transient; every other failure is for good.

// A reply of 400 or more from the server, under its own code: 550 a missing file, 530 a refused login,
// any other with the reply line.
TransferOutcome ServerReply(const RemoteRequest& request, int code, std::string_view replyLine);

// 901: no connection came about.
TransferOutcome HostUnknown(const RemoteRequest& request);
// The proxy's host cannot be found; the proxy answered CONNECT with `status` (407, or 401 from some: the login
// refused).
TransferOutcome ProxyUnknown(const RemoteRequest& request);
TransferOutcome ProxyRefused(const RemoteRequest& request, int status);
// No connection to the proxy itself (down for now, or not listening there).
TransferOutcome ProxyUnreachable(const RemoteRequest& request, std::string_view reason);
TransferOutcome ConnectionRefused(const RemoteRequest& request);
TransferOutcome NoConnection(const RemoteRequest& request, std::string_view reason);

// 902: nothing moved for the request's time-out.
TransferOutcome NoAnswer(const RemoteRequest& request, int timeoutSeconds);

// 903: the local side.
TransferOutcome CannotCreateBeside(const RemoteRequest& request);
TransferOutcome CannotWrite(const RemoteRequest& request, std::string_view reason);
TransferOutcome CannotPutInPlace(const RemoteRequest& request);

// 904: the connection broke without a reply code (reset: transient), or the file came shorter or longer
// than announced.
TransferOutcome ConnectionFailed(const RemoteRequest& request, std::string_view reason);
TransferOutcome ConnectionReset(const RemoteRequest& request, std::string_view reason);
TransferOutcome SizeDiffers(const RemoteRequest& request, std::uint64_t received, std::uint64_t announced);

// 904: the web server announced two lengths for one answer.
TransferOutcome LengthsDisagree(const RemoteRequest& request, std::uint64_t first, std::uint64_t second);

// 904: the web server sent the file encoded (compressed) though no encoding was asked for.
TransferOutcome EncodedAnswer(const RemoteRequest& request, std::string_view encoding);

// 903: a file of no announced or listed length reached the disk's reserve.
TransferOutcome DiskNearlyFull(const RemoteRequest& request, std::uint64_t received);

// 910: more came than the request's bound (the largest manifest that can be read, or its signature).
TransferOutcome LongerThanBound(const RemoteRequest& request, std::uint64_t most);

// 914: the file is not what the manifest lists: longer than its size=, another length, another digest.
TransferOutcome LongerThanListed(const RemoteRequest& request, std::uint64_t listed);
TransferOutcome NotTheListedSize(const RemoteRequest& request, std::uint64_t received, std::uint64_t listed);
TransferOutcome NotTheListedDigest(const RemoteRequest& request, std::string_view received, std::string_view listed);

// 906: TLS was required and the server offers none, or its certificate does not check out. Never a
// quiet fall-back to plain FTP.
TransferOutcome NoTlsOffered(const RemoteRequest& request);
TransferOutcome CertificateRefused(const RemoteRequest& request, std::string_view reason);

// 905: the URL or the operation cannot be read. The URL holds the password: the text names neither.
TransferOutcome UnreadableRequest();

}  // namespace tarnwick::transfer_failure
