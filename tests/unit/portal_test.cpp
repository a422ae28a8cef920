#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fake_platform.h"
#include "launch/folder_configuration.h"
#include "portal/meeting_scan.h"
#include "portal/portal_update.h"

#ifdef _WIN32
#include <windows.h>  // after the headers above: its macros rename MessageBox, DeleteFile and ReplaceFile
#else
#include <iconv.h>
#endif

namespace tarnwick::testing {
namespace {

// The expected pages are kept as UTF-8 with LF; the page on disk is Windows-874 with CR LF.
#ifdef _WIN32
std::string ToWindows874(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  std::string out(wide.size(), '\0');
  BOOL usedDefault = FALSE;
  out.resize(
      static_cast<size_t>(WideCharToMultiByte(874, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                              out.data(), static_cast<int>(out.size()), nullptr, &usedDefault)));
  EXPECT_FALSE(usedDefault);
  return out;
}
#else
std::string ToWindows874(const std::string& utf8) {
  iconv_t cd = iconv_open("CP874", "UTF-8");
  std::string in = utf8;
  std::string out(in.size(), '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size();
  size_t outLeft = out.size();
  iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  EXPECT_EQ(inLeft, 0u);
  out.resize(out.size() - outLeft);
  return out;
}
#endif

// Folder names that look like a meeting's but are not. Windows drops a blank at the end of a name, so
// there "TW1 " would be the meeting TW1 itself.
#ifdef _WIN32
const std::vector<std::string> kNotMeetings = {"TW0", "TW10", "TW01", "XTW1", "TW1.old"};
#else
const std::vector<std::string> kNotMeetings = {"TW0", "TW10", "TW01", "TW1 ", "XTW1", "TW1.old"};
#endif

std::string ExpectedPage(const std::string& name, const std::string& folder) {
  std::ifstream file(std::string(TARNWICK_TEST_DATA) + "/portal/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  std::string page = text.str();
  while (!page.empty() && page.back() == '\n') page.pop_back();
  std::string lines;
  std::istringstream split(page);
  for (std::string line; std::getline(split, line);) {
    for (size_t at = line.find("@FOLDER@"); at != std::string::npos; at = line.find("@FOLDER@")) {
      line.replace(at, 8, folder);
    }
    lines += line + "\r\n";
  }
  return ToWindows874(lines);
}

std::vector<std::string> PageLines(const TempComponentFolder& c) {
  std::vector<std::string> lines;
  const std::string page = c.Read("Tarnwick.html");
  for (size_t start = 0; start < page.size();) {
    const size_t end = page.find("\r\n", start);
    lines.push_back(page.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class Portal : public ::testing::Test {
 protected:
  void Write() {
    const auto failure = RewritePortalPage(fs, c.root.string());
    EXPECT_FALSE(failure) << failure->detail;
  }
  void Message(int meeting, const std::vector<std::string>& lines) {
    c.Write("TW" + std::to_string(meeting) + "/Tarnwick.msg", ToWindows874(Crlf(lines)));
  }
  TempComponentFolder c;
  FaultyFileSystem fs;
};

TEST_F(Portal, NoMeetingAndNoConfiguration) {
  Write();
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("no_meeting.html", c.root.string()));
  EXPECT_EQ(ConfiguredServerUrl(fs, c.root.string()), std::nullopt);
}

TEST_F(Portal, AConfigurationOfOneLineBehavesLikeNone) {
  c.Write("Tarnwick.cfg", "only\r\n");
  Write();
  EXPECT_EQ(ConfiguredServerUrl(fs, c.root.string()), std::nullopt);
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("no_meeting.html", c.root.string()));
  c.Write("Tarnwick.cfg", "one\r\nhttps://two\r\nthree\r\n");
  EXPECT_EQ(ConfiguredServerUrl(fs, c.root.string()), "https://two");
}

TEST_F(Portal, TwoMeetingsWithThaiTextFoundWithoutRegardToCase) {
  c.Write("tarnwick.CFG", "ignored\r\nhttps://portal.example/meeting\r\nthird\r\n");
  Message(2, {"ประชุมครั้งที่ 2", "วาระที่ 1", "", "say \"hi\""});
  c.Write("tw7/TARNWICK.MSG", "Seven\r\n");
  for (const auto& ignored : kNotMeetings) {
    c.MakeFolder(ignored);
  }
  c.Write("TW4", "a file, not a folder");
  Write();
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("tw2_tw7.html", c.root.string()));
}

TEST_F(Portal, NineMeetingsFillTheListAndLeaveNoFiller) {
  for (int n = 9; n >= 1; --n) {
    Message(n, {"M" + std::to_string(n)});
  }
  Write();
  const auto lines = PageLines(c);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "</TD>"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Sub MOver9()"), lines.end());
}

TEST_F(Portal, TheFillerAfterTheMessageShrinksWithItsLines) {
  std::vector<std::string> ten = {"title"};
  for (int i = 1; i <= 10; ++i) ten.push_back("L" + std::to_string(i));
  std::vector<std::string> eleven = ten;
  eleven.push_back("L11");
  Message(1, ten);
  Message(2, eleven);
  Write();
  const auto lines = PageLines(c);
  std::string tenBody, elevenBody;
  for (int i = 1; i <= 10; ++i) tenBody += "L" + std::to_string(i) + " <Br> ";
  elevenBody = tenBody + "L11 <Br> ";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "MessTxt.InnerHTML = \"<STRONG>" + tenBody + "</STRONG><Br>\""),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "MessTxt.InnerHTML = \"<STRONG>" + elevenBody + "</STRONG>\""),
            lines.end());
}

TEST_F(Portal, AMeetingWithoutAMessageFileIsListedWithAnEmptyTitle) {
  c.MakeFolder("TW3");
  c.Write("TW5/Tarnwick.msg", "");
  Write();
  const auto lines = PageLines(c);
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "MessTxt.InnerHTML = \"<STRONG></STRONG><Br><Br><Br><Br><Br><Br><Br><Br><Br><Br><Br>\""),
            2);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<A href=TW5\\MainTarnwick.html><STRONG></STRONG></A>"), lines.end());
}

