#include <gtest/gtest.h>

#include "fake_platform.h"
#include "window/design.h"

namespace tarnwick::testing {
namespace {

TEST(Design, ControlsAreCreatedInTheirDesignOrderAndTheClientAreaIs422By119Pixels) {
  std::vector<std::string_view> names;
  for (const auto& control : design::kControls) {
    names.push_back(control.name);
  }
  EXPECT_EQ(names, (std::vector<std::string_view>{"Inet2", "dLst", "fLst", "nLst", "sLst", "Timer1", "Inet1", "CmdOk",
                                                  "ProgressBar1", "Lblwait"}));
  EXPECT_EQ(design::TwipsToPixels(design::kClientWidth), 422);
  EXPECT_EQ(design::TwipsToPixels(design::kClientHeight), 119);
  EXPECT_EQ(design::kCmdOkBackColour.Red(), 235);
  EXPECT_EQ(design::kCmdOkBackColour.Green(), 226);
  EXPECT_EQ(design::kCmdOkBackColour.Blue(), 67);
}

TEST(Window, OpensWithTheDesignedControlsAndTheTransferControlsTimeOut) {
  Component c;
  c.form.Form_Load();
  const WindowControls& w = c.form.Controls();
  EXPECT_EQ(w.lblwait.caption, "Please  Wait  For Copy  File ");
  EXPECT_EQ(w.lblwait.top, 780);
  EXPECT_EQ(w.progressBar1.max, 100);
  EXPECT_TRUE(w.progressBar1.visible);
  EXPECT_FALSE(w.cmdOk.enabled);
  EXPECT_EQ(w.cmdOk.caption, "&OK");
  EXPECT_DOUBLE_EQ(w.cmdOk.fontSize, 9.75);
  EXPECT_FALSE(w.timer1.enabled);
  EXPECT_EQ(w.timer1.intervalMs, 10);
  EXPECT_EQ(c.transfers.lastTimeout, 60);
}

TEST(Window, HoverEmphasisIsSetOverTheButtonAndResetToTenPointOverTheSurface) {
  Component c;
  c.form.Form_Load();
  c.form.CmdOk_MouseMove();
  EXPECT_TRUE(c.form.Controls().cmdOk.bold);
  EXPECT_DOUBLE_EQ(c.form.Controls().cmdOk.fontSize, 12);
  c.form.Form_MouseMove();
  EXPECT_FALSE(c.form.Controls().cmdOk.bold);
  EXPECT_DOUBLE_EQ(c.form.Controls().cmdOk.fontSize, 10);
}

TEST(Window, OnlyARightClickShowsTheCredits) {
  Component c;
  c.form.Form_Load();
  c.form.Form_MouseDown(MouseButton::Left);
  c.form.Form_MouseDown(MouseButton::Middle);
  EXPECT_TRUE(c.host.boxes.empty());
  c.form.Form_MouseDown(MouseButton::Right);
  ASSERT_EQ(c.host.boxes.size(), 1u);
  EXPECT_EQ(c.host.boxes[0].text, "   ทีมงานBrannock\r\n    มหาวิทยาลัยQuillon");
  EXPECT_EQ(c.host.boxes[0].title, "พัฒนาโปรแกรมโดย...");
  EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_TRUE(c.form.IsOpen());
}

TEST(Window, OkCannotBeClickedBeforeTheEndOfARun) {
  Component c;
  c.Start(GoodCookie());
  c.form.CmdOk_Click();
  EXPECT_TRUE(c.form.IsOpen());
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST(Window, OkRemovesTheMarkerAndCloses) {
  Component c;
  c.Start(GoodCookie());
  c.Write("TW3/FileUpdate.dat", Crlf({"G", "5"}));
  c.AnswerManifest({"G", "5"});
  ASSERT_TRUE(c.form.Controls().cmdOk.enabled);
  c.form.CmdOk_Click();
  EXPECT_FALSE(c.Exists("CodeWork"));
  EXPECT_FALSE(c.form.IsOpen());
  EXPECT_EQ(c.form.LastCloseReason(), CloseReason::Ok);
  EXPECT_EQ(c.host.closes, 1);
}

TEST(Window, OkWithTheMarkerAlreadyGoneOrUndeletableStillCloses) {
  for (const bool undeletable : {false, true}) {
    Component c;
    c.Start(GoodCookie());
    c.Write("TW3/FileUpdate.dat", Crlf({"G", "5"}));
    c.AnswerManifest({"G", "5"});
    if (undeletable) {
      c.fs.undeletable.insert("CodeWork");
    } else {
      std::filesystem::remove(c.Path("CodeWork"));
    }
    c.form.CmdOk_Click();
    EXPECT_TRUE(c.host.boxes.empty());
    EXPECT_EQ(c.form.LastCloseReason(), CloseReason::Ok);
  }
}

TEST(Window, ClosingWithoutOkLeavesTheMarker) {
  Component c;
  c.Start(GoodCookie());
  c.form.Form_Unload();
  EXPECT_EQ(c.form.LastCloseReason(), CloseReason::ClosedByUser);
  EXPECT_TRUE(c.Exists("CodeWork"));
}

}  // namespace
}  // namespace tarnwick::testing
