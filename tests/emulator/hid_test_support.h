// Helpers for the HID controller tests: reports built by hand (not with the program's builders, so
// the tests can catch a fault on either side) and a virtual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "emulator/hid_controller.h"

namespace kx7::emu::hid_testing {

// A report of `length` bytes with the given leading bytes, zero after them.
inline kx7::HidReport Bytes(std::size_t length, std::initializer_list<std::uint8_t> leading) {
  kx7::HidReport report(length, 0);
  std::size_t i = 0;
  for (const std::uint8_t byte : leading) report.at(i++) = byte;
  return report;
}

// Command report 3 of the generic controllers.
inline kx7::HidReport Cmd(std::initializer_list<std::uint8_t> afterId) {
  kx7::HidReport report = Bytes(8, {3});
  std::size_t i = 1;
  for (const std::uint8_t byte : afterId) report.at(i++) = byte;
  return report;
}

inline std::uint16_t Word(const kx7::HidReport& report, std::size_t at) {
  return static_cast<std::uint16_t>(report.at(at) | (report.at(at + 1) << 8));
}

struct VirtualClock {
  std::shared_ptr<std::uint64_t> now = std::make_shared<std::uint64_t>(1000);
  std::function<std::uint64_t()> Function() const {
    auto shared = now;
    return [shared] { return *shared; };
  }
  void Advance(std::uint64_t ms) const { *now += ms; }
};

inline HidControllerOptions QuietOptions(const VirtualClock& clock) {
  HidControllerOptions options;
  options.ownTouches = false;
  options.clock = clock.Function();
  return options;
}

}  // namespace kx7::emu::hid_testing
