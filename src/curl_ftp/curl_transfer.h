// One try of one request on the session's kept login: libcurl's options for it, driving it through the
// multi interface, the file it writes, and the reading of its failure. What the checklist in
// curl_transfer_control.h says of a single transfer is kept here.
#pragma once

#include <curl/curl.h>

#include <atomic>

#include "ftp/ftp_request.h"
#include "ftp/transfer_channel.h"
#include "platform/transfer_control.h"

namespace tarnwick {

// What one try came to: its outcome, or that the kept login had been closed by the server before the
// request reached it (then the outcome is a failure that a new login would not have met).
struct CurlTry {
  TransferOutcome outcome;
  bool loginWasGone = false;
};

// Fetches `request` into its local file on `easy`, driven by `multi`, reporting progress to `channel`;
// cut short as soon as `cut` is set.
CurlTry TryTransfer(CURL* easy, CURLM* multi, TransferChannel& channel, const FtpRequest& request,
                    const std::atomic<bool>& cut);

}  // namespace tarnwick
