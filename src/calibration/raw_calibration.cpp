#include "calibration/raw_calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "calibration/calibration_constants.h"
#include "controller/controller_types.h"

namespace kx7 {

namespace {

bool High(long long v) { return v > 1022; }

enum Extent { kXLow, kXHigh, kYLow, kYHigh };

// What each of the two targets stands for in normalised space and which extents it corrects.
struct Ownership {
  std::array<long long, 2> expected;
  Extent x;
  Extent y;
};

std::array<Ownership, 2> OwnershipFor(int clock, long long e) {
  const long long far = 2046 - e;
  switch (clock) {
    case 12:
      return {{{{e, far}, kXLow, kYHigh}, {{far, e}, kXHigh, kYLow}}};
    case 6:
      return {{{{far, e}, kXHigh, kYLow}, {{e, far}, kXLow, kYHigh}}};
    case 9:
      return {{{{far, far}, kXHigh, kYHigh}, {{e, e}, kXLow, kYLow}}};
    default:
      return {{{{e, e}, kXLow, kYLow}, {{far, far}, kXHigh, kYHigh}}};
  }
}

bool IsLow(Extent e) { return e == kXLow || e == kYLow; }

// The corner optimisation; false when a span became zero.
bool OptimizeCorners(const RawCalibrationInput& input, int clock, std::array<long long, 4>& extents, int& rounds,
                     bool& converged) {
  const std::array<Ownership, 2> owners = OwnershipFor(clock, input.inset);
  const auto correct = [&](int target, std::array<long long, 2>& corrected) {
    const long long spanX = extents[kXHigh] - extents[kXLow];
    const long long spanY = extents[kYHigh] - extents[kYLow];
    if (spanX == 0 || spanY == 0) return false;
    const auto& raw = input.targets[static_cast<std::size_t>(target)];
    const long long nx = (raw[0] - extents[kXLow]) * 2046 / spanX;
    const long long ny = (raw[1] - extents[kYLow]) * 2046 / spanY;
    corrected = input.correction.Correct(nx, ny);
    return true;
  };
  // Moves an extent so that the corrected coordinate comes halfway to where it should be.
  const auto adjust = [&](int target, int axis, long long coordinate) {
    const Ownership& owner = owners[static_cast<std::size_t>(target)];
    const long long d = (owner.expected[static_cast<std::size_t>(axis)] - coordinate + 1) / 2;
    extents[axis == 0 ? owner.x : owner.y] -= d;
    return std::llabs(d);
  };
  // One target's owned extents of the low (or high) side.
  const auto side = [&](int target, bool low, long long& largest) {
    std::array<long long, 2> c{};
    if (!correct(target, c)) return false;
    const Ownership& owner = owners[static_cast<std::size_t>(target)];
    if (IsLow(owner.x) == low) largest = std::max(largest, adjust(target, 0, c[0]));
    if (IsLow(owner.y) == low) largest = std::max(largest, adjust(target, 1, c[1]));
    return true;
  };
  constexpr int kMostRounds = 99;
  converged = false;
  for (rounds = 1; rounds <= kMostRounds; ++rounds) {
    long long largest = 0;
    if (!side(0, true, largest) || !side(1, true, largest)) return false;
    if (largest > 1) continue;
    if (!side(0, false, largest) || !side(1, false, largest)) return false;
    if (largest <= 1) {
      converged = true;
      return true;
    }
  }
  rounds = kMostRounds;
  return true;
}

}  // namespace

int Block1OrientationCode(int clock) {
  switch (clock) {
    case 6:
      return 1;
    case 9:
      return 3;
    case 12:
      return 2;
    default:
      return 0;
  }
}

int SensorOrientationCode(int clock) {
  switch (clock) {
    case 6:
      return 1;
    case 9:
      return 0;
    case 12:
      return 2;
    default:
      return 3;
  }
}

RawCalibrationResult RawCalibrate(const RawCalibrationInput& input) {
  RawCalibrationResult result;
  if (input.targets.size() < 2) result.error = 1;
  const auto target = [&](std::size_t k) {
    return k < input.targets.size() ? input.targets[k] : std::array<long long, 2>{0, 0};
  };
  const auto t0 = target(0), t1 = target(1), t2 = target(2);
  const bool hx0 = High(t0[0]), hy0 = High(t0[1]), hx1 = High(t1[0]), hy1 = High(t1[1]);
  const bool three = input.targets.size() >= 3;
  result.clock = !hx0 ? (!hy0 ? 3 : 12) : (!hy0 ? 6 : 9);

  if (hx0 == hx1 || hy0 == hy1) result.error = 1;
  if (three) {
    const int differing = (High(t2[0]) != hx0) + (High(t2[1]) != hy0);
    if (differing != 1) result.error = 1;
  }

  if (!three) {
    result.swap = hx0 != hy0;
    result.flipBit1 = hx0;
    result.flipBit2 = hy0;
  } else {
    result.swap = hx1 == High(t2[0]);
    result.flipBit1 = result.swap ? hx0 : hy0;
    result.flipBit2 = result.swap ? High(t2[1]) : hx0;
  }
  result.flags = (result.swap ? 1 : 0) | result.flipBit1 << 1 | result.flipBit2 << 2;

  // Linear extrapolation from the targets (inset E) to the screen edges.
  const long long e = input.inset;
  const long long xLo = hx0 ? t1[0] : t0[0], xHi = hx0 ? t0[0] : t1[0];
  const long long yLo = hy0 ? t1[1] : t0[1], yHi = hy0 ? t0[1] : t1[1];
  const double divisor = static_cast<double>(2046 - 2 * e);
  const long long kx = static_cast<long long>(std::round(static_cast<double>((xHi - xLo) * e) / divisor));
  const long long ky = static_cast<long long>(std::round(static_cast<double>((yHi - yLo) * e) / divisor));
  std::array<long long, 4> extents = {xLo - kx, xHi + kx, yLo - ky, yHi + ky};

  // Targets in inconsistent halves fail as they are: the optimisation would only hide why.
  if (input.optimizeCorners && result.error == 0) {
    bool converged = false;
    if (!OptimizeCorners(input, result.clock, extents, result.rounds, converged) || !converged) result.error = 3;
  }

  result.xLow = std::max<long long>(extents[kXLow], 0);
  result.xHigh = std::min<long long>(extents[kXHigh], cal::kFull);
  result.yLow = std::max<long long>(extents[kYLow], 0);
  result.yHigh = std::min<long long>(extents[kYHigh], cal::kFull);

  char text[160];
  if (result.error != 0) {
    std::snprintf(text, sizeof text, cal::kRawCalFailed, result.clock, result.error);
  } else if (three) {
    std::snprintf(text, sizeof text, cal::kRawCalOk3, result.flipBit1, result.flipBit2, result.swap ? 1 : 0);
  } else {
    std::snprintf(text, sizeof text, cal::kRawCalOk2, result.clock);
  }
  result.message = text;
  if (result.error == 0 &&
      (input.controllerType == type::kResistive4Wire || input.controllerType == type::kResistive4WireUsb))
    result.message += cal::kStandardPinout;
  return result;
}

void StoreRawCalibration(std::vector<std::uint8_t>& block1, std::uint32_t t, std::uint32_t penMode,
                         const RawCalibrationResult& result) {
  const auto put = [&](std::size_t at, long long value) {
    if (at < block1.size()) block1[at] = static_cast<std::uint8_t>(value & 0xFF);
  };
  const std::array<long long, 4> values = {result.xLow, result.xHigh, result.yLow, result.yHigh};
  // Low byte, then the high byte less four.
  const auto lowHigh = [&](const std::array<std::size_t, 4>& at) {
    for (std::size_t i = 0; i < 4; ++i) {
      put(at[i], values[i]);
      put(at[i] + 1, (values[i] >> 8) - 4);
    }
  };
  const bool finger = penMode == kPenFinger;
  if (t == type::kHazel2d || ((t == type::kAspen4 || t == type::kBirchPen) && finger)) {
    lowHigh({0, 2, 6, 8});
    return;
  }
  if (t == type::kAspen4 || t == type::kBirchPen) {
    lowHigh({32, 34, 36, 38});
    return;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    put(2 * i, values[i] >> 8);
    put(2 * i + 1, values[i]);
  }
  constexpr std::size_t kOrientationByte = 20;
  const int code = Block1OrientationCode(result.clock);
  if (t == type::kJuniper) {
    put(kOrientationByte, code);
  } else if (t == type::kHawthorn) {
    if (kOrientationByte < block1.size()) put(kOrientationByte, code << 4 | (block1[kOrientationByte] & 0xCF));
  } else if (t >= type::kResistive4Wire && t <= type::kResistive5WireUsb) {
    put(kOrientationByte, result.flags);
  }
}

}  // namespace kx7
