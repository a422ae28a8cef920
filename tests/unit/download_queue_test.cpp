#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tarnwick::testing {
namespace {

class Queue : public ::testing::Test {
 protected:
  // A run whose download list is the given entries followed by the fixed tail.
  void StartWith(const std::vector<std::string>& entries) {
    std::vector<std::string> manifest = {"G", "2"};
    manifest.insert(manifest.end(), entries.begin(), entries.end());
    c.Start(GoodCookie());
    c.AnswerManifest(manifest);
  }
  void ArriveNext() { c.Inet2().Succeed("content"); }
  Component c;
};

TEST_F(Queue, FetchesOneFileAtATimeAndMovesTheProgressBar) {
  StartWith({});
  c.Tick();
  ASSERT_EQ(c.Inet2().calls.size(), 1u);
  EXPECT_EQ(c.Inet2().calls[0].url, "ftp://meeting:s3cr:t@x/y@127.0.0.1");
  EXPECT_EQ(c.Inet2().calls[0].operation,
            "Get m\\TW3\\t1\\Tarnwick.msg  " + c.root.string() + "\\TW3\\Tarnwick.msg");
  c.Tick(3);  // in flight: nothing more starts
  EXPECT_EQ(c.Inet2().calls.size(), 1u);
  EXPECT_EQ(c.form.State().FileIndex.Get(), 1);
  EXPECT_EQ(c.form.State().ReadyForNext.Get(), 0);

  std::vector<double> progress;
  for (int i = 0; i < 3; ++i) {
    ArriveNext();
    progress.push_back(c.form.Controls().progressBar1.value);
    c.Tick();
  }
  EXPECT_EQ(progress, (std::vector<double>{2, 3, 4}));
  ArriveNext();
  EXPECT_EQ(c.form.Controls().lblwait.caption, "File Copy Completed =  4 Files");
  EXPECT_TRUE(c.form.Controls().cmdOk.enabled);
  EXPECT_FALSE(c.form.Controls().timer1.enabled);
  EXPECT_EQ(c.form.State().FileIndex.Get(), 4);
  EXPECT_TRUE(c.Exists("Tarnwick.html"));
  EXPECT_EQ(c.Requested(), (std::vector<std::string>{"m\\TW3\\t1\\Tarnwick.msg", "m\\TW3\\t1\\Enote.Doc",
                                                     "m\\TW3\\t1\\MainTarnwick.html", "m\\TW3\\t1\\FileUpdate.dat"}));
}

TEST_F(Queue, AnOldLocalCopyIsDeletedBeforeItsTransferStarts) {
  StartWith({"a.doc 1"});
  c.Write("TW3/A.DOC", "old");
  c.Tick();
  EXPECT_FALSE(c.Exists("TW3/A.DOC"));
  ArriveNext();
  EXPECT_EQ(c.Read("TW3/a.doc"), "content");
}

TEST_F(Queue, AFailedTransferEndsTheQueueWithoutAPage) {
  StartWith({"one.doc 1", "two.doc 1", "three.doc 1"});
  c.Tick();
  ArriveNext();
  c.Tick();
  c.Inet2().Fail(550);
  c.Tick(5);
  EXPECT_EQ(c.LastBoxText(), "Load File  three.doc Error 550");
  EXPECT_EQ(c.host.boxes.back().title, "");
  EXPECT_EQ(c.Inet2().calls.size(), 2u);
  EXPECT_FALSE(c.form.IsOpen());
  EXPECT_FALSE(c.Exists("Tarnwick.html"));
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST_F(Queue, ANameLeadingOutsideTheLocalFolderIsNeverRequested) {
  for (const std::string name : {"..\\evil.doc", "/etc/passwd", "\\root.doc", "C:x.doc", "a/../../b.doc"}) {
    Component other;
    other.Start(GoodCookie());
    other.AnswerManifest({"G", "2", name + " 1"});
    other.Tick();
    EXPECT_TRUE(other.Inet2().calls.empty()) << name;
    EXPECT_EQ(other.LastBoxText(), "Load File  " + name + " Error 911");
    EXPECT_EQ(other.form.LastCloseReason(), CloseReason::ErrorBox);
  }
}

TEST_F(Queue, AnEmptyNameIsPassedOverAndCountsAsDone) {
  StartWith({"", "noblank", "b.doc 1"});
  c.RunQueueToEnd();
  EXPECT_EQ(c.Requested().size(), 5u);
  EXPECT_EQ(c.form.Controls().lblwait.caption, "File Copy Completed =  7 Files");
}

TEST_F(Queue, AnUndeletableOldCopyOrARefusedRequestFailsThatFile) {
  StartWith({"a.doc 1"});
  c.Write("TW3/a.doc", "old");
  c.fs.undeletable.insert("a.doc");
  c.Tick();
  EXPECT_EQ(c.LastBoxText(), "Load File  a.doc Error 912");

  Component other;
  other.Start(GoodCookie());
  other.AnswerManifest({"G", "2"});
  other.Inet2().refuse = true;
  other.Tick();
  EXPECT_EQ(other.LastBoxText(), "Load File  Tarnwick.msg Error 913");
  EXPECT_FALSE(other.form.IsOpen());
}

TEST_F(Queue, APageThatCannotBeWrittenKeepsTheOldPageAndWithholdsOk) {
  c.Write("Tarnwick.html", "old page");
  c.fs.unwritable.insert("Tarnwick.html");
  StartWith({});
  c.RunQueueToEnd();
  EXPECT_EQ(c.LastBoxText(), "Page-1");
  EXPECT_EQ(c.host.boxes.back().title, "มีข้อผิดพลาด");
  EXPECT_EQ(c.Read("Tarnwick.html"), "old page");
  EXPECT_FALSE(c.form.IsOpen());
  EXPECT_NE(c.form.Controls().lblwait.caption, "File Copy Completed =  4 Files");
}

TEST_F(Queue, AFailedFolderScanClosesTheWindowButThePageIsStillWritten) {
  c.fs.subfoldersFail = true;
  StartWith({});
  c.RunQueueToEnd();
  EXPECT_EQ(c.LastBoxText(), "ChkFolder-1 ");
  EXPECT_TRUE(c.Exists("Tarnwick.html"));
  EXPECT_FALSE(c.form.Controls().cmdOk.enabled);
  EXPECT_EQ(c.form.State().LastMeeting.Get(), -1);
}

TEST_F(Queue, OtherStatesAndAnswersFromAnEarlierStartChangeNothing) {
  StartWith({});
  c.Tick();
  for (int state = 1; state <= 10; ++state) {
    c.Inet2().Notify(state);
  }
  EXPECT_EQ(c.form.State().ReadyForNext.Get(), 0);
  modDHTMLTarnwick::LaunchCookie = GoodCookie();
  c.form.Form_Resize();  // a restart while the first file is in flight
  c.Inet2().Succeed("stale");
  EXPECT_EQ(c.form.State().ReadyForNext.Get(), 0);  // the stale answer moved nothing
  EXPECT_FALSE(c.form.Controls().timer1.enabled);
  c.AnswerManifest({"G", "2"});
  c.RunQueueToEnd();
  EXPECT_EQ(c.form.Controls().lblwait.caption, "File Copy Completed =  4 Files");
}

}  // namespace
}  // namespace tarnwick::testing
