// The emulated USB controllers leave their bus when they restart and come back after their
// drop-off time, with the removal and the arrival announced to the process's device watchers, on
// virtual time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/driver_emulation.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "emulator/usb_replugger.h"
#include "hid_test_support.h"
#include "link/driver/driver_constants.h"
#include "platform/device_watcher.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"

namespace kx7::emu {
namespace {

using hid_testing::Bytes;
using hid_testing::Cmd;
using hid_testing::QuietOptions;
using hid_testing::VirtualClock;
using Kind = kx7::DeviceChange::Kind;

struct Heard {
  Kind kind;
  std::uint16_t vendor;
  std::uint16_t product;
  std::string subsystem;
  bool operator==(const Heard&) const = default;
};

class UsbReplugTest : public ::testing::Test {
 protected:
  UsbReplugTest() { watcher_.Start([] {}); }

  // What the watcher heard of our devices since the last call (a real udev may add others).
  std::vector<Heard> TakeHeard() {
    std::vector<Heard> heard;
    for (const kx7::DeviceChange& change : watcher_.TakeEvents())
      if (change.vendor == kHidVendor) heard.push_back({change.kind, change.vendor, change.product, change.subsystem});
    return heard;
  }

  void Advance(std::uint64_t ms) {
    clock_.Advance(ms);
    replugger_.Poll(*clock_.now);
  }

  bool OnBus(const EmulatedHidController& c, const std::string& path) {
    for (const kx7::HidDeviceInfo& info : bus_.Enumerate(c.Family().vendor, c.Family().product))
      if (info.path == path) return true;
    return false;
  }

  VirtualClock clock_;
  kx7::DeviceWatcher watcher_;
  kx7::SimulatedHidBackend bus_;
  kx7::SimulatedDriverBackend drivers_;
  UsbReplugger replugger_;
};

// Each restart: the device is there while the request is answered and a moment after, then goes
// (removal heard), stays away for its drop-off time, and comes back under the same path (arrival
// heard), answering again as it did.
TEST_F(UsbReplugTest, AnHidControllerLeavesAndComesBackAfterItsDropOffTime) {
  const struct {
    const char* family;
    kx7::HidReport report;
    std::uint64_t dropOff;
  } cases[] = {
      {"maple", Cmd({7, 1}), 200},          // soft reset
      {"maple", Cmd({7, 3}), 600},          // ROM reboot
      {"larch-usb", Cmd({7, 4}), 600},      // RAM reboot
      {"larch-usb", Cmd({7, 5}), 1000},     // EEPROM reboot
      {"larch-usb", Cmd({8}), 400},         // restore defaults, which restarts a Larch
      {"rowan-usb-gen3", Cmd({7, 2}), 400}, // hard reset
  };
  int path = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.report[2]));
    auto controller = CreateHidController(c.family, QuietOptions(clock_));
    ASSERT_TRUE(controller);
    const std::string devnode = "/dev/hidraw-replug-" + std::to_string(path++);
    ASSERT_TRUE(AddToBackend(bus_, controller, devnode));
    replugger_.WatchHid(bus_, controller, devnode, clock_.Function());
    const auto recordBefore = controller->OnGetFeature(4, 72);

    {
      // Asked through the bus, as the program does: the restart handler must not unplug there.
      std::unique_ptr<kx7::HidHandle> handle = bus_.Open(devnode);
      ASSERT_TRUE(handle);
      ASSERT_TRUE(handle->SetFeature(c.report));
    }
    replugger_.Poll(*clock_.now);
    EXPECT_TRUE(OnBus(*controller, devnode)) << "not yet: the answer has to get back first";
    EXPECT_TRUE(TakeHeard().empty());

    Advance(kUsbLeaveDelayMs);
    EXPECT_FALSE(OnBus(*controller, devnode));
    EXPECT_FALSE(bus_.Open(devnode));
    EXPECT_FALSE(controller->ReplugPending());
    const std::uint16_t vendor = controller->Family().vendor;
    const std::uint16_t product = controller->Family().product;
    EXPECT_EQ(TakeHeard(), (std::vector<Heard>{{Kind::kRemoveComplete, vendor, product, "hidraw"}}));

    Advance(c.dropOff - 1);
    EXPECT_FALSE(OnBus(*controller, devnode));
    EXPECT_FALSE(replugger_.AllOnBus());
    Advance(1);
    EXPECT_TRUE(OnBus(*controller, devnode));
    EXPECT_TRUE(replugger_.AllOnBus());
    EXPECT_EQ(TakeHeard(), (std::vector<Heard>{{Kind::kArrival, vendor, product, "hidraw"}}));
    // The HID families have no fixed code of their own: the record is what it was.
    EXPECT_EQ(controller->OnGetFeature(4, 72), recordBefore);
    std::unique_ptr<kx7::HidHandle> again = bus_.Open(devnode);
    EXPECT_TRUE(again);
    again.reset();
    Advance(5000);
    EXPECT_TRUE(TakeHeard().empty()) << "one restart, one replug";
  }
  EXPECT_EQ(replugger_.Removals(), 6);
  EXPECT_EQ(replugger_.Arrivals(), 6);
}

