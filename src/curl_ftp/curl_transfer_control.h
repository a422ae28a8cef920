// The internet transfer control on libcurl.
//
// Supports: FTP "Get" into a local file; one worker thread and one connection per control, logged in
//   once and kept for every later request; passive mode (PASV) with per file only PASV and RETR;
//   names sent in Windows-874; the file written under a hidden temporary name and renamed into place
//   only when complete; a time-out that counts time without progress, not the length of a transfer; a
//   file whose length differs from the size the server announces in its 150 reply ("(N bytes)") fails
//   with 904 and is not kept; a failure with a server reply code of 400 or more shows that code, even
//   where libcurl reads it otherwise (a 421 as a time-out); every failure said in plain words with the
//   host, port and remote path (never the password); progress of the file in flight five times a
//   second at most, with the size the server announced.
// Does not support: uploads, proxies, TLS, directory listings, IPv6 address literals in the host; a
//   length check for a server that announces no size (asking with SIZE would cost a command per file).
#pragma once

#include <memory>
#include <thread>

#include "platform/event_poster.h"
#include "platform/transfer_control.h"

namespace tarnwick {

class CurlTransferControl : public TransferControl {
 public:
  CurlTransferControl(EventPoster& poster, TransferSettings settings);
  ~CurlTransferControl() override;

  void SetOutcomeHandler(OutcomeHandler handler) override;
  void SetProgressHandler(ProgressHandler handler) override;
  void Execute(const std::string& url, const std::string& operation) override;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

using CurlTransferControlFactory = ControlFactory<CurlTransferControl>;

}  // namespace tarnwick
