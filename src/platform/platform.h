// Everything a run needs of its host.
#pragma once

#include "platform/file_system.h"
#include "platform/transfer_control.h"
#include "platform/window_host.h"

namespace tarnwick {

struct Platform {
  FileSystem& fs;
  WindowHost& host;
  TransferControlFactory& transfers;
};

}  // namespace tarnwick
