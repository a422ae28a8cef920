// What every file system of this program does alike, run against the host's own (unit/host_file_system.h):
// the POSIX one on Linux, the Win32 one on Windows and under Wine.
#include <gtest/gtest.h>

#include <filesystem>

#include "fake_platform.h"
#include "platform/temporary_name.h"

namespace tarnwick::testing {
namespace {

using Names = std::vector<std::string>;

template <typename System>
class FileSystemContract : public ::testing::Test {
 protected:
  System system;
  TempComponentFolder temp;
  const std::string root = Utf8(temp.root);
};

using Systems = ::testing::Types<HostFileSystem>;
TYPED_TEST_SUITE(FileSystemContract, Systems);

TYPED_TEST(FileSystemContract, ThaiNamesGoThroughAndNamesAreFoundWithoutRegardToLetterCase) {
  FileSystem& fs = this->system;
  const TempComponentFolder& c = this->temp;
  const std::string folder = this->root + "\\ประชุม";
  fs.CreateFolder(folder);
  EXPECT_THROW(fs.CreateFolder(folder), FileError);
  fs.ReplaceFile(folder + "\\วาระ.txt", "agenda");
  EXPECT_EQ(EntriesIn(c.Path("ประชุม")), Names{"วาระ.txt"});
  EXPECT_EQ(fs.ListSubfolders(this->root), Names{"ประชุม"});
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"วาระ.txt"});
  EXPECT_EQ(fs.ReadFile(folder + "/วาระ.txt"), "agenda");
  EXPECT_EQ(fs.FileSize(folder + "\\วาระ.txt"), 6u);
  EXPECT_TRUE(fs.FolderExists(folder));
  EXPECT_FALSE(fs.FileExists(folder));

  c.Write("tw5/tarnwick.MSG", "m");
  const std::string tw5 = this->root + "\\TW5";
  EXPECT_TRUE(fs.FolderExists(tw5));
  EXPECT_TRUE(fs.FileExists(tw5 + "\\Tarnwick.msg"));
  EXPECT_EQ(fs.ReadFile(tw5 + "\\Tarnwick.msg"), "m");
  fs.ReplaceFile(tw5 + "\\TARNWICK.msg", "new");
  fs.ReplaceFile(tw5 + "\\Created.Txt", "c");
  // An existing file keeps its name, a new one gets the name as written.
  EXPECT_EQ(EntriesIn(c.Path("tw5")), (Names{"Created.Txt", "tarnwick.MSG"}));
  EXPECT_EQ(c.Read("tw5/tarnwick.MSG"), "new");
  fs.DeleteFile(tw5 + "\\CREATED.TXT");
  EXPECT_EQ(EntriesIn(c.Path("tw5")), Names{"tarnwick.MSG"});
  // The names are those on disk now, after this program's changes and another's.
  fs.ReplaceFile(tw5 + "\\created.txt", "again");
  fs.ReplaceFile(tw5 + "\\CREATED.TXT", "replaced");
  // By way of another name: a rename that changes only the letter case is none on some file systems (Wine's).
  std::filesystem::rename(c.Path("tw5/tarnwick.MSG"), c.Path("tw5/moved"));
  std::filesystem::rename(c.Path("tw5/moved"), c.Path("tw5/TARNWICK.MSG"));
  fs.ReplaceFile(tw5 + "\\Tarnwick.msg", "renamed");
  EXPECT_EQ(EntriesIn(c.Path("tw5")), (Names{"TARNWICK.MSG", "created.txt"}));
}

TYPED_TEST(FileSystemContract, PlainFilesAreFilesWhoseNameDoesNotBeginWithADot) {
  FileSystem& fs = this->system;
  const TempComponentFolder& c = this->temp;
  c.Write("f/a.doc", "a");
  c.Write("f/.dot", "mine");
  c.MakeFolder("f/sub");
  const std::string folder = this->root + "\\f";
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"a.doc"});
  EXPECT_EQ(fs.ListSubfolders(folder), Names{"sub"});
  DeletePlainFiles(fs, folder);
  EXPECT_EQ(EntriesIn(c.Path("f")), (Names{".dot", "sub"}));

  const std::string missing = this->root + "\\missing";
  EXPECT_THROW(fs.ListSubfolders(missing), FileError);
  EXPECT_THROW(fs.DeleteFile(missing), FileError);
  EXPECT_FALSE(fs.ReadFile(missing).has_value());
  EXPECT_FALSE(fs.FileSize(missing).has_value());
}

