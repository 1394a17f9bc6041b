// A USB controller that restarts leaves the bus and comes back: the replugger does that for the
// emulated ones. Told that a device restarted (by the HID controller's restart handler or the
// Birch USB controller's restart callback, which run inside the host's request), it takes the
// device off its bus a moment later, announces the removal to the process's device watchers,
// and after the restart's drop-off time puts the device back and announces its arrival.
//
// An HID controller leaves its HID bus and comes back under the same path. The Birch USB
// controller leaves with its drivers: their device names go from the driver backend and are
// registered again (new registrations, so handles opened before the restart stay dead), and the
// controller's own USB id (vendor 0x0596, product 0x0001) is what is announced.
//
// The controller comes back in the state it restarted into: the Birch USB controller answers with
// its fixed-code letters after a ROM reboot (the controller itself switches, see
// birch_usb_controller.h); the HID families have no fixed-code identity of their own and come back
// as they were. A restore defaults has restored the blocks in the request already.
//
// It runs on a clock: `Poll(now)` does whatever is due by then (tests call it from the loop's
// idle work on virtual time), or `StartThread` polls it on the steady clock. Thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "birch_usb_controller.h"
#include "driver_emulation.h"
#include "hid_controller.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"

namespace kx7::emu {

// How long a USB controller is off the bus after each kind of restart, in milliseconds.
struct UsbDropOffTimes {
  std::uint64_t softReset = 200;
  std::uint64_t hardReset = 400;
  std::uint64_t rebootRom = 600;
  std::uint64_t rebootRam = 600;
  std::uint64_t rebootEeprom = 1000;
  std::uint64_t rebootAlt = 600;
  std::uint64_t restoreDefaults = 400;
  std::uint64_t modeSwitch = 400;
  bool operator==(const UsbDropOffTimes&) const = default;
};

// After the restart request was answered, the device is still there this long before it goes.
inline constexpr std::uint64_t kUsbLeaveDelayMs = 5;
// The thread variant looks at the clock this often.
inline constexpr std::uint64_t kUsbReplugThreadSliceMs = 10;

// The USB ids the replugger announces for the Birch USB controller and the subsystems.
inline constexpr std::uint16_t kBirchUsbVendor = 0x0596;
inline constexpr std::uint16_t kBirchUsbProduct = 0x0001;
inline constexpr const char* kHidSubsystem = "hidraw";
inline constexpr const char* kUsbSubsystem = "usb";

class UsbReplugger {
 public:
  explicit UsbReplugger(UsbDropOffTimes times = {});
  ~UsbReplugger();
  UsbReplugger(const UsbReplugger&) = delete;
  UsbReplugger& operator=(const UsbReplugger&) = delete;

  // Takes over the controller's restart handler. The controller is on `bus` under `path` (put
  // there by the caller with AddToBackend); `bus` must outlive the replugger. The clock is the
  // controller's own (its options' clock), read when the restart is heard.
  void WatchHid(kx7::SimulatedHidBackend& bus, std::shared_ptr<EmulatedHidController> controller, std::string path,
                std::function<std::uint64_t()> clockMs);
  // Takes over the Birch USB controller's restart callback; `installed` is what the installer
  // registered on `backend`, which must outlive the replugger.
  void WatchBirchUsb(kx7::SimulatedDriverBackend& backend, const InstalledDrivers& installed,
                     std::function<std::uint64_t()> clockMs);

  // Does what is due at `nowMs`: devices whose moment has come leave, those whose drop-off time
  // has passed come back, each with its announcement.
  void Poll(std::uint64_t nowMs);

  // Polls on the steady clock until StopThread (or the destructor). The clocks given to the
  // Watch calls should then be the steady clock too (empty: it).
  void StartThread();
  void StopThread();

  // True while no watched device is away or about to go.
  bool AllOnBus() const;
  // How many times a device left the bus / came back.
  int Removals() const;
  int Arrivals() const;

  // The drop-off time of an HID or Birch USB restart.
  std::uint64_t DropOff(HidRestartKind kind) const;
  std::uint64_t DropOff(BirchUsbRestart kind) const;

 private:
  struct Device;
  struct Shared;

  const UsbDropOffTimes times_;
  const std::shared_ptr<Shared> shared_;
  std::mutex pollMutex_;  // one Poll at a time, so a device never goes twice
  std::thread thread_;
  std::mutex threadMutex_;
  std::condition_variable threadWake_;
  bool stopThread_ = false;
};

}  // namespace kx7::emu
