// The internet transfer control on libcurl, on Linux and on Windows.
//
// Supports: FTP "Get" into a local file; one login per run: the controls of one factory share one worker
//   thread and one connection, logged in once and kept for every later request, the requests one at a
//   time in call order; a login that the server closed meanwhile made again once, silently; passive mode
//   (PASV) with per file only PASV and RETR; names sent in Windows-874; explicit FTPS (AUTH TLS, the data
//   connections protected too) when required or, with TlsMode::WhenOffered, when the server offers it,
//   the certificate checked against the system's store (OpenSSL and Debian's ca-certificates on Linux,
//   Schannel and the Windows store on Windows); the file written under a hidden temporary name and
//   renamed into place only when complete; a time-out that counts time without progress, not the length
//   of a transfer; a file whose length differs from the size the server announces in its 150 reply
//   ("(N bytes)") fails with 904 and is not kept; a failure with a server reply code of 400 or more shows
//   that code, even where libcurl reads it otherwise (a 421 as a time-out); every failure said in plain
//   words with the host, port and remote path (never the password); progress of the file in flight five
//   times a second at most, with the size the server announced.
// Does not support: uploads, proxies, implicit FTPS (port 990), client certificates, directory listings,
//   IPv6 address literals in the host; a length check for a server that announces no size (asking with
//   SIZE would cost a command per file).
#pragma once

#include <memory>

#include "platform/event_poster.h"
#include "platform/transfer_control.h"

namespace tarnwick {

class CurlSession;
class TransferChannel;

class CurlTransferControl : public TransferControl {
 public:
  CurlTransferControl(std::shared_ptr<CurlSession> session, EventPoster& poster, TransferSettings settings);
  // The request of this control in flight is cut short (its temporary file gone) before this returns.
  ~CurlTransferControl() override;
  CurlTransferControl(const CurlTransferControl&) = delete;
  CurlTransferControl& operator=(const CurlTransferControl&) = delete;

  void SetOutcomeHandler(OutcomeHandler handler) override;
  void SetProgressHandler(ProgressHandler handler) override;
  void SetWaitHandler(WaitHandler handler) override;
  void Execute(const std::string& url, const std::string& operation) override;

 private:
  std::shared_ptr<CurlSession> session_;
  std::shared_ptr<TransferChannel> channel_;
};

// Makes the controls of one run, which share its login, with the user's overrides of the window's settings.
class CurlTransferControlFactory : public TransferControlFactory {
 public:
  CurlTransferControlFactory(EventPoster& poster, TransferOverrides overrides);
  ~CurlTransferControlFactory() override;
  CurlTransferControlFactory(const CurlTransferControlFactory&) = delete;
  CurlTransferControlFactory& operator=(const CurlTransferControlFactory&) = delete;

  std::unique_ptr<TransferControl> Create(const TransferSettings& settings) override;

 private:
  EventPoster& poster_;
  TransferOverrides overrides_;
  std::shared_ptr<CurlSession> session_;
};

}  // namespace tarnwick
