#include "platform/file_system.h"

#include <algorithm>

#include "base/paths.h"

namespace tarnwick {

std::uint64_t DiskReserve(const DiskSpace& space) {
  constexpr std::uint64_t kMost = std::uint64_t{256} << 20;
  return std::min(kMost, space.total / 20);
}

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
