// Little-endian fields of driver requests and records, read only where the bytes are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kx7::emu {

// The 16-bit or 32-bit value at `at`; 0 when the bytes end before it (callers check sizes first).
inline std::uint16_t LittleWord(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline std::uint32_t LittleLong(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// Writes the value at `at`; nothing when it does not fit.
inline void PutLittleWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  if (at + 2 > bytes.size()) return;
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLittleLong(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  if (at + 4 > bytes.size()) return;
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

// A 32-bit little-endian value as its four bytes.
inline std::vector<std::uint8_t> LittleLongBytes(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4, 0);
  PutLittleLong(bytes, 0, value);
  return bytes;
}

// UTF-16LE units of a zero-ended wide string, up to the zero or the end of the bytes; units above
// 0x7F become '?', since the drivers' names are ASCII.
inline std::string NarrowWideString(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const std::uint16_t unit = LittleWord(bytes, at);
    if (unit == 0) break;
    text += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return text;
}

}  // namespace kx7::emu
