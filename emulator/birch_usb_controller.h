// The Birch USB controller as its USB vendor requests see it: version and status records, the
// parameter blocks and memories, serial number, pen and finger, report selection and modes,
// resets and reboots, the two text queries and the calibration record, the haptic marker, and the
// pass-through to a second processor whose answers come back through the stream request.
//
// Both driver front ends share one controller: the KX7 driver writes the setup records the program
// gives it straight to `Control`; the Rivetware USB driver turns its named requests into the same
// vendor requests first. Thread-safe: the front ends call from the program's reader and from its
// user-interface thread at once.
//
// Requests, by setup record {type, request, value, index, length} (IN answers are cut to the
// length asked; the query requests, which the program sends with length 0, answer in full):
//
//   0xC0 10  0 0 16 / 24       version answer / extended version answer
//   0xC0  6  0 0 8 / 20        status answer / extended status answer
//   0xC0  2  v sel×256 n+3     block (v = area of block sel) or memory (v = address) read; the
//                              answer is a 3-byte header (status letter, selector, count) and
//                              the n bytes; memories move at most 64 bytes a request, blocks at
//                              most their length; a word memory gives its cells big-endian
//   0x40  3  v sel×256 n       the same as a write, n data bytes
//   0x40  1  report mode       report selection;  0x40 4 kind: calibration
//   0x40  5  flag 2/1          pen / finger;      0x40 0x14 mode: report mode 1 to 3
//   0x40  7  1..5              soft reset, hard reset, ROM, RAM, EEPROM reboot
//   0x40  8  block area        restore defaults (block 0: all blocks)
//   0x40 0x15 8/9/10           enter pass-through to the second processor / the other target /
//                              leave; 0x40 0x15 0x0B 0 n with n <= 64 bytes for the target
//   0xC0 0x15 0x0B 0 64        the stream: kind, count, data
//   0xC0 0x15 1 0 64           the haptic marker
//   0xC0 0x10 101/102/3        the two texts (256 bytes, zero-filled), the calibration record
//
// A request the controller does not have, or whose values it does not take, is stalled: it fails
// with the system's code for a failed device request.
//
// Memories are selected by the USB drivers' codes (memory 0 = 37, 1 to 8 = 17 to 24, 9 to 13 = 32
// to 36). A read whose selector is a block and whose value is that block's area is a block read;
// selector 6 is also memory 6 (block 6 byte by byte) at any address, which is how the program
// reads block 6 through EEPROM_READ. The codes and the block numbers do not overlap, so nothing
// else needs telling apart.
//
// A ROM reboot starts the fixed code: until a RAM or EEPROM reboot the version answers carry
// `fixedCodeLetters`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulated_device.h"
#include "controller_state.h"
#include "loader_faults.h"
#include "memory_store.h"
#include "parameter_store.h"

namespace kx7::emu {

// An 8-byte USB setup record, read from bytes by the emulator itself.
struct UsbSetupRecord {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;

  bool IsIn() const;
  // Nothing when there are fewer than 8 bytes.
  static std::optional<UsbSetupRecord> From(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> Bytes() const;
};

// What a vendor request gave: success with the answer of an IN request (empty for OUT), or the
// driver error code it failed with.
struct VendorResult {
  bool success = false;
  std::vector<std::uint8_t> answer;
  std::uint32_t error = 0;

  static VendorResult Ok(std::vector<std::uint8_t> answer = {});
  static VendorResult Failed(std::uint32_t error);
};

enum class BirchUsbRestart { kSoftReset, kHardReset, kRomReboot, kRamReboot, kEepromReboot };

struct BirchUsbOptions {
  // Faults planted in the firmware writes (step "EEPROM_WRITE": a write of memory 9).
  std::vector<LoaderFault> faults;
  // The family of the second processor behind the pass-through ("birch", or "birch-rom" for one
  // that answers UT "MF"), made with CreateDevice without touches of its own.
  std::string secondProcessorFamily = "birch";
  // The other target of pass-through value 9; none: entering it is refused.
  std::function<std::unique_ptr<EmulatedDevice>()> otherTarget;
  bool haptic = false;
  bool extendedRecords = true;  // the extended version and status answers exist
  std::uint8_t reportMode = 2;  // the mode byte of the status answers: 2 the multi-report mode
  std::string typeLetters = "A3";  // "M0" for the fixed code ("M0I" on revision C silicon)
  std::string fixedCodeLetters = "M0";  // what the letters are after a ROM reboot
  std::uint16_t interfaceVersion[2] = {3, 1};
  std::uint16_t driverVersion[2] = {5, 20};
  std::uint8_t firmwareVersion[2] = {2, 0x10};
  std::uint8_t versionFlags = 0;  // the extended version's flag byte
  std::uint16_t partNumber = 0x0210;
  std::uint16_t siliconRevision = 0x100;
  std::uint32_t cdePart = 0x00123456;
  std::uint16_t cstPart = 0x0210;
  std::uint16_t errorBits = 0;
  std::uint32_t serialNumber = 0x0001E240;
  char statusLetter = 'A';
  std::string text1 = "Copyright (c) KX7 Touch Systems, Birch2 USB";
  std::string text2 = "Birch2 USB capacitive controller";
  std::uint16_t calibration[4] = {0x0010, 0x0800, 0x0020, 0x0800};  // XOffset, XGain, YOffset, YGain
};

class BirchUsbController : public PersistentController {
 public:
  // `clockMs` drives the second processor (the steady clock when empty).
  explicit BirchUsbController(BirchUsbOptions options = {}, std::function<std::uint64_t()> clockMs = {});
  BirchUsbController(const BirchUsbController&) = delete;
  BirchUsbController& operator=(const BirchUsbController&) = delete;

