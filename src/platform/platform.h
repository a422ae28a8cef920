// Everything a run needs of its host.
#pragma once

#include "platform/file_system.h"
#include "platform/run_journal.h"
#include "platform/signature_checker.h"
#include "platform/transfer_control.h"
#include "platform/window_host.h"

namespace tarnwick {

struct Platform {
  FileSystem& fs;
  WindowHost& host;
  TransferControlFactory& transfers;
  RunJournal* journal = nullptr;                 // nobody follows the run beyond the window when none is given
  const SignatureChecker* signatures = nullptr;  // none: a folder that holds a publisher's keys is refused
};

}  // namespace tarnwick
