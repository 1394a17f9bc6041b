#include "sensor_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kx7::emu {
namespace {

SensorConfig Exact(int clock) {
  SensorConfig c;
  c.clock = clock;
  c.gainX = c.gainY = 1;
  c.offsetX = c.offsetY = 0;
  c.nonlinearity = 0;
  c.noiseSigma = 0;
  c.signalNoise = 0;
  return c;
}

SensorConfig Clean(int clock) {
  SensorConfig c;
  c.clock = clock;
  c.nonlinearity = 0;
  c.noiseSigma = 0;
  c.signalNoise = 0;
  return c;
}

struct ClockCase {
  int clock;
  RawPoint topLeft, topRight, bottomLeft, bottomRight;  // raw at the screen corners
};

class SensorOrientation : public testing::TestWithParam<ClockCase> {};

TEST_P(SensorOrientation, ScreenCornersLandOnRawCorners) {
  const ClockCase& c = GetParam();
  const SensorModel sensor(Exact(c.clock));
  const struct {
    ScreenPoint screen;
    RawPoint raw;
  } corners[] = {
      {{0, 0}, c.topLeft}, {{2047, 0}, c.topRight}, {{0, 2047}, c.bottomLeft}, {{2047, 2047}, c.bottomRight}};
  for (const auto& corner : corners) {
    const RawPoint r = sensor.RawNoiseless(corner.screen);
    EXPECT_DOUBLE_EQ(r.x, corner.raw.x) << "screen " << corner.screen.x << "," << corner.screen.y;
    EXPECT_DOUBLE_EQ(r.y, corner.raw.y) << "screen " << corner.screen.x << "," << corner.screen.y;
  }
}

INSTANTIATE_TEST_SUITE_P(Clocks, SensorOrientation,
                         testing::Values(ClockCase{3, {0, 2047}, {2047, 2047}, {0, 0}, {2047, 0}},
                                         ClockCase{6, {0, 0}, {0, 2047}, {2047, 0}, {2047, 2047}},
                                         ClockCase{9, {2047, 0}, {0, 0}, {2047, 2047}, {0, 2047}},
                                         ClockCase{12, {2047, 2047}, {2047, 0}, {0, 2047}, {0, 0}}),
                         [](const testing::TestParamInfo<ClockCase>& info) {
                           return "Clock" + std::to_string(info.param.clock);
                         });

// The host finds the clock from the raw halves of one target and then sorts its 25 targets into
// grid order with a fixed permutation per clock. The model has to satisfy both readings, or
// linearization against it would fold.
class SensorClockAsTheHostSeesIt : public testing::TestWithParam<int> {};

TEST_P(SensorClockAsTheHostSeesIt, TwoTargetAndGridRulesFindTheClock) {
  const int clock = GetParam();
  const SensorModel sensor(Clean(clock));
  auto high = [](double v) { return v > 1022; };

  // Two-target rule on the lower-left target.
  const RawPoint ll = sensor.RawNoiseless({256, 1790});
  const int twoTarget = !high(ll.x) ? (!high(ll.y) ? 3 : 12) : (!high(ll.y) ? 6 : 9);
  EXPECT_EQ(twoTarget, clock);

  // Grid rule on the top-left of the 25 targets.
  const RawPoint tl = sensor.RawNoiseless({102, 102});
  const int grid = high(tl.x) ? (high(tl.y) ? 12 : 9) : (high(tl.y) ? 3 : 6);
  EXPECT_EQ(grid, clock);

  // The host's grid order: grid[k] = display[P[k]]; display targets row by row from the top.
  static const std::vector<int> kP3 = {20, 21, 22, 23, 24, 15, 16, 17, 18, 19, 10, 11, 12,
                                       13, 14, 5,  6,  7,  8,  9,  0,  1,  2,  3,  4};
  static const std::vector<int> kP9 = {4,  3,  2,  1,  0,  9,  8,  7,  6,  5,  14, 13, 12,
                                       11, 10, 19, 18, 17, 16, 15, 24, 23, 22, 21, 20};
  static const std::vector<int> kP6 = {0,  5,  10, 15, 20, 1,  6,  11, 16, 21, 2,  7, 12,
                                       17, 22, 3,  8,  13, 18, 23, 4,  9,  14, 19, 24};
  static const std::vector<int> kP12 = {24, 19, 14, 9,  4,  23, 18, 13, 8,  3,  22, 17, 12,
                                        7,  2,  21, 16, 11, 6,  1,  20, 15, 10, 5,  0};
  const std::vector<int>& p = clock == 3 ? kP3 : clock == 6 ? kP6 : clock == 9 ? kP9 : kP12;
  const double g[5] = {102, 511, 1023, 1535, 1945};
  std::vector<RawPoint> grid25(25);
  for (int k = 0; k < 25; ++k) {
    const int d = p[k];
    grid25[k] = sensor.RawNoiseless({g[d % 5], g[d / 5]});
  }
  // In grid order raw x grows along each row and raw y from row to row.
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 5; ++col) {
      const int k = 5 * row + col;
      if (col > 0) {
        EXPECT_GT(grid25[k].x, grid25[k - 1].x + 200) << "node " << k;
      }
      if (row > 0) {
        EXPECT_GT(grid25[k].y, grid25[k - 5].y + 200) << "node " << k;
      }
    }
  }
}

