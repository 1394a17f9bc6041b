// The HID controllers with the generic command set (every HID family but the Birch2 HID): command
// report 3, SET_PARAM report 5, pass-through report 9, big blocks in report 15, the mode switch in
// report 17; the controller-ID record (report 4), the status record (report 6), the pointer mode
// and contact count (reports 17 and 18) and the touch reports of each family.
//
// The second processor behind the pass-through is the serial controller of the matching family,
// answering at once: what it says is in report 9 at the next poll.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "emulated_device.h"
#include "hid_controller.h"
#include "hid_larch_loader.h"
#include "link/hid/hid_constants.h"

namespace kx7::emu {

class GenericHidController : public EmulatedHidController {
 public:
  GenericHidController(const HidFamily& family, HidControllerOptions options);

  // The asynchronous mode last set (6 after power-on and after a restart).
  std::uint8_t AsyncMode() const;
  bool InPassThrough() const;
  char PassThroughTarget() const;  // 'D', 'L', or 0
  bool MultiContactMode() const;
  std::uint8_t PointerMode() const;
  std::uint8_t PenFinger() const;
  std::vector<std::uint8_t> Calibrations() const;
  // Larch: the boot loader runs (after a ROM reboot), and the flash it wrote.
  bool InBootLoader() const;
  std::vector<std::uint8_t> Flash() const;
  bool UefiCommitted() const;

  static constexpr std::uint8_t kPowerOnAsyncMode = 6;

 protected:
  bool HandleSet(const kx7::HidReport& report) override;
  std::optional<kx7::HidReport> HandleGet(std::uint8_t reportId, std::size_t length) override;
  bool IsPoll(std::uint8_t reportId) const override;
  std::optional<std::vector<std::uint8_t>> HostBlockLocked(int number) const override;
  bool IsStatusReport(std::uint8_t reportId) const override { return reportId == hid::answer::kStatus; }
  void SaveMoreLocked(ControllerState& state) const override;
  void LoadMoreLocked(const ControllerState& state) override;

 private:
  struct Selection {
    int block = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
  };

  bool Command(const kx7::HidReport& report);
  bool SetParamIndex(const kx7::HidReport& report);
  bool AsyncEnable(const kx7::HidReport& report);
  bool Restart(std::uint8_t kind);
  bool SetParam(const kx7::HidReport& report);
  bool SetBigBlock(const kx7::HidReport& report);
  bool PassThroughBytes(const kx7::HidReport& report);
  void ToSecondProcessor(const std::uint8_t* bytes, std::size_t count);
  void CollectSecondProcessor();
  bool StoreWrite(int block, const std::vector<std::uint8_t>& bytes);
  void LeavePassThrough();

  kx7::HidReport ControllerId() const;
  kx7::HidReport Status();
  kx7::HidReport PassThroughAnswer();
  std::optional<kx7::HidReport> TouchReport(std::uint8_t reportId, std::size_t length);
  std::optional<kx7::HidReport> RawReport();
  std::uint8_t StatusMode() const;
  char BlockLetter(int block) const;

  bool IsRowan() const;
  bool IsResistive() const;
  bool IsLarch() const;
  bool IsMaple() const;

  std::unique_ptr<EmulatedDevice> second_;
  std::unique_ptr<HidLarchLoader> larchLoader_;
  std::deque<std::uint8_t> secondOutput_;
  char passThrough_ = 0;
  std::uint8_t asyncMode_ = kPowerOnAsyncMode;
  bool multiContact_ = false;
  std::uint8_t pointerMode_ = 0;
  std::uint8_t penFinger_ = 0;
  std::uint8_t diagPins_ = 0;
  bool watchdogOff_ = false;
  std::vector<std::uint8_t> calibrations_;
  std::optional<Selection> selection_;
  std::vector<std::uint8_t> writeStatus_;
  std::size_t writeStatusAt_ = 0;
  bool writing_ = false;
  std::uint8_t loopCounter_ = 0;
  std::uint8_t rawSamples_ = 0;
};

}  // namespace kx7::emu
