#include "transfer/meeting_folder.h"

#include <new>

#include "base/paths.h"
#include "platform/response_codes.h"

namespace tarnwick {

MeetingFolder::MeetingFolder(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

std::string MeetingFolder::PathOf(std::string_view name) const { return JoinPath(path_, name); }

void MeetingFolder::PrepareForManifest() {
  if (!fs_.FolderExists(path_)) {
    fs_.CreateFolder(path_);
  }
  DeleteIfPresent(fs_, PathOf(kFetchedManifestName));
  DeleteIfPresent(fs_, PathOf(kFetchedSignatureName));
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

OrFailure<MeetingFolder::Comparison> MeetingFolder::Compare(bool everything) {
  try {
    const std::string fetchedPath = PathOf(kFetchedManifestName);
    std::string whyNot;
    auto fetchedBytes = ReadManifestFile(fs_, fetchedPath, whyNot);
    auto fetched = fetchedBytes ? ParseManifest(*fetchedBytes) : std::nullopt;
    try {
      DeleteIfPresent(fs_, fetchedPath);
    } catch (const FileError& error) {
      return RunFailure{FailureBox::Transfer, codes::kCannotDelete, error.what()};
    }
    if (!fetched) {
      return RunFailure{FailureBox::Transfer, codes::kUnusableManifest,
                        "the manifest cannot be used: " + (fetchedBytes ? "it has fewer than two lines" : whyNot)};
    }
    // A kept copy that cannot be read or has under two lines counts as none: everything is fetched.
    Manifest kept{"", "1", {}};
    const auto keptBytes = ReadManifestFile(fs_, PathOf(kKeptManifestName), whyNot);
    if (auto parsed = keptBytes ? ParseManifest(*keptBytes) : std::nullopt) {
      kept = std::move(*parsed);
    }
    auto difference = everything ? FetchEverything(*fetched) : CompareManifests(kept, *fetched);
    if (!difference) {
      return RunFailure{FailureBox::Transfer, codes::kUnusableManifest,
                        "the manifest lists more files than a download list holds (32,767 with the four fixed names)"};
    }
    return Comparison{std::move(*difference), std::move(*fetchedBytes), ManifestChecks(fetched->entries)};
  } catch (const std::bad_alloc&) {
    return RunFailure{FailureBox::Transfer, codes::kUnusableManifest, "out of memory while the manifest was read"};
  }
}

std::optional<RunFailure> MeetingFolder::KeepManifest(std::string_view bytes) {
  try {
    fs_.ReplaceFile(PathOf(kKeptManifestName), bytes);
  } catch (const FileError& error) {
    return RunFailure{FailureBox::Transfer, codes::kLocalWrite, error.what()};
  }
  return std::nullopt;
}

std::optional<RunFailure> MeetingFolder::ClearForNewGeneration() {
  try {
    if (!fs_.FolderExists(path_)) {
      fs_.CreateFolder(path_);
    } else {
      DeletePlainFiles(fs_, path_, kKeptManifestName);
    }
  } catch (const FileError& error) {
    return RunFailure{FailureBox::Transfer, codes::kCannotDelete,
                      std::string("the meeting folder cannot be cleared: ") + error.what()};
  }
  return std::nullopt;
}

}  // namespace tarnwick
