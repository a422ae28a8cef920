#include "transfer/manifest.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <unordered_map>

#include "base/ascii.h"
#include "base/escaped_text.h"
#include "base/text_lines.h"

namespace tarnwick {
namespace {

int CompareCodeUnits(std::string_view a, std::string_view b, bool fold) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(fold ? ToLowerAscii(a[i]) : a[i]);
    const auto y = static_cast<unsigned char>(fold ? ToLowerAscii(b[i]) : b[i]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The last position at which each name occurs, so that "does this name occur from position p on" is
// one lookup instead of a search.
std::unordered_map<std::string_view, size_t> LastPositions(const std::vector<std::string>& entries) {
  std::unordered_map<std::string_view, size_t> last;
  last.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    last[EntryName(entries[i])] = i;
  }
  return last;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool OccursFrom(const std::unordered_map<std::string_view, size_t>& last, std::string_view name, size_t from) {
  const auto found = last.find(name);
  return found != last.end() && found->second >= from;
}

}  // namespace

std::optional<Manifest> ParseManifest(std::string_view bytes) {
  auto lines = DecodeTextLines(bytes);
  if (lines.size() < 2) {
    return std::nullopt;
  }
  Manifest manifest{std::move(lines[0]), std::move(lines[1]), {}};
  manifest.entries.assign(std::make_move_iterator(lines.begin() + 2), std::make_move_iterator(lines.end()));
  return manifest;
}

std::string_view EntryName(std::string_view line) {
  const size_t blank = line.find(' ');
  return blank == std::string_view::npos ? std::string_view() : line.substr(0, blank);
}

FileChecks ManifestBound() {
  FileChecks checks;
  checks.most = kMaxManifestBytes;
  return checks;
}

FileChecks SignatureBound() {
  FileChecks checks;
  checks.most = std::uint64_t{64} << 10;
  return checks;
}

FileChecks EntryChecks(std::string_view line) {
  constexpr std::string_view kSize = "size=";
  constexpr std::string_view kSha256 = "sha256=";
  constexpr size_t kSha256Digits = 64;
  FileChecks checks;
  const size_t blank = line.find(' ');
  std::string_view details = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  while (!details.empty()) {
    const size_t end = std::min(details.find(' '), details.size());
    const std::string_view word = details.substr(0, end);
    details.remove_prefix(std::min(end + 1, details.size()));
    if (word.starts_with(kSize)) {
      const std::string_view digits = word.substr(kSize.size());
      std::uint64_t size = 0;
      const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
      if (!digits.empty() && error == std::errc() && stop == digits.data() + digits.size()) {
        checks.size = size;
      }
    } else if (word.starts_with(kSha256)) {
      const std::string_view digest = word.substr(kSha256.size());
      if (digest.size() == kSha256Digits && std::all_of(digest.begin(), digest.end(), IsHexDigit)) {
        checks.sha256 = LowerAscii(digest);
      }
    }
  }
  return checks;
}

std::optional<std::string> LeavesAFileUnchecked(const Manifest& manifest) {
  for (const auto& line : manifest.entries) {
    if (EntryChecks(line).sha256.empty()) {
      return "its entry " + ShownValue(EntryName(line)) + " lists no sha256=";
    }
  }
  const ManifestChecks checks(manifest.entries);
  for (const std::string_view name : kFixedTail) {
    if (name != kKeptManifestName && checks.For(name).sha256.empty()) {
      return "it does not list " + std::string(name);
    }
  }
  return std::nullopt;
}

ManifestChecks::ManifestChecks(const std::vector<std::string>& entries) {
  for (const auto& line : entries) {
    FileChecks checks = EntryChecks(line);
    if (checks != FileChecks{}) {
      checks_[LowerAscii(EntryName(line))] = std::move(checks);
    } else {
      checks_.erase(LowerAscii(EntryName(line)));
    }
  }
}

FileChecks ManifestChecks::For(std::string_view name) const {
  const auto found = checks_.find(LowerAscii(name));
  return found == checks_.end() ? FileChecks{} : found->second;
}

int CompareEntries(std::string_view a, std::string_view b) {
  const int folded = CompareCodeUnits(a, b, true);
  return folded != 0 ? folded : CompareCodeUnits(a, b, false);
}

std::vector<std::string> SortedEntries(std::vector<std::string> entries) {
  // The order of CompareEntries, with each entry folded once instead of at every comparison. Most
  // entries differ within their first eight bytes, so those are packed into one number that decides
  // most comparisons; the whole folded text, then the unfolded one, decide the rest.
  struct Key {
    std::uint64_t prefix;
    size_t position;
  };
  std::vector<std::string> folded;
  folded.reserve(entries.size());
  std::vector<Key> keys;
  keys.reserve(entries.size());
  for (const auto& entry : entries) {
    std::string& text = folded.emplace_back(entry);
    std::uint64_t prefix = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = ToLowerAscii(text[i]);
      if (i < 8) {
        prefix |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * (7 - i));
      }
    }
    keys.push_back({prefix, keys.size()});
  }
  std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    // std::string compares its bytes unsigned, as CompareEntries does.
    const int byFolded = folded[a.position].compare(folded[b.position]);
    return byFolded != 0 ? byFolded < 0 : entries[a.position] < entries[b.position];
  });
  std::vector<std::string> sorted;
  sorted.reserve(entries.size());
  for (const Key& key : keys) {
    sorted.push_back(std::move(entries[key.position]));
  }
  return sorted;
}

