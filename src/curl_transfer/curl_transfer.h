// One try of one request on the session's kept login: libcurl's options for it, driving it through the
// multi interface, the file it writes, and the reading of its failure. What the checklist in
// curl_transfer_control.h says of a single transfer is kept here.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/transfer_control.h"
#include "remote/remote_request.h"
#include "remote/transfer_channel.h"

namespace tarnwick {

// The run's proxy (empty: none, whatever the environment says) on `easy`, for every request after.
void SetProxyOptions(CURL* easy, const std::string& proxy);

// What one try came to: its outcome, or that the kept login had been closed by the server before the
// request reached it (then the outcome is a failure that a new login would not have met).
struct CurlTry {
  TransferOutcome outcome;
  bool loginWasGone = false;
};

// One request's file over its tries. What arrived stays in the temporary file from one try to the next, and
// a try after a broken link asks only for the rest (REST, or over HTTPS Range) while the server's file is the
// one those bytes came from, which an overlap with the kept bytes proves; the file is put in place only when
// it agrees with what the server announced and with `checks`, else the temporary file goes with this object.
class CurlFileTransfer {
 public:
  // Tries on `easy`, driven by `multi`, reporting progress to `channel`; cut short as soon as `cut` is set.
  // `throughProxy`: `easy` goes through a proxy, which is then what a refused connection refused.
  CurlFileTransfer(CURL* easy, CURLM* multi, TransferChannel& channel, const RemoteRequest& request,
                   const FileChecks& checks, const std::atomic<bool>& cut, bool throughProxy);
  ~CurlFileTransfer();
  CurlFileTransfer(const CurlFileTransfer&) = delete;
  CurlFileTransfer& operator=(const CurlFileTransfer&) = delete;

  CurlTry Try();

 private:
  struct Kept;
  std::optional<CurlTry> AskForTheRest();
  // Drops the kept bytes; the next try asks for the whole file.
  std::optional<CurlTry> StartFromNothing();
  // A file that differs from `checks`: once more from nothing, then `difference`.
  CurlTry Differs(TransferOutcome difference);

  CURL* easy_;
  CURLM* multi_;
  TransferChannel& channel_;
  const RemoteRequest& request_;
  const FileChecks& checks_;
  const std::atomic<bool>& cut_;
  const bool throughProxy_;
  std::unique_ptr<Kept> kept_;
};

}  // namespace tarnwick
