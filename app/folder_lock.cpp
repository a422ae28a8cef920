#include "app/folder_lock.h"

#include "window/texts.h"

namespace tarnwick {

std::string BusyFolderText(const std::string& folder) {
  return "Another download is running in " + folder + ". Try again when it has finished.";
}

std::string FolderLock::Refusal(const std::string& folder) const {
  return busy_ ? BusyFolderText(folder)
               : "The folder " + folder + " cannot be locked for the download: " + problem_ + ".";
}

std::unique_ptr<FolderLock> LockForRun(const std::string& folder, WindowHost& window) {
  auto lock = std::make_unique<FolderLock>(folder);
  if (!lock->Held()) {
    window.MessageBox(lock->Refusal(folder), std::string(texts::kRefusalTitle), MessageIcon::Critical, "");
    return nullptr;
  }
  return lock;
}

}  // namespace tarnwick
