// Helpers for the emulated-driver tests: a virtual clock, a backend installed for the test, and
// the request inputs the program builds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"

namespace kx7::emu::testing {

struct VirtualClock {
  std::uint64_t nowMs = 0;
  std::function<std::uint64_t()> Function() {
    return [this] { return nowMs; };
  }
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
inline std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
inline std::string Framed(const std::string& command) { return "\x01" + command + "\r"; }

inline std::vector<std::uint8_t> U32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0xDEADBEEF;
  return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16)) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

inline std::uint16_t U16At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0xDEAD;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// The client name the program registers with: "KX7SDU" as a wide string in 132 bytes.
inline std::vector<std::uint8_t> ClientName(const std::string& name = "KX7SDU") {
  std::vector<std::uint8_t> bytes(kx7::driver::kClientNameSize, 0);
  for (std::size_t i = 0; i < name.size() && 2 * i + 1 < bytes.size(); ++i)
    bytes[2 * i] = static_cast<std::uint8_t>(name[i]);
  return bytes;
}

// A setup record {type, request, value, index, length}, then data.
inline std::vector<std::uint8_t> SetupRecord(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                                       std::uint16_t index, std::uint16_t length,
                                       const std::vector<std::uint8_t>& data = {}) {
  std::vector<std::uint8_t> bytes{type,
                                  request,
                                  static_cast<std::uint8_t>(value),
                                  static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(index),
                                  static_cast<std::uint8_t>(index >> 8),
                                  static_cast<std::uint8_t>(length),
                                  static_cast<std::uint8_t>(length >> 8)};
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// {block or memory as 16-bit (or u8 + 0), 0 / address, length / count}: the 6-byte inputs.
inline std::vector<std::uint8_t> SixBytes(std::uint16_t first, std::uint16_t second, std::uint16_t third) {
  return {static_cast<std::uint8_t>(first),  static_cast<std::uint8_t>(first >> 8),
          static_cast<std::uint8_t>(second), static_cast<std::uint8_t>(second >> 8),
          static_cast<std::uint8_t>(third),  static_cast<std::uint8_t>(third >> 8)};
}

// A request that must fail, and the reason it must fail with.
struct FailingRequest {
  const char* what;
  std::uint32_t code;
  std::vector<std::uint8_t> input;
  std::size_t room;
  std::uint32_t error;
};

// Each request, made on the open `device`, fails with its reason.
inline void ExpectFailures(kx7::DriverDevice& device, const std::vector<FailingRequest>& cases) {
  for (const FailingRequest& c : cases) {
    const kx7::DriverResult result = device.Request(c.code, c.input, c.room);
    EXPECT_FALSE(result.success) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what;
  }
}

}  // namespace kx7::emu::testing
