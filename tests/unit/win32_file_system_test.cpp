// What the Win32 file system adds to what the window, launch and portal tests already run against it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fake_platform.h"

#include <windows.h>  // after the headers above: its macros rename MessageBox, DeleteFile and ReplaceFile
#undef DeleteFile
#undef ReplaceFile

namespace tarnwick::testing {
namespace {

using Names = std::vector<std::string>;

// Paths in and out of the program as UTF-8, converted by the standard library, not by the code under test.
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}
std::filesystem::path FromUtf8(const std::string& text) { return std::u8string(text.begin(), text.end()); }

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

Names EntriesIn(const std::filesystem::path& folder) {
  Names names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  return Sorted(names);
}

TEST(Win32FileSystem, ThaiNamesGoToTheSystemAsUtf16AndLetterCaseIsTheSystemsAffair) {
  TempComponentFolder c;
  Win32FileSystem fs;
  const std::string folder = Utf8(c.root) + "\\ประชุม";
  fs.CreateFolder(folder);
  fs.ReplaceFile(folder + "\\วาระ.txt", "agenda");
  EXPECT_EQ(EntriesIn(c.root / L"ประชุม"), Names{"วาระ.txt"});
  EXPECT_EQ(fs.ListSubfolders(Utf8(c.root)), Names{"ประชุม"});
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"วาระ.txt"});
  EXPECT_EQ(fs.ReadFile(folder + "/วาระ.txt"), "agenda");
  EXPECT_EQ(fs.FileSize(folder + "\\วาระ.txt"), 6u);
  EXPECT_TRUE(fs.FolderExists(folder));
  EXPECT_FALSE(fs.FileExists(folder));
  EXPECT_THROW(fs.CreateFolder(folder), FileError);

  fs.ReplaceFile(folder + "\\Notes.TXT", "1");
  fs.ReplaceFile(folder + "\\NOTES.txt", "2");  // the file on disk keeps its name
  EXPECT_EQ(Sorted(fs.ListPlainFiles(folder)), (Names{"Notes.TXT", "วาระ.txt"}));
  EXPECT_EQ(fs.ReadFile(folder + "\\notes.txt"), "2");
  fs.DeleteFile(folder + "\\notes.TXT");
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"วาระ.txt"});
  EXPECT_FALSE(fs.ReadFile(folder + "\\missing").has_value());
  EXPECT_FALSE(fs.FileSize(folder + "\\missing").has_value());
  EXPECT_THROW(fs.ListSubfolders(folder + "\\missing"), FileError);
}

TEST(Win32FileSystem, AReplacementIsANewFileAndAFailedOneLeavesTheOldFileAndNoTemporaryFile) {
  TempComponentFolder c;
  Win32FileSystem fs;
  const std::string root = Utf8(c.root);
  Put(c.root / "page.html", "old");
  ASSERT_TRUE(CreateHardLinkW((c.root / "elsewhere.html").c_str(), (c.root / "page.html").c_str(), nullptr));
  fs.ReplaceFile(root + "\\page.html", "new");
  EXPECT_EQ(c.Read("page.html"), "new");
  EXPECT_EQ(c.Read("elsewhere.html"), "old");  // written in place, the link would show "new"

  c.MakeFolder("folder.html");
  try {
    fs.ReplaceFile(root + "\\folder.html", "new");  // a file cannot take a folder's place
    ADD_FAILURE() << "replaced a folder";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(root + "\\folder.html: "), std::string::npos) << error.what();
  }
  EXPECT_EQ(EntriesIn(c.root), (Names{"elsewhere.html", "folder.html", "page.html"}));
}

