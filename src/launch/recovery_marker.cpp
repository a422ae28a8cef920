#include "launch/recovery_marker.h"

#include "base/paths.h"
#include "base/text_lines.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMarkerName = "CodeWork";
// The number 1 as formatted print writes it; nothing reads it, only the file's existence counts.
constexpr std::string_view kMarkerLine = " 1 ";

}  // namespace

RecoveryMarker::RecoveryMarker(FileSystem& fs, const std::string& componentFolder)
    : fs_(fs), componentFolder_(componentFolder), path_(JoinPath(componentFolder, kMarkerName)) {}

bool RecoveryMarker::Present() const { return fs_.FileExists(path_); }

void RecoveryMarker::Write() { fs_.ReplaceFile(path_, EncodeTextLines({std::string(kMarkerLine)})); }

// Without the flush first, a power cut soon after OK could keep the deletion and lose the files' contents
// on a file system that does not order them: the next run would trust the kept manifest over empty files.
void RecoveryMarker::Remove(const std::vector<std::string>& runFolders) {
  std::vector<std::string> folders{componentFolder_};
  folders.insert(folders.end(), runFolders.begin(), runFolders.end());
  fs_.Flush(folders);
  DeleteIfPresent(fs_, path_);
  fs_.Flush({componentFolder_});
}

}  // namespace tarnwick
