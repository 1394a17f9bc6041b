// A stream of KXS tablet reports for the benchmarks: touches of 60 reports and 4 lift-offs,
// wandering coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx7::bench {

inline std::vector<std::uint8_t> KxsStream(std::size_t size) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(size);
  for (unsigned i = 0; bytes.size() + 5 <= size; ++i) {
    const bool touching = (i % 64) < 60;  // 60 reports of a touch, then 4 without
    const unsigned x = (i * 37) & 0x3FFF, y = (i * 91 + 5000) & 0x3FFF;
    bytes.push_back(touching ? 0xC0 : 0x80);
    bytes.push_back(static_cast<std::uint8_t>(x & 0x7F));
    bytes.push_back(static_cast<std::uint8_t>(x >> 7));
    bytes.push_back(static_cast<std::uint8_t>(y & 0x7F));
    bytes.push_back(static_cast<std::uint8_t>(y >> 7));
  }
  return bytes;
}

}  // namespace kx7::bench
