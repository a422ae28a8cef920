#include "transfer/remote_paths.h"

#include "base/paths.h"

namespace tarnwick {

std::string BuildFtpUrl(const LaunchParameters& parameters) {
  return "ftp://" + parameters.login + ":" + parameters.password + "@" + parameters.host;
}

std::string BuildGetOperation(std::string_view remotePath, std::string_view localPath) {
  return "Get " + std::string(remotePath) + "  " + std::string(localPath);
}

std::string RemotePath(const LaunchParameters& parameters, std::string_view name) {
  return JoinPath(JoinPath(parameters.subSource, parameters.timeSource), name);
}

bool StaysInsideFolder(std::string_view name) {
  if (name.find('\0') != std::string_view::npos || name.starts_with('\\') || name.starts_with('/')) {
    return false;
  }
  const bool driveLetter =
      name.size() >= 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
  if (driveLetter) {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = name.find_first_of("\\/", start);
    const size_t stop = end == std::string_view::npos ? name.size() : end;
    if (name.substr(start, stop - start) == "..") {
      return false;
    }
    start = stop + 1;
  }
  return true;
}

}  // namespace tarnwick
