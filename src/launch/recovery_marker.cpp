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
    : fs_(fs), path_(JoinPath(componentFolder, kMarkerName)) {}

bool RecoveryMarker::Present() const { return fs_.FileExists(path_); }

void RecoveryMarker::Write() { fs_.ReplaceFile(path_, EncodeTextLines({std::string(kMarkerLine)})); }

void RecoveryMarker::Remove() { DeleteIfPresent(fs_, path_); }

}  // namespace tarnwick