// Restore defaults on a Maple: the blocks are the factory's when it comes back.
TEST_F(UsbReplugTest, RestoreDefaultsComesBackWithTheFactoryBlocks) {
  auto maple = CreateHidController("maple", QuietOptions(clock_));
  ASSERT_TRUE(AddToBackend(bus_, maple, "/dev/hidraw-maple"));
  replugger_.WatchHid(bus_, maple, "/dev/hidraw-maple", clock_.Function());
  const auto factory = maple->HostBlock(1);
  ASSERT_TRUE(factory && factory->size() <= 64);
  kx7::HidReport write = Bytes(72, {5, 1, 0, 0, 1, 0, static_cast<std::uint8_t>(factory->size()), 0});
  for (std::size_t i = 0; i < factory->size(); ++i) write[8 + i] = static_cast<std::uint8_t>(0xC0 ^ i);
  ASSERT_TRUE(maple->OnSetFeature(write));
  ASSERT_NE(maple->HostBlock(1), factory);

  ASSERT_TRUE(maple->OnSetFeature(Cmd({8})));
  Advance(kUsbLeaveDelayMs);
  ASSERT_FALSE(OnBus(*maple, "/dev/hidraw-maple"));
  Advance(400);
  ASSERT_TRUE(OnBus(*maple, "/dev/hidraw-maple"));
  EXPECT_EQ(maple->HostBlock(1), factory);
  EXPECT_EQ(TakeHeard().size(), 2u);
}

// The Birch USB controller goes with its drivers' device names; handles opened before stay dead,
// new ones reach it again. After a ROM reboot it answers with the fixed code's letters, after a
// RAM reboot with its own.
TEST_F(UsbReplugTest, TheBirchUsbDriversVanishAndReturn) {
  DriverEmulationOptions options;
  options.clockMs = clock_.Function();
  const std::optional<InstalledDrivers> installed = InstallDriverEmulation("birch-usb", drivers_, nullptr, options);
  ASSERT_TRUE(installed);
  ASSERT_EQ(installed->deviceNames.size(), 3u);
  replugger_.WatchBirchUsb(drivers_, *installed, clock_.Function());
  const std::string rvusb = kx7::RivetwareDriverDeviceName(0);
  const auto letters = [&] {
    std::unique_ptr<kx7::DriverHandle> handle = drivers_.Open(rvusb);
    if (!handle) return std::string("gone");
    const kx7::DriverResult version = handle->Request(kx7::driver::kGetVersion, {}, kx7::driver::kVersionRecordSize);
    if (!version.success || version.bytes.size() < 12) return std::string("failed");
    return std::string{static_cast<char>(version.bytes[11]), static_cast<char>(version.bytes[10])};
  };
  ASSERT_EQ(letters(), "A3");

  const struct {
    std::uint32_t request;
    std::uint64_t dropOff;
    const char* lettersAfter;
  } cases[] = {{kx7::driver::kRomReboot, 600, "M0"},
               {kx7::driver::kHardReset, 400, "M0"},
               {kx7::driver::kRamReboot, 600, "A3"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    std::unique_ptr<kx7::DriverHandle> old = drivers_.Open(rvusb);
    ASSERT_TRUE(old);
    ASSERT_TRUE(old->Request(c.request, {}, 0).success);
    for (const std::string& name : installed->deviceNames) EXPECT_TRUE(drivers_.HasDevice(name)) << name;
    Advance(kUsbLeaveDelayMs);
    for (const std::string& name : installed->deviceNames) EXPECT_FALSE(drivers_.HasDevice(name)) << name;
    EXPECT_EQ(letters(), "gone");
    EXPECT_EQ(TakeHeard(), (std::vector<Heard>{{Kind::kRemoveComplete, 0x0596, 0x0001, "usb"}}));
    Advance(c.dropOff - 1);
    EXPECT_FALSE(drivers_.HasDevice(rvusb));
    Advance(1);
    for (const std::string& name : installed->deviceNames) EXPECT_TRUE(drivers_.HasDevice(name)) << name;
    EXPECT_EQ(TakeHeard(), (std::vector<Heard>{{Kind::kArrival, 0x0596, 0x0001, "usb"}}));
    EXPECT_FALSE(old->Request(kx7::driver::kGetStatus, {}, kx7::driver::kStatusRecordSize).success)
        << "a handle of before the restart";
    EXPECT_EQ(letters(), c.lettersAfter);
    // The KX7 driver's devices are back too and reach the same controller.
    std::unique_ptr<kx7::DriverHandle> kx7 = drivers_.Open(kx7::Kx7DriverDeviceName(1));
    EXPECT_TRUE(kx7);
  }
}

// The session's variant: a thread on the steady clock does the same; the test waits for the
// arrival to be heard, not for time to pass.
TEST(UsbReplugThread, TheThreadPutsTheDeviceBack) {
  UsbDropOffTimes quick;
  quick.softReset = 1;
  UsbReplugger replugger(quick);
  std::mutex mutex;
  std::condition_variable heard;
  std::vector<Kind> kinds;
  kx7::DeviceWatcher watcher;
  watcher.Start([&] {
    std::lock_guard<std::mutex> guard(mutex);
    for (const kx7::DeviceChange& change : watcher.TakeEvents())
      if (change.devnode == "/dev/hidraw-threaded") kinds.push_back(change.kind);
    heard.notify_all();
  });
  kx7::SimulatedHidBackend bus;
  HidControllerOptions options;
  options.ownTouches = false;
  auto maple = CreateHidController("maple", options);
  ASSERT_TRUE(AddToBackend(bus, maple, "/dev/hidraw-threaded"));
  replugger.WatchHid(bus, maple, "/dev/hidraw-threaded", {});
  replugger.StartThread();
  ASSERT_TRUE(maple->OnSetFeature(Cmd({7, 1})));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(heard.wait_for(lock, std::chrono::seconds(10), [&] { return kinds.size() >= 2; }));
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::kRemoveComplete, Kind::kArrival}));
  }
  replugger.StopThread();
  EXPECT_FALSE(bus.Enumerate(maple->Family().vendor, maple->Family().product).empty());
}

}  // namespace
}  // namespace kx7::emu
