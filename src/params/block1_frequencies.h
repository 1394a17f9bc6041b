// The drive frequencies of the Hazel3/Hornbeam page (a 201-entry table of the (byte 11, byte 14)
// pairs that set them, a second one for USB1) and the 32 frequencies of the More Spindle page.
//
// The Hazel3 boards divide their oscillator (96 MHz; 48 MHz on USB1) by the 16-bit count of the
// pair, byte 11 the high byte: entry i is 40.0 kHz + i x 0.5 kHz, up to 140.0 kHz.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kx7 {

inline constexpr std::size_t kHazel3Frequencies = 201;
inline constexpr std::size_t kSpindleFrequencies = 32;

using FrequencyPair = std::pair<std::uint8_t, std::uint8_t>;  // byte 11, byte 14

struct Hazel3Frequency {
  std::string text;  // "100.0 kHz"
  FrequencyPair pair;
};

const std::vector<Hazel3Frequency>& Hazel3FrequencyTable(bool usb1);
std::optional<std::size_t> FindHazel3Frequency(bool usb1, FrequencyPair pair);

// "100 kHz" to "224 kHz" in steps of 4 kHz, by the 5-bit code.
const std::vector<std::string>& SpindleFrequencyItems();

}  // namespace kx7
