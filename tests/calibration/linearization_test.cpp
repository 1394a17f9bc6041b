#include "calibration/linearization.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "calibration/block2_correction.h"
#include "sensor_grid.h"

namespace kx7 {
namespace {

using testing::PaperSensor;

constexpr int kG[5] = {102, 511, 1023, 1535, 1945};

// The corrected normalised position of every measured node, as the controller computes it.
std::array<RawPair, 25> CorrectedNodes(const LinearizationResult& r) {
  const Block2Correction correction(*r.block2);
  std::array<RawPair, 25> nodes{};
  for (std::size_t k = 0; k < 25; ++k) {
    const long long nx = (r.raw[k][0] - r.normalization[0]) * 2047 / r.normalization[2];
    const long long ny = (r.raw[k][1] - r.normalization[1]) * 2047 / r.normalization[3];
    const auto c = correction.Correct(nx, ny);
    nodes[k] = {c[0], c[1]};
  }
  return nodes;
}

struct SensorCase {
  int clock;
  double warp;
};

class LinearizeSensor : public ::testing::TestWithParam<SensorCase> {};

// Whatever the mounting and the warp, the clock is found, the averages are sorted into grid order
// and the table corrects every measured node onto its grid position.
TEST_P(LinearizeSensor, CorrectionPutsEveryNodeBackOnTheGrid) {
  PaperSensor sensor;
  sensor.clock = GetParam().clock;
  sensor.warp = GetParam().warp;
  const NodePairs display = sensor.Display();
  const LinearizationResult r = Linearize(display, false);
  ASSERT_TRUE(r.Ok()) << r.text;
  EXPECT_EQ(r.text, "OK");
  EXPECT_EQ(r.clock, sensor.clock);
  ASSERT_TRUE(r.corners);
  EXPECT_LE(*r.corners, 2);
  const std::array<int, 25>& order = GridOrder(r.clock);
  for (std::size_t k = 0; k < 25; ++k) EXPECT_EQ(r.raw[k], display[static_cast<std::size_t>(order[k])]);
  // In grid order raw x grows along a row and raw y from row to row.
  for (int k = 1; k < 25; ++k) {
    if (k % 5) {
      EXPECT_GT(r.raw[k][0], r.raw[k - 1][0]) << k;
    }
    if (k >= 5) {
      EXPECT_GT(r.raw[k][1], r.raw[k - 5][1]) << k;
    }
  }
  const auto nodes = CorrectedNodes(r);
  for (int k = 0; k < 25; ++k) {
    EXPECT_NEAR(nodes[k][0], kG[k % 5], 4) << "node " << k;
    EXPECT_NEAR(nodes[k][1], kG[k / 5], 4) << "node " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(ClocksAndWarps, LinearizeSensor,
                         ::testing::Values(SensorCase{3, 0}, SensorCase{6, 0.03}, SensorCase{9, 0.03},
                                           SensorCase{12, 0.03}, SensorCase{3, 0.08}, SensorCase{6, 0.08},
                                           SensorCase{9, 0.08}, SensorCase{12, 0.08}),
                         [](const ::testing::TestParamInfo<SensorCase>& info) {
                           return "Clock" + std::to_string(info.param.clock) + "Warp" +
                                  std::to_string(static_cast<int>(info.param.warp * 100));
                         });

TEST(Linearize, StraightSensorNeedsNoCorrection) {
  PaperSensor sensor;
  sensor.warp = 0;
  sensor.gainX = sensor.gainY = 1;
  sensor.offsetX = sensor.offsetY = 0;
  const LinearizationResult r = Linearize(sensor.Display(), false);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(*r.corners, 0) << "the corners balance at once";
  for (const std::uint8_t b : *r.block2) EXPECT_LE(std::abs(static_cast<std::int8_t>(b)), 1);
  // Extrapolated from the corner nodes: 102 counts beyond each.
  EXPECT_EQ(r.xLow, 0);
  EXPECT_EQ(r.xHigh, 2047);
}

TEST(Linearize, ExtentsAreExtrapolatedAndRestoredAfterBalancing) {
  PaperSensor sensor;
  sensor.warp = 0.08;
  const LinearizationResult r = Linearize(sensor.Display(), false);
  ASSERT_TRUE(r.Ok());
  // bx = (X24 - X0) * 102 / 1844 around the corner nodes, rounded half away from zero.
  const double bx = static_cast<double>((r.raw[24][0] - r.raw[0][0]) * 102) / 1844;
  EXPECT_EQ(r.xLow, std::llround(static_cast<double>(r.raw[0][0]) - bx));
  EXPECT_EQ(r.xHigh, std::llround(static_cast<double>(r.raw[24][0]) + bx));
  // The normalisation the table is made in is the balanced one, not the extents printed.
  EXPECT_NE(r.normalization[0], r.xLow);
}

TEST(Linearize, DegenerateSamplesFailInsteadOfDividingByZero) {
  NodePairs same{};
  same.fill({700, 700});
  for (bool suppress : {false, true}) {
    const LinearizationResult r = Linearize(same, suppress);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.text, "Linearization Failed");
    EXPECT_FALSE(r.block2);
    EXPECT_FALSE(r.normalized) << "no normalisation of a zero span";
  }
}

TEST(Linearize, FoldedBottomRowFails) {
  PaperSensor sensor;
  NodePairs display = sensor.Display();
  // Clock 3: the bottom row of the screen is the first grid row; two of its targets swapped.
  std::swap(display[21], display[22]);
  const LinearizationResult r = Linearize(display, false);
  EXPECT_EQ(r.text, "Linearization Failed");
  EXPECT_TRUE(r.normalized);
  EXPECT_FALSE(r.corrections);
  EXPECT_FALSE(r.corners);
  // Suppressed, the same grid is not checked and encodes.
  const LinearizationResult simple = Linearize(display, true);
  EXPECT_TRUE(simple.Ok());
  EXPECT_FALSE(simple.corners);
  EXPECT_TRUE(simple.block2);
}

TEST(Linearize, SimplePathRoundsAndSubtractsTheGrid) {
  PaperSensor sensor;
  sensor.clock = 9;
  const LinearizationResult r = Linearize(sensor.Display(), true);
  ASSERT_TRUE(r.Ok());
  for (std::size_t k = 0; k < 25; ++k) {
    const long long nx = std::llround(static_cast<double>((r.raw[k][0] - r.xLow) * 2047) / (r.xHigh - r.xLow));
    EXPECT_EQ((*r.normalized)[k][0], nx);
    EXPECT_EQ((*r.corrections)[k][0], nx - kG[k % 5]);
    EXPECT_EQ(static_cast<std::int8_t>((*r.block2)[2 * k]), EncodeCorrection(nx - kG[k % 5]));
  }
}

TEST(Linearize, CorrectionsHalveRoundAwayFromZeroAndClamp) {
  const struct {
    long long out;
    int byte;
  } cases[] = {{0, 0}, {1, 1}, {-1, -1}, {3, 2}, {-3, -2}, {254, 127}, {255, 127}, {-255, -128},
               {-256, -128}, {-257, -128}, {100000, 127}, {-100000, -128}};
  for (const auto& c : cases) EXPECT_EQ(EncodeCorrection(c.out), c.byte) << c.out;
}

TEST(Linearize, ClockOfTheTopLeftTarget) {
  const struct {
    RawPair topLeft;
    int clock;
  } cases[] = {{{100, 1900}, 3}, {{100, 100}, 6}, {{1900, 100}, 9}, {{1900, 1900}, 12},
               {{1022, 1022}, 6}, {{1023, 1022}, 9}, {{1022, 1023}, 3}};
  for (const auto& c : cases) EXPECT_EQ(LinearizationClock(c.topLeft), c.clock);
}

// A wild measurement never overflows or divides by zero: the run ends in one of its texts.
TEST(Linearize, WildInputsEndInATextOfTheirOwn) {
  std::srand(7);
  for (int run = 0; run < 2000; ++run) {
    NodePairs display{};
    for (auto& p : display) p = {std::rand() % 2048, std::rand() % 2048};
    if (run % 3 == 0) {
      PaperSensor sensor;
      sensor.clock = 3 + 3 * (run % 4);
      display = sensor.Display();
      for (auto& p : display) p = {p[0] + std::rand() % 121 - 60, p[1] + std::rand() % 121 - 60};
      for (auto& p : display) p = {std::clamp(p[0], 0LL, 2047LL), std::clamp(p[1], 0LL, 2047LL)};
    }
    const LinearizationResult r = Linearize(display, run % 5 == 0);
    if (r.Ok()) {
      ASSERT_TRUE(r.block2);
      EXPECT_EQ(r.block2->size(), 50u);
    } else {
      EXPECT_FALSE(r.block2);
      EXPECT_TRUE(r.text == "Linearization Failed" || r.text.rfind("Lin Failed [Corners = ", 0) == 0) << r.text;
    }
  }
}

}  // namespace
}  // namespace kx7
