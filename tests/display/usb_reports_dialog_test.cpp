// The "USB Sync - Async Reports" window of the terminal: its command, the check boxes each
// controller type can use, Apply (the terminal's choices, the decimation, the driver's record
// types or the Birch2 HID synchronous choices), Default, and Pause/Run on the record display.
#include "display/usb_reports_dialog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "controller/controller_types.h"
#include "display/terminal_commands.h"
#include "display_frame_fixture.h"
#include "frame/messages.h"

namespace kx7 {
namespace {

using Dialog = UsbReportsDialog;

class UsbReportsDialogTest : public testing::DisplayFrameTest {
 protected:
  void SetUp() override {
    DisplayFrameTest::SetUp();
    commands_ = &InstallTerminalCommands(*frame_);
    commands_->driverRecord = [this](int recordType, bool on) { requests_.emplace_back(recordType, on); };
  }
  Dialog& OpenDialog() {
    CTerminalWnd& terminal = OpenTerminal();
    frame_->OnCommand(cmd::kUsbSyncAsyncReports);
    EXPECT_TRUE(terminal.UsbReports().Shown());
    return terminal.UsbReports();
  }
  // A compensated-corners record (type 7), decimated by the filter.
  void SendCompRecord(CTerminalWnd& terminal) {
    const std::uint8_t record[10] = {7, 1, 0, 10, 0, 20, 0, 30, 0, 40};
    loop_.Send(terminal.Id(), msg::kListenerRecord, sizeof record, reinterpret_cast<LParam>(record));
  }
  int CompLinesShown(const CTerminalWnd& terminal) const {
    int count = 0;
    for (const std::string& row : Rows(terminal))
      for (std::size_t at = row.find("Comp"); at != std::string::npos; at = row.find("Comp", at + 1)) ++count;
    return count;
  }

  TerminalCommands* commands_ = nullptr;
  std::vector<std::pair<int, bool>> requests_;
};

TEST_F(UsbReportsDialogTest, OpensOnceOverTheOpenTerminalOnly) {
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kUsbSyncAsyncReports).enabled);
  EXPECT_FALSE(frame_->OnCommand(cmd::kUsbSyncAsyncReports));
  Dialog& dialog = OpenDialog();
  EXPECT_EQ(ui_.Opened().back().window, dialog.Id());
  EXPECT_EQ(ui_.Opened().back().placement.kind, PlacementKind::kModelessDialog);
  EXPECT_EQ(ui_.Opened().back().placement.title, "USB Sync - Async Reports");
  frame_->OnCommand(cmd::kUsbSyncAsyncReports);
  EXPECT_EQ(ui_.Opened().back().window, dialog.Id()) << "the same window comes forward";
  EXPECT_EQ(dialog.PauseButtonText(), "Pause");
  EXPECT_EQ(dialog.Filter(), 50);
}

struct EnablingCase {
  const char* name;
  std::uint32_t controllerType;
  std::set<int> enabled;
};

class UsbReportsEnabling : public UsbReportsDialogTest, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(UsbReportsEnabling, ByControllerType) {
  Dialog& dialog = OpenDialog();
  frame_->ControllerType = GetParam().controllerType;
  for (int item = 0; item < Dialog::kItemCount; ++item)
    EXPECT_EQ(dialog.ItemEnabled(static_cast<Dialog::Item>(item)), GetParam().enabled.count(item) == 1)
        << Dialog::kLabels[static_cast<std::size_t>(item)] << " (item " << item << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Types, UsbReportsEnabling,
    ::testing::Values(
        EnablingCase{"Birch2Hid",
                     type::kBirch2Hid,
                     {Dialog::kAsyncCoords, Dialog::kAsyncRawCorners, Dialog::kSyncCoords, Dialog::kSyncRawCorners}},
        EnablingCase{"Maple",
                     type::kMaple,
                     {Dialog::kAsyncCoords, Dialog::kAsyncRawCorners, Dialog::kSyncCoords, Dialog::kSyncRawCorners}},
        EnablingCase{"Usb1",
                     type::kUsb1,
                     {Dialog::kAsyncCoords, Dialog::kAsyncRawCorners, Dialog::kAsyncPrintf, Dialog::kAsyncStrays,
                      Dialog::kAsyncCompCorners, Dialog::kAsyncPwm, Dialog::kAsyncStraysAllGains,
                      Dialog::kAsyncVelocity, Dialog::kAsyncStrayDelta}},
        EnablingCase{"Birch", type::kBirch, {Dialog::kAsyncCoords, Dialog::kAsyncRawCorners}}),
    [](const ::testing::TestParamInfo<EnablingCase>& info) { return std::string(info.param.name); });

struct ApplyCase {
  const char* name;
  std::uint32_t controllerType;
  std::vector<std::pair<int, bool>> requests;
  bool syncStored;
};

class UsbReportsApply : public UsbReportsDialogTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(UsbReportsApply, AsksTheDriverForTheRecordTypesOfTheController) {
  Dialog& dialog = OpenDialog();
  frame_->ControllerType = GetParam().controllerType;
  // Every other box on, starting with Coords; the synchronous Coords off and Raw Corners on.
  for (int item = 0; item < Dialog::kItemCount; ++item)
    dialog.SetChecked(static_cast<Dialog::Item>(item), item % 2 == 0);
  dialog.SetChecked(Dialog::kSyncCoords, false);
  dialog.SetChecked(Dialog::kSyncRawCorners, true);
  loop_.Post(dialog.Id(), wm::kCommand, Dialog::kApplyButton);
  loop_.RunPending();
  EXPECT_EQ(requests_, GetParam().requests);
  EXPECT_EQ(commands_->syncRawCorners, GetParam().syncStored);
  EXPECT_FALSE(commands_->syncCoords);
}

