#include "proto/restart_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "frame/command_ids.h"
#include "frame/messages.h"
#include "platform/hid_device.h"
#include "proto/proto_constants.h"
#include "proto/usb_links.h"
#include "protocol_fixture.h"
#include "usb_fixture.h"

namespace kx7::testing {
namespace {

struct Recorder : Window {
  using Window::Window;
  std::vector<MessageId> seen;
  LResult OnMessage(MessageId message, WParam, LParam) override {
    seen.push_back(message);
    return 0;
  }
};


class RestartTest : public ProtocolTest {
 protected:
  RestartCommands& Restart() { return *Protocol().restart; }

  // A controller identified on COM1.
  void Identified(const std::string& family) {
    Attach(1, family);
    ASSERT_TRUE(Open(1));
    ASSERT_TRUE(Protocol().identifier.IdentifyController());
  }

  int ProgressOpened() const {
    int opened = 0;
    for (const auto& window : ui_.Opened())
      if (window.placement.title == RebootProgressWindow::kTitle) ++opened;
    return opened;
  }
};

// Reboot to fixed code over the command set: "Please Wait" while the controller is away, the
// ping's answer closes it and the search reconnects on the same port, where the fixed code
// answers now.
TEST_F(RestartTest, ASerialRebootWaitsForThePingAndReconnects) {
  Identified("birch");
  ASSERT_EQ(Frame().ControllerType, type::kBirch);
  ASSERT_TRUE(Restart().Update(cmd::kRebootRom).enabled);
  std::vector<std::uint32_t> searches;
  const auto search = Frame().startSearch;
  Frame().startSearch = [&](std::uint32_t flags, bool restart) {
    searches.push_back(flags);
    search(flags, restart);
  };
  Frame().OnCommand(cmd::kRebootRom);
  EXPECT_TRUE(Restart().Progress().IsOpen());
  EXPECT_EQ(Restart().Progress().Text(), "REBOOTING ROM...");
  EXPECT_EQ(ProgressOpened(), 1);
  ASSERT_TRUE(loop_.RunUntil([&] { return !Restart().Progress().IsOpen(); }));
  // The answer starts the search (retry of the previous link), which finds the controller again.
  ASSERT_TRUE(loop_.RunUntil([&] { return !searches.empty() && !Protocol().finder.Running(); }));
  EXPECT_EQ(searches, std::vector<std::uint32_t>{find::kRetry});
  EXPECT_EQ(Frame().LinkKind, 1);
  EXPECT_EQ(Frame().ControllerType, type::kBirchRom) << "the fixed code answers now";
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

// On a serial Rowan or Cedar board the download-code reboot is "RE3" and its acknowledgement.
TEST_F(RestartTest, TheCedarDownloadRebootStopsAfterTheAcknowledgement) {
  Identified("cedar-gen4");
  Frame().OnCommand(cmd::kRebootEeprom);
  EXPECT_EQ(ProgressOpened(), 0);
  EXPECT_FALSE(Channel().ReplyBusy());
  loop_.Advance(6000);
  EXPECT_FALSE(Protocol().finder.Running());
  EXPECT_EQ(Frame().LinkKind, 1);
}

// Nothing answers the ping: the time-out closes the window and no search starts.
TEST_F(RestartTest, AControllerThatNeverComesBackEndsTheWait) {
  Attach(1, "silent");
  ASSERT_TRUE(Open(1));
  Frame().ControllerType = type::kBirch;
  Frame().ControllerFeatures = feature::kBirchFamily;
  bool searched = false;
  Frame().startSearch = [&](std::uint32_t, bool) { searched = true; };
  Frame().OnCommand(cmd::kRebootRam);
  EXPECT_EQ(Restart().Progress().Text(), "REBOOTING RAM...");
  const std::uint64_t start = loop_.Now();
  ASSERT_TRUE(loop_.RunUntil([&] { return !Restart().Progress().IsOpen(); }));
  EXPECT_GE(loop_.Now() - start, 5000u);
  loop_.Advance(100);
  EXPECT_FALSE(searched);
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

TEST_F(RestartTest, ASecondRestartKeepsTheWindowAndItsText) {
  Attach(1, "silent");
  ASSERT_TRUE(Open(1));
  Frame().ControllerType = type::kBirch;
  Frame().ControllerFeatures = feature::kBirchFamily;
  Restart().RebootRom();
  Restart().RestoreDefaultsCommandSet();
  EXPECT_EQ(Restart().Progress().Text(), "REBOOTING ROM...");
  EXPECT_EQ(ProgressOpened(), 1);
}

TEST_F(RestartTest, SoftResetWithTheScopeOpenIsTheScopes) {
  Identified("cedar-gen4");
  Recorder scope(loop_);
  Frame().SetListener(slot::kScope, scope.Id());
  EXPECT_TRUE(Restart().Update(cmd::kSoftReset).enabled);
  EXPECT_FALSE(Restart().Update(cmd::kRebootEeprom).enabled) << "the scope must be closed for the others";
  Frame().OnCommand(cmd::kSoftReset);
  loop_.RunPending();
  EXPECT_EQ(scope.seen, std::vector<MessageId>{msg::kScopeReset});
  Frame().ClearListener(slot::kScope);
  Frame().ReportFormat = cmd::kFormatRaw;
  Frame().OnCommand(cmd::kSoftReset);
  EXPECT_EQ(Frame().LinkKind, 1);
}

TEST_F(RestartTest, EnablingFollowsTheTypeAndTheListeners) {
  Attach(1, "silent");
  ASSERT_TRUE(Open(1));
  const struct {
    std::uint32_t type;
    std::uint32_t features;
    std::uint32_t id;
    bool enabled;
  } cases[] = {
      {type::kUsb1, 0, cmd::kRestoreDefaults, false},     {type::kBirch, 0x10, cmd::kRestoreDefaults, true},
      {type::kCedarGen4, 0, cmd::kRebootEeprom, true},    {type::kJuniper, 0, cmd::kRebootEeprom, false},
      {type::kLarch, 0, cmd::kRebootRom, true},           {type::kCedarGen4, 0, cmd::kRebootRom, false},
      {type::kBirchRom, 0x10, cmd::kSoftReset, false},    {type::kBirch, 0x10, cmd::kHardReset, false},
      {type::kRowanGen3, 0, cmd::kHardReset, true},       {type::kCedarGen4, 0, cmd::kRowanParameterRestore, true},
      {type::kRowanGen2, 0, cmd::kRowanParameterRestore, false},
      {type::kBirch2Hid, 0x10, cmd::kRestoreDefaultBlocks, true},
  };
  for (const auto& c : cases) {
    Frame().ControllerType = c.type;
    Frame().ControllerFeatures = c.features;
    EXPECT_EQ(Restart().Update(c.id).enabled, c.enabled) << c.type << " " << c.id;
  }
  Recorder calibration(loop_);
  Frame().SetListener(slot::kCalibration, calibration.Id());
  Frame().ControllerType = type::kBirch;
  EXPECT_FALSE(Restart().Update(cmd::kSoftReset).enabled);
  Frame().ClearListener(slot::kCalibration);
  Frame().CloseLink();
  EXPECT_FALSE(Restart().Update(cmd::kSoftReset).enabled);
}

// The block dialog on a Birch2 HID controller: the chosen controller blocks in order, then the
// question about the cable's linearization, then the cable block.
class BlockRestoreTest : public RestartTest {
 protected:
  BlockRestoreTest() { SetHidBackend(&bus_); }
  ~BlockRestoreTest() override {
    TearDown();
    SetHidBackend(nullptr);
  }
  SimulatedHidBackend bus_;
};

TEST_F(BlockRestoreTest, ControllerBlocksFirstThenTheCableAfterTheQuestion) {
  emu::HidControllerOptions options;
  options.ownTouches = false;
  options.clock = [this] { return loop_.Now(); };
  auto controller = emu::CreateHidController("birch2-hid", options);
  ASSERT_TRUE(emu::AddToBackend(bus_, controller, "/dev/hidraw-restart-test"));
  CMainFrame& frame = Frame();
  EchoRecorder echo;
  StandInWindow terminal(loop_);
  frame.terminalEcho = &echo;
  frame.settings.Options.LoopbackSentChars = true;
  frame.SetListener(slot::kTerminal, terminal.Id());
  Protocol().usb->Hid().SetReaderThread(false);
  ASSERT_TRUE(Protocol().usb->Hid().OpenHidByIds(0x0596, 0x0003));
  frame.ControllerType = type::kBirch2Hid;
  frame.ControllerFeatures = feature::kBirchFamily;

  for (const Answer answer : {Answer::kNo, Answer::kYes}) {
    echo.text.clear();
    ui_.ExpectDialog("RestoreDefaults", [](DialogModel& model) {
      auto& dialog = dynamic_cast<RestoreDefaultsDialog&>(model);
      dialog.controllerBlocks[4] = true;
      dialog.controllerBlocks[1] = true;
      dialog.cableBlock4 = true;
      return true;
    });
    ui_.ExpectMessage("Are you SURE you want to destroy the factory linearization?", answer);
    frame.OnCommand(cmd::kRestoreDefaultBlocks);
    EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
    // Birch2 restore: report 16, code 19, area, block.
    const std::string block2 = "RESTORE_DEFAULTS\r10 13 00 02";
    const std::string block5 = "RESTORE_DEFAULTS\r10 13 00 05";
    const std::string cable = "RESTORE_DEFAULTS\r10 13 01 04";
    const std::size_t at2 = echo.text.find(block2);
    const std::size_t at5 = echo.text.find(block5);
    ASSERT_NE(at2, std::string::npos) << echo.text;
    ASSERT_NE(at5, std::string::npos) << echo.text;
    EXPECT_LT(at2, at5);
    if (answer == Answer::kYes) {
      EXPECT_GT(echo.text.find(cable), at5) << echo.text;
    } else {
      EXPECT_EQ(echo.text.find(cable), std::string::npos) << echo.text;
    }
  }
  frame.terminalEcho = nullptr;
}

}  // namespace
}  // namespace kx7::testing
