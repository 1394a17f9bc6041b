// A USB controller restarted from the program leaves the bus and comes back: the emulated Larch
// USB on the in-process HID bus, with the replugger polled beside the program's USB reader on
// virtual time. The program closes its link, hears the controller go and come back, searches two
// seconds after the arrival and finds it again; "Please Wait" then closes.
#include <functional>
#include <memory>
#include <string>

#include "controller/controller_types.h"
#include "emulator/usb_replugger.h"
#include "frame/messages.h"
#include "proto/restart_commands.h"
#include "usb_fixture.h"

namespace kx7 {
namespace {

constexpr const char* kPath = "/dev/hidraw-restart";

class UsbRestartTest : public testing::UsbTest {
 protected:
  std::shared_ptr<emu::EmulatedHidController> Plug(const std::string& family) {
    auto controller = PlugHid(family, kPath);
    replugger_.WatchHid(hidBus_, controller, kPath, Clock());
    return controller;
  }

  void IdleWork() override { replugger_.Poll(loop_.Now()); }

  CMainFrame& StartedFrame() {
    CMainFrame& frame = Frame();
    // The emulated devices are announced to every started watcher of the process.
    frame.Devices().Start([&frame] { frame.Post(msg::kDeviceEvents); });
    return frame;
  }

  // Runs the loop until `done`, for at most `limitMs` of virtual time.
  bool RunFor(std::uint64_t limitMs, const std::function<bool()>& done) {
    const std::uint64_t deadline = loop_.Now() + limitMs;
    loop_.RunUntil([&] { return done() || loop_.Now() > deadline; });
    return done();
  }

  emu::UsbReplugger replugger_;
};

TEST_F(UsbRestartTest, ALarchUsbRebootedIntoRomIsFoundAgainWhenItComesBack) {
  const auto larch = Plug("larch-usb");
  StartedFrame();
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
