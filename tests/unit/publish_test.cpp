// The manifest a meeting folder is published with, read back as the component reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/windows874.h"
#include "digest/sha256.h"
#include "publish/publish.h"
#include "transfer/manifest.h"

namespace tarnwick {
namespace {

const std::string kThai = "วาระการประชุม.txt";

// A meeting folder in memory: its files' bytes, and what publishing it sees.
struct Folder {
  std::map<std::string, std::string> files;
  std::vector<FolderItem> extra;
  int reads = 0;

  Publication Publish(const std::optional<Manifest>& previous, PublishOptions options = {}) {
    std::vector<FolderItem> items = extra;
    for (const auto& [name, bytes] : files) {
      items.push_back({name, ItemKind::File});
    }
    options.now = "2026-12-08 10:00:00 UTC";
    return tarnwick::Publish(
        previous, items, [this](const std::string& name) { return Facts(name); }, options);
  }

  FileFacts Facts(const std::string& name) {
    ++reads;
    Sha256 sha;
    sha.Add(files.at(name));
    return {files.at(name).size(), sha.Finish()};
  }
};

PublishOptions GivenRevision(const std::string& revision) {
  PublishOptions options;
  options.revision = revision;
  return options;
}

PublishOptions NewGeneration(const std::string& text = "") {
  PublishOptions options;
  options.newGeneration = true;
  options.generation = text;
  return options;
}

std::optional<Manifest> ReadBack(const Publication& publication) { return ParseManifest(publication.bytes); }

TEST(Publish, ListsEveryFileWithTheChecksTheComponentReads) {
  Folder folder;
  folder.files = {{kThai, "ประชุม"},          {"b.txt", "bee"},          {"A.txt", "a"},
                  {"Tarnwick.msg", "title"}, {"fileupdate.DAT", "old"}, {"FileUpDate.dat.minisig", "sig"}};
  const Publication first = folder.Publish(std::nullopt);
  ASSERT_TRUE(first.refusals.empty()) << first.refusals.front();
  // Two lines and four entries, each ended by CR LF.
  EXPECT_EQ(std::count(first.bytes.begin(), first.bytes.end(), '\r'), 6);
  EXPECT_EQ(std::count(first.bytes.begin(), first.bytes.end(), '\n'), 6);
  EXPECT_TRUE(first.bytes.ends_with("\r\n"));
  EXPECT_NE(first.bytes.find(cp874::Encode(kThai) + " size="), std::string::npos);

  const auto manifest = ReadBack(first);
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->generation, "2026-12-08 10:00:00 UTC");
  EXPECT_EQ(manifest->revision, "1");
  std::vector<std::string> names;
  for (const auto& line : manifest->entries) {
    names.emplace_back(EntryName(line));
    const FileChecks checks = EntryChecks(line);
    EXPECT_EQ(checks.size, folder.Facts(names.back()).size) << line;
    EXPECT_EQ(checks.sha256, folder.Facts(names.back()).sha256) << line;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "b.txt", "Tarnwick.msg", kThai}));
  EXPECT_EQ(manifest->entries, SortedEntries(manifest->entries));
  EXPECT_EQ(first.added, names);
}

