// The byte layout the HID controllers share in their reports: 16- and 32-bit fields least
// significant byte first, and the data of a report from byte hid::kDataOffset.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/hid/hid_constants.h"
#include "platform/hid_device.h"

namespace kx7::emu {

inline std::uint16_t ReportWord(const kx7::HidReport& report, std::size_t at) {
  return static_cast<std::uint16_t>(report[at] | (report[at + 1] << 8));
}

inline void PutWord(kx7::HidReport& report, std::size_t at, std::uint32_t value) {
  report[at] = static_cast<std::uint8_t>(value & 0xFF);
  report[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline void PutLong(kx7::HidReport& report, std::size_t at, std::uint32_t value) {
  PutWord(report, at, value & 0xFFFF);
  PutWord(report, at + 2, value >> 16);
}

// `length` data bytes of a report; the caller has checked that the report holds them.
inline std::vector<std::uint8_t> ReportData(const kx7::HidReport& report, std::size_t length) {
  const auto data = report.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset);
  return std::vector<std::uint8_t>(data, data + static_cast<std::ptrdiff_t>(length));
}

// `length` bytes of `source` from `offset` into a report's data.
inline void PutData(kx7::HidReport& report, const std::vector<std::uint8_t>& source, std::size_t offset,
                    std::size_t length) {
  std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(offset), length,
              report.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset));
}

}  // namespace kx7::emu
