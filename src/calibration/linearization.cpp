#include "calibration/linearization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "calibration/calibration_constants.h"

namespace kx7 {

namespace {

using cal::kGrid;

constexpr std::array<int, 25> kOrder3 = {20, 21, 22, 23, 24, 15, 16, 17, 18, 19, 10, 11, 12,
                                         13, 14, 5,  6,  7,  8,  9,  0,  1,  2,  3,  4};
constexpr std::array<int, 25> kOrder9 = {4,  3,  2,  1,  0,  9,  8,  7,  6,  5,  14, 13, 12,
                                         11, 10, 19, 18, 17, 16, 15, 24, 23, 22, 21, 20};
constexpr std::array<int, 25> kOrder6 = {0,  5,  10, 15, 20, 1,  6,  11, 16, 21, 2,  7, 12,
                                         17, 22, 3,  8,  13, 18, 23, 4,  9,  14, 19, 24};
constexpr std::array<int, 25> kOrder12 = {24, 19, 14, 9, 4, 23, 18, 13, 8, 3, 22, 17, 12,
                                          7,  2,  21, 16, 11, 6, 1, 20, 15, 10, 5, 0};

// An integer quotient taken in floating point and truncated toward zero.
long long TruncatedQuotient(long long numerator, long long divisor) {
  return static_cast<long long>(std::trunc(static_cast<double>(numerator) / static_cast<double>(divisor)));
}

long long Clamp(long long v, long long lo, long long hi) { return std::min(std::max(v, lo), hi); }

long long G(int index) { return kGrid[static_cast<std::size_t>(index)]; }

// The normalised grid and its errors under one normalisation.
struct Grid {
  std::array<long long, 25> nx{}, ny{}, ex{}, ey{};
};

// Step 8.1 and 8.3; false on a zero span.
bool Normalise(const NodePairs& raw, const std::array<long long, 4>& n, Grid& grid) {
  if (n[2] == 0 || n[3] == 0) return false;
  for (int k = 0; k < 25; ++k) {
    const auto i = static_cast<std::size_t>(k);
    grid.nx[i] = (raw[i][0] - n[0]) * cal::kFull / n[2];
    grid.ny[i] = (raw[i][1] - n[1]) * cal::kFull / n[3];
    grid.ex[i] = grid.nx[i] - G(k % 5);
    grid.ey[i] = grid.ny[i] - G(k / 5);
  }
  return true;
}

// Step 8.2: every cell gets its four edges; the first failing cell folds the grid.
bool Folded(const Grid& g) {
  bool folded = false;
  for (int cell = 0; cell < cal::kCells; ++cell) {
    const auto k = static_cast<std::size_t>(5 * (cell / 4) + cell % 4);
    const long long rightHeight = g.ny[k + 6] - g.ny[k + 1];
    const long long topWidth = g.nx[k + 6] - g.nx[k + 5];
    const long long leftHeight = g.ny[k + 5] - g.ny[k];
    const long long bottomWidth = g.nx[k + 1] - g.nx[k];
    if (!(rightHeight > 0 && topWidth >= 1 && leftHeight >= 1 && bottomWidth >= 1)) folded = true;
  }
  return folded;
}

// Step 8.5: the correction at (a, b) of the fixed grid space; nothing when a divisor is zero.
std::optional<RawPair> Resample(const Grid& g, long long a, long long b) {
  struct Cell {
    int row, col;
    std::size_t k00, k10, k01, k11;
  };
  const auto cellOf = [](long long x, long long y) {
    Cell c;
    c.row = static_cast<int>(Clamp(y, 0, cal::kFull) / cal::kCellSize);
    c.col = static_cast<int>(Clamp(x, 0, cal::kFull) / cal::kCellSize);
    c.k00 = static_cast<std::size_t>(5 * c.row + c.col);
    c.k10 = c.k00 + 1;
    c.k01 = c.k00 + 5;
    c.k11 = c.k00 + 6;
    return c;
  };
  Cell c = cellOf(a, b);

  // The first estimate of where the measured grid puts (a, b), on the nearer edge of its cell.
  long long numerator, divisor;
  if (G(c.col + 1) - a < a - G(c.col)) {
    numerator = (b - g.ny[c.k10]) * g.ex[c.k11] + (g.ny[c.k11] - b) * g.ex[c.k10];
    divisor = g.ny[c.k11] - g.ny[c.k10];
  } else {
    numerator = (b - g.ny[c.k00]) * g.ex[c.k01] + (g.ny[c.k01] - b) * g.ex[c.k00];
    divisor = g.ny[c.k01] - g.ny[c.k00];
  }
  if (divisor == 0) return std::nullopt;
  const long long f = Clamp(a - TruncatedQuotient(numerator, divisor), 0, cal::kFull);
  if (G(c.row + 1) - b < b - G(c.row)) {
    numerator = (a - g.nx[c.k01]) * g.ey[c.k11] + (g.nx[c.k11] - a) * g.ey[c.k01];
    divisor = g.nx[c.k11] - g.nx[c.k01];
  } else {
    numerator = (a - g.nx[c.k00]) * g.ey[c.k10] + (g.nx[c.k10] - a) * g.ey[c.k00];
    divisor = g.nx[c.k10] - g.nx[c.k00];
  }
  if (divisor == 0) return std::nullopt;
  const long long gy = Clamp(b - TruncatedQuotient(numerator, divisor), 0, cal::kFull);
  c = cellOf(f, gy);

  const long long leftHeight = g.ny[c.k01] - g.ny[c.k00];
  const long long rightHeight = g.ny[c.k11] - g.ny[c.k10];
  const long long bottomWidth = g.nx[c.k10] - g.nx[c.k00];
  const long long topWidth = g.nx[c.k11] - g.nx[c.k01];
  if (leftHeight == 0 || rightHeight == 0 || bottomWidth == 0 || topWidth == 0) return std::nullopt;

  const long long hl = TruncatedQuotient((g.ny[c.k01] - b) * g.ex[c.k00] + (b - g.ny[c.k00]) * g.ex[c.k01], leftHeight);
  const long long hr =
      TruncatedQuotient((g.ny[c.k11] - b) * g.ex[c.k10] + (b - g.ny[c.k10]) * g.ex[c.k11], rightHeight);
  const long long xL = G(c.col) + hl;
  const long long xR = G(c.col + 1) + hr;
  if (xR - xL == 0) return std::nullopt;
  const long long rx = TruncatedQuotient((a - xL) * hr + (xR - a) * hl, xR - xL);

  const long long vb =
      TruncatedQuotient((a - g.nx[c.k00]) * g.ey[c.k10] + (g.nx[c.k10] - a) * g.ey[c.k00], bottomWidth);
  const long long vt = TruncatedQuotient((a - g.nx[c.k01]) * g.ey[c.k11] + (g.nx[c.k11] - a) * g.ey[c.k01], topWidth);
  const long long yB = G(c.row) + vb;
  const long long yT = G(c.row + 1) + vt;
  if (yT - yB == 0) return std::nullopt;
  const long long ry = TruncatedQuotient((b - yB) * vt + (yT - b) * vb, yT - yB);
  return RawPair{rx, ry};
}

NodePairs Pairs(const std::array<long long, 25>& x, const std::array<long long, 25>& y) {
  NodePairs pairs{};
  for (std::size_t k = 0; k < 25; ++k) pairs[k] = {x[k], y[k]};
  return pairs;
}

void Encode(LinearizationResult& result) {
  std::vector<std::uint8_t> block(cal::kBlock2Bytes);
  for (std::size_t k = 0; k < 25; ++k) {
    block[2 * k] = static_cast<std::uint8_t>(EncodeCorrection((*result.corrections)[k][0]));
    block[2 * k + 1] = static_cast<std::uint8_t>(EncodeCorrection((*result.corrections)[k][1]));
  }
  result.block2 = std::move(block);
}

LinearizationResult& Fail(LinearizationResult& result) {
  result.outcome = LinearizationResult::Outcome::kFolded;
  result.text = cal::kLinearizationFailed;
  return result;
}

}  // namespace

int LinearizationClock(const RawPair& topLeft) {
  if (topLeft[0] > 1022) return topLeft[1] > 1022 ? 12 : 9;
  return topLeft[1] > 1022 ? 3 : 6;
}

const std::array<int, 25>& GridOrder(int clock) {
  switch (clock) {
    case 9:
      return kOrder9;
    case 6:
      return kOrder6;
    case 12:
      return kOrder12;
    default:
      return kOrder3;
  }
}

std::int8_t EncodeCorrection(long long out) {
  const double halved = std::round(static_cast<double>(out) / 2.0);
  return static_cast<std::int8_t>(std::clamp(halved, -128.0, 127.0));
}

LinearizationResult Linearize(const NodePairs& display, bool suppressCornerOptimization) {
  LinearizationResult result;
  result.text = "OK";
  result.clock = LinearizationClock(display[0]);
  const std::array<int, 25>& order = GridOrder(result.clock);
  for (std::size_t k = 0; k < 25; ++k) result.raw[k] = display[static_cast<std::size_t>(order[k])];
  const NodePairs& raw = result.raw;

  // Extents extrapolated from the grid corners to the edges of normalised space.
  const double bx = static_cast<double>((raw[24][0] - raw[0][0]) * 102) / 1844.0;
  const double by = static_cast<double>((raw[24][1] - raw[0][1]) * 102) / 1844.0;
  result.xLow = static_cast<long long>(std::round(static_cast<double>(raw[0][0]) - bx));
  result.xHigh = static_cast<long long>(std::round(static_cast<double>(raw[24][0]) + bx));
  result.yLow = static_cast<long long>(std::round(static_cast<double>(raw[0][1]) - by));
  result.yHigh = static_cast<long long>(std::round(static_cast<double>(raw[24][1]) + by));
  std::array<long long, 4>& n = result.normalization;
  n = {result.xLow, result.yLow, result.xHigh - result.xLow, result.yHigh - result.yLow};

  if (suppressCornerOptimization) {
    if (n[2] == 0 || n[3] == 0) return Fail(result);
    std::array<long long, 25> nx{}, ny{}, ox{}, oy{};
    for (int k = 0; k < 25; ++k) {
      const auto i = static_cast<std::size_t>(k);
      nx[i] = static_cast<long long>(std::round(static_cast<double>((raw[i][0] - n[0]) * cal::kFull) / static_cast<double>(n[2])));
      ny[i] = static_cast<long long>(std::round(static_cast<double>((raw[i][1] - n[1]) * cal::kFull) / static_cast<double>(n[3])));
      ox[i] = nx[i] - G(k % 5);
      oy[i] = ny[i] - G(k / 5);
    }
    result.normalized = Pairs(nx, ny);
    result.corrections = Pairs(ox, oy);
    Encode(result);
    return result;
  }

  Grid grid;
  if (!Normalise(raw, n, grid)) return Fail(result);
  result.normalized = Pairs(grid.nx, grid.ny);
  if (Folded(grid)) return Fail(result);

  // Corner balancing: the corrections the resampling would give the screen's corners are halved
  // into the extents until they vanish, at most eight times.
  long long xLow = result.xLow, xHigh = result.xHigh, yLow = result.yLow, yHigh = result.yHigh;
  long long m = 0;
  constexpr int kBalancingRounds = 8;
  for (int round = 0; round < kBalancingRounds; ++round) {
    const std::optional<RawPair> low = Resample(grid, 0, 0);
    const std::optional<RawPair> high = low ? Resample(grid, cal::kFull, cal::kFull) : std::nullopt;
    if (!high) return Fail(result);
    m = std::max({std::llabs((*low)[0]), std::llabs((*high)[0]), std::llabs((*low)[1]), std::llabs((*high)[1])});
    result.corners = m;
    if (m == 0) break;
    xLow += (*low)[0] >> 1;
    xHigh += (*high)[0] >> 1;
    yLow += (*low)[1] >> 1;
    yHigh += (*high)[1] >> 1;
    n = {xLow, yLow, xHigh - xLow, yHigh - yLow};
    if (!Normalise(raw, n, grid)) return Fail(result);
    result.normalized = Pairs(grid.nx, grid.ny);
    if (Folded(grid)) result.balancingFold = true;
  }

  std::array<long long, 25> ox{}, oy{};
  for (int k = 0; k < 25; ++k) {
    const std::optional<RawPair> out = Resample(grid, G(k % 5), G(k / 5));
    if (!out) return Fail(result);
    ox[static_cast<std::size_t>(k)] = (*out)[0];
    oy[static_cast<std::size_t>(k)] = (*out)[1];
  }
  result.corrections = Pairs(ox, oy);
  if (m > 2) {
    result.outcome = LinearizationResult::Outcome::kCorners;
    char text[64];
    std::snprintf(text, sizeof text, cal::kLinFailedCorners, static_cast<int>(std::clamp<long long>(m, -2147483647, 2147483647)));
    result.text = text;
    return result;
  }
  Encode(result);
  return result;
}

}  // namespace kx7