TYPED_TEST(FileSystemContract, AReplacementIsANewFileAndAFailedOneLeavesTheOldFileAndNoTemporaryFile) {
  FileSystem& fs = this->system;
  const TempComponentFolder& c = this->temp;
  c.Write("page.html", "old");
  std::filesystem::create_hard_link(c.Path("page.html"), c.Path("elsewhere.html"));
  fs.ReplaceFile(this->root + "\\page.html", "new");
  EXPECT_EQ(c.Read("page.html"), "new");
  EXPECT_EQ(c.Read("elsewhere.html"), "old");  // written in place, the link would show "new"

  c.MakeFolder("folder.html");
  try {
    fs.ReplaceFile(this->root + "\\folder.html", "new");  // a file cannot take a folder's place
    ADD_FAILURE() << "replaced a folder";
  } catch (const FileError& error) {
    const std::string text = error.what();
    EXPECT_TRUE(text.starts_with("cannot write " + this->root)) << text;
    EXPECT_NE(text.find("folder.html: "), std::string::npos) << text;
  }
  EXPECT_EQ(EntriesIn(c.root), (Names{"elsewhere.html", "folder.html", "page.html"}));
}

TYPED_TEST(FileSystemContract, OnlyItsOwnTemporaryFilesAreLeftovers) {
  FileSystem& fs = this->system;
  const TempComponentFolder& c = this->temp;
  c.Write(".วาระ.txt.part-Ab12cD", "half");
  c.Write("วาระ.txt.part-Ab12cD", "not hidden: not ours");
  c.Write(".a.doc.part-Ab12c", "five letters: not ours");
  c.Write(".a.doc.part-Ab_2cD", "not a letter: not ours");
  c.Write(".x.part-ab.cde", "the user's own");
  c.Write("..part-Ab12cD", "the user's own: no name is empty, so none has this temporary name");
  c.MakeFolder(".b.part-Ab12cD");
  fs.RemoveLeftovers(this->root);
  EXPECT_EQ(EntriesIn(c.root), (Names{"..part-Ab12cD", ".a.doc.part-Ab12c", ".a.doc.part-Ab_2cD", ".b.part-Ab12cD",
                                      ".x.part-ab.cde", "วาระ.txt.part-Ab12cD"}));
  EXPECT_NO_THROW(fs.RemoveLeftovers(this->root + "\\missing"));
}

// What the standard library says of the disk is what the system says of it: the same call on Windows, statvfs
// (f_blocks, f_frsize) on Linux.
TYPED_TEST(FileSystemContract, APendingFileTellsTheSpaceOfItsDisk) {
  HostPendingFile file(HostPath(this->root + "\\meeting.mp4").native());
  ASSERT_TRUE(file.Ok());
  const std::optional<DiskSpace> space = file.Space();
  ASSERT_TRUE(space.has_value());
  EXPECT_GT(space->total, 0u);
  EXPECT_LE(space->available, space->total);
  EXPECT_EQ(space->total, std::filesystem::space(this->temp.root).capacity);
}

TEST(DiskReserve, TheSmallerOf256MiBAnd5PercentOfTheWholeDisk) {
  constexpr std::uint64_t kMiB = 1 << 20;
  EXPECT_EQ(DiskReserve({.available = 1, .total = 1000 * kMiB}), 50 * kMiB);
  EXPECT_EQ(DiskReserve({.available = 1, .total = 1024 * 1024 * kMiB}), 256 * kMiB);
}

// The rule both name their temporary files by, for names too long to take it whole.
TEST(TemporaryName, FitsIn255UnitsAndNeverSplitsASurrogatePair) {
  auto random = [] { return 61u; };  // the last letter, "9"
  const std::string name(255, 'n');
  EXPECT_EQ(TemporaryName(std::string_view(name), random), "." + std::string(242, 'n') + ".part-999999");
  // U+1D11E takes two UTF-16 units, the 242nd and 243rd: a cut after 242 would leave half of it.
  const std::u16string wide = std::u16string(241, u'n') + u"\U0001D11E" + u"n";
  const std::u16string temporary = TemporaryName(std::u16string_view(wide), random);
  EXPECT_EQ(temporary, u"." + std::u16string(241, u'n') + u".part-999999");
  EXPECT_TRUE(IsTemporaryName(std::u16string_view(temporary)));
}

}  // namespace
}  // namespace tarnwick::testing
