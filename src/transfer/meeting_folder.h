// The meeting's local folder (component folder + "\" + the local folder's name): where the manifest is
// fetched to and kept, and where every file of the download list arrives.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/file_system.h"
#include "transfer/manifest.h"

namespace tarnwick {

class MeetingFolder {
 public:
  MeetingFolder(FileSystem& fs, std::string path);

  const std::string& Path() const { return path_; }
  std::string PathOf(std::string_view name) const;

  // Before the manifest is requested: the folder exists and no fetched copy of an earlier run is left.
  // Throws FileError.
  void PrepareForManifest();

  struct Manifests {
    Manifest kept;  // the empty manifest with revision "1" when there is no usable kept copy
    Manifest fetched;
    std::string fetchedBytes;  // as the server sent them: what the kept copy becomes when the run completes
  };
  // Reads both copies; the fetched copy is deleted, it never outlives the comparison. Throws
  // TransferFailure: 910 when the fetched copy is missing, larger than kMaxManifestBytes or under two
  // lines, 912 when it cannot be deleted. A kept copy that is too large or unreadable counts as none.
  Manifests ReadManifests();

  // The manifest this run compared becomes the kept copy. Throws FileError.
  void KeepManifest(std::string_view bytes);

  // A new generation: every plain file but the kept copy is deleted (the folder is created when it is
  // missing). Throws FileError.
  void ClearForNewGeneration();

 private:
  FileSystem& fs_;
  std::string path_;
};

}  // namespace tarnwick
