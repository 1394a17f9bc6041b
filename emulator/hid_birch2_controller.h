// The Birch2 HID controller (vendor 0x0596, product 0x0003): command report 16 with codes 16 to
// 24, SET_PARAM in report 32 by sub-block and address, GET_PARAM (32), the status (128), the
// identity record (129), the strays (144), the answer of command 21 (16), and, while ASYNC_ENABLE
// has switched them on, the stream reports 5 and 3. Touch coordinates come in report 1.
//
// Streams: ASYNC_ENABLE with a non-zero mode (byte 2, at most 3) switches on the raw corner
// record (report 5, 35 bytes: [1] loop counter, [2] gain, eight 32-bit I and Q values of the
// corners UL, UR, LL, LR from byte 3); mode 0 switches it off, and a report 5 asked for while it is
// off is not answered. The text record the host falls back to (report 3, 17 bytes: [1] loop
// counter, [2] text length, the text from byte 3: "%04d,%04d\r" of the touch while touched,
// nothing otherwise) is always there.
//
// Byte order: the controller keeps its 16-bit words the other way round. It swaps every block but
// 5 in pairs over the first 50 bytes as SET_PARAM brings it, and sends Block2 as it keeps it, so
// the host swaps Block2 back after reading; the host swaps Block4's 60 bytes whole before writing.
// What is stored is what makes a host write followed by a host read give the host's bytes back.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "hid_controller.h"

namespace kx7::emu {

class Birch2HidController : public EmulatedHidController {
 public:
  Birch2HidController(const HidFamily& family, HidControllerOptions options);

  std::uint8_t StreamMode() const;
  // Pen and finger as command 24 set them.
  bool Pen() const;
  bool Finger() const;
  // The bytes the controller keeps for a block (its own order).
  std::optional<std::vector<std::uint8_t>> StoredBlock(int number) const;

  static constexpr std::size_t kMemoryBytes = 65536;

 protected:
  bool HandleSet(const kx7::HidReport& report) override;
  std::optional<kx7::HidReport> HandleGet(std::uint8_t reportId, std::size_t length) override;
  bool IsPoll(std::uint8_t reportId) const override;
  std::optional<std::vector<std::uint8_t>> HostBlockLocked(int number) const override;
  bool IsStatusReport(std::uint8_t reportId) const override;

 private:
  struct Selection {
    std::uint8_t code = 0;
    std::size_t address = 0;
    std::size_t length = 0;
  };

  bool Command(const kx7::HidReport& report);
  bool SetParam(const kx7::HidReport& report);
  bool ValidArea(std::uint8_t code, std::size_t address, std::size_t length) const;
  std::vector<std::uint8_t>& Memory(std::uint8_t code);

  kx7::HidReport Identity() const;
  kx7::HidReport Status();
  kx7::HidReport Strays() const;
  kx7::HidReport Corners();
  kx7::HidReport Text();
  kx7::HidReport Coordinates();

  std::uint8_t stream_ = 0;
  std::uint8_t streamSubMode_ = 0;
  bool pen_ = true;
  bool finger_ = true;
  std::optional<Selection> selection_;
  std::map<std::uint8_t, std::vector<std::uint8_t>> memories_;
  void SaveMoreLocked(ControllerState& state) const override;
  void LoadMoreLocked(const ControllerState& state) override;
  std::map<std::uint8_t, std::uint8_t> settings_;  // command 23: [2] selects, [3] is the value
  std::uint16_t command20Word_ = 0;
  std::uint8_t answer21_[2] = {0, 0};
  std::uint8_t loopCounter_ = 0;
};

// Swaps each pair of bytes of `bytes[0..count)` (an odd last byte stays).
void SwapPairs(std::vector<std::uint8_t>& bytes, std::size_t count);

}  // namespace kx7::emu