TEST_F(Portal, TooManyMessageLinesKeepTheOldPageAndCloseWithoutOk) {
  c.Write("Tarnwick.html", "old");
  std::string message = "title\r\n";
  for (int i = 0; i < 32768; ++i) message += "x\r\n";
  c.Write("TW1/Tarnwick.msg", message);
  EXPECT_EQ(RewritePortalPage(fs, c.root.string()).value_or(RunFailure{}).box, FailureBox::Page);
  EXPECT_EQ(c.Read("Tarnwick.html"), "old");
}

TEST_F(Portal, QuotesAreDoubledInsideScriptStringsOnly) {
  c.Write("Tarnwick.cfg", "x\r\nhttps://s/\"q\r\n");
  Message(1, {"a \"title\"", "a \"line\""});
  Write();
  const auto lines = PageLines(c);
  EXPECT_EQ(lines[14], "document.cookie=\"PWRKWST=https://s/\"\"q;expires=\" & Edate");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "MessTxt.InnerHTML = \"<STRONG>a \"\"line\"\" <Br> </STRONG>" +
                          std::string("<Br><Br><Br><Br><Br><Br><Br><Br><Br><Br>") + "\""),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<A href=TW1\\MainTarnwick.html><STRONG>a \"title\"</STRONG></A>"),
            lines.end());
}

TEST(PortalFolder, AComponentFolderEndingInASeparatorKeepsItInThePage) {
  TempComponentFolder c;
  HostFileSystem fs;
  c.Write("Tarnwick.cfg", "x\r\nhttps://u\r\n");
  c.Write("TW1/Tarnwick.msg", "One\r\n");
  EXPECT_FALSE(RewritePortalPage(fs, c.root.string() + "/"));
  const auto lines = PageLines(c);
  EXPECT_EQ(lines[15], "document.cookie=\"PWRKDRV=" + c.root.string() + "/;expires=\" & Edate");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<A href=TW1\\MainTarnwick.html><STRONG>One</STRONG></A>"),
            lines.end());
}

#ifndef _WIN32  // a Windows name holds no quote
TEST(PortalFolder, AQuoteInTheComponentFolderIsDoubledInsideTheScriptStrings) {
  TempComponentFolder c;
  c.MakeFolder("say \"hi\"");
  const std::string folder = c.root.string() + "/say \"hi\"";
  HostFileSystem fs;
  EXPECT_FALSE(RewritePortalPage(fs, folder));
  std::ifstream file(c.Path("say \"hi\"/Tarnwick.html"), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line.substr(0, line.size() - 1));  // without the CR
  }
  const std::string doubled = c.root.string() + "/say \"\"hi\"\"";
  ASSERT_GT(lines.size(), 30u);
  EXPECT_EQ(lines[15], "document.cookie=\"PWRKDRV=" + doubled + ";expires=\" & Edate");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Window.open \"https://meeting.tarnwick.example/meeting?PWRKDRV=" + doubled + "\", \"_top\""),
            lines.end());
}
#endif

TEST(MeetingScan, FindsTheMeetingFoldersInAnyCaseOnceEachInAscendingOrder) {
  TempComponentFolder c;
  HostFileSystem fs;
  for (const char* folder : {"TW5", "tw2", "Tw5x"}) {
    c.MakeFolder(folder);
  }
  for (const auto& ignored : kNotMeetings) {
    c.MakeFolder(ignored);
  }
  c.Write("TW4", "a file, not a folder");
  c.MakeFolder("TW7");  // empty: still a meeting
  const auto scan = ScanMeetingFolders(fs, c.root.string());
  ASSERT_FALSE(std::holds_alternative<RunFailure>(scan));
  EXPECT_EQ(std::get<std::vector<int>>(scan), (std::vector<int>{2, 5, 7}));
  EXPECT_EQ(MeetingNumberOf("tW9"), 9);
  EXPECT_EQ(MeetingNumberOf("TW"), 0);
}

TEST(MeetingScan, AFolderThatCannotBeListedFindsNoMeetingAndTheOldPageStays) {
  TempComponentFolder c;
  c.MakeFolder("TW2");
  c.Write("Tarnwick.html", "old");
  FaultyFileSystem fs;
  fs.subfoldersFail = true;
  EXPECT_TRUE(std::holds_alternative<RunFailure>(ScanMeetingFolders(fs, c.root.string())));
  EXPECT_EQ(RewritePortalPage(fs, c.root.string()).value_or(RunFailure{}).box, FailureBox::ChkFolder);
  EXPECT_EQ(c.Read("Tarnwick.html"), "old");
}

}  // namespace
}  // namespace tarnwick::testing
