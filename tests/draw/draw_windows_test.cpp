#include "draw/draw_windows.h"

#include <gtest/gtest.h>

#include "app/options_sheet.h"
#include "display/display_frame_fixture.h"
#include "draw/draw_constants.h"

namespace kx7::testing {
namespace {

class DrawWindowsTest : public DisplayFrameTest {
 protected:
  void SetUp() override {
    DisplayFrameTest::SetUp();
    draws_ = &InstallDrawWindows(*frame_);
    launcher_->clientArea = [] { return Rect{0, 0, 900, 600}; };
  }
  void Receive(const std::string& bytes) {
    frame_->DispatchBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  DrawWindows* draws_ = nullptr;
};

TEST_F(DrawWindowsTest, DrawOpensOneMaximisedChildInSlotZeroThatTakesTheBytes) {
  frame_->OnCommand(cmd::kDraw);
  CDrawWnd* draw = draws_->Draw();
  ASSERT_TRUE(draw);
  EXPECT_EQ(ui_.Opened().back().placement.title, "Draw");
  EXPECT_TRUE(ui_.Opened().back().placement.maximized);
  EXPECT_EQ(frame_->listeners.Listener(slot::kDraw), draw->Id());
  Receive("\x19" "500,500\r");
  EXPECT_EQ(draw->History().size(), 9u);
  // A second Draw brings the same window up again.
  frame_->OnCommand(cmd::kDraw);
  EXPECT_EQ(draws_->Draw(), draw);
  // Closing clears the slot; the window goes once the close has unwound.
  loop_.Send(draw->Id(), wm::kClose);
  EXPECT_FALSE(frame_->listeners.IsActive(slot::kDraw));
  EXPECT_EQ(draws_->Current(), nullptr);
  loop_.Advance(10);
}

TEST_F(DrawWindowsTest, FullDrawReplacesTheOpenWindowWithATopMostOneOverTheScreen) {
  frame_->OnCommand(cmd::kDraw);
  const WindowId child = draws_->Draw()->Id();
  frame_->OnCommand(cmd::kFullDraw);
  ASSERT_TRUE(draws_->Draw());
  EXPECT_NE(draws_->Draw()->Id(), child);
  EXPECT_TRUE(draws_->Draw()->FullScreen());
  EXPECT_EQ(ui_.Closed().back(), child);
  EXPECT_EQ(ui_.Opened().back().placement.kind, PlacementKind::kFullScreen);
  EXPECT_EQ(ui_.Opened().back().placement.rect, frame_->FullScreenRect());
  EXPECT_TRUE(frame_->drawIsFullScreen);
}

TEST_F(DrawWindowsTest, AWindowThatCannotBeCreatedIsNotRegistered) {
  ui_.SetOpenWindowResult(false);
  ui_.ExpectMessage("Can't open window", Answer::kOk);
  frame_->OnCommand(cmd::kDraw);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_FALSE(frame_->listeners.IsActive(slot::kDraw));
  EXPECT_EQ(draws_->Current(), nullptr);
}

TEST_F(DrawWindowsTest, AMultiTouchControllerGetsTheMultitouchWindowForDraw) {
  frame_->ControllerFeatures = feature::kMultiContact;
  frame_->OnCommand(cmd::kDraw);
  ASSERT_TRUE(draws_->MultiDraw());
  EXPECT_EQ(ui_.Opened().back().placement.title, "Multitouch Draw");
  frame_->OnCommand(cmd::kFullDraw);
  ASSERT_TRUE(draws_->MultiDraw());
  EXPECT_TRUE(draws_->MultiDraw()->Placement().fullScreen);
  frame_->OnCommand(cmd::kFullScreenMultiDrawQuarterScaled);
  EXPECT_TRUE(draws_->MultiDraw()->Placement().quarterScaleY);
}

TEST_F(DrawWindowsTest, SplitModePutsTheDrawWindowOnTheLeftTwoThirds) {
  frame_->OnCommand(cmd::kDraw);
  const WindowId draw = draws_->Draw()->Id();
  frame_->OnCommand(cmd::kSplitMode);
  EXPECT_EQ(draws_->Draw()->Id(), draw) << "the open window is moved, not made again";
  const auto& opened = ui_.Opened();
  ASSERT_GE(opened.size(), 3u);
  EXPECT_EQ(opened[opened.size() - 2].placement.kind, PlacementKind::kMdiChildAt);
  EXPECT_EQ(opened[opened.size() - 2].placement.rect, (Rect{0, 0, 600, 600}));
  EXPECT_EQ(opened.back().placement.title, "Terminal");
}

TEST_F(DrawWindowsTest, PopupCommandsToggleTheSettingsAndRepaint) {
  frame_->OnCommand(cmd::kDraw);
  const WindowId draw = draws_->Draw()->Id();
  struct Case {
    std::uint32_t id;
    int OptionsBlock::*field;
  };
  const Case cases[] = {{cmd::kDrawShowGrid, &OptionsBlock::ShowGrid},       {cmd::kDrawDots, &OptionsBlock::DrawDots},
                        {cmd::kDraw16ptTargets, &OptionsBlock::Show16ptTargets}, {cmd::kDraw25ptTargets, &OptionsBlock::Show25ptTargets},
                        {cmd::kDrawExtendedTargets, &OptionsBlock::ExtTargets}, {cmd::kDrawDiagonals, &OptionsBlock::Show25Diagonals}};
  for (const Case& c : cases) {
    const int before = frame_->settings.Options.*c.field;
    const std::size_t repaints = ui_.Invalidated().size();
    frame_->OnCommand(c.id);
    EXPECT_EQ(frame_->settings.Options.*c.field, before ? 0 : 1) << c.id;
    EXPECT_EQ(frame_->UpdateCommand(c.id).checked, before == 0) << c.id;
    EXPECT_EQ(ui_.Invalidated().size(), repaints + 1) << c.id;
    EXPECT_EQ(ui_.Invalidated().back(), draw);
  }
  // The Measure Tool is not there yet: its toggle stays disabled.
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kDrawToggleMeasureTool).enabled);
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kMeasureTool).enabled);
  frame_->OnCommand(cmd::kDrawExit);
  loop_.Advance(10);
  EXPECT_EQ(draws_->Current(), nullptr);
}

