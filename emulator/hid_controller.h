// An emulated USB HID touch controller: the feature reports the host sends and fetches, the
// entries the device shows on a HID bus, its product and serial strings, and the touch reports
// the host polls. `CreateHidController` makes one for a family name; the generic controllers and
// the Birch2 HID controller (hid_generic_controller.h, hid_birch2_controller.h) fill in the
// command sets.
//
// Restarts (resets, reboots, the mode switch) are accepted and recorded; the device itself stays
// on the bus. Whoever installed it (a test, the emulator) can unplug and plug it back from the
// restart handler's notice or the pending-replug flag; the handler runs inside the request and
// must not unplug the device there (the backend holds the device while it asks it), only note or
// post it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "controller_state.h"
#include "emulated_device.h"
#include "hid_calibration.h"
#include "hid_family.h"
#include "hid_touch_reports.h"
#include "loader_faults.h"
#include "parameter_store.h"
#include "platform/hid_device.h"
#include "touch_source.h"

namespace kx7::emu {

struct HidControllerOptions {
  // A person's hand strokes the screen now and then, once the host has asked something and then
  // nothing more (touch polls aside) for `handsOffMs`, so that touches do not cut into a search or
  // an exchange. Off: touches only come from what a caller places or scripts.
  bool ownTouches = true;
  std::uint64_t handsOffMs = kHandsOffMs;
  // Milliseconds; a steady clock when empty. Tests pass a virtual one.
  std::function<std::uint64_t()> clock;
  // Maple and Larch: status byte 2 after a write, one value for each status fetch, the last one
  // repeating (default busy twice, then done). {1} stays busy; {0} refuses, and a refused write
  // leaves the block as it was.
  std::vector<std::uint8_t> writeStatus;
  // Other ids (a Larch of another product, or of vendor 0x0914).
  std::optional<std::uint16_t> vendor;
  std::optional<std::uint16_t> product;
  // Larch: model code (byte 19) and sensor kind (byte 20) of the record.
  std::optional<std::uint8_t> modelCode;
  std::optional<std::uint8_t> sensorKind;
  std::optional<char> secondTypeLetter;  // "0": the Larch multitouch variant
  std::optional<std::uint8_t> versionMajor;
  std::optional<std::uint8_t> versionMinor;
  std::optional<std::uint8_t> flags;  // byte 5 of the record
  std::optional<std::uint32_t> serialNumber;
  // Faults planted in the download steps (loader_faults.h); the steps are the controller's own
  // (hid_larch_loader.h; "SET_PARAM" for a Birch2 HID firmware write).
  std::vector<LoaderFault> faults;
  // Larch: the boot loader's page size over 256 (byte 21 of its record).
  std::optional<std::uint8_t> pageSizeCode;
};

enum class HidRestartKind {
  kSoftReset,
  kHardReset,
  kRebootRom,
  kRebootRam,
  kRebootEep,
  kRebootAlt,
  kRestoreDefaults,
  kModeSwitch,
};

// The restart that a RESET command's kind byte asks for; nothing for a kind no controller knows.
std::optional<HidRestartKind> HidResetKind(std::uint8_t kind);

struct HidRestart {
  HidRestartKind kind = HidRestartKind::kSoftReset;
  std::uint64_t atMs = 0;
  bool operator==(const HidRestart&) const = default;
};

class EmulatedHidController : public kx7::SimulatedHidDevice, public PersistentController {
 public:
  EmulatedHidController(const HidFamily& family, HidControllerOptions options);
  EmulatedHidController(const EmulatedHidController&) = delete;
  EmulatedHidController& operator=(const EmulatedHidController&) = delete;

  // The family with the options applied (ids, record fields, block lengths).
  const HidFamily& Family() const { return family_; }

  // What the device shows on a bus under `path`: the controller collection, for the products with
  // several collections a digitizer and a mouse collection beside it (same path), and the
  // interface-1 entry (path + kSecondInterfaceSuffix) that the host must skip.
  std::vector<kx7::HidDeviceInfo> Entries(const std::string& path) const;
  static constexpr const char* kSecondInterfaceSuffix = "&mi_01";
  // "USB\VID_0596&PID_0300&REV_0100".
  std::string HardwareId() const;

