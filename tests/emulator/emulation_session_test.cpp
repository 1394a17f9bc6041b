// The in-process USB emulation that `--emulate FAMILY` starts: a restarted controller leaves the
// bus and comes back on the session's own replugger thread. The test waits for the announcements,
// not for time to pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/emulation_session.h"
#include "hid_test_support.h"
#include "platform/device_watcher.h"
#include "platform/hid_device.h"
#include "platform/usb_hardware_ids.h"

namespace kx7::emu {
namespace {

bool Listed(const std::string& hardwareId) {
  const std::vector<std::string> ids = kx7::PresentUsbHardwareIds();
  return std::find(ids.begin(), ids.end(), hardwareId) != ids.end();
}

TEST(EmulationSessionReplug, AnHidControllerOfTheSessionComesBackAfterAReset) {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<kx7::DeviceChange> heard;
  bool listedWhileAway = true;
  bool listedOnArrival = false;
  std::string hardwareId;
  kx7::DeviceWatcher watcher;
  watcher.Start([&] {
    std::lock_guard<std::mutex> guard(mutex);
    for (const kx7::DeviceChange& change : watcher.TakeEvents()) {
      if (change.devnode.find("/dev/hidraw-emulated-") != 0) continue;
      // Announced after it left: the USB scan no longer lists it.
      if (change.kind == kx7::DeviceChange::Kind::kRemoveComplete) listedWhileAway = Listed(hardwareId);
      // Announced once it is back: a listener that looks at once sees it.
      if (change.kind == kx7::DeviceChange::Kind::kArrival) listedOnArrival = Listed(hardwareId);
      heard.push_back(change);
    }
    changed.notify_all();
  });

  std::string error;
  bool badUsage = false;
  std::unique_ptr<EmulationSession> session = EmulationSession::Start("maple", "", error, badUsage);
  ASSERT_TRUE(session) << error;
  hardwareId = session->HidController()->HardwareId();
  EXPECT_TRUE(Listed(hardwareId));
  const auto present = [&] {
    return !kx7::DefaultHidBackend().Enumerate(session->HidController()->Family().vendor,
                                               session->HidController()->Family().product)
                .empty();
  };
  ASSERT_TRUE(present());

  ASSERT_TRUE(session->HidController()->OnSetFeature(hid_testing::Cmd({7, 1})));  // soft reset
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return heard.size() >= 2; }));
    EXPECT_EQ(heard[0].kind, kx7::DeviceChange::Kind::kRemoveComplete);
    EXPECT_EQ(heard[1].kind, kx7::DeviceChange::Kind::kArrival);
    EXPECT_EQ(heard[1].subsystem, "hidraw");
    EXPECT_FALSE(listedWhileAway);
    EXPECT_TRUE(listedOnArrival);
  }
  EXPECT_TRUE(present());
  EXPECT_TRUE(Listed(hardwareId));
  session.reset();
  EXPECT_FALSE(Listed(hardwareId));
}

}  // namespace
}  // namespace kx7::emu