  // Its blocks and memories (the parameter cells of memory 7 among them), and the second
  // processor's, under the lock.
  void SaveState(ControllerState& state) const override;
  void LoadState(const ControllerState& state) override;

  // One vendor request; `data` is what follows the setup record (OUT requests).
  VendorResult Control(const UsbSetupRecord& setup, std::span<const std::uint8_t> data);

  // The status letter a driver puts into its version record for blocks 1 to 5.
  char StatusLetter(int block) const;

  // Bytes and reports for the stream, as the touch side of the controller would queue them:
  // bytes (tablet packets) go as byte stream, a report (at most 62 bytes) as one report.
  void QueueStreamBytes(std::span<const std::uint8_t> bytes);
  bool QueueReport(std::span<const std::uint8_t> report);

  // Resets and reboots are accepted and recorded; a USB controller then leaves the bus and comes
  // back, which the replugger (usb_replugger.h) models: it is told through the callback (set
  // before use), called outside the controller's lock but inside the request.
  void SetRestartCallback(std::function<void(BirchUsbRestart)> callback);
  std::vector<BirchUsbRestart> Restarts() const;
  // Running the fixed code (after a ROM reboot, until a RAM or EEPROM reboot).
  bool FixedCode() const;
  // The type letters the controller answers with now (the fixed code's after a ROM reboot).
  std::string TypeLetters() const;

  struct State {
    bool pen = true;
    bool finger = true;
    std::uint16_t reportMode = 1;  // of {0x40, 0x14, mode}
    std::optional<std::pair<std::uint16_t, std::uint16_t>> activeReport;  // report, mode
    std::optional<std::uint16_t> calibrationKind;
    int passThroughTarget = 0;  // 0 none, the value of the enter request otherwise
    int restoredDefaults = 0;   // how many restore requests came
  };
  State Snapshot() const;
  const BirchUsbOptions& Options() const { return options_; }
  std::optional<std::vector<std::uint8_t>> Block(int number) const;

 private:
  VendorResult In(const UsbSetupRecord& setup);
  VendorResult Out(const UsbSetupRecord& setup, std::span<const std::uint8_t> data);
  VendorResult ReadSelected(const UsbSetupRecord& setup);
  VendorResult WriteSelected(const UsbSetupRecord& setup, std::span<const std::uint8_t> data);
  VendorResult PassThrough(const UsbSetupRecord& setup, std::span<const std::uint8_t> data);
  VendorResult Stream(std::size_t room);
  std::vector<std::uint8_t> VersionAnswer() const;
  std::vector<std::uint8_t> MVersionAnswer() const;
  std::vector<std::uint8_t> StatusAnswer(std::size_t size) const;
  bool IsBlockRequest(std::uint16_t value, int selector) const;
  // The memory a selector names (a driver code, or 6); nothing for one that names none.
  static std::optional<int> MemoryOf(int selector);
  const std::string& Letters() const;
  void CollectTargetOutput();
  void QueueBytesLocked(std::span<const std::uint8_t> bytes);

  const BirchUsbOptions options_;
  const std::function<std::uint64_t()> clockMs_;

  mutable std::mutex mutex_;
  ParameterStore blocks_;
  MemoryStore memories_;
  LoaderFaults faults_;
  bool gone_ = false;  // a planted fault took the controller off
  std::map<int, std::vector<std::uint8_t>> factoryBlocks_;
  std::unique_ptr<EmulatedDevice> secondProcessor_;
  std::unique_ptr<EmulatedDevice> otherTarget_;
  EmulatedDevice* target_ = nullptr;
  State state_;
  bool fixedCode_ = false;

  struct StreamItem {
    std::uint8_t kind = 0;
    std::vector<std::uint8_t> bytes;
  };
  std::deque<StreamItem> stream_;
  std::vector<BirchUsbRestart> restarts_;
  std::function<void(BirchUsbRestart)> onRestart_;
};

}  // namespace kx7::emu