TEST(Win32FileSystem, HiddenAndSystemFilesAreNotPlainAndStayWhenTheFolderIsEmptied) {
  TempComponentFolder c;
  Win32FileSystem fs;
  for (const char* name : {"a.doc", "hidden.doc", "system.doc", ".dot"}) {
    c.Write(std::string("f/") + name, "x");
  }
  c.MakeFolder("f/sub");
  ASSERT_TRUE(SetFileAttributesW(c.Path("f/hidden.doc").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(c.Path("f/system.doc").c_str(), FILE_ATTRIBUTE_SYSTEM));
  const std::string folder = Utf8(c.root) + "\\f";
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"a.doc"});
  EXPECT_EQ(fs.ListSubfolders(folder), Names{"sub"});
  DeletePlainFiles(fs, folder);
  EXPECT_EQ(EntriesIn(c.Path("f")), (Names{".dot", "hidden.doc", "sub", "system.doc"}));
}

// A folder that is a reparse point: a directory symbolic link when the system makes one for us, else the
// one the build made (Wine 8 shows a Unix symbolic link as a reparse point but does not make one).
std::string LinkedFolder(const TempComponentFolder& c) {
  c.MakeFolder("target");
  const std::filesystem::path link = c.Path("link");
  CreateSymbolicLinkW(link.c_str(), c.Path("target").c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Utf8(link);
  }
#ifdef TARNWICK_TEST_LINKED_FOLDER
  return TARNWICK_TEST_LINKED_FOLDER;
#else
  return {};
#endif
}

TEST(Win32FileSystem, AFolderThatIsAReparsePointIsNeverEmptied) {
  TempComponentFolder c;
  const std::string link = LinkedFolder(c);
  const DWORD attributes = GetFileAttributesW(FromUtf8(link).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "no folder that is a reparse point here";
  }
  Put(FromUtf8(link) / "kept.doc", "kept");
  Win32FileSystem fs;
  EXPECT_TRUE(fs.FolderExists(link));
  EXPECT_THROW(fs.ListPlainFiles(link), FileError);
  EXPECT_THROW(DeletePlainFiles(fs, link), FileError);
  EXPECT_TRUE(fs.FileExists(link + "\\kept.doc"));
}

TEST(Win32FileSystem, OnlyItsOwnTemporaryFilesAreLeftovers) {
  TempComponentFolder c;
  Win32FileSystem fs;
  Put(c.root / L".วาระ.txt.part-Ab12cD", "half");
  Put(c.root / L"วาระ.txt.part-Ab12cD", "not hidden: not ours");
  Put(c.root / ".a.doc.part-Ab12c", "five letters: not ours");
  Put(c.root / ".a.doc.part-Ab_2cD", "not a letter: not ours");
  c.MakeFolder(".b.part-Ab12cD");
  fs.RemoveLeftovers(Utf8(c.root));
  EXPECT_EQ(EntriesIn(c.root),
            (Names{".a.doc.part-Ab12c", ".a.doc.part-Ab_2cD", ".b.part-Ab12cD", "วาระ.txt.part-Ab12cD"}));
  EXPECT_NO_THROW(fs.RemoveLeftovers(Utf8(c.root) + "\\missing"));
}

TEST(Win32FileSystem, AFileThatCannotBeDeletedIsNamedWithTheSystemsReason) {
  TempComponentFolder c;
  Win32FileSystem fs;
  Put(c.root / L"เปิดอยู่.doc", "open");
  // Open elsewhere without FILE_SHARE_DELETE, as a document open in a word processor is.
  const HANDLE open =
      CreateFileW((c.root / L"เปิดอยู่.doc").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  const std::string path = Utf8(c.root) + "\\เปิดอยู่.doc";
  try {
    fs.DeleteFile(path);
    ADD_FAILURE() << "deleted a file that is open";
  } catch (const FileError& error) {
    const std::string text = error.what();
    const std::string start = "cannot delete " + path + ": ";
    EXPECT_TRUE(text.starts_with(start)) << text;
    EXPECT_GT(text.size(), start.size() + 3) << text;
  }
  CloseHandle(open);
  fs.DeleteFile(path);
  EXPECT_TRUE(EntriesIn(c.root).empty());
}

}  // namespace
}  // namespace tarnwick::testing