TEST(Publish, TheRevisionChangesExactlyWhenAnEntryDoes) {
  Folder folder;
  folder.files = {{kThai, "ประชุม"}, {"minutes.txt", "draft"}, {"gone.txt", "x"}};
  Manifest previous = *ReadBack(folder.Publish(std::nullopt));
  previous.revision = "revision 9";
  const Publication same = folder.Publish(previous);
  EXPECT_EQ(same.manifest.revision, "revision 9");
  EXPECT_EQ(same.manifest.generation, previous.generation);
  EXPECT_TRUE(same.added.empty() && same.changed.empty() && same.removed.empty());
  EXPECT_EQ(folder.Publish(*ReadBack(same)).bytes, same.bytes);

  folder.files["minutes.txt"] = "final";
  folder.files.erase("gone.txt");
  folder.files["budget.txt"] = "1000";
  const Publication next = folder.Publish(*ReadBack(same));
  EXPECT_EQ(next.manifest.revision, "revision 10");
  EXPECT_EQ(next.manifest.generation, previous.generation);
  EXPECT_EQ(next.added, std::vector<std::string>{"budget.txt"});
  EXPECT_EQ(next.changed, std::vector<std::string>{"minutes.txt"});
  EXPECT_EQ(next.removed, std::vector<std::string>{"gone.txt"});
  // What a participant who kept the last manifest fetches.
  const auto fetched = CompareManifests(*ReadBack(same), *ReadBack(next));
  ASSERT_TRUE(fetched);
  ASSERT_EQ(fetched->downloadList.size(), 2 + std::size(kFixedTail));
  EXPECT_EQ(fetched->downloadList.front(), "budget.txt");
  EXPECT_EQ(fetched->downloadList[1], "minutes.txt");

  // A revision given that participants already hold would hide the change; a new generation never does.
  folder.files["minutes.txt"] = "final 2";
  EXPECT_FALSE(folder.Publish(*ReadBack(next), GivenRevision("revision 10")).refusals.empty());
  const Publication renewed = folder.Publish(*ReadBack(next), NewGeneration());
  EXPECT_TRUE(renewed.refusals.empty());
  EXPECT_TRUE(renewed.newGeneration);
  EXPECT_NE(renewed.manifest.generation, previous.generation);
  Manifest sameTime = *ReadBack(next);
  sameTime.generation = "2026-12-08 10:00:00 UTC";
  EXPECT_NE(folder.Publish(sameTime, NewGeneration()).manifest.generation, sameTime.generation);
  EXPECT_FALSE(folder.Publish(sameTime, NewGeneration(sameTime.generation)).refusals.empty());
}

TEST(Publish, RefusesWhatAnEntryCannotNameBeforeReadingAFile) {
  Folder folder;
  folder.files = {{"fine.txt", "x"},        {"with blank.txt", "x"}, {"line\r\nend.txt", "x"}, {"tab\t.txt", "x"},
                  {"back\\slash.txt", "x"}, {"café.txt", "x"},       {"\xA1.txt", "x"}};
  folder.extra = {{"attachments", ItemKind::Folder}, {"fifo", ItemKind::Other}};
  const Publication refused = folder.Publish(std::nullopt);
  EXPECT_EQ(folder.reads, 0);
  EXPECT_TRUE(refused.bytes.empty());
  ASSERT_EQ(refused.refusals.size(), 8u);
  for (const std::string name : {"attachments", "fifo", "with blank.txt", "line\r\nend.txt", "tab\t.txt",
                                 "back\\slash.txt", "café.txt", "\xA1.txt"}) {
    EXPECT_EQ(std::count_if(refused.refusals.begin(), refused.refusals.end(),
                            [&](const std::string& refusal) { return refusal.starts_with(name + ": "); }),
              1)
        << name;
  }

  // The component's limits: its list holds the fixed tail too, and a line is at most 1 KiB.
  Folder full;
  for (size_t i = 0; i <= kMaxListEntries - std::size(kFixedTail); ++i) {
    full.extra.push_back({std::to_string(i), ItemKind::File});
  }
  EXPECT_EQ(full.Publish(std::nullopt).refusals.size(), 1u);
  Folder longName;
  // With " size=1 sha256=", the digest and CR LF: one byte too many.
  const std::string name(kMaxEntryLineBytes - 80, 'n');
  longName.files = {{name, "x"}};
  EXPECT_EQ(longName.Publish(std::nullopt).refusals.size(), 1u);
  longName.files = {{name.substr(1), "x"}};
  EXPECT_TRUE(longName.Publish(std::nullopt).refusals.empty());
}

}  // namespace
}  // namespace tarnwick
