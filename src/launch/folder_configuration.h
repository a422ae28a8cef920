// The component folder's configuration file "Tarnwick.cfg" (read only; Windows-874 text lines): line 1 a
// title of its own, line 2 the meeting server's web address (the portal page's links; its host is trusted
// by links), line 3 how the meeting comes: "FTP" or nothing plain FTP, "FTPS" FTP with TLS required, "HTTPS"
// from the web server.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/transfer_control.h"

namespace tarnwick {

// Line 2; nothing when the file is missing or shorter.
std::optional<std::string> ConfiguredServerUrl(FileSystem& fs, const std::string& componentFolder);

// The window's settings as line 3 asks (in any letter case, blanks around it passed over): "FTPS" TLS
// required, "HTTPS" the web server on port 443 by default; anything else plain FTP.
TransferSettings ConfiguredTransfer(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