TEST_P(SensorClockAsTheHostSeesIt, FactoryCalibrationUndoesTheMounting) {
  SensorModel sensor(Clean(GetParam()));
  for (double x = 0; x <= 2047; x += 89) {
    for (double y = 0; y <= 2047; y += 97) {
      const CalibratedPoint c = sensor.Calibrated({x, y});
      EXPECT_NEAR(c.x, x * 8, 1) << x << "," << y;
      EXPECT_NEAR(c.y, (2047 - y) * 8, 1) << x << "," << y;  // tablet y runs up the screen
    }
  }
}

TEST_P(SensorClockAsTheHostSeesIt, HostTwoTargetExtrapolationFindsTheFactoryExtents) {
  // The host's raw-mode calibration with targets at the 1/8 corners: whatever the clock, the extents
  // it extrapolates must be the sensor's own (to within a count: its targets sit on 0..2046).
  const SensorModel sensor(Clean(GetParam()));
  const double e = 256;
  const RawPoint t0 = sensor.RawNoiseless({e, 2046 - e});
  const RawPoint t1 = sensor.RawNoiseless({2046 - e, e});
  auto extents = [&](double a, double b) {
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double k = std::round((hi - lo) * e / (2046 - 2 * e));
    return std::pair{lo - k, hi + k};
  };
  const auto [xLow, xHigh] = extents(t0.x, t1.x);
  const auto [yLow, yHigh] = extents(t0.y, t1.y);
  const Calibration factory = sensor.FactoryCalibration();
  EXPECT_NEAR(xLow, factory.xLow, 1.5);
  EXPECT_NEAR(xHigh, factory.xHigh, 1.5);
  EXPECT_NEAR(yLow, factory.yLow, 1.5);
  EXPECT_NEAR(yHigh, factory.yHigh, 1.5);
}

INSTANTIATE_TEST_SUITE_P(Clocks, SensorClockAsTheHostSeesIt, testing::Values(3, 6, 9, 12));

TEST(SensorBow, ZeroAtCornersEdgeMiddlesAndCentre) {
  SensorConfig config;
  config.nonlinearity = 40;
  const SensorModel sensor(config);
  for (double a : {0.0, 1023.5, 2047.0}) {
    for (double b : {0.0, 1023.5, 2047.0}) {
      const RawPoint bow = sensor.Bow({a, b});
      EXPECT_NEAR(bow.x, 0, 1e-9) << a << "," << b;
      EXPECT_NEAR(bow.y, 0, 1e-9) << a << "," << b;
    }
  }
  // Largest a quarter of the way along, at the edge where the shading is full.
  const RawPoint quarter = sensor.Bow({512, 0});
  EXPECT_GT(quarter.x, 39.9);
  EXPECT_LE(quarter.x, 40);
  // Not separable: the bow of x depends on where along y the touch is.
  EXPECT_NE(sensor.Bow({512, 0}).x, sensor.Bow({512, 1023}).x);
}

TEST(SensorBow, SmoothAndNeverFoldsAnAxis) {
  for (double amount : {12.0, 200.0, 5000.0}) {  // the last is beyond what the model accepts
    SensorConfig config = Clean(3);
    config.nonlinearity = amount;
    const SensorModel sensor(config);
    const double bound = 2 * 3.14159266 * std::abs(sensor.Config().nonlinearity) / 2047 + 1e-9;
    for (double b = 0; b <= 2047; b += 128) {
      for (double a = 1; a <= 2047; a += 1) {
        const RawPoint here = sensor.Bow({a, b}), before = sensor.Bow({a - 1, b});
        ASSERT_LE(std::abs(here.x - before.x), bound);
        // Along the screen's x the raw x keeps growing (clock 3): the axis is not folded.
        ASSERT_GT(sensor.RawNoiseless({a, 2047 - b}).x, sensor.RawNoiseless({a - 1, 2047 - b}).x) << amount;
      }
    }
  }
}

TEST(SensorNoise, SameSeedSameSamplesOtherSeedOthers) {
  SensorConfig config;
  config.noiseSigma = 3;
  SensorModel a(config), b(config);
  config.seed = 2;
  SensorModel c(config);
  bool anyDifferent = false;
  for (int n = 0; n < 100; ++n) {
    const RawPoint ra = a.Raw({700, 900}), rb = b.Raw({700, 900}), rc = c.Raw({700, 900});
    EXPECT_EQ(ra.x, rb.x);
    EXPECT_EQ(ra.y, rb.y);
    anyDifferent = anyDifferent || ra.x != rc.x;
  }
  EXPECT_TRUE(anyDifferent);
}

