// Two manifests, the fetched one and the kept copy, split at the first 0xFF byte (a byte that the code
// page leaves undefined, so no real manifest holds it). Whatever they hold, the fast comparison must give
// exactly what the plain scanning walk gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "reference/scanning_walk.h"
#include "transfer/manifest.h"

namespace {

using Lines = std::vector<std::string>;
using tarnwick::Manifest;
using tarnwick::reference::PlainSort;
using tarnwick::reference::ScanningWalk;

Lines CheckedSort(const Lines& entries) {
  const Lines sorted = tarnwick::SortedEntries(entries);
  for (size_t i = 1; i < sorted.size(); ++i) {
    FUZZ_REQUIRE(tarnwick::CompareEntries(sorted[i - 1], sorted[i]) <= 0);
  }
  Lines a = entries;
  Lines b = sorted;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  FUZZ_REQUIRE(a == b);
  return sorted;
}

Lines Names(const Lines& entries) {
  Lines names;
  for (const auto& line : entries) {
    names.emplace_back(tarnwick::EntryName(line));
  }
  return names;
}

Lines WithTail(Lines names) {
  names.insert(names.end(), std::begin(tarnwick::kFixedTail), std::end(tarnwick::kFixedTail));
  return names;
}

// What CompareManifests must give, built from the plain parts; nothing when a list would overflow.
std::optional<tarnwick::ManifestDifference> Expected(const Manifest& kept, const Manifest& fetched) {
  if (kept.entries.size() > tarnwick::kMaxListEntries || fetched.entries.size() > tarnwick::kMaxListEntries) {
    return std::nullopt;
  }
  tarnwick::ManifestDifference expected;
  if (fetched.generation != kept.generation) {
    expected.newGeneration = true;
    expected.downloadList = WithTail(Names(PlainSort(fetched.entries)));
  } else if (fetched.revision != kept.revision) {
    ScanningWalk(PlainSort(kept.entries), PlainSort(fetched.entries), expected.downloadList, expected.noLongerListed);
    expected.downloadList = WithTail(std::move(expected.downloadList));
  }
  if (expected.downloadList.size() > tarnwick::kMaxListEntries) {
    return std::nullopt;
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\xFF');
  const auto fetched = tarnwick::ParseManifest(input.substr(0, split));
  if (!fetched) {
    return 0;
  }
  // Without a second part, or one that cannot be read, the folder holds no kept copy.
  std::optional<Manifest> kept;
  if (split != std::string_view::npos) {
    kept = tarnwick::ParseManifest(input.substr(split + 1));
  }
  if (!kept) {
    kept = Manifest{"", "1", {}};
  }

  // An entry's checks are what its words say or nothing: a digest is always 64 lower-case hex digits, and the
  // name's own checks are those of its last entry.
  const tarnwick::ManifestChecks checks(fetched->entries);
  for (const auto& line : fetched->entries) {
    const tarnwick::FileChecks own = tarnwick::EntryChecks(line);
    FUZZ_REQUIRE(own.most == 0);
    FUZZ_REQUIRE(own.sha256.empty() ||
                 (own.sha256.size() == 64 && own.sha256.find_first_not_of("0123456789abcdef") == std::string::npos));
  }
  if (!fetched->entries.empty()) {
    const std::string& last = fetched->entries.back();
    FUZZ_REQUIRE(checks.For(tarnwick::EntryName(last)) == tarnwick::EntryChecks(last));
  }

  // The walk on its own, whatever the generations and revisions say.
  Lines download, gone, expectedDownload, expectedGone;
  const Lines sortedKept = CheckedSort(kept->entries);
  const Lines sortedFetched = CheckedSort(fetched->entries);
  FUZZ_REQUIRE(sortedKept == PlainSort(kept->entries));
  FUZZ_REQUIRE(sortedFetched == PlainSort(fetched->entries));
  tarnwick::CompareEntryLists(sortedKept, sortedFetched, download, gone);
  ScanningWalk(sortedKept, sortedFetched, expectedDownload, expectedGone);
  FUZZ_REQUIRE(download == expectedDownload);
  FUZZ_REQUIRE(gone == expectedGone);

  const auto difference = tarnwick::CompareManifests(*kept, *fetched);
  const auto expected = Expected(*kept, *fetched);
  FUZZ_REQUIRE(difference.has_value() == expected.has_value());
  if (!difference) {
    return 0;
  }
  FUZZ_REQUIRE(difference->newGeneration == expected->newGeneration);
  FUZZ_REQUIRE(difference->downloadList == expected->downloadList);
  FUZZ_REQUIRE(difference->noLongerListed == expected->noLongerListed);
  const Lines tail(std::begin(tarnwick::kFixedTail), std::end(tarnwick::kFixedTail));
  if (!difference->downloadList.empty()) {
    FUZZ_REQUIRE(difference->downloadList.size() >= tail.size());
    FUZZ_REQUIRE(std::equal(tail.begin(), tail.end(), difference->downloadList.end() - static_cast<long>(tail.size())));
  }
  return 0;
}
