// The texts of one FTP request, joined as they stand: nothing escaped or quoted.
#pragma once

#include <string>
#include <string_view>

#include "launch/launch_parameters.h"

namespace tarnwick {

// "ftp://" + login + ":" + password + "@" + host.
std::string BuildFtpUrl(const LaunchParameters& parameters);
// "Get " + remote path + two blanks + local path.
std::string BuildGetOperation(std::string_view remotePath, std::string_view localPath);
// subSource + "\" + timeSource + "\" + name.
std::string RemotePath(const LaunchParameters& parameters, std::string_view name);

// False for a name that would lead outside the local folder: absolute, with a drive letter, or with a
// ".." component ("\" and "/" both read as separators).
bool StaysInsideFolder(std::string_view name);

}  // namespace tarnwick
