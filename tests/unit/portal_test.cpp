#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <sstream>

#include "fake_platform.h"

namespace tarnwick::testing {
namespace {

// The expected pages are kept as UTF-8 with LF; the page on disk is Windows-874 with CR LF.
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

std::vector<std::string> PageLines(const Component& c) {
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
    c.form.Form_Load();
    EXPECT_TRUE(c.form.WritePortalPage());
  }
  void Message(int meeting, const std::vector<std::string>& lines) {
    c.Write("TW" + std::to_string(meeting) + "/Tarnwick.msg", ToWindows874(Crlf(lines)));
  }
  Component c;
};

TEST_F(Portal, NoMeetingAndNoConfiguration) {
  Write();
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("no_meeting.html", c.root.string()));
  EXPECT_EQ(c.form.State().LastMeeting.Get(), -1);
  EXPECT_EQ(c.form.State().ServerUrl, "https://meeting.tarnwick.example/meeting");
}

TEST_F(Portal, AConfigurationOfOneLineBehavesLikeNone) {
  c.Write("Tarnwick.cfg", "only\r\n");
  Write();
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("no_meeting.html", c.root.string()));
}

TEST_F(Portal, TwoMeetingsWithThaiTextFoundWithoutRegardToCase) {
  c.Write("tarnwick.CFG", "ignored\r\nhttps://portal.example/meeting\r\nthird\r\n");
  Message(2, {"ประชุมครั้งที่ 2", "วาระที่ 1", "", "say \"hi\""});
  c.Write("tw7/TARNWICK.MSG", "Seven\r\n");
  for (const char* ignored : {"TW0", "TW10", "TW01", "TW1 ", "XTW1", "TW1.old"}) {
    c.MakeFolder(ignored);
  }
  c.Write("TW4", "a file, not a folder");
  Write();
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("tw2_tw7.html", c.root.string()));
  EXPECT_EQ(c.form.State().MeetingTitle[0], "ประชุมครั้งที่ 2");
  EXPECT_EQ(c.form.State().MeetingTitle[1], "Seven");
}

TEST_F(Portal, NineMeetingsFillTheListAndLeaveNoFiller) {
  for (int n = 9; n >= 1; --n) {
    Message(n, {"M" + std::to_string(n)});
  }
  Write();
  const auto& s = c.form.State();
  EXPECT_EQ(s.LastMeeting.Get(), 8);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(s.MeetingNo[static_cast<size_t>(i)].Get(), i + 1);
  }
  EXPECT_EQ(s.MeetingNo[9].Get(), 9);
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
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "MessTxt.InnerHTML = \"<STRONG></STRONG><Br><Br><Br><Br><Br><Br><Br><Br><Br><Br><Br>\""), 2);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<A href=TW5\\MainTarnwick.html><STRONG></STRONG></A>"), lines.end());
}

TEST_F(Portal, TooManyMessageLinesKeepTheOldPageAndCloseWithoutOk) {
  c.Write("Tarnwick.html", "old");
  std::string message = "title\r\n";
  for (int i = 0; i < 32768; ++i) message += "x\r\n";
  c.Write("TW1/Tarnwick.msg", message);
  c.form.Form_Load();
  EXPECT_FALSE(c.form.WritePortalPage());
  EXPECT_EQ(c.Read("Tarnwick.html"), "old");
  EXPECT_EQ(c.LastBoxText(), "Page-1");
  EXPECT_EQ(c.form.LastCloseReason(), CloseReason::ErrorBox);
}

TEST_F(Portal, QuotesAreDoubledInsideScriptStringsOnly) {
  c.Write("Tarnwick.cfg", "x\r\nhttps://s/\"q\r\n");
  Message(1, {"a \"title\"", "a \"line\""});
  Write();
  const auto lines = PageLines(c);
  EXPECT_EQ(lines[14], "document.cookie=\"PWRKWST=https://s/\"\"q;expires=\" & Edate");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "MessTxt.InnerHTML = \"<STRONG>a \"\"line\"\" <Br> </STRONG>" +
                                                      std::string("<Br><Br><Br><Br><Br><Br><Br><Br><Br><Br>") + "\""),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<A href=TW1\\MainTarnwick.html><STRONG>a \"title\"</STRONG></A>"),
            lines.end());
}

TEST(PortalFolder, AComponentFolderEndingInASeparatorKeepsItInThePage) {
  Component c;
  FrmDownLoad form(c.platform, c.root.string() + "/");
  c.Write("Tarnwick.cfg", "x\r\nhttps://u\r\n");
  c.Write("TW1/Tarnwick.msg", "One\r\n");
  form.Form_Load();
  EXPECT_TRUE(form.WritePortalPage());
  const auto lines = PageLines(c);
  EXPECT_EQ(lines[15], "document.cookie=\"PWRKDRV=" + c.root.string() + "/;expires=\" & Edate");
  EXPECT_EQ(form.State().MeetingTitle[0], "One");
}

TEST(MeetingScan, FoldersTwoAndFiveAreCompactedIntoTheFirstSlots) {
  Component c;
  c.MakeFolder("TW2");
  c.MakeFolder("Tw5");
  c.form.Form_Load();
  c.form.ClearMeetingNo();
  c.form.ScanMeetingFolders();
  c.form.CompactMeetingNo();
  std::vector<int> slots;
  for (const auto& slot : c.form.State().MeetingNo) slots.push_back(slot.Get());
  EXPECT_EQ(slots, (std::vector<int>{2, 5, 2, 0, 0, 5, 0, 0, 0, 0}));
  EXPECT_EQ(c.form.State().LastMeeting.Get(), 1);
  EXPECT_EQ(c.form.State().ErrorStage, "ChkFolder-1 ");
}

TEST(MeetingScan, AFolderThatCannotBeOpenedShowsChkFolderAndTheCallerGoesOn) {
  Component c;
  c.MakeFolder("TW2");
  c.fs.subfoldersFail = true;
  c.form.Form_Load();
  EXPECT_TRUE(c.form.WritePortalPage());
  EXPECT_EQ(c.host.boxes.at(0).text, "ChkFolder-1 ");
  EXPECT_EQ(c.host.boxes.at(0).title, "มีข้อผิดพลาด");
  EXPECT_FALSE(c.form.IsOpen());
  EXPECT_EQ(c.form.State().LastMeeting.Get(), -1);
  EXPECT_EQ(c.Read("Tarnwick.html"), ExpectedPage("no_meeting.html", c.root.string()));
}

}  // namespace
}  // namespace tarnwick::testing
