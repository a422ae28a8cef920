// What the POSIX file system alone does; what all file systems do is in file_system_contract_test.cpp.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "fake_platform.h"

namespace tarnwick::testing {
namespace {

TEST(PosixFileSystem, ASymbolicLinkToAFileIsNotAPlainFile) {
  TempComponentFolder c;
  c.Write("f/a.doc", "a");
  c.Write("elsewhere.doc", "not the component's");
  std::filesystem::create_symlink("../elsewhere.doc", c.Path("f/link.doc"));
  PosixFileSystem fs;
  EXPECT_EQ(fs.ListPlainFiles(c.root.string() + "\\f"), std::vector<std::string>{"a.doc"});
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
