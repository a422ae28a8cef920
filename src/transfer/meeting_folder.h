// The meeting's local folder (component folder + "\" + the local folder's name): where the manifest is
// fetched to and kept, and where every file of the download list arrives.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/run_failure.h"
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

  struct Comparison {
    ManifestDifference difference;
    std::string fetchedBytes;  // as the server sent them: what the kept copy becomes when the run completes
    ManifestChecks checks;     // what its entries say each file must be
  };
  // Reads both copies and compares them, or with `everything` (after an interrupted run) lists every entry
  // of the fetched copy. The fetched copy is deleted: it never outlives the comparison. A kept copy that is
  // missing, too large, unreadable or under two lines counts as the empty manifest with the revision "1".
  // Fails with 910 when the fetched copy is missing, larger than kMaxManifestBytes, under two lines or
  // lists more than a download list holds, 912 when it cannot be deleted.
  OrFailure<Comparison> Compare(bool everything);

  // The manifest this run compared becomes the kept copy; fails with 903.
  std::optional<RunFailure> KeepManifest(std::string_view bytes);

  // A new generation: every plain file but the kept copy is deleted (the folder is created when it is
  // missing); fails with 912.
  std::optional<RunFailure> ClearForNewGeneration();

 private:
  FileSystem& fs_;
  std::string path_;
};

}  // namespace tarnwick
