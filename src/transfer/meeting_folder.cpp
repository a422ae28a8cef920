#include "transfer/meeting_folder.h"

#include "base/paths.h"
#include "platform/response_codes.h"
#include "transfer/transfer_failure.h"

namespace tarnwick {

MeetingFolder::MeetingFolder(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

std::string MeetingFolder::PathOf(std::string_view name) const { return JoinPath(path_, name); }

void MeetingFolder::PrepareForManifest() {
  if (!fs_.FolderExists(path_)) {
    fs_.CreateFolder(path_);
  }
  DeleteIfPresent(fs_, PathOf(kFetchedManifestName));
}

MeetingFolder::Manifests MeetingFolder::ReadManifests() {
  const std::string fetchedPath = PathOf(kFetchedManifestName);
  const auto fetchedBytes = fs_.ReadFile(fetchedPath);
  auto fetched = fetchedBytes ? ParseManifest(*fetchedBytes) : std::nullopt;
  try {
    DeleteIfPresent(fs_, fetchedPath);
  } catch (const FileError&) {
    throw TransferFailure(codes::kCannotDelete);
  }
  if (!fetched) {
    throw TransferFailure(codes::kUnusableManifest);
  }
  // A kept copy that cannot be read or has under two lines counts as none: everything is fetched.
  Manifest kept{"", "1", {}};
  const std::string keptPath = PathOf(kKeptManifestName);
  if (fs_.FileExists(keptPath)) {
    const auto keptBytes = fs_.ReadFile(keptPath);
    if (auto parsed = keptBytes ? ParseManifest(*keptBytes) : std::nullopt) {
      kept = std::move(*parsed);
    }
  }
  return {std::move(kept), std::move(*fetched)};
}

void MeetingFolder::ClearForNewGeneration() {
  if (!fs_.FolderExists(path_)) {
    fs_.CreateFolder(path_);
    return;
  }
  DeletePlainFiles(fs_, path_, kKeptManifestName);
}

}  // namespace tarnwick
