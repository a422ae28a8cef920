// The texts of one FTP request, joined as they stand: nothing escaped or quoted.
#pragma once

#include <string>

namespace tarnwick {

std::string BuildFtpUrl(const std::string& login, const std::string& password, const std::string& host);
std::string BuildGetOperation(const std::string& remotePath, const std::string& localPath);

// The text after the last "\", or all of it when it holds none: the local folder's name in the remote folder.
std::string LastBackslashComponent(const std::string& path);

// False for a name that would lead outside the local folder: absolute, with a drive letter, or with a
// ".." component ("\" and "/" both read as separators).
bool StaysInsideFolder(const std::string& name);

}  // namespace tarnwick
