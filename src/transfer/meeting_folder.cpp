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

namespace {

// The whole file when it is there and not larger than a manifest can need (read only then), else why not.
std::optional<std::string> ReadManifestFile(FileSystem& fs, const std::string& path, std::string& whyNot) {
  const auto size = fs.FileSize(path);
  if (!size) {
    whyNot = "it is not there";
    return std::nullopt;
  }
  if (*size > kMaxManifestBytes) {
    whyNot = "it is larger than 32 MiB (" + std::to_string(*size) + " bytes)";
    return std::nullopt;
  }
  auto bytes = fs.ReadFile(path);
  if (!bytes) {
    whyNot = "it cannot be read";
  }
  return bytes;
}

}  // namespace

MeetingFolder::Manifests MeetingFolder::ReadManifests() {
  const std::string fetchedPath = PathOf(kFetchedManifestName);
  std::string whyNot;
  auto fetchedBytes = ReadManifestFile(fs_, fetchedPath, whyNot);
  auto fetched = fetchedBytes ? ParseManifest(*fetchedBytes) : std::nullopt;
  try {
    DeleteIfPresent(fs_, fetchedPath);
  } catch (const FileError& error) {
    throw TransferFailure(codes::kCannotDelete, error.what());
  }
  if (!fetched) {
    throw TransferFailure(codes::kUnusableManifest,
                          "the manifest cannot be used: " + (fetchedBytes ? "it has fewer than two lines" : whyNot));
  }
  // A kept copy that cannot be read or has under two lines counts as none: everything is fetched.
  Manifest kept{"", "1", {}};
  const auto keptBytes = ReadManifestFile(fs_, PathOf(kKeptManifestName), whyNot);
  if (auto parsed = keptBytes ? ParseManifest(*keptBytes) : std::nullopt) {
    kept = std::move(*parsed);
  }
  return {std::move(kept), std::move(*fetched), std::move(*fetchedBytes)};
}

void MeetingFolder::KeepManifest(std::string_view bytes) { fs_.ReplaceFile(PathOf(kKeptManifestName), bytes); }

void MeetingFolder::ClearForNewGeneration() {
  if (!fs_.FolderExists(path_)) {
    fs_.CreateFolder(path_);
    return;
  }
  DeletePlainFiles(fs_, path_, kKeptManifestName);
}

}  // namespace tarnwick
