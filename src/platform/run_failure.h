// What ends a run short of its end, from whichever step found it: launch, the meeting folder, the portal
// update or a transfer. The download window shows it in one box and closes; the run's journals record it.
#pragma once

#include <string>
#include <variant>

#include "platform/transfer_control.h"

namespace tarnwick {

// The box that ends the run.
enum class FailureBox {
  ArgumentError,    // the cookie cannot start a run: refused before anything is touched
  UntrustedServer,  // a link names a server this computer does not trust: refused before anything is touched
  Start,            // the run could not start: the folders, the recovery marker, the manifest request
  ChkFolder,        // the meeting folders cannot be listed for the portal page
  Page,             // the portal page cannot be written
  Transfer,         // the manifest or a file of the download list, with its response code
};

struct RunFailure {
  FailureBox box = FailureBox::Start;
  int code = 0;        // for FailureBox::Transfer: the server's FTP reply code, or one of response_codes.h
  std::string detail;  // the line under the box: what happened, in plain words

  // A request that did not complete.
  static RunFailure OfTransfer(const TransferOutcome& outcome) {
    return {FailureBox::Transfer, outcome.code, outcome.detail};
  }
};

// What a step gives: its result, or the failure that ends the run instead.
template <typename T>
using OrFailure = std::variant<T, RunFailure>;

}  // namespace tarnwick