TEST(SensorNoise, HasTheConfiguredSpreadAndNoBias) {
  SensorConfig config;
  config.noiseSigma = 4;
  SensorModel sensor(config);
  const RawPoint centre = sensor.RawNoiseless({900, 1100});
  double sum = 0, squares = 0;
  const int n = 5000;
  for (int k = 0; k < n; ++k) {
    const double d = sensor.Raw({900, 1100}).x - centre.x;
    sum += d;
    squares += d * d;
  }
  EXPECT_NEAR(sum / n, 0, 0.2);
  EXPECT_NEAR(std::sqrt(squares / n), 4, 0.2);

  config.noiseSigma = 0;
  SensorModel quiet(config);
  EXPECT_EQ(quiet.Raw({900, 1100}).x, quiet.RawNoiseless({900, 1100}).x);
}

TEST(SensorCorrection, ReproducesNodesAndInterpolatesBetween) {
  CorrectionTable table;
  for (int k = 0; k < 50; ++k) table.bytes[k] = static_cast<std::int8_t>((k * 37) % 101 - 50);
  const double g[5] = {102, 511, 1023, 1535, 1945};
  for (int k = 0; k < 25; ++k) {
    const auto c = table.At(g[k % 5], g[k / 5]);
    EXPECT_NEAR(c[0], 2.0 * table.bytes[2 * k], 1e-9) << "node " << k;
    EXPECT_NEAR(c[1], 2.0 * table.bytes[2 * k + 1], 1e-9) << "node " << k;
  }
  // Halfway along the bottom edge of the first cell: the mean of nodes 0 and 1.
  const auto mid = table.At(102 + 409 / 2.0, 102);
  EXPECT_NEAR(mid[0], table.bytes[0] + table.bytes[2], 1e-9);
  // Centre of the cell between nodes 6, 7, 11, 12: the mean of the four.
  const auto centre = table.At(767, 767);
  EXPECT_NEAR(centre[1], (table.bytes[13] + table.bytes[15] + table.bytes[23] + table.bytes[25]) / 2.0, 1e-9);
  // Outside the outer nodes the edge cells carry on linearly.
  CorrectionTable ramp;
  ramp.bytes[0] = 0;
  ramp.bytes[2] = 10;  // node 1: x correction 20
  EXPECT_NEAR(ramp.At(0, 102)[0], -20.0 * 102 / 409, 1e-9);
}

TEST(SensorCorrection, CalibrationSubtractsIt) {
  SensorModel sensor(Clean(3));
  const CalibratedPoint before = sensor.Calibrated({1000, 1000});
  Calibration c = sensor.GetCalibration();
  c.correction = CorrectionTable{};
  for (int k = 0; k < 25; ++k) c.correction->bytes[2 * k] = 5;  // +10 counts in x everywhere
  sensor.SetCalibration(c);
  const CalibratedPoint after = sensor.Calibrated({1000, 1000});
  EXPECT_EQ(after.x, before.x - 80);  // ten screen units of eight tablet counts
  EXPECT_EQ(after.y, before.y);
}

TEST(SensorSignals, EachCornerGrowsTowardItsCorner) {
  SensorModel sensor(Clean(3));  // clock 3: sensor corners are the screen corners
  const ScreenPoint nearCorner[4] = {{100, 100}, {1947, 100}, {100, 1947}, {1947, 1947}};  // UL UR LL LR
  for (int corner = 0; corner < 4; ++corner) {
    const auto shares = sensor.CornerShares(nearCorner[corner]);
    EXPECT_NEAR(shares[0] + shares[1] + shares[2] + shares[3], 1, 1e-12);
    const CornerIq iq = sensor.Iq(nearCorner[corner]);
    const auto corner10 = sensor.Corner10(nearCorner[corner]);
    for (int other = 0; other < 4; ++other) {
      if (other == corner) continue;
      EXPECT_GT(shares[corner], shares[other]);
      EXPECT_GT(iq.i[corner] - sensor.StrayIq().i[corner], iq.i[other] - sensor.StrayIq().i[other]);
      EXPECT_GT(corner10[corner] - sensor.Corner10Baseline()[corner],
                corner10[other] - sensor.Corner10Baseline()[other]);
    }
  }
  const CornerIq idle = sensor.Iq(std::nullopt);
  EXPECT_EQ(idle.i, sensor.StrayIq().i);
  EXPECT_EQ(idle.q, sensor.StrayIq().q);
}

TEST(SensorSignals, ChannelsFollowTheRawAxes) {
  SensorModel sensor(Clean(9));  // raw x runs right to left here
  const auto right = sensor.Channels(ScreenPoint{1800, 1000});
  const auto left = sensor.Channels(ScreenPoint{200, 1000});
  EXPECT_GT(right[0], left[0]);  // the low end of raw x is on the right
  EXPECT_LT(right[1], left[1]);
  EXPECT_NEAR(right[2], left[2], 1);  // same height: the y channels do not move
  const auto idle = sensor.Channels(std::nullopt);
  for (int v : idle) EXPECT_EQ(v, SensorModel::kChannelIdle);
}

}  // namespace
}  // namespace kx7::emu
