#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "fake_platform.h"

namespace tarnwick::testing {
namespace {

TEST(PosixFileSystem, FindsNamesThatDifferOnlyInLetterCase) {
  Component c;
  c.Write("tw5/tarnwick.MSG", "m");
  PosixFileSystem fs;
  const std::string root = c.root.string();
  EXPECT_TRUE(fs.FolderExists(root + "\\TW5"));
  EXPECT_TRUE(fs.FileExists(root + "\\TW5\\Tarnwick.msg"));
  EXPECT_EQ(fs.ReadFile(root + "\\TW5\\Tarnwick.msg"), "m");
  EXPECT_FALSE(fs.FileExists(root + "\\TW5"));
  fs.ReplaceFile(root + "\\TW5\\TARNWICK.msg", "new");
  EXPECT_EQ(c.Read("tw5/tarnwick.MSG"), "new");  // an existing file keeps its name
  fs.ReplaceFile(root + "\\TW5\\Created.Txt", "c");
  EXPECT_TRUE(c.Exists("tw5/Created.Txt"));  // a new one gets the name as written
  fs.DeleteFile(root + "\\tw5\\CREATED.TXT");
  EXPECT_FALSE(c.Exists("tw5/Created.Txt"));
}

TEST(PosixFileSystem, PlainFilesAreRegularFilesNotStartingWithADot) {
  Component c;
  c.Write("f/a.doc", "");
  c.Write("f/.part", "");
  c.MakeFolder("f/sub");
  PosixFileSystem fs;
  EXPECT_EQ(fs.ListPlainFiles(c.root.string() + "\\f"), std::vector<std::string>{"a.doc"});
  EXPECT_EQ(fs.ListSubfolders(c.root.string() + "\\f"), std::vector<std::string>{"sub"});
  EXPECT_THROW(fs.ListSubfolders(c.root.string() + "\\missing"), FileError);
  EXPECT_THROW(fs.DeleteFile(c.root.string() + "\\missing"), FileError);
  EXPECT_FALSE(fs.ReadFile(c.root.string() + "\\missing").has_value());
}

TEST(PosixFileSystem, AFailedReplacementLeavesTheOldFileAndNoTemporaryFile) {
  Component c;
  c.Write("page.html", "old");
  PosixFileSystem fs;
  c.MakeFolder("page.html.d");
  // Renaming a file over a folder fails: the target is a folder here.
  EXPECT_THROW(fs.ReplaceFile(c.root.string() + "\\page.html.d", "new"), FileError);
  EXPECT_EQ(c.Read("page.html"), "old");
  const auto entries = std::distance(std::filesystem::directory_iterator(c.root), {});
  EXPECT_EQ(entries, 2);
}

TEST(PosixFileSystem, AReplacementIsANewFileSoAHardLinkToTheOldOneKeepsItsContent) {
  Component c;
  c.Write("page.html", "old");
  std::filesystem::create_hard_link(c.Path("page.html"), c.Path("elsewhere.html"));
  PosixFileSystem fs;
  fs.ReplaceFile(c.root.string() + "\\page.html", "new");
  EXPECT_EQ(c.Read("page.html"), "new");
  EXPECT_EQ(c.Read("elsewhere.html"), "old");  // written in place, the link would show "new"
}

TEST(PosixFileSystem, AWriteThatFailsHalfWayLeavesTheOldFileAndNoTemporaryFile) {
  Component c;
  c.Write("page.html", "old");
  // A child process with a file size limit: writing past it fails (SIGXFSZ ignored) after a part is written.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    PosixFileSystem fs;
    try {
      fs.ReplaceFile(c.root.string() + "\\page.html", std::string(100000, 'x'));
    } catch (const FileError&) {
      _exit(0);
    }
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was not reported";
  EXPECT_EQ(c.Read("page.html"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c.root), {}), 1);
}

}  // namespace
}  // namespace tarnwick::testing
