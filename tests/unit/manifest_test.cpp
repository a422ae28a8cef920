#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "../reference/scanning_walk.h"
#include "transfer/manifest.h"

namespace tarnwick {
namespace {

using reference::PlainSort;
using reference::ScanningWalk;

using Lines = std::vector<std::string>;
const Lines kTail = {"Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", "FileUpdate.dat"};

Lines WithTail(Lines names) {
  names.insert(names.end(), kTail.begin(), kTail.end());
  return names;
}

// What the comparison is given when the meeting folder holds no kept copy.
const Manifest kNoKeptCopy{"", "1", {}};

TEST(ManifestText, ReadsGenerationRevisionAndEntriesWhateverTheLineEnds) {
  const auto crlf = ParseManifest("A\r\n5\r\ny.doc 1\r\n\r\nx.doc 2 3\r\n");
  ASSERT_TRUE(crlf);
  EXPECT_EQ(crlf->generation, "A");
  EXPECT_EQ(crlf->revision, "5");
  EXPECT_EQ(crlf->entries, (Lines{"y.doc 1", "", "x.doc 2 3"}));

  const auto loneCr = ParseManifest("A\r5\ry.doc 1");
  ASSERT_TRUE(loneCr);
  EXPECT_EQ(loneCr->entries, Lines{"y.doc 1"});

  const auto noEntries = ParseManifest("A\r\n5");
  ASSERT_TRUE(noEntries);
  EXPECT_TRUE(noEntries->entries.empty());

  EXPECT_FALSE(ParseManifest(""));
  EXPECT_FALSE(ParseManifest("A\r\n"));
  EXPECT_FALSE(ParseManifest("A\n5\n"));  // a lone LF ends no line
}

TEST(ManifestText, TheNameIsTheTextBeforeTheFirstBlank) {
  EXPECT_EQ(EntryName("x.doc 12 2024"), "x.doc");
  EXPECT_EQ(EntryName("x.doc "), "x.doc");
  EXPECT_EQ(EntryName(" x.doc 1"), "");
  EXPECT_EQ(EntryName("noblank"), "");
  EXPECT_EQ(EntryName(""), "");
}

TEST(ManifestText, SizeAndSha256WordsOfTheDetailsAreChecksTheRestIsFreeText) {
  const std::string digest(64, 'A');
  const FileChecks both = EntryChecks("a.doc 12/2026 size=5000 note sha256=" + digest);
  EXPECT_EQ(both.size, 5000u);
  EXPECT_EQ(both.sha256, std::string(64, 'a'));
  EXPECT_EQ(both.most, 0u);
  // Words that do not read as either kind are free text; the name itself is never a detail.
  for (const std::string& line :
       std::vector<std::string>{"size=5 x", "a.doc size=", "a.doc size=-5", "a.doc size=5k", "a.doc SIZE=5",
                                "a.doc sha256=" + digest.substr(1), "a.doc sha256=" + digest + "0",
                                "a.doc sha256=" + std::string(63, 'a') + "g", "a.doc xsize=5", "a.doc"}) {
    EXPECT_EQ(EntryChecks(line), FileChecks{}) << line;
  }
  // Found by name whatever its case; a name listed again is checked as its last entry says.
  const ManifestChecks checks({"A.doc size=1", "b.doc size=2", "B.DOC free text", "c.doc sha256=" + digest});
  EXPECT_EQ(checks.For("a.DOC").size, 1u);
  EXPECT_EQ(checks.For("b.doc"), FileChecks{});
  EXPECT_EQ(checks.For("c.doc").sha256, std::string(64, 'a'));
  EXPECT_EQ(checks.For("d.doc"), FileChecks{});
}

TEST(EntryOrder, LettersFoldToLowerCaseAndTiesGoToTheUnfoldedText) {
  EXPECT_EQ(SortedEntries({"b", "A", "c"}), (Lines{"A", "b", "c"}));
  // "[" and "_" lie between the upper and the lower case letters: folded, they come before every letter.
  EXPECT_EQ(SortedEntries({"b", "~", "_", "A", "["}), (Lines{"[", "_", "A", "b", "~"}));
  EXPECT_EQ(SortedEntries({"a.doc", "A.DOC", "A.doc", "a"}), (Lines{"a", "A.DOC", "A.doc", "a.doc"}));

  struct Case {
    std::string a, b;
    int sign;
  };
  const Case cases[] = {
      {"abc", "ABD", -1}, {"ab", "a", 1}, {"A", "a", -1},           {"a 1", "A 2", -1},
      {"a", "a", 0},      {"Z", "[", 1},  {"\xE0\xB8\x81", "z", 1},  // a Thai name: code units above 127 come after
                                                                     // every ASCII one
  };
  for (const auto& test : cases) {
    const int result = CompareEntries(test.a, test.b);
    EXPECT_EQ((result > 0) - (result < 0), test.sign) << test.a << " / " << test.b;
    const int reverse = CompareEntries(test.b, test.a);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -test.sign) << test.b << " / " << test.a;
  }
}

TEST(ManifestComparison, WithoutAKeptCopyEverythingIsFetchedInOrder) {
  const auto d = CompareManifests(kNoKeptCopy, Manifest{"A", "5", {"y.doc 1", "x.doc 1"}});
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->newGeneration);
  EXPECT_EQ(d->downloadList, WithTail({"x.doc", "y.doc"}));
  EXPECT_TRUE(d->noLongerListed.empty());
}

