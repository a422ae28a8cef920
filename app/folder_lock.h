// One run per component folder. Two runs in one folder would share its recovery marker and delete each
// other's files, so a run holds the folder's lock from before its window opens until it has ended; the
// system lets go of it when the process ends. The folder gains no file either way:
// folder_lock_posix.cpp locks the folder itself (flock), folder_lock_win32.cpp a named mutex per folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window_host.h"

namespace tarnwick {

class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  bool Held() const { return !busy_ && problem_.empty(); }
  // The error box of a run that does not hold the lock.
  std::string Refusal(const std::string& folder) const;

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE
  bool busy_ = false;          // another run holds the lock
  std::string problem_;        // why the lock could not be taken otherwise
};

// The error box of a run that finds the component folder locked by another.
std::string BusyFolderText(const std::string& folder);

// The folder's lock for a run, or nothing once `window` has said why not: a folder that another run holds
// gets that error box and nothing else (no marker, no deletion, no FTP request).
std::unique_ptr<FolderLock> LockForRun(const std::string& folder, WindowHost& window);

}  // namespace tarnwick
