#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

std::optional<CommandLine> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
  std::string error;
  auto line = ParseCommandLine(args, error);
  if (errorOut != nullptr) {
    *errorOut = error;
  }
  return line;
}

TEST(CommandLine, ReadsEveryOptionAndKeepsTheDefaultsOfThoseNotGiven) {
  const auto all = Parse({"--folder", "/c", "--cookie-file", "-", "--yes", "--ui", "terminal", "--timeout", "5"});
  ASSERT_TRUE(all);
  EXPECT_EQ(all->folder, "/c");
  EXPECT_EQ(all->cookieFile, "-");
  EXPECT_TRUE(all->yes);
  EXPECT_EQ(all->frontEnd, FrontEnd::Terminal);
  EXPECT_EQ(all->timeoutSeconds, 5);

  const auto least = Parse({"--cookie-file", "c.txt"});
  ASSERT_TRUE(least);
  EXPECT_EQ(least->folder, "");
  EXPECT_FALSE(least->yes);
  EXPECT_EQ(least->frontEnd, FrontEnd::Auto);
  EXPECT_EQ(least->timeoutSeconds, 0);
  EXPECT_EQ(Parse({"--ui", "window", "--cookie-file", "c"})->frontEnd, FrontEnd::Window);
}

TEST(CommandLine, RefusesWhatItCannotUseAndSaysWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "--cookie-file is required"},
      {{"--cookie-file"}, "--cookie-file needs a value"},
      {{"--cookie-file", "c", "--folder"}, "--folder needs a value"},
      {{"--cookie-file", "c", "--bogus"}, "unknown argument: --bogus"},
      {{"--cookie-file", "c", "--ui", "both"}, "--ui takes auto, window or terminal"},
      {{"--cookie-file", "c", "--timeout", "0"}, "--timeout takes a positive number of seconds"},
      {{"--cookie-file", "c", "--timeout", "-3"}, "--timeout takes a positive number of seconds"},
      {{"--cookie-file", "c", "--timeout", "5s"}, "--timeout takes a positive number of seconds"},
  };
  for (const auto& [args, reason] : cases) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << ::testing::PrintToString(args);
    EXPECT_EQ(error, reason) << ::testing::PrintToString(args);
  }
}

TEST(CommandLine, OneTrailingLineEndIsNotPartOfTheCookie) {
  EXPECT_EQ(CookieFromFileText("HOST=h;PWD=p\r\n"), "HOST=h;PWD=p");
  EXPECT_EQ(CookieFromFileText("HOST=h\n"), "HOST=h");
  EXPECT_EQ(CookieFromFileText("HOST=h\r"), "HOST=h");
  EXPECT_EQ(CookieFromFileText("HOST=h\n\n"), "HOST=h\n");
  EXPECT_EQ(CookieFromFileText("PWD= p "), "PWD= p ");
}

}  // namespace
}  // namespace tarnwick
