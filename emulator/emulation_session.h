// What `--emulate FAMILY[,SETTINGS]` of kx7sdu and kx7cli starts. A serial family is served on a
// pseudo-terminal that the program then finds as a COM port. A USB family lives in the program's
// own process: an HID controller on the in-process HID bus, or a Birch USB controller behind the
// emulated Rivetware USB and KX7 drivers; its hardware id is announced to the USB scan, so Find
// Controller finds it as it would a plugged-in controller. A USB controller that restarts leaves
// the bus and comes back after its drop-off time, announced to the program's device watchers (a
// replugger thread of the session). The session ends the emulation and takes the devices away
// again.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver_emulation.h"
#include "hid_controller.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"
#include "pty_server.h"
#include "touch_feed.h"
#include "usb_replugger.h"

namespace kx7::emu {

// The USB families, which only run inside kx7sdu and kx7cli (HID first, then the driver ones).
const std::vector<std::string>& InProcessFamilyNames();
bool IsInProcessFamily(const std::string& family);

class EmulationSession {
 public:
  // Nothing when the family or its settings are unknown (`badUsage` true) or the emulation could
  // not start; `error` then says why in a line to print. USB families take no settings.
  // With `touchFeed` (a file or FIFO of "down A B" lines) the controller's touches come from it;
  // lines that are no feed lines are told to `problems`.
  static std::unique_ptr<EmulationSession> Start(const std::string& family, const std::string& settings,
                                                 std::string& error, bool& badUsage, const std::string& touchFeed = "",
                                                 std::function<void(const std::string&)> problems = nullptr);
  ~EmulationSession();
  EmulationSession(const EmulationSession&) = delete;
  EmulationSession& operator=(const EmulationSession&) = delete;

  // The pseudo-terminal of a serial family ("/dev/pts/N"); empty for a USB family.
  std::string SerialPath() const;
  // The emulated HID controller, when the family is one.
  EmulatedHidController* HidController() const { return controller_.get(); }

 private:
  EmulationSession() = default;

  std::unique_ptr<PtyServer> pty_;
  std::unique_ptr<kx7::SimulatedHidBackend> hidBus_;
  std::unique_ptr<kx7::SimulatedDriverBackend> drivers_;
  std::shared_ptr<EmulatedHidController> controller_;
  std::optional<InstalledDrivers> installed_;
  // Last, so that it stops before the buses it changes go.
  std::unique_ptr<UsbReplugger> replugger_;
  // Its reader stops first of all.
  std::shared_ptr<TouchFeed> feed_;
};

}  // namespace kx7::emu
