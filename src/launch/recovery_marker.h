// The recovery marker "CodeWork" in the component folder: written just before a run first changes the
// component folder, removed only by OK. A marker found at the start of a run means that an earlier run
// began to change the folder and did not end through OK.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tarnwick {

class RecoveryMarker {
 public:
  RecoveryMarker(FileSystem& fs, const std::string& componentFolder);

  bool Present() const;
  // Creates or replaces the marker; throws FileError when it cannot be written.
  void Write();
  // The run's commit point: what the run put in place in these folders (the component folder always) is
  // flushed to the disk, then the marker is deleted and its deletion flushed. Throws FileError when the
  // flush fails (the marker then stays) or when a marker is there and cannot be deleted.
  void Remove(const std::vector<std::string>& runFolders = {});

 private:
  FileSystem& fs_;
  std::string componentFolder_;
  std::string path_;
};

}  // namespace tarnwick
