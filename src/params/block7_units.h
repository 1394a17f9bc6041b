// What the Block7 sheet's Thresholds, Filters and Other pages show beside their boxes: the
// table's parameters in physical units. Levels are in counts (1,376,256 counts are 1 pF), filter
// coefficients are powers of two of the 2.73 ms scan, drive frequencies follow from the divider
// and the clock. A text is absent when a parameter it needs is absent, or when it would divide by
// a zero ThreshK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "params/block7_table.h"

namespace kx7 {

inline constexpr double kCountsPerPicofarad = 1376256.0;
inline constexpr std::uint32_t kCountsPerPicofaradWhole = 1376256;
inline constexpr double kHysteresisScale = 32767.0;
inline constexpr double kScanSeconds = 0.00273;
inline constexpr double kScanMilliseconds = 2.7;
inline constexpr std::uint32_t kFrequencyClock = 3000000;
inline constexpr std::uint32_t kFrequencyOffset = 1953;

using OptionalText = std::optional<std::string>;

struct Block7Units {
  struct Level {
    OptionalText box, percent, capacitance;
  };
  Level touch, liftoff, fastStray, slowStray, minEffect, bodyK;
  std::optional<bool> palmEnable;
  struct Filter {
    OptionalText box, seconds;
  };
  Filter slowStrayFilter, fastStrayUp, fastStrayDown, strayDelay;
  struct Noise {
    OptionalText box, milliseconds;
  } noiseFilter;
  std::optional<std::uint32_t> orientation;
  OptionalText orientationText;
  struct Frequency {
    OptionalText box, frequency;
  } freq, penFreq;
  std::optional<bool> selfParamsValid;
};

Block7Units ComputeBlock7Units(const Block7Table& table);

// The orientation combo's texts, by the ScreenOrientation value.
inline constexpr const char* kBlock7Orientations[4] = {"UR [9:00]", "LR  [6:00]", "UL  [12:00]",
                                                       "LL  [3:00] not rotated"};

// " %1.0f Hz" of 3,000,000 / n + 1953 in integers, n = value + 1 with a clock, else
// (value / 4) x 4 + 4.
std::string DriveFrequencyText(std::uint32_t value, std::uint32_t clock);
// "%0.2f" seconds of 2 to the power of the value scans.
std::string FilterSecondsText(std::uint32_t value);

}  // namespace kx7
