// What the Win32 file system alone does; what all file systems do is in file_system_contract_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_platform.h"

#include <windows.h>  // after the headers above: its macros rename MessageBox, DeleteFile and ReplaceFile
#undef DeleteFile
#undef ReplaceFile

namespace tarnwick::testing {
namespace {

using Names = std::vector<std::string>;

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Win32FileSystem, HiddenAndSystemFilesAreNotPlainAndStayWhenTheFolderIsEmptied) {
  TempComponentFolder c;
  Win32FileSystem fs;
  for (const char* name : {"a.doc", "hidden.doc", "system.doc"}) {
    c.Write(std::string("f/") + name, "x");
  }
  ASSERT_TRUE(SetFileAttributesW(c.Path("f/hidden.doc").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(c.Path("f/system.doc").c_str(), FILE_ATTRIBUTE_SYSTEM));
  const std::string folder = Utf8(c.root) + "\\f";
  EXPECT_EQ(fs.ListPlainFiles(folder), Names{"a.doc"});
  DeletePlainFiles(fs, folder);
  EXPECT_EQ(EntriesIn(c.Path("f")), (Names{"hidden.doc", "system.doc"}));
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