  bool OnSetFeature(const kx7::HidReport& report) final;
  std::optional<kx7::HidReport> OnGetFeature(std::uint8_t reportId, std::size_t length) final;
  std::optional<std::string> ProductString() override { return family_.productString; }
  // The serial number of block 5 as eight hexadecimal digits, most significant byte first.
  std::optional<std::string> SerialString() override { return SerialText(); }
  std::string SerialText() const;

  std::vector<HidRestart> Restarts() const;
  // Set by every restart until cleared: an installer unplugs and plugs the device back.
  bool ReplugPending() const;
  void ClearReplugPending();
  void SetRestartHandler(std::function<void(const HidRestart&)> handler);

  // The touch side, under the device's lock.
  void WithTouches(const std::function<void(TouchSource&)>& change);

  // The controller-side calibration: running, and where its targets were touched.
  bool Calibrating() const;
  std::vector<ScreenPoint> CalibrationTouches() const;

  // A block as the host reads it; nothing for a block the controller does not have.
  std::optional<std::vector<std::uint8_t>> HostBlock(int number) const;

  // Its blocks (and what the family keeps besides), under the device's lock.
  void SaveState(ControllerState& state) const override;
  void LoadState(const ControllerState& state) override;

 protected:
  // Called under the lock, with the report's id in byte 0 and at least one byte.
  virtual bool HandleSet(const kx7::HidReport& report) = 0;
  virtual std::optional<kx7::HidReport> HandleGet(std::uint8_t reportId, std::size_t length) = 0;
  // The reports the host polls for touches and second-processor bytes: they do not count as the
  // host talking.
  virtual bool IsPoll(std::uint8_t reportId) const = 0;
  virtual std::optional<std::vector<std::uint8_t>> HostBlockLocked(int number) const = 0;
  // The status report: while a calibration runs the host polls it to follow the calibration.
  virtual bool IsStatusReport(std::uint8_t reportId) const = 0;
  // What a family keeps besides its blocks (memories, the second processor), under the lock.
  virtual void SaveMoreLocked(ControllerState&) const {}
  virtual void LoadMoreLocked(const ControllerState&) {}

  // The calibration command (its kind, or the step); false for a kind the controller lacks.
  bool CalibrateCommand(std::uint8_t kind);
  // The calibration's status value; nothing when none has run since the last restart.
  std::optional<std::uint8_t> CalibrationStatus();
  void StopCalibration();

  std::mutex& Mutex() const { return mutex_; }
  LoaderFaults& Faults() { return faults_; }
  // A planted fault took the controller off: it answers no request any more.
  void DropOffLocked() { gone_ = true; }
  // A copy of a field, taken under the lock.
  template <typename T>
  T Locked(const T& field) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return field;
  }
  // Bytes 1 to 9 of the identity record: the type letters, the version, the flags, the part
  // number and the largest parameter write.
  void PutRecordHead(kx7::HidReport& record) const;
  // The block as the controller keeps it; nothing for a block it does not have.
  std::optional<std::vector<std::uint8_t>> KeptBlock(int number) const;
  std::uint64_t Now() const;
  void RecordRestart(HidRestartKind kind);
  // The touching contacts at the current time (none while the hand keeps off), followed by one
  // lift-off point for each contact that touched at the last call and no longer does.
  std::vector<HidTouchPoint> TouchPoints(int maxContacts);
  ParameterStore& Parameters() { return parameters_; }
  const ParameterStore& Parameters() const { return parameters_; }
  void DefineBlocks();
  std::uint16_t NextScanTime();

  HidFamily family_;
  HidControllerOptions options_;

 private:
  bool HandsOff(std::uint64_t now) const;

  mutable std::mutex mutex_;
  LoaderFaults faults_;
  bool gone_ = false;
  ParameterStore parameters_;
  TouchSource touches_;
  HidCalibration calibration_;
  bool heardHost_ = false;  // the host has asked something besides the polls
  std::uint64_t lastHostMs_ = 0;
  std::map<int, HidTouchPoint> lastTouching_;
  std::vector<HidRestart> restarts_;
  bool replugPending_ = false;
  std::function<void(const HidRestart&)> restartHandler_;
  std::vector<HidRestart> unannounced_;
  std::uint16_t scanTime_ = 0;
};

// A controller of the named family (one of HidFamilyNames(), hid_family.h); nullptr for an
// unknown name.
std::shared_ptr<EmulatedHidController> CreateHidController(const std::string& family,
                                                           HidControllerOptions options = {});

}  // namespace kx7::emu