TEST(ManifestComparison, TheGenerationAndTheRevisionDecideWhetherAndHowToCompare) {
  struct Case {
    const char* what;
    Manifest kept, fetched;
    bool newGeneration;
    Lines download;
  };
  const Case cases[] = {
      {"identical: current", {"A", "5", {"x.doc 1"}}, {"A", "5", {"x.doc 1"}}, false, {}},
      {"same entries, new revision", {"A", "5", {"x.doc 1"}}, {"A", "6", {"x.doc 1"}}, false, kTail},
      {"revisions differ in case only", {"A", "rev", {"x.doc 1"}}, {"A", "REV", {"x.doc 1"}}, false, kTail},
      {"new generation", {"A", "5", {"x.doc 1"}}, {"B", "6", {"x.doc 1"}}, true, WithTail({"x.doc"})},
      {"new generation, equal revision", {"A", "5", {"x.doc 1"}}, {"B", "5", {"x.doc 1"}}, true, WithTail({"x.doc"})},
      {"generations differ in case only", {"a", "5", {"x.doc 1"}}, {"A", "5", {"x.doc 1"}}, true, WithTail({"x.doc"})},
      {"a changed fixed-tail entry",
       {"A", "5", {"Enote.Doc 1"}},
       {"A", "6", {"Enote.Doc 2"}},
       false,
       WithTail({"Enote.Doc"})},
      {"a name sorting differently by case", {"A", "5", {"B 1"}}, {"A", "6", {"ab 1", "B 1"}}, false, WithTail({"ab"})},
  };
  for (const auto& test : cases) {
    const auto d = CompareManifests(test.kept, test.fetched);
    ASSERT_TRUE(d) << test.what;
    EXPECT_EQ(d->newGeneration, test.newGeneration) << test.what;
    EXPECT_EQ(d->downloadList, test.download) << test.what;
    EXPECT_TRUE(d->noLongerListed.empty()) << test.what;
  }
}

TEST(ManifestComparison, ChangedAndAddedNamesAreFetchedAndRemovedOnesReported) {
  const auto d = CompareManifests(Manifest{"A", "5", {"a.doc 1", "b.doc 1", "c.doc 1", "d.doc 1"}},
                                  Manifest{"A", "6", {"d.doc 1", "a.doc 2", "c.doc 1", "e.doc 1", "f.doc 1"}});
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->newGeneration);
  EXPECT_EQ(d->downloadList, WithTail({"a.doc", "e.doc", "f.doc"}));
  EXPECT_EQ(d->noLongerListed, Lines{"b.doc"});
}

TEST(ManifestComparison, TheWalkThroughBothListsOnSmallCases) {
  struct Case {
    Lines kept, fresh, download, noLongerListed;
  };
  const Case cases[] = {
      {{"a.doc 1", "c.doc 1"}, {"a.doc 1", "b.doc 1", "c.doc 1"}, {"b.doc"}, {}},
      {{"a.doc 1", "b.doc 1", "c.doc 1"}, {"a.doc 1", "c.doc 1"}, {}, {"b.doc"}},
      {{"a.doc 1"}, {"a.doc 1", "y.doc 1", "z.doc 1"}, {"y.doc", "z.doc"}, {}},
      {{"a.doc 1"}, {"a.doc 2"}, {"a.doc"}, {}},
      {{}, {"", " lead", "noblank"}, {"", "", ""}, {}},
      {{"x 1", "x 2"}, {"x 1", "x 3"}, {"x"}, {}},
      {{"a.doc 1", "y.doc 1", "z.doc 1"}, {"a.doc 2"}, {"a.doc"}, {"y.doc", "z.doc"}},  // after the last new one
      {{"a.doc 1", "b.doc 1"}, {"B.doc 1"}, {"B.doc"}, {"a.doc", "b.doc"}},
  };
  for (const auto& test : cases) {
    Lines download, noLongerListed;
    CompareEntryLists(test.kept, test.fresh, download, noLongerListed);
    EXPECT_EQ(download, test.download) << ::testing::PrintToString(test.fresh);
    EXPECT_EQ(noLongerListed, test.noLongerListed) << ::testing::PrintToString(test.fresh);
  }
}

