#include "transfer/remote_paths.h"

namespace tarnwick {

std::string BuildFtpUrl(const std::string& login, const std::string& password, const std::string& host) {
  return "ftp://" + login + ":" + password + "@" + host;
}

std::string BuildGetOperation(const std::string& remotePath, const std::string& localPath) {
  return "Get " + remotePath + "  " + localPath;
}

std::string LastBackslashComponent(const std::string& path) {
  const size_t last = path.rfind('\\');
  return last == std::string::npos ? path : path.substr(last + 1);
}

bool StaysInsideFolder(const std::string& name) {
  if (name.find('\0') != std::string::npos || name.starts_with('\\') || name.starts_with('/')) {
    return false;
  }
  const bool driveLetter = name.size() >= 2 && name[1] == ':' &&
                           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
  if (driveLetter) {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = name.find_first_of("\\/", start);
    const size_t stop = end == std::string::npos ? name.size() : end;
    if (name.compare(start, stop - start, "..") == 0) {
      return false;
    }
    start = stop + 1;
  }
  return true;
}

}  // namespace tarnwick