INSTANTIATE_TEST_SUITE_P(
    Types, UsbReportsApply,
    ::testing::Values(
        ApplyCase{
            "Usb1",
            type::kUsb1,
            {{1, true}, {2, false}, {3, true}, {5, false}, {7, true}, {8, false}, {9, true}, {10, false}, {11, true}},
            false},
        ApplyCase{"Maple", type::kMaple, {{1, true}, {2, false}}, false},
        ApplyCase{"Birch", type::kBirch, {{1, true}, {2, false}}, false},
        // The Birch2 HID type asks the driver for nothing: the frame keeps its choice.
        ApplyCase{"Birch2Hid", type::kBirch2Hid, {}, true}),
    [](const ::testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

TEST_F(UsbReportsDialogTest, ApplyHandsTheChoicesToTheTerminalAndRestartsTheDecimation) {
  Dialog& dialog = OpenDialog();
  CTerminalWnd& terminal = *launcher_->Terminal();
  frame_->ControllerType = type::kUsb1;
  SendCompRecord(terminal);
  ASSERT_EQ(CompLinesShown(terminal), 1) << "the first record shows; the default filter holds back 50";
  dialog.SetFilter(2);
  dialog.SetShowLoop(true);
  dialog.SetAllowDiffs(true);
  dialog.SetChecked(Dialog::kAsyncPwm, true);
  EXPECT_EQ(terminal.Decoder().Choices().filter, 50) << "nothing reaches the terminal before Apply";
  dialog.Apply();
  const RecordChoices& live = terminal.Decoder().Choices();
  EXPECT_EQ(live.filter, 2);
  EXPECT_TRUE(live.showLoop);
  EXPECT_TRUE(live.allowDiffs);
  EXPECT_TRUE(live.asyncPwm);
  // The counters start again at the filter: two held back, the third shown, and so on.
  for (int i = 0; i < 6; ++i) SendCompRecord(terminal);
  EXPECT_EQ(CompLinesShown(terminal), 3);
  EXPECT_NE(Rows(terminal)[1].find("[001] Comp"), std::string::npos) << Rows(terminal)[1];
}

TEST_F(UsbReportsDialogTest, TheFilterIsNeverNegativeNorPastItsField) {
  Dialog& dialog = OpenDialog();
  dialog.SetFilter(-5);
  EXPECT_EQ(dialog.Filter(), 0);
  dialog.SetFilter(1 << 20);
  EXPECT_EQ(dialog.Filter(), Dialog::kMaxFilter);
}

TEST_F(UsbReportsDialogTest, DefaultReloadsTheTerminalsChoices) {
  Dialog& dialog = OpenDialog();
  dialog.SetChecked(Dialog::kAsyncCoords, true);
  dialog.SetFilter(7);
  dialog.Apply();
  dialog.SetChecked(Dialog::kAsyncCoords, false);
  dialog.SetChecked(Dialog::kAsyncStrays, true);
  dialog.SetFilter(9);
  loop_.Post(dialog.Id(), wm::kCommand, Dialog::kDefaultButton);
  loop_.RunPending();
  EXPECT_TRUE(dialog.Checked(Dialog::kAsyncCoords));
  EXPECT_FALSE(dialog.Checked(Dialog::kAsyncStrays));
  EXPECT_EQ(dialog.Filter(), 7);
}

TEST_F(UsbReportsDialogTest, PauseStopsTheRecordDisplayAndRunResumesIt) {
  Dialog& dialog = OpenDialog();
  CTerminalWnd& terminal = *launcher_->Terminal();
  loop_.Post(dialog.Id(), wm::kCommand, Dialog::kPauseButton);
  loop_.RunPending();
  EXPECT_EQ(dialog.PauseButtonText(), "Run");
  SendCompRecord(terminal);
  EXPECT_EQ(CompLinesShown(terminal), 0);
  // An Apply while paused stays paused.
  dialog.Apply();
  SendCompRecord(terminal);
  EXPECT_EQ(CompLinesShown(terminal), 0);
  EXPECT_EQ(dialog.PauseButtonText(), "Run");
  loop_.Post(dialog.Id(), wm::kCommand, Dialog::kPauseButton);
  loop_.RunPending();
  EXPECT_EQ(dialog.PauseButtonText(), "Pause");
  frame_->OnCommand(cmd::kClearAll);  // counters at 0 again
  SendCompRecord(terminal);
  EXPECT_EQ(CompLinesShown(terminal), 1);
}

TEST_F(UsbReportsDialogTest, ClosingTheTerminalClosesTheDialogAndLateClicksDoNothing) {
  Dialog& dialog = OpenDialog();
  CTerminalWnd& terminal = *launcher_->Terminal();
  const WindowId id = dialog.Id();
  loop_.Send(terminal.Id(), wm::kClose);
  EXPECT_FALSE(dialog.Shown());
  EXPECT_NE(std::find(ui_.Closed().begin(), ui_.Closed().end(), id), ui_.Closed().end());
  loop_.Send(id, wm::kCommand, Dialog::kApplyButton);
  EXPECT_TRUE(requests_.empty());
  loop_.RunPending();
  EXPECT_EQ(loop_.Find(id), nullptr) << "gone with the terminal";
}

}  // namespace
}  // namespace kx7
