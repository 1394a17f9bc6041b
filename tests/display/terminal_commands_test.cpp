// The terminal's companion commands: which need an open terminal, and the two reference dialogs.
#include "display/terminal_commands.h"

#include <gtest/gtest.h>

#include "display/ascii_chart.h"
#include "display_frame_fixture.h"

namespace kx7 {
namespace {

class TerminalCommandsTest : public testing::DisplayFrameTest {
 protected:
  void SetUp() override {
    DisplayFrameTest::SetUp();
    InstallTerminalCommands(*frame_);
  }
};

TEST_F(TerminalCommandsTest, TachAndRecordChoicesNeedAnOpenTerminalTheReferenceDialogsDoNot) {
  const struct {
    std::uint32_t id;
    bool needsTerminal;
  } commands[] = {
      {cmd::kTach, true}, {cmd::kUsbSyncAsyncReports, true}, {cmd::kAsciiChart, false}, {cmd::kBlinkCodes, false}};
  for (const auto& command : commands)
    EXPECT_EQ(frame_->UpdateCommand(command.id).enabled, !command.needsTerminal) << command.id;
  CTerminalWnd& terminal = OpenTerminal();
  for (const auto& command : commands) EXPECT_TRUE(frame_->UpdateCommand(command.id).enabled) << command.id;
  loop_.Send(terminal.Id(), wm::kClose);
  loop_.RunPending();
  for (const auto& command : commands)
    EXPECT_EQ(frame_->UpdateCommand(command.id).enabled, !command.needsTerminal) << command.id;
}

TEST_F(TerminalCommandsTest, TheReferenceDialogsRunModally) {
  ui_.ExpectDialog("AsciiChart", [](DialogModel& model) {
    EXPECT_EQ(model.Title(), "ASCII");
    EXPECT_EQ(static_cast<AsciiChartModel&>(model).FirstRow(), 0);
    return true;
  });
  ui_.ExpectDialog("BlinkCodes");
  EXPECT_TRUE(frame_->OnCommand(cmd::kAsciiChart));
  EXPECT_TRUE(frame_->OnCommand(cmd::kBlinkCodes));
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_TRUE(ui_.Unexpected().empty()) << ui_.Report();
}

}  // namespace
}  // namespace kx7
