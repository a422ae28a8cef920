#include "app/command_line.h"
#include "app/desktop_integration.h"
#include "app/run_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/escaped_text.h"

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
  EXPECT_EQ(least->action, Action::Run);
  EXPECT_EQ(least->logFile, "");
  EXPECT_FALSE(least->quiet);
}

TEST(CommandLine, ValuesFollowAsTheNextWordOrAfterAnEqualsSign) {
  const auto line =
      Parse({"--cookie-file=c=1.txt", "--ui=terminal", "--timeout=7", "--log", "runs.log", "-q", "--folder=/a b"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->cookieFile, "c=1.txt");  // everything after the first "="
  EXPECT_EQ(line->frontEnd, FrontEnd::Terminal);
  EXPECT_EQ(line->timeoutSeconds, 7);
  EXPECT_EQ(line->logFile, "runs.log");
  EXPECT_TRUE(line->quiet);
  EXPECT_EQ(line->folder, "/a b");
  EXPECT_TRUE(Parse({"--quiet", "--cookie-file", "c"})->quiet);
}

TEST(CommandLine, HelpAndVersionNeedNothingElse) {
  for (const std::string help : {"-h", "--help"}) {
    EXPECT_EQ(Parse({"--bogus-later-is-not-read", help}), std::nullopt);  // an earlier fault still counts
    EXPECT_EQ(Parse({help, "--bogus"})->action, Action::Help);
  }
  EXPECT_EQ(Parse({"--version"})->action, Action::Version);
  EXPECT_EQ(Parse({"--cookie-file", "c", "--version"})->action, Action::Version);
}

TEST(CommandLine, RefusesWhatItCannotUseAndSaysWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "--cookie-file or a tarnwick-download: link is required"},
      {{"--cookie-file", "c", "tarnwick-download:PWD%3Ds"}, "give --cookie-file or a link, not both"},
      {{"tarnwick-download:a", "tarnwick-download:PWD%3Ds"}, "nothing may follow a tarnwick-download: link"},
      // A quote inside a link that a launcher put in its command line unencoded ends the argument there.
      {{"--yes", "tarnwick-download:a", "--folder", "/elsewhere"}, "nothing may follow a tarnwick-download: link"},
      {{"tarnwick-download:a", "--help"}, "nothing may follow a tarnwick-download: link"},
      {{"--", "tarnwick-download:a", "--tls", "off"},
       "\"--\" is followed by exactly one argument, a tarnwick-download: link"},
      {{"--", "--yes"}, "\"--\" is followed by exactly one argument, a tarnwick-download: link"},
      {{"--"}, "\"--\" is followed by exactly one argument, a tarnwick-download: link"},
      {{"--unregister", "--tries", "3"}, "--unregister takes nothing else"},
      {{"--open-portal", "--tls", "off"}, "--open-portal takes only --folder"},
      {{"--open-portal", "--tries=2"}, "--open-portal takes only --folder"},
      {{"--register", "--cookie-file", "c"}, "--register takes run options, not a cookie file or a link"},
      {{"--register", "tarnwick-download:a"}, "--register takes run options, not a cookie file or a link"},
      {{"--unregister", "--yes"}, "--unregister takes nothing else"},
      {{"--register", "--unregister"}, "give one of --register, --unregister and --open-portal, once"},
      {{"--open-portal", "--yes"}, "--open-portal takes only --folder"},
      {{"--cookie-file"}, "--cookie-file needs a value"},
      {{"--cookie-file", "c", "--folder"}, "--folder needs a value"},
      {{"--cookie-file", "c", "--bogus"}, "unknown option: --bogus"},
      {{"--cookie-file", "c", "--bogus=1"}, "unknown option: --bogus"},
      {{"--cookie-file", "c", "-x"}, "unknown option: -x"},
      {{"--cookie-file", "c", "stray"}, "argument 3 is neither an option nor a tarnwick-download: link"},
      {{"--cookie-file="}, "--cookie-file needs a value"},
      {{"--cookie-file", "c", "--yes=no"}, "--yes takes no value"},
      {{"--cookie-file", "c", "--ui="}, "--ui needs a value"},
      {{"--cookie-file", "c", "--ui", "both"}, "--ui takes auto, window or terminal"},
      {{"--cookie-file", "c", "--tls", "yes"}, "--tls takes off, auto or require"},
      {{"--cookie-file", "c", "--timeout", "0"}, "--timeout takes a number of seconds from 1 to 3600"},
      {{"--cookie-file", "c", "--timeout", "-3"}, "--timeout takes a number of seconds from 1 to 3600"},
      {{"--cookie-file", "c", "--timeout", "5s"}, "--timeout takes a number of seconds from 1 to 3600"},
      {{"--cookie-file", "c", "--timeout", "3601"}, "--timeout takes a number of seconds from 1 to 3600"},
      {{"--cookie-file", "c", "--tries", "21"}, "--tries takes a number from 1 to 20"},
      {{"--cookie-file", "c", "--busy-wait", "3601"}, "--busy-wait takes a number of seconds from 1 to 3600"},
      {{"--open-portal", "--busy-wait=60"}, "--open-portal takes only --folder"},
      // A link typed as a value: its password is not echoed, nor a log file named after it.
      {{"--folder", "tarnwick-download:PWD%3Ds", "--cookie-file", "c"}, "--folder takes no tarnwick-download: link"},
      {{"--cookie-file", "c", "--log=Tarnwick-Download:PWD%3Ds"}, "--log takes no tarnwick-download: link"},
      {{"--cookie-file=tarnwick-download:PWD%3Ds"}, "--cookie-file takes no tarnwick-download: link"},
      {{"--register", "--ui", "tarnwick-download:PWD%3Ds"}, "--ui takes no tarnwick-download: link"},
      // The process list shows the arguments: a proxy's password is refused, and not echoed.
      {{"--cookie-file", "c", "--proxy", "http://u:s3cret@p:3128"},
       "--proxy takes no password (give the proxy with its password in https_proxy or ftp_proxy)"},
      {{"--cookie-file", "c", "--proxy=http://[bad"}, "--proxy takes a proxy's URL (http://host:port) or none"},
      {{"--unregister", "--proxy", "none"}, "--unregister takes nothing else"},
  };
  for (const auto& [args, reason] : cases) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << ::testing::PrintToString(args);
    EXPECT_EQ(error, reason) << ::testing::PrintToString(args);
  }
}