void CompareEntryLists(const std::vector<std::string>& kept, const std::vector<std::string>& fresh,
                       std::vector<std::string>& download, std::vector<std::string>& noLongerListed) {
  const auto lastInKept = LastPositions(kept);
  const auto lastInFresh = LastPositions(fresh);
  size_t k = 0;
  size_t n = 0;
  while (n < fresh.size()) {
    const std::string& newLine = fresh[n];
    const std::string_view newName = EntryName(newLine);
    if (k >= kept.size()) {
      download.emplace_back(newName);
      ++n;
      continue;
    }
    const std::string& keptLine = kept[k];
    const std::string_view keptName = EntryName(keptLine);
    if (newLine == keptLine) {
      ++k;
      ++n;
    } else if (newName == keptName) {
      download.emplace_back(newName);  // changed
      ++k;
      ++n;
    } else if (CompareEntries(keptName, newName) < 0) {
      // The kept name comes first: gone, unless it is still listed further on (lists ordered by folded
      // case can hold it later); then the current new entry is passed over for now.
      if (OccursFrom(lastInFresh, keptName, n)) {
        ++n;
      } else {
        noLongerListed.emplace_back(keptName);
        ++k;
      }
    } else if (OccursFrom(lastInKept, newName, k + 1)) {
      ++k;
    } else {
      download.emplace_back(newName);  // new
      ++n;
    }
  }
  // The walk ends with the new entries; kept ones after the last of them are gone unless listed elsewhere.
  for (; k < kept.size(); ++k) {
    const std::string_view keptName = EntryName(kept[k]);
    if (!lastInFresh.contains(keptName)) {
      noLongerListed.emplace_back(keptName);
    }
  }
}

namespace {

// The fixed tail after the names found; nothing when the list would not hold them all.
std::optional<ManifestDifference> WithFixedTail(ManifestDifference difference) {
  if (difference.downloadList.size() + std::size(kFixedTail) > kMaxListEntries) {
    return std::nullopt;
  }
  difference.downloadList.insert(difference.downloadList.end(), std::begin(kFixedTail), std::end(kFixedTail));
  return difference;
}

}  // namespace

std::optional<ManifestDifference> FetchEverything(const Manifest& fetched) {
  if (fetched.entries.size() > kMaxListEntries) {
    return std::nullopt;
  }
  ManifestDifference difference;
  difference.newGeneration = true;
  for (const auto& line : SortedEntries(fetched.entries)) {
    difference.downloadList.emplace_back(EntryName(line));
  }
  return WithFixedTail(std::move(difference));
}

std::optional<ManifestDifference> CompareManifests(const Manifest& kept, const Manifest& fetched) {
  if (kept.entries.size() > kMaxListEntries || fetched.entries.size() > kMaxListEntries) {
    return std::nullopt;
  }
  if (fetched.generation != kept.generation) {
    return FetchEverything(fetched);
  }
  ManifestDifference difference;
  if (fetched.revision == kept.revision) {
    return difference;
  }
  CompareEntryLists(SortedEntries(kept.entries), SortedEntries(fetched.entries), difference.downloadList,
                    difference.noLongerListed);
  return WithFixedTail(std::move(difference));
}

}  // namespace tarnwick
