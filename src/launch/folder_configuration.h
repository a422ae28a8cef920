// The component folder's configuration file "Tarnwick.cfg" (read only; Windows-874 text lines): line 1 a
// title of its own, line 2 the meeting server's web address (the portal page's links; its host is trusted
// by links), line 3, when it says "FTPS", that the meeting server requires TLS.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/transfer_control.h"

namespace tarnwick {

// Line 2; nothing when the file is missing or shorter.
std::optional<std::string> ConfiguredServerUrl(FileSystem& fs, const std::string& componentFolder);

// TlsMode::Required when line 3 says "FTPS" (in any letter case, blanks around it passed over), else Off.
TlsMode ConfiguredTls(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
