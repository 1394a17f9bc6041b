// The tools launcher: the enabling and refusal tables, the commands that stand for others, split
// mode, the scope's clearing of the screen and the pen question, with stand-in tools.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "display_frame_fixture.h"

namespace kx7 {
namespace {

struct EnableCase {
  const char* name;
  std::uint32_t id;
  std::function<void(LauncherState&)> tweak;
  bool enabled;
};

LauncherState OpenBirch() {
  LauncherState s;
  s.linkOpen = true;
  s.linkKind = 1;
  s.type = type::kBirch;
  s.features = feature::kBirchFamily;
  return s;
}

class LauncherEnabling : public ::testing::TestWithParam<EnableCase> {};

TEST_P(LauncherEnabling, FollowsTheTable) {
  LauncherState state = OpenBirch();
  if (GetParam().tweak) GetParam().tweak(state);
  EXPECT_EQ(LauncherCommandEnabled(GetParam().id, state), GetParam().enabled);
}

const EnableCase kEnableCases[] = {
    {"CalibrationOnAnOpenLink", cmd::kCalibrate, nullptr, true},
    {"CalibrationNotWhileTheScopeRuns", cmd::kCalibrate, [](LauncherState& s) { s.listening[1] = true; }, false},
    {"CalibrationNotForTheBirchRom", cmd::kCalibrate, [](LauncherState& s) { s.type = type::kBirchRom; }, false},
    {"DrawWithTrackMouseWithoutALink", cmd::kDraw, [](LauncherState& s) { s.linkOpen = false; s.trackMouse = true; }, true},
    {"DrawNotWithTheScope", cmd::kDraw, [](LauncherState& s) { s.listening[1] = true; }, false},
    {"TerminalAlways", cmd::kTerminal, [](LauncherState& s) { s.linkOpen = false; }, true},
    {"FrequencyNotForResistive", cmd::kFrequencyCheck, [](LauncherState& s) { s.features |= 0x8; }, false},
    {"FrequencyNotForCedar", cmd::kFrequencyCheck, [](LauncherState& s) { s.type = type::kCedarGen4; }, false},
    {"LinearizeNeedsTheSwitch", cmd::kLinearize, nullptr, false},
    {"LinearizeWithTheSwitch", cmd::kLinearize, [](LauncherState& s) { s.linearizeSwitch = true; }, true},
    {"MeasureToolNeedsADrawWindow", cmd::kMeasureTool, nullptr, false},
    {"ScopeNotForCedar", cmd::kScope, [](LauncherState& s) { s.type = type::kCedarGen4; }, false},
    {"ScopeForBirch", cmd::kScope, nullptr, true},
    {"ThreeTargetsForFourWire", cmd::kCalibrate3Point, [](LauncherState& s) { s.type = type::kResistive4Wire; }, true},
    {"ThreeTargetsNotForBirch", cmd::kCalibrate3Point, nullptr, false},
    {"CedarDebugForCedar", cmd::kCedarDebug, [](LauncherState& s) { s.type = type::kRowanGen3; }, true},
    {"HapticOnSerialBirch", cmd::kHaptic, nullptr, true},
    {"HapticNotOnUsbBirchWithoutTheBit", cmd::kHaptic, [](LauncherState& s) { s.linkKind = link::kHid; }, false},
    {"MultiDrawForMultiTouch", cmd::kMultiDraw, [](LauncherState& s) { s.multiTouch = true; }, true},
    {"RobotDialogNeedsARobotPort", cmd::kAsymtekControl, nullptr, false},
    {"OtherCommandsWithALink", cmd::kFivePointCalibrate, nullptr, true},
    {"OtherCommandsNotWithoutALink", cmd::kFivePointCalibrate, [](LauncherState& s) { s.linkOpen = false; }, false},
};
INSTANTIATE_TEST_SUITE_P(Table, LauncherEnabling, ::testing::ValuesIn(kEnableCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ToolsLauncherTest : public testing::DisplayFrameTest {
 protected:
  void Register(std::uint32_t id) {
    launcher_->RegisterTool(id, id, [this](std::uint32_t opened) { openedTools_.push_back(opened); });
  }
  std::vector<std::uint32_t> openedTools_;
};

TEST_F(ToolsLauncherTest, AToolOpensOnlyOnceBuiltAndNotWhileItsSlotIsTaken) {
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kCalibrate).enabled) << "no calibration window yet";
  Register(cmd::kCalibrate);
  ASSERT_TRUE(frame_->UpdateCommand(cmd::kCalibrate).enabled);
  frame_->OnCommand(cmd::kCalibrate);
  EXPECT_EQ(openedTools_, std::vector<std::uint32_t>{cmd::kCalibrate});
  EXPECT_TRUE(LauncherCommandRefused(cmd::kCalibrate, [] {
    LauncherState s;
    s.listening[4] = true;
    return s;
  }()));
}

TEST_F(ToolsLauncherTest, CommandsThatStandForOthers) {
  EXPECT_EQ(launcher_->Resolve(cmd::kCalibrateToolbar), cmd::kCalibrate);
  frame_->settings.Options.Tablet2ptOnToolbar = 1;
  EXPECT_EQ(launcher_->Resolve(cmd::kCalibrateToolbar), cmd::kCalibrateMdi);
  frame_->ControllerType = type::kResistive4Wire;
  EXPECT_EQ(launcher_->Resolve(cmd::kCalibrate), cmd::kCalibrate3Point) << "three targets for 4-wire";
  EXPECT_EQ(launcher_->Resolve(cmd::kCalibrateToolbar), cmd::kCalibrate3PointMdi);
  frame_->ControllerFeatures = feature::kMultiContact;
  EXPECT_EQ(launcher_->Resolve(cmd::kDraw), cmd::kMultiDraw);
  EXPECT_EQ(launcher_->Resolve(cmd::kFullDraw), cmd::kFullScreenMultiDraw);
}

TEST_F(ToolsLauncherTest, SplitModePutsTheDrawWindowLeftAndTheTerminalRight) {
  std::vector<Rect> drawPlaced;
  launcher_->clientArea = [] { return Rect{0, 0, 900, 600}; };
  launcher_->placeDrawWindow = [&](const Rect& rect, bool) {
    drawPlaced.push_back(rect);
    return true;
  };
  Register(cmd::kDraw);
  frame_->OnCommand(cmd::kTerminal);  // the terminal alone first: maximised
  ASSERT_TRUE(launcher_->Terminal());
  frame_->OnCommand(cmd::kDraw);  // "Draw" with the terminal open and no draw window: split
  ASSERT_EQ(drawPlaced.size(), 1u);
  EXPECT_EQ(drawPlaced[0], (Rect{0, 0, 600, 600}));
  EXPECT_EQ(ui_.Opened().back().placement.kind, PlacementKind::kMdiChildAt);
  EXPECT_EQ(ui_.Opened().back().placement.rect, (Rect{600, 0, 900, 600}));
  EXPECT_TRUE(openedTools_.empty()) << "split mode, not the plain draw window";
}

TEST_F(ToolsLauncherTest, TheScopeClearsTheScreenUnlessTheTerminalIsKept) {
  Register(cmd::kScope);
  frame_->OnCommand(cmd::kTerminal);
  launcher_->Terminal()->FirstPaint();
  frame_->settings.Options.KeepTerminalWithScope = 1;
  frame_->OnCommand(cmd::kScope);
  EXPECT_TRUE(launcher_->Terminal());
  frame_->settings.Options.KeepTerminalWithScope = 0;
  frame_->OnCommand(cmd::kScope);
  EXPECT_FALSE(frame_->listeners.IsActive(slot::kTerminal));
  EXPECT_EQ(openedTools_, (std::vector<std::uint32_t>{cmd::kScope, cmd::kScope}));
}

TEST_F(ToolsLauncherTest, APenControllerInAutoIsAskedFirstAndMayCancel) {
  Register(cmd::kCalibrate);
  frame_->ControllerType = type::kBirchPen;
  frame_->ControllerFeatures = 0x14;
  frame_->PenMode = kPenAuto;
  int asked = 0;
  bool answer = false;
  launcher_->askPenOrFinger = [&] {
    ++asked;
    return answer;
  };
  frame_->OnCommand(cmd::kCalibrate);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(openedTools_.empty());
  answer = true;
  frame_->OnCommand(cmd::kCalibrate);
  EXPECT_EQ(openedTools_.size(), 1u);
  frame_->PenMode = kPenFinger;
  frame_->OnCommand(cmd::kCalibrate);
  EXPECT_EQ(asked, 2) << "no question once the mode is chosen";
}

}  // namespace
}  // namespace kx7
