#include "params/radix_text.h"

#include <cstdio>

#include "params/file_lines.h"

namespace kx7 {

std::string ByteText(unsigned value, bool hex) {
  char text[16];
  std::snprintf(text, sizeof text, hex ? "%02X" : "%u", value);
  return text;
}

std::string WordText(unsigned value, bool hex) {
  char text[16];
  std::snprintf(text, sizeof text, hex ? "%04X" : "%u", value);
  return text;
}

std::optional<unsigned> ReadRadixText(const std::string& text, bool hex) {
  std::size_t at = 0, end = text.size();
  while (at < end && IsFileSpace(text[at])) ++at;
  while (end > at && IsFileSpace(text[end - 1])) --end;
  if (at == end) return std::nullopt;
  std::uint64_t value = 0;
  for (; at < end; ++at) {
    const char c = text[at];
    int digit = -1;
    if (hex && IsHexDigitChar(c))
      digit = HexDigitValue(c);
    else if (!hex && c >= '0' && c <= '9')
      digit = c - '0';
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<unsigned>(value);
}

}  // namespace kx7
