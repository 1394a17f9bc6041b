// Helpers for the emulator tests: talk to a device the way a host on the other end of the wire
// does, with the clock passed explicitly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/emulated_device.h"

namespace kx7::emu::testing {

inline std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline void SendRaw(EmulatedDevice& device, const std::string& bytes, std::uint64_t nowMs) {
  device.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), nowMs);
}

// Everything the device has sent by `nowMs`, across line changes.
inline std::string Drain(EmulatedDevice& device, std::uint64_t nowMs) {
  device.Advance(nowMs);
  std::string all;
  for (int i = 0; i < 64; ++i) {
    const std::string piece = AsText(device.TakeOutput());
    if (piece.empty() && device.NextEventMs() > nowMs) break;
    all += piece;
  }
  return all;
}

// SOH text CR, and what came back by the same time.
inline std::string Command(EmulatedDevice& device, const std::string& text, std::uint64_t nowMs) {
  SendRaw(device, "\x01" + text + "\r", nowMs);
  return Drain(device, nowMs);
}

inline const std::string kOk{'\x01', '0', '\r'};
inline const std::string kRefusal{'\x01', '1', '\r'};
// SOH text CR: a one-line reply.
inline std::string Reply(const std::string& text) { return '\x01' + text + '\r'; }

inline const std::string kUnknown = "\x01?\r";

}  // namespace kx7::emu::testing