TEST(CommandLine, ALinkOrRegistrationWithTheRunOptionsThatTheHandlerPassesOn) {
  for (const auto& args : {std::vector<std::string>{"--yes", "TARNWICK-DOWNLOAD:HOST%3Dh"},
                           std::vector<std::string>{"--yes", "--", "TARNWICK-DOWNLOAD:HOST%3Dh"}}) {
    const auto link = Parse(args);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->link, "TARNWICK-DOWNLOAD:HOST%3Dh");
    EXPECT_EQ(link->action, Action::Run);
  }
  const auto limits =
      Parse({"--tries", "20", "--timeout", "3600", "--busy-wait=3600", "--tls", "off", "--", "tarnwick-download:x"});
  ASSERT_TRUE(limits);
  EXPECT_EQ(OverridesOf(*limits).tries, 20);
  EXPECT_EQ(OverridesOf(*limits).busyWaitSeconds, 3600);
  EXPECT_EQ(OverridesOf(*limits).timeoutSeconds, 3600);
  EXPECT_EQ(limits->tls, TlsMode::Off);
  EXPECT_EQ(Parse({"--tls=require", "--cookie-file", "c"})->tls, TlsMode::Required);

  const auto registration = Parse({"--register", "--folder=/c d", "--ui", "window", "--yes", "--timeout", "9", "--log",
                                   "/l", "-q", "--tls=auto", "--proxy", "http://staff@p:3128"});
  ASSERT_TRUE(registration);
  EXPECT_EQ(registration->action, Action::Register);
  EXPECT_EQ(RunOptionArguments(*registration),
            (std::vector<std::string>{"--folder", "/c d", "--ui", "window", "--yes", "--timeout", "9", "--log", "/l",
                                      "--tls", "auto", "--proxy", "http://staff@p:3128", "-q"}));
  EXPECT_EQ(RunOptionArguments(*Parse({"--register", "--proxy=none"})), (std::vector<std::string>{"--proxy", "none"}));
  EXPECT_EQ(OverridesOf(*Parse({"--proxy=none", "--cookie-file", "c"})).proxy, "");
  EXPECT_EQ(Parse({"--unregister"})->action, Action::Unregister);
  EXPECT_TRUE(RunOptionArguments(*Parse({"--register"})).empty());
}

