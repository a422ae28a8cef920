// The recovery marker "CodeWork" in the component folder: written just before a run first changes the
// component folder, removed only by OK. A marker found at the start of a run means that an earlier run
// began to change the folder and did not end through OK.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace tarnwick {

class RecoveryMarker {
 public:
  RecoveryMarker(FileSystem& fs, const std::string& componentFolder);

  bool Present() const;
  // Creates or replaces the marker; throws FileError when it cannot be written.
  void Write();
  // Throws FileError when a marker is there and cannot be deleted.
  void Remove();

 private:
  FileSystem& fs_;
  std::string path_;
};

}  // namespace tarnwick
