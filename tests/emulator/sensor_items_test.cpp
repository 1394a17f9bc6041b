// The sensor given on the command line (--sensor) and the correction a host writes into Block2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sensor_items.h"
#include "touch_report_generator.h"

namespace kx7::emu {
namespace {

TEST(SensorItems, ItemsOverrideTheDefaultsAndBadItemsAreNamed) {
  std::string problem;
  const auto defaults = ParseSensorItems("", problem);
  ASSERT_TRUE(defaults) << problem;
  EXPECT_EQ(defaults->clock, 3);
  EXPECT_DOUBLE_EQ(defaults->gainX, 0.8);
  EXPECT_DOUBLE_EQ(defaults->offsetY, 230);
  EXPECT_DOUBLE_EQ(defaults->warp, 0.03);
  EXPECT_DOUBLE_EQ(defaults->noiseSigma, 0);
  EXPECT_TRUE(defaults->wholeCounts);

  const auto given = ParseSensorItems("warp=0.08,clock=12,gain=0.9:0.7,offset=150:-20,noise=1.5,seed=42", problem);
  ASSERT_TRUE(given) << problem;
  EXPECT_EQ(given->clock, 12);
  EXPECT_DOUBLE_EQ(given->gainY, 0.7);
  EXPECT_DOUBLE_EQ(given->offsetY, -20);
  EXPECT_DOUBLE_EQ(given->warp, 0.08);
  EXPECT_DOUBLE_EQ(given->noiseSigma, 1.5);
  EXPECT_EQ(given->seed, 42u);

  for (const char* bad : {"clock=4", "clock=x", "gain=0.8", "gain=0:1", "gain=-1:1", "offset=1:2:3", "warp=0.5",
                          "noise=-1", "seed=-3", "seed=1.5", "hue=3", "clock", "clock=3,clock=6", "warp=nan",
                          "clock=3,", ",clock=3"}) {
    problem.clear();
    EXPECT_FALSE(ParseSensorItems(bad, problem)) << bad;
    EXPECT_FALSE(problem.empty()) << bad;
  }
}

// The documented reading of a touch, computed here on its own.
RawPoint Documented(const SensorConfig& c, double x, double y) {
  const double u = x / 2047, v = y / 2047;
  const double xs = x + c.warp * 2047 * std::sin(std::numbers::pi * v) * (u - 0.5);
  const double ys = y + c.warp * 2047 * std::sin(std::numbers::pi * u) * (v - 0.5);
  double rx = xs, ry = 2047 - ys;
  if (c.clock == 6) rx = ys, ry = xs;
  if (c.clock == 9) rx = 2047 - xs, ry = ys;
  if (c.clock == 12) rx = 2047 - ys, ry = 2047 - xs;
  const auto count = [](double v) { return std::clamp(std::trunc(v), 0.0, 2047.0); };
  return {count(c.offsetX + c.gainX * rx), count(c.offsetY + c.gainY * ry)};
}

TEST(SensorItems, TouchesReadThroughWarpClockGainAndOffsetInWholeCounts) {
  std::string problem;
  for (const int clock : {3, 6, 9, 12}) {
    const auto config = ParseSensorItems("clock=" + std::to_string(clock) + ",warp=0.08,offset=-300:2000", problem);
    ASSERT_TRUE(config) << problem;
    SensorModel sensor(*config);
    for (const double x : {0.0, 102.0, 511.0, 700.5, 1023.0, 1945.0, 2047.0})
      for (const double y : {0.0, 102.0, 1300.0, 2047.0}) {
        const RawPoint expected = Documented(*config, x, y);
        const RawPoint raw = sensor.Raw({x, y});
        EXPECT_EQ(raw.x, expected.x) << clock << " " << x << "," << y;
        EXPECT_EQ(raw.y, expected.y) << clock << " " << x << "," << y;
      }
  }
}

TEST(SensorItems, NoiseComesFromTheSeed) {
  std::string problem;
  SensorModel a(*ParseSensorItems("noise=3,seed=5", problem));
  SensorModel b(*ParseSensorItems("noise=3,seed=5", problem));
  SensorModel c(*ParseSensorItems("noise=3,seed=6", problem));
  int differ = 0;
  for (int i = 0; i < 50; ++i) {
    const RawPoint pa = a.Raw({900, 900}), pb = b.Raw({900, 900}), pc = c.Raw({900, 900});
    EXPECT_EQ(pa.x, pb.x);
    EXPECT_EQ(pa.x, std::trunc(pa.x));
    differ += pa.x != pc.x;
  }
  EXPECT_GT(differ, 10);
}

// A written Block2 shifts every calibrated report by the interpolated correction of the normalised
// whole counts, as the controller computes it; a zero Block2 shifts nothing.
TEST(SensorItems, WrittenBlockTwoCorrectsTheCalibratedReports) {
  TouchReportConfig config;
  config.autoStroke = false;
  config.sensor = GivenSensorDefaults();
  config.sensor.warp = 0;
  TouchReportGenerator g(config);
  const RawPoint raw = g.Sensor().RawNoiseless({600, 1400});
  const CalibratedPoint before = g.Sensor().Calibrate(raw);
  const RawPoint plain = g.Sensor().Normalised(raw);

  std::vector<std::uint8_t> block2(50, 0);
  g.OnBlock(2, block2);
  EXPECT_EQ(g.Sensor().Calibrate(raw).x, before.x);
  EXPECT_FALSE(g.Sensor().GetCalibration().correction);

  // Ten counts on every node in x (bytes of 5), minus six in y (bytes of -3): clock 3 has the raw
  // axes on the screen's, y upward.
  for (std::size_t i = 0; i < 50; ++i) block2[i] = i % 2 ? 0xFD : 0x05;
  g.OnBlock(2, block2);
  const RawPoint n = g.Sensor().Normalised(raw);
  EXPECT_DOUBLE_EQ(n.x, plain.x - 10);
  EXPECT_DOUBLE_EQ(n.y, plain.y + 6);
  const CalibratedPoint after = g.Sensor().Calibrate(raw);
  EXPECT_EQ(after.x, static_cast<int>(std::lround((plain.x - 10) * 8)));
  EXPECT_EQ(after.y, static_cast<int>(std::lround((plain.y + 6) * 8)));
  // Between nodes the table is evaluated at the whole counts: node 1 alone moved by 20 in x puts
  // trunc(20 * u / 409) on a point u counts right of node 0.
  std::fill(block2.begin(), block2.end(), 0);
  block2[2] = 10;
  g.OnBlock(2, block2);
  const Calibration& c = g.Sensor().GetCalibration();
  const RawPoint inCell{c.xLow + (102 + 100.7) * (c.xHigh - c.xLow) / 2047, c.yLow + 102.0 * (c.yHigh - c.yLow) / 2047};
  const RawPoint corrected = g.Sensor().Normalised(inCell);
  const double u = std::trunc((inCell.x - c.xLow) * 2047 / (c.xHigh - c.xLow)) - 102;
  EXPECT_NEAR(corrected.x, (inCell.x - c.xLow) * 2047 / (c.xHigh - c.xLow) - std::trunc(20 * u / 409), 1e-9);
  // A block of another length or number is not a correction.
  g.OnBlock(2, std::vector<std::uint8_t>(10, 0));
  g.OnBlock(3, std::vector<std::uint8_t>(50, 0));
  EXPECT_TRUE(g.Sensor().GetCalibration().correction);
}

}  // namespace
}  // namespace kx7::emu
