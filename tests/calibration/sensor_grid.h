// Raw averages of a warped, rotated sensor at the calibration targets, computed here from the
// formula the emulator documents, so the mathematics can be checked without the emulator.
#pragma once

#include <array>
#include <cmath>
#include <numbers>

#include "calibration/linearization.h"

namespace kx7::testing {

struct PaperSensor {
  int clock = 3;
  double gainX = 0.8, gainY = 0.75;
  double offsetX = 200, offsetY = 230;
  double warp = 0.03;

  // Raw X, Y (truncated) of a touch at screen (x, y), 1/2048 units from the top left.
  RawPair At(double x, double y) const {
    const double u = x / 2047, v = y / 2047;
    const double xs = x + warp * 2047 * std::sin(std::numbers::pi * v) * (u - 0.5);
    const double ys = y + warp * 2047 * std::sin(std::numbers::pi * u) * (v - 0.5);
    double rx = xs, ry = 2047 - ys;
    if (clock == 6) rx = ys, ry = xs;
    if (clock == 9) rx = 2047 - xs, ry = ys;
    if (clock == 12) rx = 2047 - ys, ry = 2047 - xs;
    auto clamp = [](double v) { return std::min(2047.0, std::max(0.0, std::trunc(v))); };
    return {static_cast<long long>(clamp(offsetX + gainX * rx)), static_cast<long long>(clamp(offsetY + gainY * ry))};
  }

  // The 25 targets in display order.
  NodePairs Display() const {
    static constexpr double g[5] = {102, 511, 1023, 1535, 1945};
    NodePairs pairs{};
    for (int k = 0; k < 25; ++k) pairs[static_cast<std::size_t>(k)] = At(g[k % 5], g[k / 5]);
    return pairs;
  }
};

}  // namespace kx7::testing
