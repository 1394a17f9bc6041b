#include "display/blink_codes.h"

#include <array>
#include <cstdio>

namespace kx7 {

namespace {

constexpr std::array<const char*, 18> kTexts = {
    "RAM Data Error",     "RAM Code Error", "STRAY Error",      "NOV Error",       "HDW Error",    "Reserved",
    "CABLE NOVRAM Error", "NOV2 Error",     "Reserved",         "EEPROM Error",    "NOV5 Error",   "NOV6 Error",
    "NOV7 Error",         "Reserved",       "Resistance Error", "Backplane Error", "Corner Error", "Fixed Cal Error",
};

std::vector<BlinkCodeLine> MakeLines() {
  std::vector<BlinkCodeLine> lines;
  for (std::size_t i = 0; i < kTexts.size(); ++i) {
    char number[8];
    char text[32];
    std::snprintf(number, sizeof number, "%2d", static_cast<int>(i + 1));
    std::snprintf(text, sizeof text, " %-20s\r\n", kTexts[i]);
    lines.push_back(BlinkCodeLine{number, text});
  }
  return lines;
}

}  // namespace

const std::vector<BlinkCodeLine>& BlinkCodesModel::Lines() {
  static const std::vector<BlinkCodeLine> lines = MakeLines();
  return lines;
}

std::string BlinkCodesModel::Text() {
  std::string text;
  for (const BlinkCodeLine& line : Lines()) text += line.number + line.text;
  return text;
}

}  // namespace kx7
