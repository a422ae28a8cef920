#include <gtest/gtest.h>

#include "fake_platform.h"
#include "transfer/manifest_comparison.h"

namespace tarnwick::testing {
namespace {

using Names = std::vector<std::string>;
const Names kTail = {"Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", "FileUpdate.dat"};

Names WithTail(Names names) {
  names.insert(names.end(), kTail.begin(), kTail.end());
  return names;
}

class Manifest : public ::testing::Test {
 protected:
  // Runs the comparison with a kept copy (when given) and the fetched manifest.
  void Compare(const std::vector<std::string>& kept, const std::vector<std::string>& fetched) {
    if (!kept.empty()) {
      c.Write("TW3/FileUpdate.dat", Crlf(kept));
    }
    c.Start(GoodCookie());
    c.AnswerManifest(fetched);
  }
  const Names& Download() { return c.form.fLst().Items(); }
  Component c;
};

TEST_F(Manifest, TheRequestAsksForTheManifestIntoTheFetchedCopy) {
  c.Write("TW3/oFileUpdate.dat", "left over");
  c.Start(GoodCookie());
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  ASSERT_EQ(c.Inet1().calls.size(), 1u);
  EXPECT_EQ(c.Inet1().calls[0].url, "ftp://meeting:s3cr:t@x/y@127.0.0.1");
  EXPECT_EQ(c.Inet1().calls[0].operation,
            "Get m\\TW3\\t1\\FileUpDate.dat  " + c.root.string() + "\\TW3\\oFileUpdate.dat");
}

TEST_F(Manifest, WithoutAKeptCopyEverythingIsFetchedAndTheQueueStarts) {
  c.Write("TW3/old.doc", "old");
  c.Write("TW3/sub/keep.doc", "keep");
  Compare({}, {"A", "5", "y.doc 1", "x.doc 1"});
  EXPECT_EQ(Download(), WithTail({"x.doc", "y.doc"}));
  EXPECT_FALSE(c.Exists("TW3/old.doc"));
  EXPECT_TRUE(c.Exists("TW3/sub/keep.doc"));
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  EXPECT_EQ(c.form.Controls().progressBar1.max, 6);
  EXPECT_EQ(c.form.State().FileIndex.Get(), 0);
  EXPECT_EQ(c.form.State().ReadyForNext.Get(), -1);
  EXPECT_TRUE(c.form.Controls().timer1.enabled);
  EXPECT_EQ(c.form.State().NewRevision, "5");
  EXPECT_EQ(c.form.State().KeptRevision, "1");
}

TEST_F(Manifest, AnIdenticalManifestReportsTheDataAsCurrent) {
  Compare({"A", "5", "x.doc 1"}, {"A", "5", "x.doc 1"});
  EXPECT_TRUE(Download().empty());
  EXPECT_FALSE(c.form.Controls().progressBar1.visible);
  EXPECT_EQ(c.form.Controls().lblwait.top, 580);
  EXPECT_EQ(c.form.Controls().lblwait.caption, "ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ");
  EXPECT_TRUE(c.form.Controls().cmdOk.enabled);
  EXPECT_FALSE(c.form.Controls().timer1.enabled);
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  EXPECT_TRUE(c.Exists("TW3/FileUpdate.dat"));
}

TEST_F(Manifest, ANewRevisionWithTheSameEntriesFetchesOnlyTheFixedTail) {
  Compare({"A", "5", "x.doc 1"}, {"A", "6", "x.doc 1"});
  EXPECT_EQ(Download(), kTail);
}

TEST_F(Manifest, ChangedAddedAndRemovedEntries) {
  Compare({"A", "5", "a.doc 1", "b.doc 1", "c.doc 1", "d.doc 1"},
          {"A", "6", "d.doc 1", "a.doc 2", "c.doc 1", "e.doc 1", "f.doc 1"});
  EXPECT_EQ(Download(), WithTail({"a.doc", "e.doc", "f.doc"}));
  EXPECT_EQ(c.form.dLst().Items(), Names{"b.doc"});
}

TEST_F(Manifest, RevisionLinesThatDifferOnlyInCaseAreDifferent) {
  Compare({"A", "rev", "x.doc 1"}, {"A", "REV", "x.doc 1"});
  EXPECT_EQ(Download(), kTail);
}

TEST_F(Manifest, ANewGenerationClearsTheFolderAndFetchesEverything) {
  c.Write("TW3/x.doc", "x");
  c.Write("TW3/sub/keep.doc", "keep");
  Compare({"A", "5", "x.doc 1"}, {"B", "6", "x.doc 1"});
  EXPECT_EQ(Download(), WithTail({"x.doc"}));
  EXPECT_FALSE(c.Exists("TW3/x.doc"));
  EXPECT_TRUE(c.Exists("TW3/FileUpdate.dat"));
  EXPECT_TRUE(c.Exists("TW3/sub/keep.doc"));
}

TEST_F(Manifest, ANewGenerationWithAnEqualRevisionStillFetchesEverything) {
  Compare({"A", "5", "x.doc 1"}, {"B", "5", "x.doc 1"});
  EXPECT_EQ(Download(), WithTail({"x.doc"}));
  EXPECT_TRUE(c.form.Controls().timer1.enabled);
}

TEST_F(Manifest, AChangedFixedTailEntryIsFetchedTwice) {
  Compare({"A", "5", "Enote.Doc 1"}, {"A", "6", "Enote.Doc 2"});
  EXPECT_EQ(Download(), WithTail({"Enote.Doc"}));
}

TEST_F(Manifest, ANameThatSortsDifferentlyByCaseIsNeverPassedOver) {
  Compare({"A", "5", "B 1"}, {"A", "6", "ab 1", "B 1"});
  EXPECT_EQ(Download(), WithTail({"ab"}));
}

TEST_F(Manifest, AFetchedManifestUnderTwoLinesEndsTheRunBeforeAnythingIsDeleted) {
  c.Write("TW3/x.doc", "x");
  Compare({"A", "5"}, {"only one line"});
  EXPECT_EQ(c.LastBoxText(), "Load FileUpdate Error 910");
  EXPECT_EQ(c.host.boxes.back().title, "");
  EXPECT_FALSE(c.form.IsOpen());
  EXPECT_TRUE(c.Exists("TW3/x.doc"));
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
}

TEST_F(Manifest, AKeptCopyUnderTwoLinesCountsAsNone) {
  Compare({"A"}, {"A", "1", "x.doc 1"});
  EXPECT_EQ(Download(), WithTail({"x.doc"}));
}

TEST_F(Manifest, AFailedRequestShowsTheResponseCodeAndCloses) {
  c.Start(GoodCookie());
  c.Inet1().Fail(550);
  EXPECT_EQ(c.LastBoxText(), "Load FileUpdate Error 550");
  EXPECT_EQ(c.form.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST_F(Manifest, OtherStatesChangeNothing) {
  c.Start(GoodCookie());
  for (int state = 1; state <= 10; ++state) {
    c.Inet1().Notify(state);
  }
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_TRUE(c.form.IsOpen());
  EXPECT_EQ(c.form.State().NewRevision, "2");
}

TEST_F(Manifest, ARestartEmptiesTheListsAndIgnoresTheEarlierAnswer) {
  c.Start(GoodCookie());
  modDHTMLTarnwick::LaunchCookie = GoodCookie();
  c.form.Form_Resize();
  ASSERT_EQ(c.Inet1().calls.size(), 2u);
  c.Inet1().Fail(550);  // the answer to the first start
  EXPECT_TRUE(c.host.boxes.empty());
  c.AnswerManifest({"A", "5", "x.doc 1"});
  EXPECT_EQ(Download(), WithTail({"x.doc"}));
}

TEST(IncrementalComparison, FollowsTheWalkThroughBothLists) {
  struct Case {
    Names kept, fresh, download, dropped;
  };
  const std::vector<Case> cases = {
      {{"a.doc 1", "c.doc 1"}, {"a.doc 1", "b.doc 1", "c.doc 1"}, {"b.doc"}, {}},
      {{"a.doc 1", "b.doc 1", "c.doc 1"}, {"a.doc 1", "c.doc 1"}, {}, {"b.doc"}},
      {{"a.doc 1"}, {"a.doc 1", "y.doc 1", "z.doc 1"}, {"y.doc", "z.doc"}, {}},
      {{"a.doc 1"}, {"a.doc 2"}, {"a.doc"}, {}},
      {{}, {"", "noblank", " lead"}, {"", "", ""}, {}},
      {{"x 1", "x 2"}, {"x 1", "x 3"}, {"x"}, {}},
  };
  for (const auto& test : cases) {
    StringList kept(true), fresh(true), download(false), dropped(false);
    for (const auto& line : test.kept) kept.AddItem(line);
    for (const auto& line : test.fresh) fresh.AddItem(line);
    CompareIncrementally(kept, fresh, download, dropped);
    EXPECT_EQ(download.Items(), test.download) << ::testing::PrintToString(test.fresh);
    EXPECT_EQ(dropped.Items(), test.dropped) << ::testing::PrintToString(test.fresh);
  }
}

}  // namespace
}  // namespace tarnwick::testing
