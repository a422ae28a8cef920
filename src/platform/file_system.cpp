#include "platform/file_system.h"

#include "base/paths.h"

namespace tarnwick {

void DeleteIfPresent(FileSystem& fs, const std::string& path) {
  if (fs.FileExists(path)) {
    fs.DeleteFile(path);
  }
}

void DeletePlainFiles(FileSystem& fs, const std::string& folder, std::string_view except) {
  for (const auto& name : fs.ListPlainFiles(folder)) {
    if (except.empty() || name != except) {
      fs.DeleteFile(JoinPath(folder, name));
    }
  }
}

}  // namespace tarnwick
