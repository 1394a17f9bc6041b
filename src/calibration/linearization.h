// The mathematics of the 25-point linearization, apart from the window that collects the samples:
// from the 25 raw averages in display order to the orientation clock, the extrapolated extents,
// the normalised grid with its fold check, the corner balancing, the corrections resampled onto
// the fixed grid nodes and the Block2 image that carries them.
//
// Integer products and sums are formed in 64 bits and every division the procedure makes in
// floating point divides such an integer by an integer divisor, so that no input overflows and the
// result does not depend on how an expression is grouped. A divisor that comes out zero fails the
// run ("Linearization Failed") instead of dividing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

using RawPair = std::array<long long, 2>;  // x, y
using NodePairs = std::array<RawPair, 25>;

// The clock of a touch at the top-left target: where the raw +X axis points (3 right, 6 down,
// 9 left, 12 up).
int LinearizationClock(const RawPair& topLeft);
// grid[k] = display[order[k]] for the clock.
const std::array<int, 25>& GridOrder(int clock);

struct LinearizationResult {
  enum class Outcome { kOk, kFolded, kCorners };
  Outcome outcome = Outcome::kOk;
  // "OK", "Linearization Failed" or "Lin Failed [Corners = %d ]".
  std::string text;
  int clock = 3;
  // The extents extrapolated from the grid corners; corner balancing works on copies of them.
  long long xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
  // The last corner correction of the balancing (none with the corner optimisation suppressed, or
  // when the run failed before it).
  std::optional<long long> corners;
  // The fold check found a fold while the corners were balanced (the run goes on).
  bool balancingFold = false;
  // The normalisation the results are in: low x, low y, span x, span y.
  std::array<long long, 4> normalization{};
  NodePairs raw{};                         // grid order
  std::optional<NodePairs> normalized;     // nx, ny of the final normalisation
  std::optional<NodePairs> corrections;    // out_x, out_y before halving
  std::optional<std::vector<std::uint8_t>> block2;  // 50 bytes when the run succeeded
  bool Ok() const { return outcome == Outcome::kOk; }
};

// The 25 raw averages in display order (target 0 top left, row by row from the top).
LinearizationResult Linearize(const NodePairs& display, bool suppressCornerOptimization);

// The halved correction of one node as Block2 stores it: round(out / 2), half away from zero,
// clamped to -128..127.
std::int8_t EncodeCorrection(long long out);

}  // namespace kx7
