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
#include "controller_state.h"
#include "pty_server.h"
#include "sensor_model.h"
#include "touch_feed.h"
#include "usb_replugger.h"

namespace kx7::emu {

// The USB families, which only run inside kx7sdu and kx7cli (HID first, then the driver ones).
const std::vector<std::string>& InProcessFamilyNames();
bool IsInProcessFamily(const std::string& family);

// What a session may take besides the family and its settings.
struct EmulationExtras {
  std::optional<std::string> stateFile;  // --emulate-state FILE
  std::string touchFeed;                 // --touch-feed PATH
  std::function<void(const std::string&)> feedProblems;
  // --sensor ITEMS: the sensor behind the controller's touch side (serial families).
  std::optional<SensorConfig> sensor;
};

class EmulationSession {
 public:
  // Nothing when the family or its settings are unknown (`badUsage` true) or the emulation could
  // not start; `error` then says why in a line to print. USB families take no settings.
  // With `extras.stateFile`, the controller's kept state is loaded from it (when it exists; one
  // that cannot be read, is not a state file or holds another family stops the start, so that it
  // is never overwritten, and sets `stateRejected`) and saved to it when the session ends. With
  // `extras.touchFeed` (a file or FIFO of "down A B" lines) the controller's touches come from it;
  // lines that are no feed lines are told to `extras.feedProblems`.
  static std::unique_ptr<EmulationSession> Start(const std::string& family, const std::string& settings,
                                                 std::string& error, bool& badUsage,
                                                 const EmulationExtras& extras = {}, bool* stateRejected = nullptr);
  ~EmulationSession();
  EmulationSession(const EmulationSession&) = delete;
  EmulationSession& operator=(const EmulationSession&) = delete;

  // The pseudo-terminal of a serial family ("/dev/pts/N"); empty for a USB family.
  std::string SerialPath() const;
  // The emulated HID controller, when the family is one.
  EmulatedHidController* HidController() const { return controller_.get(); }
  // Saves the controller's state to the state file and stops serving (the session's end does it
  // when nobody did); false, with the reason, when it could not be written.
  bool SaveState(std::string& error);

 private:
  EmulationSession() = default;

  std::unique_ptr<PtyServer> pty_;
  std::unique_ptr<kx7::SimulatedHidBackend> hidBus_;
  std::unique_ptr<kx7::SimulatedDriverBackend> drivers_;
  std::shared_ptr<EmulatedHidController> controller_;
  std::optional<InstalledDrivers> installed_;
  std::string family_;
  std::optional<std::string> stateFile_;
  PersistentController* persistent_ = nullptr;
  bool saved_ = false;
  // Last, so that it stops before the buses it changes go.
  std::unique_ptr<UsbReplugger> replugger_;
  // Its reader stops first of all.
  std::shared_ptr<TouchFeed> feed_;
};

}  // namespace kx7::emu