TEST(LinkRegistration, TheDesktopEntryTakesOnlyArgumentsThatEveryLauncherPassesOnWhole) {
  const auto entry = LinkDesktopEntry("/opt/tw/tarnwick-download", {"--folder", "/home/ส/ประชุม-2.0_x", "--yes"});
  ASSERT_TRUE(entry);
  EXPECT_NE(entry->find("\nExec=/opt/tw/tarnwick-download --folder /home/ส/ประชุม-2.0_x --yes -- %u\n"),
            std::string::npos)
      << *entry;
  EXPECT_NE(entry->find("\nMimeType=x-scheme-handler/tarnwick-download;\n"), std::string::npos);
  for (const std::string folder : {"/a b", "/100%", "/a\\b", "/a\"b", "/a*", "/a?", "/a$b", "/a\nb", "/a\xff"}) {
    EXPECT_EQ(LinkDesktopEntry("/x", {"--folder", folder}), std::nullopt) << folder;
  }
  EXPECT_EQ(LinkDesktopEntry("/my programs/tarnwick-download", {}), std::nullopt);

  EXPECT_EQ(
      WithoutLinkDefault("[Default Applications]\nx-scheme-handler/tarnwick-download=tarnwick-download-link.desktop\n"
                         "text/plain=ed.desktop\n"),
      "[Default Applications]\ntext/plain=ed.desktop\n");
  EXPECT_EQ(WithoutLinkDefault("x-scheme-handler/tarnwick-download=other.desktop;tarnwick-download-link.desktop;\n"),
            "x-scheme-handler/tarnwick-download=other.desktop;\n");
  EXPECT_EQ(WithoutLinkDefault("x-scheme-handler/tarnwick-download=other.desktop\n"), std::nullopt);
  EXPECT_EQ(WithoutLinkDefault("[Added Associations]\r\nx-scheme-handler/tarnwick-download = "
                               "tarnwick-download-link.desktop;\r\ntext/plain=ed.desktop\r\n"),
            "[Added Associations]\r\ntext/plain=ed.desktop\r\n");
  EXPECT_EQ(WithoutLinkDefault("x-scheme-handler/tarnwick-download=tarnwick-download-link.desktop;other.desktop\r\n"),
            "x-scheme-handler/tarnwick-download=other.desktop;\r\n");
}

TEST(CommandLine, TheLineEndsAtTheEndOfTheCookieFileAreNotPartOfTheCookie) {
  EXPECT_EQ(CookieFromFileText("HOST=h;PWD=p\r\n"), "HOST=h;PWD=p");
  EXPECT_EQ(CookieFromFileText("HOST=h\n"), "HOST=h");
  EXPECT_EQ(CookieFromFileText("HOST=h\r"), "HOST=h");
  EXPECT_EQ(CookieFromFileText("HOST=h\n\n\r\n\r"), "HOST=h");  // a blank last line, as editors leave
  EXPECT_EQ(CookieFromFileText("PWD= p "), "PWD= p ");          // blanks belong to the value
  EXPECT_EQ(CookieFromFileText("\r\n"), "");
}

// A new manifest may leave out thousands of names: the summary's line is cut, where a letter ends.
TEST(RunLog, ALineHoldsAtMost8KiB) {
  const auto path = std::filesystem::temp_directory_path() / ("tarnwick-log-" + std::to_string(getpid()));
  RunLog(path.string(), "/c").RunCompleted({0, 0, std::vector<std::string>(1000, "ประชุม.doc")});
  std::ifstream in(path);
  size_t longest = 0;
  for (std::string line; std::getline(in, line); longest = std::max(longest, line.size() + 1)) {
    EXPECT_EQ(EscapeControls(line), line);  // well-formed UTF-8
  }
  std::filesystem::remove(path);
  EXPECT_LE(longest, kMostLogLineBytes);
  EXPECT_GT(longest, kMostLogLineBytes - 4);  // the line end and "…", cut one letter early at most
}

}  // namespace
}  // namespace tarnwick
