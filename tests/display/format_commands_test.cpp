// The Format commands: the decoder choice, the controller's modes and what goes out for them, and
// the menu's enabling and checks.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "display_frame_fixture.h"

namespace kx7 {
namespace {

class FormatCommandsTest : public testing::DisplayFrameTest {
 protected:
  std::string Sent() {
    loop_.Advance(20);
    std::string sent = recorder_->received;
    recorder_->received.clear();
    return sent;
  }
};

TEST_F(FormatCommandsTest, DecoderChoicesAndTheirChecks) {
  frame_->OnCommand(cmd::kFormatHexDump);
  EXPECT_EQ(frame_->ReportFormat, cmd::kFormatHexDump);
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kFormatHexDump).checked);
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kFormatKxs).checked);
  frame_->OnCommand(cmd::kFormatKxs);
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kFormatKxs).checked);
  EXPECT_EQ(Sent(), "") << "no mode to leave";
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kFormatDigitizer).enabled) << "for Generic only";
}

TEST_F(FormatCommandsTest, ZModeSendsMzAndBackToStreamWithMs) {
  frame_->OnCommand(cmd::kFormatZ);
  EXPECT_EQ(Sent(), "\x01MZ\r");
  EXPECT_TRUE(frame_->zMode);
  EXPECT_EQ(frame_->ReportFormat, cmd::kFormatZ);
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kFormatZ).checked);
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kFormatKxs).checked) << "KXS is checked only without Z";
  frame_->OnCommand(cmd::kFormatKxs);
  EXPECT_EQ(Sent(), "\x01MS\r");
  EXPECT_FALSE(frame_->zMode);
}

TEST_F(FormatCommandsTest, PollModeSendsThePollByteWhenItTurnsOn) {
  frame_->OnCommand(cmd::kModePoll);
  loop_.RunPending();
  EXPECT_TRUE(frame_->pollMode);
  EXPECT_EQ(Sent(), "\x11");
  frame_->OnCommand(cmd::kModePoll);
  loop_.RunPending();
  EXPECT_FALSE(frame_->pollMode);
  EXPECT_EQ(Sent(), "");
  frame_->ControllerType = type::kRowanGen3;
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kModePoll).enabled) << "not for the Block1-checksum types";
}

TEST_F(FormatCommandsTest, RawAndSignalReportsAndTheWayBack) {
  frame_->ControllerFeatures = feature::kBirchFamily;
  frame_->OnCommand(cmd::kStartRawReports);
  EXPECT_EQ(Sent(), "\x01" "CR\r");
  EXPECT_EQ(frame_->ReportFormat, cmd::kFormatRaw);
  frame_->OnCommand(cmd::kStartSignalReports);
  EXPECT_EQ(Sent(), "\x01" "FR\r");
  EXPECT_EQ(frame_->ReportFormat, cmd::kFormatRawSignals);
  frame_->ControllerFeatures |= feature::kHaptic;
  frame_->OnCommand(cmd::kStopRawReports);
  EXPECT_EQ(Sent(), "\x01TL1\r") << "a type that doubles DLE goes back with TL1";
  EXPECT_EQ(frame_->ReportFormat, cmd::kFormatKxs);
}

TEST_F(FormatCommandsTest, PassThroughCommandsNeedAChecksumTypeAndAnOpenLink) {
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kEnterPassThru).enabled) << "Birch has no second processor";
  frame_->ControllerType = type::kRowanGen3;
  frame_->startup.goSlow = 1;  // stay at the port's speed: the recorder does not move to 115200
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kEnterPassThru).enabled);
  frame_->OnCommand(cmd::kTogglePassThru);
  EXPECT_EQ(Sent(), "\x01MPD9\r");
  EXPECT_TRUE(frame_->passThrough);
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kTogglePassThru).checked);
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kExitPassThru).enabled);
  frame_->OnCommand(cmd::kTogglePassThru);
  EXPECT_EQ(Sent(), "\x10\x04");
  EXPECT_FALSE(frame_->passThrough);
}

}  // namespace
}  // namespace kx7
