// The mathematics of the raw-mode calibration, apart from its window: from the averaged raw
// positions of two or three targets to the orientation clock, the consistency check, the swap and
// flip bits, the extents extrapolated to the screen edges, the corner optimisation through the
// controller's own Block2 correction, and the Block1 bytes each controller type keeps them in.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/block2_correction.h"

namespace kx7 {

struct RawCalibrationInput {
  int inset = 256;                                 // E: 256, 102 or 0, both axes
  std::vector<std::array<long long, 2>> targets;   // 2 or 3 averages: lower left, upper right, upper left
  Block2Correction correction;
  bool optimizeCorners = true;  // off with "Suppress corner optimization" and for 4/8-wire resistive
  std::uint32_t controllerType = 0;
};

struct RawCalibrationResult {
  int clock = 3;
  int error = 0;  // 0, 1 inconsistent target halves, 3 the corner optimisation did not converge
  int flags = 0;  // swap | flip bit 1 << 1 | flip bit 2 << 2
  bool swap = false;
  int flipBit1 = 0;
  int flipBit2 = 0;
  int rounds = 0;  // rounds of the corner optimisation run
  long long xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;  // clamped to 0..2047
  std::string message;  // the box text
};

RawCalibrationResult RawCalibrate(const RawCalibrationInput& input);

// The code Block1 byte 20 of the Juniper keeps (clock 3 -> 0, 6 -> 1, 9 -> 3, 12 -> 2), and the one
// the sensor-orientation operation takes (3 -> 3, 6 -> 1, 9 -> 0, 12 -> 2).
int Block1OrientationCode(int clock);
int SensorOrientationCode(int clock);

// Writes the result into the Block1 image in the layout of the controller type (and pen mode);
// bytes beyond the image are left out.
void StoreRawCalibration(std::vector<std::uint8_t>& block1, std::uint32_t controllerType, std::uint32_t penMode,
                         const RawCalibrationResult& result);

}  // namespace kx7
