// The calibration subsystem's own numbers and texts: the target tables (in 1/2048 of the window,
// x from the left, y from the top), the linearization grid, the sampling rows, the colours a
// prove gives its targets and the message texts.
#pragma once

#include <array>
#include <cstdint>

#include "platform/canvas.h"

namespace kx7::cal {

// --- Colours ---------------------------------------------------------------------------------
inline constexpr Color kWhite = Rgb(255, 255, 255);
inline constexpr Color kYellow = Rgb(255, 255, 0);
inline constexpr Color kGreen = Rgb(0, 255, 0);
inline constexpr Color kRed = Rgb(255, 0, 0);

// --- Positions -------------------------------------------------------------------------------
inline constexpr int kFull = 2047;   // the largest controller coordinate

// The linearization grid: node k at (kGrid[k % 5], kGrid[k / 5]) of normalised space.
inline constexpr std::array<int, 5> kGrid = {102, 511, 1023, 1535, 1945};
inline constexpr int kNodes = 25;
inline constexpr int kCells = 16;
inline constexpr int kCellSize = 512;  // a point (x, y) lies in cell (y / 512, x / 512)
// Block2: 25 pairs of signed bytes, each half the correction of its node.
inline constexpr std::size_t kBlock2Bytes = 50;
// The controller's column and row widths between the grid nodes.
inline constexpr std::array<int, 4> kGridWidths = {409, 512, 512, 410};

// The 16 prove targets: x across, y down; index = 4 * row + column.
inline constexpr std::array<int, 4> kProve16X = {255, 767, 1279, 1791};
inline constexpr std::array<int, 4> kProve16Y = {256, 768, 1280, 1792};
// The four 12.5 % targets, display order.
inline constexpr std::array<std::array<int, 2>, 4> kProve4 = {{{255, 256}, {1791, 256}, {255, 1792}, {1791, 1792}}};
// The DVT prove compares with y counted upward: row 0 of its ideal table is y = 1945.
inline constexpr std::array<int, 5> kDvtIdealY = {1945, 1535, 1023, 511, 102};
inline constexpr int kDvtTouches = 10;

// --- Sampling --------------------------------------------------------------------------------
// A ring of `ring` samples; at lift-off the `window` samples starting `skip` after the oldest are
// averaged without their largest and smallest value.
struct SamplingRow {
  int skip = 40;
  int window = 40;
  int ring = 120;
  bool operator==(const SamplingRow&) const = default;
};
// The largest spread (max - min) of a sample window on either axis before it counts as noisy.
inline constexpr int kNoisySpread = 20;

// --- Prove -----------------------------------------------------------------------------------
inline constexpr double kProveBand = 1.5;           // percent of the screen, 16 and 4 targets
inline constexpr double kPercentPerCount = 0.048828125;  // 100 / 2048
inline constexpr double kDefaultProveAccuracy = 1.09;

// --- Texts -----------------------------------------------------------------------------------
inline constexpr const char* kCaption = "KX7SDU";
inline constexpr const char* kLinearizationFailed = "Linearization Failed";
inline constexpr const char* kLinFailedCorners = "Lin Failed [Corners = %d ]";
inline constexpr const char* kRawCalOk2 = "Cal @%d:00 OK";
inline constexpr const char* kRawCalOk3 = "Cal OK\nflipX=%d\nflipY=%d\nswapXY=%d";
inline constexpr const char* kRawCalFailed = "Cal @%d:00 Failed,  Error[%d]";
inline constexpr const char* kStandardPinout = "\nCaution: Standard Pinout Assumed!";
inline constexpr const char* kProveOk = "Prove OK";
inline constexpr const char* kProveFailed = "Prove Failed";
inline constexpr const char* kFailedToOpenFile = "Failed to open file!";

}  // namespace kx7::cal
