#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launch/dl_tarnwick.h"
#include "window/texts.h"

namespace tarnwick::testing {
namespace {

const std::string kArgumentError = "You Send Argument Error\r\nPlease. Asked Ostwin, 555-010101";

class Launch : public ::testing::Test {
 protected:
  void ExpectArgumentError() {
    ASSERT_EQ(c.host.boxes.size(), 1u);
    EXPECT_EQ(c.host.boxes[0].text, kArgumentError);
    EXPECT_EQ(c.host.boxes[0].title, "Error");
    EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(c.form.IsOpen());
    EXPECT_EQ(c.form.LastCloseReason(), CloseReason::ArgumentError);
    EXPECT_FALSE(c.Exists("CodeWork"));
    EXPECT_TRUE(c.Inet1().calls.empty());
  }
  void ExpectStartBox() {
    ASSERT_EQ(c.host.boxes.size(), 1u);
    EXPECT_EQ(c.host.boxes[0].text, "Start-1");
    EXPECT_EQ(c.host.boxes[0].title, "มีข้อผิดพลาด");
    EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Critical);
    EXPECT_EQ(c.form.LastCloseReason(), CloseReason::ErrorBox);
  }
  Component c;
};

TEST_F(Launch, ACompleteCookieFillsTheRunStateWritesTheMarkerAndFetchesTheManifest) {
  c.Start("HOST=a%2Eb%2Ec;SUBSOURCE=\\x\\y;TIMESOURCE=t;LOGIN=u;PWD=p");
  const RunState& s = c.form.State();
  EXPECT_EQ(s.Host, "a.b.c");
  EXPECT_EQ(s.SubSource, "\\x\\y");
  EXPECT_EQ(s.LocalFolder, "y");
  EXPECT_EQ(s.TimeSource, "t");
  EXPECT_EQ(s.Login, "u");
  EXPECT_EQ(s.Password, "p");
  EXPECT_EQ(s.NewRevision, "2");
  EXPECT_EQ(s.KeptRevision, "1");
  EXPECT_EQ(c.Read("CodeWork"), " 1 \r\n");
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_GE(c.host.repaints, 1);
  ASSERT_EQ(c.Inet1().calls.size(), 1u);
  EXPECT_TRUE(c.Exists("y"));
}

TEST_F(Launch, KeysIgnoreCaseValuesKeepTheirsAndEverythingAfterTheFirstEquals) {
  c.Start("  host=H%2e1 ;SubSource=A\\b;timesource=T=1;login= u;pwd=a=b= ;other=x; ;=v");
  // "; " trims to an empty element without "=": the run stops at Start-1 after the fields were written.
  const RunState& s = c.form.State();
  EXPECT_EQ(s.Host, "H%2e1");
  EXPECT_EQ(s.LocalFolder, "b");
  EXPECT_EQ(s.TimeSource, "T=1");
  EXPECT_EQ(s.Login, " u");
  EXPECT_EQ(s.Password, "a=b=");
  ExpectStartBox();
}

TEST_F(Launch, AKeyEndingInABlankIsPassedOverAndTheCountFallsShort) {
  c.Start("HOST =v;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p");
  ExpectArgumentError();
  EXPECT_EQ(c.form.State().Host, "");
}

TEST_F(Launch, TheCountMustBeExactlyFive) {
  c.Start("HOST=h;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p;PWD=q");
  ExpectArgumentError();
}

TEST_F(Launch, AnEmptyCookieIsAnArgumentError) {
  c.Start("");
  ExpectArgumentError();
}

TEST_F(Launch, FourKeysWithOneTwicePassAndTheMissingOneKeepsItsEarlierValue) {
  c.Start(GoodCookie());
  c.Inet1().Fail(550);
  c.host.boxes.clear();
  c.Start("HOST=other;SUBSOURCE=m\\TW3;TIMESOURCE=t2;LOGIN=u2;LOGIN=u3");
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_EQ(c.form.State().Login, "u3");
  EXPECT_EQ(c.form.State().Password, "s3cr:t@x/y");
  EXPECT_EQ(c.Inet1().calls.at(0).url, "ftp://u3:s3cr:t@x/y@other");
}

TEST_F(Launch, AnElementWithoutEqualsEndsAtStartOne) {
  c.Start(GoodCookie() + ";novalue");
  ExpectStartBox();
  EXPECT_TRUE(c.Inet1().calls.empty());
}

TEST_F(Launch, LocalFolderIsTheTextAfterTheLastBackslash) {
  c.Start(GoodCookie("abc"));
  EXPECT_EQ(c.form.State().LocalFolder, "abc");
  EXPECT_TRUE(c.host.boxes.empty());
}

TEST_F(Launch, ALocalFolderThatDoesNotNameOneFolderInsideIsRefusedBeforeTheMarker) {
  for (const std::string subSource : {"\\a\\b\\", "a/b", "x\\..", "."}) {
    Component other;
    other.Write("CodeWork", "");
    other.Write("keep.txt", "keep");
    other.Start(GoodCookie(subSource));
    EXPECT_EQ(other.LastBoxText(), kArgumentError) << subSource;
    EXPECT_EQ(other.form.LastCloseReason(), CloseReason::ArgumentError) << subSource;
    EXPECT_EQ(other.Read("CodeWork"), "") << subSource;
    EXPECT_TRUE(other.Exists("keep.txt")) << subSource;
  }
}

TEST_F(Launch, AMarkerLeftByAnUnconfirmedRunEmptiesTheLocalFolderButNotItsSubfolders) {
  c.Write("codework", "x");
  c.Write("TW3/FileUpdate.dat", "A\r\n1\r\n");
  c.Write("TW3/doc.pdf", "pdf");
  c.Write("TW3/.hidden", "h");
  c.Write("TW3/sub/inner.txt", "inner");
  c.Start(GoodCookie());
  EXPECT_FALSE(c.Exists("TW3/FileUpdate.dat"));
  EXPECT_FALSE(c.Exists("TW3/doc.pdf"));
  EXPECT_TRUE(c.Exists("TW3/.hidden"));
  EXPECT_TRUE(c.Exists("TW3/sub/inner.txt"));
  EXPECT_EQ(c.Read("codework"), " 1 \r\n");  // found case-blind, rewritten in place
  EXPECT_FALSE(c.Exists("CodeWork"));
}

TEST_F(Launch, WithoutAMarkerNothingIsDeleted) {
  c.Write("TW3/doc.pdf", "pdf");
  c.Start(GoodCookie());
  EXPECT_TRUE(c.Exists("TW3/doc.pdf"));
  EXPECT_EQ(c.Read("CodeWork"), " 1 \r\n");
}

TEST_F(Launch, AMarkerWithoutALocalFolderIsNoError) {
  c.Write("CodeWork", "");
  c.Start(GoodCookie());
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_TRUE(c.Exists("TW3"));
}

TEST_F(Launch, AFileThatCannotBeDeletedEndsAtStartOne) {
  c.Write("CodeWork", "");
  c.Write("TW3/locked.doc", "x");
  c.fs.undeletable.insert("locked.doc");
  c.Start(GoodCookie());
  ExpectStartBox();
}

TEST_F(Launch, AMarkerThatCannotBeWrittenEndsAtStartOne) {
  c.fs.unwritable.insert("CodeWork");
  c.Start(GoodCookie());
  ExpectStartBox();
}

TEST_F(Launch, ARefusedManifestRequestEndsAtStartOne) {
  c.form.Form_Load();
  c.Inet1().refuse = true;
  modDHTMLTarnwick::LaunchCookie = GoodCookie();
  c.form.Form_Resize();
  ExpectStartBox();
}

TEST_F(Launch, MoreThan32767ElementsOverflowTheElementIndex) {
  std::string cookie = GoodCookie();
  for (int i = 0; i < 32770; ++i) {
    cookie += ";k=v";
  }
  c.Start(cookie);
  ExpectStartBox();
}

TEST(DLTarnwick, TheClickCapturesTheCookieShowsTheWindowAndReturnsFalse) {
  Component c;
  struct Page : PageRuntime {
    std::string Cookie() override { return GoodCookie(); }
  } page;
  DLTarnwick dl(page, c.platform, c.root.string());
  EXPECT_FALSE(dl.DownLoad_onclick());
  EXPECT_EQ(modDHTMLTarnwick::LaunchCookie, GoodCookie());
  FrmDownLoad* first = dl.Form();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->State().Login, "meeting");
  dl.DownLoad_onclick();
  EXPECT_EQ(dl.Form(), first);  // the window object and its run state live on between runs
}

}  // namespace
}  // namespace tarnwick::testing
