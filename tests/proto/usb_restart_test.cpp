// A USB controller restarted from the program leaves the bus and comes back: the emulated Larch
// USB on the in-process HID bus, with the replugger polled beside the program's USB reader on
// virtual time. The program closes its link, hears the controller go and come back, searches two
// seconds after the arrival and finds it again; "Please Wait" then closes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "emulator/usb_replugger.h"
#include "frame/frame_constants.h"
#include "frame/main_frame.h"
#include "frame/messages.h"
#include "platform/hid_device.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"
#include "proto/restart_commands.h"

namespace kx7 {
namespace {

struct EchoRecorder : TerminalEcho {
  std::string text;
  void EchoChar(char c) override { text.push_back(c); }
};

struct TerminalStandIn : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

constexpr const char* kPath = "/dev/hidraw-restart";

class UsbRestartTest : public ::testing::Test {
 protected:
  UsbRestartTest() {
    SetHidBackend(&hidBus_);
    lockFolder_ = std::filesystem::temp_directory_path() / ("kx7-usb-restart-" + std::to_string(::getpid()) + "-" +
                                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockFolder_);
  }
  ~UsbRestartTest() override {
    loop_.SetIdleWork({});
    frame_.reset();
    SetHidBackend(nullptr);
    std::filesystem::remove_all(lockFolder_);
  }

  std::shared_ptr<emu::EmulatedHidController> Plug(const std::string& family) {
    emu::HidControllerOptions options;
    options.ownTouches = false;
    options.clock = [this] { return loop_.Now(); };
    auto controller = emu::CreateHidController(family, options);
    EXPECT_TRUE(controller) << family;
    EXPECT_TRUE(emu::AddToBackend(hidBus_, controller, kPath));
    replugger_.WatchHid(hidBus_, controller, kPath, options.clock);
    hardwareIds_.push_back(controller->HardwareId());
    return controller;
  }

  CMainFrame& Frame() {
    if (frame_) return *frame_;
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch", "-noserial"}), environment);
    protocol_ = &InstallControllerProtocol(*frame_, LinkReaders::kPolled);
    protocol_->finder.usbHardwareIds = [this] { return hardwareIds_; };
    protocol_->usb->Hid().SetLockDirectory(lockFolder_.string());
    frame_->terminalEcho = &echo_;
    frame_->settings.Options.LoopbackSentChars = true;
    frame_->SetListener(slot::kTerminal, terminal_.Id());
    // The emulated devices are announced to every started watcher of the process.
    frame_->Devices().Start([this] { frame_->Post(msg::kDeviceEvents); });
    loop_.SetIdleWork([this] {
      replugger_.Poll(loop_.Now());
      return protocol_->usb->PollOnce();
    });
    return *frame_;
  }

  // Runs the loop until `done`, for at most `limitMs` of virtual time.
  bool RunFor(std::uint64_t limitMs, const std::function<bool()>& done) {
    const std::uint64_t deadline = loop_.Now() + limitMs;
    loop_.RunUntil([&] { return done() || loop_.Now() > deadline; });
    return done();
  }

  std::filesystem::path lockFolder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend hidBus_;
  emu::UsbReplugger replugger_;
  std::vector<std::string> hardwareIds_;
  EchoRecorder echo_;
  TerminalStandIn terminal_{loop_};
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

TEST_F(UsbRestartTest, ALarchUsbRebootedIntoRomIsFoundAgainWhenItComesBack) {
  const auto larch = Plug("larch-usb");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().LinkKind, link::kHid) << echo_.text;
  ASSERT_EQ(Frame().ControllerType, type::kLarchUsb);
  echo_.text.clear();

  protocol_->restart->RebootRom();
  RebootProgressWindow& progress = protocol_->restart->Progress();
  EXPECT_TRUE(progress.IsOpen());
  EXPECT_EQ(progress.Text(), "REBOOTING ROM...");
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  ASSERT_EQ(larch->Restarts().size(), 1u);
  EXPECT_EQ(larch->Restarts()[0].kind, emu::HidRestartKind::kRebootRom);

  const std::uint64_t rebooted = loop_.Now();
  ASSERT_TRUE(RunFor(1000, [&] { return replugger_.Removals() == 1; }));
  EXPECT_TRUE(hidBus_.Enumerate(larch->Family().vendor, larch->Family().product).empty());
  ASSERT_TRUE(RunFor(2000, [&] { return replugger_.Arrivals() == 1; }));
  EXPECT_GE(loop_.Now() - rebooted, 600u) << "away for its drop-off time";
  // The arrival of a known controller while no link is open starts timer 28.
  ASSERT_TRUE(RunFor(100, [&] { return loop_.HasTimer(Frame().Id(), timer::kConnectPlugged); })) << echo_.text;
  EXPECT_NE(echo_.text.find("Controller Plugged\r"), std::string::npos) << echo_.text;
  const std::uint64_t arrived = loop_.Now();

  ASSERT_TRUE(RunFor(10000, [&] { return Frame().LinkKind == link::kHid; })) << echo_.text;
  EXPECT_GE(loop_.Now() - arrived, 2000u) << "the search waits two seconds after the plug-in";
  EXPECT_EQ(Frame().ControllerType, type::kLarchUsb);
  EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kStatus), "Found");
  EXPECT_TRUE(protocol_->usb->Hid().IsOpen());
  ASSERT_TRUE(RunFor(2000, [&] { return !progress.IsOpen(); }));
  EXPECT_LT(loop_.Now() - rebooted, 10000u) << "closed because the link is back, not by its time-out";
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
  EXPECT_EQ(replugger_.Removals(), 1);
  EXPECT_EQ(replugger_.Arrivals(), 1);
}

}  // namespace
}  // namespace kx7
