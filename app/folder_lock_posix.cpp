#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/folder_lock.h"

namespace tarnwick {

FolderLock::FolderLock(const std::string& folder) : handle_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (handle_ < 0 || flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0) {
    busy_ = errno == EWOULDBLOCK;
    problem_ = busy_ ? "" : std::strerror(errno);
  }
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) {
    close(static_cast<int>(handle_));
  }
}

}  // namespace tarnwick