TEST_F(DrawWindowsTest, ClearAllErasesTheDrawWindowAndTheTerminal) {
  CTerminalWnd& terminal = OpenTerminal();
  frame_->OnCommand(cmd::kDraw);  // with the terminal open: split mode
  ASSERT_TRUE(draws_->Draw());
  Receive("\x19" "500,500\r");
  ASSERT_FALSE(draws_->Draw()->History().empty());
  ASSERT_GT(terminal.Text().RowCount(), 0);
  frame_->OnCommand(cmd::kClearAll);
  EXPECT_TRUE(draws_->Draw()->History().empty());
  EXPECT_EQ(Rows(terminal), (std::vector<std::string>{""}));
}

TEST_F(DrawWindowsTest, TheModeRequestReachesTheControllerAndAFormatCommandTheWindow) {
  frame_->OnCommand(cmd::kDraw);
  Receive("\x01" "500,500\r");
  loop_.Advance(100);
  EXPECT_EQ(recorder_->received, "\x01" "MT\r");
  frame_->OnCommand(cmd::kFormatHexDump);
  EXPECT_EQ(draws_->Draw()->Format(), cmd::kFormatHexDump);
}

TEST_F(DrawWindowsTest, OptionsApplyRepaintsTheDrawWindowAndCancelKeepsWhatWasApplied) {
  frame_->OnCommand(cmd::kDraw);
  const WindowId draw = draws_->Draw()->Id();
  const int timeDisplay = frame_->settings.Options.TimeDisplay;
  std::size_t repaints = 0;
  ui_.ExpectDialog("Options", [&](DialogModel& model) {
    auto& sheet = dynamic_cast<COptionsSheet&>(model);
    const auto grid = sheet.Find("Show Grid");
    sheet.SetValue(grid->first, grid->second, 0);
    repaints = ui_.Invalidated().size();
    EXPECT_TRUE(sheet.Apply());
    const auto time = sheet.Find("Time Display");
    sheet.SetValue(time->first, time->second, 3);
    return false;  // Cancel
  });
  frame_->OnCommand(cmd::kOptions);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(frame_->settings.Options.ShowGrid, 0);
  EXPECT_EQ(frame_->settings.Options.TimeDisplay, timeDisplay);
  EXPECT_EQ(ui_.Invalidated().size(), repaints + 1);
  EXPECT_EQ(ui_.Invalidated().back(), draw);
}

}  // namespace
}  // namespace kx7::testing
