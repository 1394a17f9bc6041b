#include "display/ascii_chart.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace kx7 {

namespace {

constexpr std::array<const char*, 33> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT",  "NL",  "VT", "NP", "CR", "SO", "SI",    "DLE",
    "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US", "SPACE",
};

// Windows-1252 at 0x80 to 0x9F; the five codes it leaves unassigned keep their own value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string Utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::string Character(int code) {
  if (code < static_cast<int>(kControlNames.size())) {
    char text[16];
    std::snprintf(text, sizeof text, "%-4s^%c", kControlNames[static_cast<std::size_t>(code)], code + 64);
    return text;
  }
  if (code == 127) return "DEL";
  if (code >= 0x80 && code < 0xA0) return Utf8(kHighControls[static_cast<std::size_t>(code - 0x80)]);
  return Utf8(static_cast<char32_t>(code));
}

}  // namespace

AsciiRow AsciiChartModel::Row(int code) {
  if (code < 0 || code >= kCodes) return {};
  char decimal[8];
  char hex[8];
  std::snprintf(decimal, sizeof decimal, "%03d", code);
  std::snprintf(hex, sizeof hex, "%02X", code);
  return AsciiRow{decimal, hex, Character(code)};
}

void AsciiChartModel::SetFirstRow(int code) { firstRow_ = std::clamp(code, 0, kLastFirstRow); }

}  // namespace kx7
