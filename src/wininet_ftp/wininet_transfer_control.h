// The internet transfer control on WinINet.
//
// Supports: FTP "Get" into a local file; requests one at a time in call order on a worker thread of the
//   control; a direct connection (no proxy) in passive mode, logged in once and kept for every later
//   request, a new login only after the connection failed (a request that finds a kept connection closed
//   before the server said anything is tried once more on a new one); the whole remote path with every
//   request, in Windows-874 through WinINet's ANSI functions; per file TYPE I, PASV and RETR (WinINet
//   sends the TYPE with every file); the file written under a hidden temporary name beside the target and
//   moved into place only when complete; a file whose length differs from the size the server announces
//   in its 150 reply ("(N bytes)") fails with 904 and is not kept, and so does one whose transfer the
//   server never confirms; a time-out that counts time without progress, kept by the control itself:
//   WinINet's FTP does not keep one everywhere (Wine's waits 30 s for a reply whatever it is told, and
//   for ever on a stalled data connection), so its blocking calls run on a thread of their own that the
//   control leaves behind when the time runs out or the control is destroyed; a failure with a server
//   reply of 400 or more shows that code; every failure in the same words as on Linux
//   (transfer/ftp_failures.h), never with the password; progress five times a second at most, with the
//   size the server announced.
// Does not support: uploads, proxies, TLS, directory listings, IPv6 address literals in the host; remote
//   names on a system whose ANSI code page has two-byte characters (WinINet passes the path through that
//   code page: exact where it is Windows-874 or another one-byte page); telling a refused connection from
//   an unreachable host (WinINet reports both alike: both say "refused"); a length check for a server
//   that announces no size; under Wine, a time-out of 30 s or more for a reply that never comes (Wine's
//   WinINet gives up after 30 s first, and the request ends with 904).
#pragma once

#include <memory>
#include <string_view>
#include <thread>

#include "platform/event_poster.h"
#include "platform/transfer_control.h"
#include "transfer/ftp_request.h"

namespace tarnwick {

class WinInetTransferControl : public TransferControl {
 public:
  WinInetTransferControl(EventPoster& poster, TransferSettings settings);
  ~WinInetTransferControl() override;

  void SetOutcomeHandler(OutcomeHandler handler) override;
  void SetProgressHandler(ProgressHandler handler) override;
  void Execute(const std::string& url, const std::string& operation) override;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

using WinInetTransferControlFactory = ControlFactory<WinInetTransferControl>;

// The outcome of a WinINet call that failed with the system error `error`; `replies` is what the server
// said during the call (WinINet's response text, empty when nothing came). A reply of 400 or more wins
// over WinINet's reading of it (it reports a 421 at the greeting as a transfer in progress).
TransferOutcome WinInetFailure(unsigned long error, std::string_view replies, const FtpRequest& request,
                               int timeoutSeconds);

}  // namespace tarnwick
