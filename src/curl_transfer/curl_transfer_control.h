// The internet transfer control on libcurl, on Linux and on Windows.
//
// - [x] FTP "Get" of a file into a local file; libcurl is let speak no other protocol but HTTPS, when asked for
// - [x] HTTPS from a web server (https://host:port/ + the remote path, Windows-874 bytes percent-encoded), on
//       one kept connection for the run; HTTP/2 when the server offers it (ALPN, Schannel's too), else HTTP/1.1
// - [x] over HTTPS: LOGIN/PWD as basic authentication, never plain HTTP; the size checked with Content-Length
// - [x] over HTTPS: 401/403 as 530, 404/410 as 550 (with the status and reason), 503/429 a busy server's
//       refusal for now, each pause as long as Retry-After says (up to a minute, within the busy wait)
// - [x] over HTTPS: redirects followed only on the same scheme, host and port (at most five)
// - [x] one login per run: the controls of one factory share one worker thread and one kept connection
// - [x] the requests of a run one at a time, in the order the controls asked
// - [x] a kept login that the server closed meanwhile (421, or gone before any data) made again once, silently
// - [x] a busy server's refusal for now (refused, reset, no answer, 421, 425, 426, 450) tried again, pauses growing;
//       a data connection reset in the middle of a file is one, told apart from a file that came short with 226
// - [x] a busy server waited for up to a time in all (and at most the tries, when set), the pauses drawn at random
//       over their whole length (platform/busy_wait.h); each told to the wait handler; the login kept meanwhile
// - [x] passive mode: PASV, never EPSV; data to the control connection's address, not the one PASV names
// - [x] per file on plain FTP only PASV and RETR, the whole path with RETR (no CWD, no SIZE); a try after a
//       broken link asks SIZE and MDTM first
// - [x] a try after a link broke in the middle of a file asks for the rest (REST) while the server's file has
//       the size that the first try announced (or, when it announced none, that SIZE gives from then on) and the
//       modification time of the first try that asked; a server that refuses SIZE or MDTM gets REST all the same,
//       as a command of its own before RETR; otherwise, or when the server refuses REST, the file from nothing
// - [x] over HTTPS, such a try asks for the rest (Range) of this very file (If-Range: its ETag, else its date);
//       the web server's whole file when it has another since, the file from nothing without either, or when
//       a 206 names another whole length (or "*"), or a 416 answers
// - [x] the rest asked for from 64 KiB before the end of the kept bytes: the overlap must equal them byte for
//       byte, or the file starts from nothing on the same try (a file changed that kept its size and time, a
//       server that answers REST and sends from the start)
// - [x] the manifest's size= and sha256= checked as the bytes arrive (SHA-256 by digest/sha256.h); a file that
//       differs fetched once more from nothing, then 914
// - [x] every answer bounded while it arrives: by the announced length (904), the entry's size= (914), the
//       request's bound (the manifest's 32 MiB: 910); without any, by the disk's reserve (903)
// - [x] two Content-Length headers of different lengths refused (904)
// - [ ] a file changed in its first bytes only, with its size and time kept, while no sha256= lists it
// - [x] names sent in Windows-874; a remote path with a leading "\" from the server's root, else from the home
// - [x] explicit FTPS (AUTH TLS before the login, data protected too): required, or when the server offers it
// - [x] TLS required and not offered: 906, and nothing sent in clear
// - [x] the server's certificate checked against the system's store; one that does not check out: 906
// - [x] the file written under a hidden temporary name beside its target, put in place only when complete;
//       kept between the tries of the file, gone when the file is given up
// - [x] on Linux, the local path found whatever the letter case of the folders and file already there
// - [x] a time-out that counts time without progress (connecting, a reply, data), not the length of a transfer
// - [x] a file whose length differs from the size the 150 reply announces ("(N bytes)"): 904, not kept
// - [x] a server reply of 400 or more shown under its code, even where libcurl reads it otherwise (421: time-out)
// - [x] every failure in plain words with the host and port or the paths concerned, never the password
// - [x] progress of the file in flight, five times a second at most, with the size the server announced
// - [x] a control destroyed: its waiting requests dropped, the one in flight cut short before its destructor returns
// - [x] nothing reaches a destroyed control's handlers, not even what its worker had already sent
// - [ ] uploads, directory listings
// - [x] the system's proxy, chosen once a run at its first request (proxy_route.h): on Linux and under Wine
//       https_proxy / ftp_proxy, then all_proxy (and their upper-case twins), none for a host no_proxy names;
//       --proxy URL or none in their place; the run's log names it (never its password) or says direct
// - [x] the proxy's login: Basic from its URL, Negotiate (a Kerberos ticket) and NTLM without a password
//       (CURLAUTH_ANY); its refusal (407) a box of its own (901, "the proxy refused the login ... (407)")
// - [x] through a proxy HTTPS and FTP alike only in a tunnel (CONNECT): the meeting server's certificate
//       checked end to end, the FTP password never handed to the proxy
// - [ ] no_proxy's address ranges (10.0.0.0/8); Windows' Internet Options proxy (WinHTTP, a PAC script)
// - [ ] active mode (PORT, EPRT)
// - [ ] implicit FTPS (port 990)
// - [ ] client certificates
// - [ ] IPv6 address literals in the host (the port is read after the last ":")
// - [ ] on plain FTP, a length check when the server announces no size and the entry no size= (SIZE would cost
//       a command per file)
// - [ ] over HTTPS: compressed transfers, a redirect to another host (a CDN's own name)
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
  void Execute(const std::string& url, const std::string& operation, const FileChecks& checks) override;

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
  void SetRouteHandler(RouteHandler handler) override;

 private:
  EventPoster& poster_;
  TransferOverrides overrides_;
  std::shared_ptr<CurlSession> session_;
};

}  // namespace tarnwick
