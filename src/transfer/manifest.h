// The update manifest, and the comparison of a fetched manifest with the copy kept from the last run
// that decides which files a run fetches.
//
// A manifest is a text file: line 1 the generation, line 2 the revision, every further line an entry:
// a file name, one blank, then details in free text. An entry has changed exactly when its whole line
// differs from the kept one. Among the details, the blank-separated words "size=N" (decimal bytes) and
// "sha256=H" (64 hexadecimal digits, either case) say what the file must be to be put in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/transfer_control.h"

namespace tarnwick {

struct Manifest {
  std::string generation;  // line 1
  std::string revision;    // line 2
  std::vector<std::string> entries;
};

inline constexpr std::string_view kServerManifestName = "FileUpDate.dat";  // as the manifest is requested
inline constexpr std::string_view kFetchedManifestName = "oFileUpdate.dat";
inline constexpr std::string_view kKeptManifestName = "FileUpdate.dat";
// The publisher's signature of the manifest, beside it on the server, and as fetched.
inline constexpr std::string_view kServerSignatureName = "FileUpDate.dat.minisig";
inline constexpr std::string_view kFetchedSignatureName = "oFileUpdate.dat.minisig";
// In the component folder: the public keys of the publishers whose manifests alone it takes.
inline constexpr std::string_view kPublicKeysName = "MeetingKey.pub";

// A list of entries or of names holds at most this many.
inline constexpr size_t kMaxListEntries = 32767;
// The longest entry line a publisher writes, its CR LF included.
inline constexpr std::uint64_t kMaxEntryLineBytes = 1024;
// A manifest file larger than this is refused before it is read: 32,767 entry lines of up to 1 KiB each.
inline constexpr std::uint64_t kMaxManifestBytes = std::uint64_t{32} << 20;
static_assert(kMaxListEntries * kMaxEntryLineBytes <= kMaxManifestBytes);

// Fetched on every run that fetches anything, after the names the comparison found, in this order.
// The last is the manifest itself: its arrival makes it the kept copy.
inline constexpr std::string_view kFixedTail[] = {"Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", kKeptManifestName};

// Nothing when the text holds fewer than two lines.
std::optional<Manifest> ParseManifest(std::string_view bytes);

// The file's name: the text of an entry line before its first blank; empty for a line without one.
std::string_view EntryName(std::string_view line);

// What the transfer of a manifest is held to: an endless answer is stopped at the largest manifest that can
// be read, not after it filled the disk.
FileChecks ManifestBound();
// And the transfer of its signature: a few lines, however long the publisher's comment.
FileChecks SignatureBound();

// What an entry line's details say of its file: its size= and sha256= words; the other words, and a
// word of either kind that does not read as one, are free text.
FileChecks EntryChecks(std::string_view line);

// A signed manifest answers for every file put in place: why this one cannot (an entry without sha256=, a
// file of the fixed tail not listed); nothing when it can.
std::optional<std::string> LeavesAFileUnchecked(const Manifest& manifest);

// The checks of every entry that has any, found by the file's name whatever its letter case (the
// component folder and the meeting server ignore it); where a name is listed twice, its last entry.
class ManifestChecks {
 public:
  ManifestChecks() = default;
  explicit ManifestChecks(const std::vector<std::string>& entries);
  FileChecks For(std::string_view name) const;

 private:
  std::unordered_map<std::string, FileChecks> checks_;
};

// The order of the entries: ascending with the ASCII letters folded to lower case, code unit by code
// unit, ties broken by the unfolded text. Negative, zero or positive.
int CompareEntries(std::string_view a, std::string_view b);

// The entries in that order.
std::vector<std::string> SortedEntries(std::vector<std::string> entries);

struct ManifestDifference {
  bool newGeneration = false;               // the folder is cleared and every entry fetched
  std::vector<std::string> downloadList;    // names to fetch, in order, the fixed tail included; empty: current
  std::vector<std::string> noLongerListed;  // kept names that the fetched manifest no longer lists
};

// Without a kept copy, `kept` is the empty manifest with the revision "1". Nothing when a list would hold
// more than kMaxListEntries.
std::optional<ManifestDifference> CompareManifests(const Manifest& kept, const Manifest& fetched);

// Every entry of the fetched manifest, as for a new generation: what a run after an interrupted one fetches.
std::optional<ManifestDifference> FetchEverything(const Manifest& fetched);

// The walk through both sorted entry lists that finds new, changed and removed names. `kept` and `fresh`
// must be in the order of CompareEntries.
void CompareEntryLists(const std::vector<std::string>& kept, const std::vector<std::string>& fresh,
                       std::vector<std::string>& download, std::vector<std::string>& noLongerListed);

}  // namespace tarnwick