TEST(ManifestComparison, ListsThatWouldNotFitGiveNothing) {
  auto entries = [](size_t count) {
    Lines lines;
    for (size_t i = 0; i < count; ++i) {
      lines.push_back(std::to_string(i) + ".doc 1");
    }
    return lines;
  };
  EXPECT_FALSE(CompareManifests(Manifest{"A", "5", {}}, Manifest{"A", "6", entries(32768)}));
  EXPECT_FALSE(CompareManifests(Manifest{"A", "5", entries(32768)}, Manifest{"A", "6", {}}));
  EXPECT_FALSE(CompareManifests(Manifest{"A", "5", entries(32768)}, Manifest{"A", "5", {}}));
  // The fixed tail must fit as well.
  EXPECT_FALSE(CompareManifests(kNoKeptCopy, Manifest{"A", "5", entries(32764)}));
  const auto fits = CompareManifests(kNoKeptCopy, Manifest{"A", "5", entries(32763)});
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->downloadList.size(), 32767u);
  EXPECT_EQ(fits->downloadList.back(), "FileUpdate.dat");
}

// Manifest pairs over so few names that they collide all the time: names that differ only in case,
// punctuation that sorts between the cases, a name repeated with other details, whole lines repeated,
// empty lines and lines without a name.
class ManifestPairs {
 public:
  explicit ManifestPairs(uint32_t seed) : random_(seed) {}

  Lines Fresh() {
    Lines lines(Pick(13));
    for (size_t i = 0; i < lines.size(); ++i) {
      lines[i] = (i > 0 && Pick(8) == 0) ? lines[Pick(i)] : Line();
    }
    return lines;
  }

  // Mostly the fetched entries as an earlier run kept them: some with other details, some renamed by case,
  // some listed twice, some missing, and a few names that are gone now.
  Lines KeptFrom(const Lines& fresh) {
    if (Pick(10) == 0) {
      return Fresh();
    }
    Lines kept;
    for (const auto& line : fresh) {
      switch (Pick(8)) {
        case 0:
          kept.push_back(std::string(EntryName(line)) + " " + Detail());
          break;
        case 1:
          kept.push_back(FlipCase(line));
          break;
        case 2:
          break;
        case 3:
          kept.push_back(line);
          kept.push_back(std::string(EntryName(line)) + " " + Detail());
          break;
        default:
          kept.push_back(line);
      }
    }
    for (size_t added = Pick(4); added > 0; --added) {
      kept.push_back(Line());
    }
    return kept;
  }

 private:
  size_t Pick(size_t n) { return random_() % n; }

  std::string Name() {
    static const char* const kParts[] = {"a", "A", "b", "B", "_", "[", "~", ".doc", ".DOC"};
    std::string name;
    for (size_t parts = 1 + Pick(3); parts > 0; --parts) {  // up to 12 bytes: past the sort's 8-byte prefix
      name += kParts[Pick(std::size(kParts))];
    }
    return name;
  }

  std::string Detail() {
    static const char* const kDetails[] = {"1", "2", "1 x"};
    return kDetails[Pick(std::size(kDetails))];
  }

  std::string Line() {
    switch (Pick(16)) {
      case 0:
        return "";
      case 1:
        return Name();
      case 2:
        return std::string(" ") + Detail();
      default:
        return Name() + " " + Detail();
    }
  }

  static std::string FlipCase(std::string line) {
    for (char& c : line) {
      c = static_cast<char>(std::isalpha(static_cast<unsigned char>(c)) ? c ^ 0x20 : c);
    }
    return line;
  }

  std::mt19937 random_;
};

TEST(ManifestComparison, TheFastWalkGivesWhatTheScanningWalkGives) {
  constexpr uint32_t kSeed = 20261207;
  constexpr int kPairs = 5000;
  int withRemovals = 0;
  int withDownloads = 0;
  for (int pair = 0; pair < kPairs; ++pair) {
    ManifestPairs pairs(kSeed + static_cast<uint32_t>(pair));
    const Lines fresh = pairs.Fresh();
    const Lines kept = pairs.KeptFrom(PlainSort(fresh));
    Lines expectedDownload, expectedGone, download, gone;
    ScanningWalk(PlainSort(kept), PlainSort(fresh), expectedDownload, expectedGone);
    CompareEntryLists(SortedEntries(kept), SortedEntries(fresh), download, gone);
    using ::testing::PrintToString;
    ASSERT_TRUE(download == expectedDownload && gone == expectedGone)
        << "seed " << kSeed << "+" << pair << "\nkept:  " << PrintToString(kept) << "\nfresh: " << PrintToString(fresh)
        << "\ndownload " << PrintToString(download) << ", expected " << PrintToString(expectedDownload)
        << "\nno longer listed " << PrintToString(gone) << ", expected " << PrintToString(expectedGone);
    withRemovals += expectedGone.empty() ? 0 : 1;
    withDownloads += expectedDownload.empty() ? 0 : 1;
  }
  // The pairs must keep reaching both kinds of result, or the comparison above proves little.
  EXPECT_GT(withRemovals, kPairs / 5);
  EXPECT_GT(withDownloads, kPairs / 2);
}

}  // namespace
}  // namespace tarnwick
