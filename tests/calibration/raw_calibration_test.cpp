#include "calibration/raw_calibration.h"

#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "sensor_grid.h"

namespace kx7 {
namespace {

using testing::PaperSensor;

// The averages a sensor gives at the raw-mode targets of an inset: lower left, upper right, upper left.
std::vector<std::array<long long, 2>> Targets(const PaperSensor& sensor, int inset, int count) {
  const double e = inset, far = 2046 - inset;
  std::vector<std::array<long long, 2>> targets = {sensor.At(e, far), sensor.At(far, e)};
  if (count == 3) targets.push_back(sensor.At(e, e));
  return targets;
}

struct MountCase {
  int clock;
  int inset;
  int targets;
  double warp;
};

class RawCalibrateSensor : public ::testing::TestWithParam<MountCase> {};

// Whatever the mounting, the clock is found and the corner optimisation moves the extents until
// the controller's correction puts both targets where they were drawn.
TEST_P(RawCalibrateSensor, TargetsLandWhereTheyWereDrawn) {
  const MountCase& c = GetParam();
  PaperSensor sensor;
  sensor.clock = c.clock;
  sensor.warp = c.warp;
  RawCalibrationInput input;
  input.inset = c.inset;
  input.targets = Targets(sensor, c.inset, c.targets);
  const RawCalibrationResult r = RawCalibrate(input);
  ASSERT_EQ(r.error, 0) << r.message;
  EXPECT_EQ(r.clock, c.clock);
  EXPECT_GE(r.rounds, 1);
  if (c.targets == 2) {
    EXPECT_EQ(r.message, "Cal @" + std::to_string(c.clock) + ":00 OK");
  }
  // Normalised with the extents, the targets sit at their drawn place in the controller's space
  // (y upward): lower left (E, E), upper right (2046 - E, 2046 - E), within the last half step.
  const long long e = c.inset, far = 2046 - c.inset;
  const std::array<std::array<long long, 2>, 2> expected = {{{e, e}, {far, far}}};
  for (std::size_t t = 0; t < 2; ++t) {
    long long nx = (input.targets[t][0] - r.xLow) * 2046 / (r.xHigh - r.xLow);
    long long ny = (input.targets[t][1] - r.yLow) * 2046 / (r.yHigh - r.yLow);
    // The raw axes of the clock against the screen's.
    if (c.clock == 6 || c.clock == 12) std::swap(nx, ny);
    if (c.clock == 6) ny = 2046 - ny;
    if (c.clock == 9) nx = 2046 - nx, ny = 2046 - ny;
    if (c.clock == 12) nx = 2046 - nx;
    EXPECT_NEAR(nx, expected[t][0], 3) << "target " << t;
    EXPECT_NEAR(ny, expected[t][1], 3) << "target " << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Mountings, RawCalibrateSensor,
                         ::testing::Values(MountCase{3, 256, 2, 0}, MountCase{6, 256, 2, 0.03},
                                           MountCase{9, 102, 2, 0.03}, MountCase{12, 0, 2, 0},
                                           MountCase{3, 256, 3, 0.03}, MountCase{12, 102, 3, 0.03}));

TEST(RawCalibrate, HalvesGiveClockErrorAndFlags) {
  const struct {
    std::vector<std::array<long long, 2>> targets;
    int clock, error, flags;
  } cases[] = {
      {{{300, 300}, {1700, 1700}}, 3, 0, 0},
      {{{300, 1700}, {1700, 300}}, 12, 0, 0b101},
      {{{1700, 300}, {300, 1700}}, 6, 0, 0b011},
      {{{1700, 1700}, {300, 300}}, 9, 0, 0b110},
      {{{1023, 300}, {1700, 1700}}, 6, 1, 0b011},  // both X above 1022, whatever Y does
      {{{300, 300}, {1700, 200}}, 3, 1, 0},         // both Y in the lower half
      // Three targets: the upper-left one differs from the lower-left one in exactly one half.
      {{{300, 300}, {1700, 1700}, {300, 1700}}, 3, 0, 0b000},
      {{{300, 300}, {1700, 1700}, {1700, 1700}}, 3, 1, 0b101},
      {{{300, 300}, {1700, 1700}, {300, 300}}, 3, 1, 0b000},
      {{{300, 300}, {1700, 1700}, {1700, 300}}, 3, 0, 0b001},  // swapped axes
  };
  for (const auto& c : cases) {
    RawCalibrationInput input;
    input.targets = c.targets;
    input.optimizeCorners = false;
    const RawCalibrationResult r = RawCalibrate(input);
    EXPECT_EQ(r.clock, c.clock) << c.targets[0][0] << "," << c.targets[0][1];
    EXPECT_EQ(r.error, c.error) << c.targets[0][0] << "," << c.targets[0][1];
    EXPECT_EQ(r.flags, c.flags) << c.targets[0][0] << "," << c.targets[0][1];
    if (c.error) {
      EXPECT_EQ(r.message, "Cal @" + std::to_string(c.clock) + ":00 Failed,  Error[1]");
    }
  }
}

TEST(RawCalibrate, ExtrapolationRoundsAndInsetZeroAddsNothing) {
  RawCalibrationInput input;
  input.optimizeCorners = false;
  input.targets = {{300, 310}, {1700, 1720}};
  input.inset = 0;
  RawCalibrationResult r = RawCalibrate(input);
  EXPECT_EQ((std::array<long long, 4>{r.xLow, r.xHigh, r.yLow, r.yHigh}), (std::array<long long, 4>{300, 1700, 310, 1720}));
  // 1400 * 102 / 1842 = 77.52 -> 78; 1410 * 102 / 1842 = 78.08 -> 78.
  input.inset = 102;
  r = RawCalibrate(input);
  EXPECT_EQ((std::array<long long, 4>{r.xLow, r.xHigh, r.yLow, r.yHigh}), (std::array<long long, 4>{222, 1778, 232, 1798}));
  // Extents beyond the coordinate range are clamped.
  input.inset = 256;
  input.targets = {{100, 100}, {1990, 1990}};
  r = RawCalibrate(input);
  EXPECT_EQ(r.xLow, 0);
  EXPECT_EQ(r.yHigh, 2047);
}

TEST(RawCalibrate, InconsistentHalvesFailBeforeTheCornerOptimisation) {
  // Both X averages above 1022 is error 1 whatever Y does; the optimisation does not run (it could
  // only turn the error into a non-convergence) and nothing divides by the zero span.
  for (const auto& targets : std::vector<std::vector<std::array<long long, 2>>>{
           {{1100, 300}, {1900, 1700}}, {{1100, 1700}, {1900, 300}}, {{1000, 1000}, {1000, 1000}}}) {
    RawCalibrationInput input;
    input.targets = targets;
    const RawCalibrationResult r = RawCalibrate(input);
    EXPECT_EQ(r.error, 1) << r.message;
    EXPECT_EQ(r.rounds, 0);
    EXPECT_NE(r.message.find("Failed,  Error[1]"), std::string::npos) << r.message;
  }
}

TEST(RawCalibrate, CornerOptimisationThatDoesNotSettleIsErrorThree) {
  // A rough table under targets at the screen's corners: the adjustments never settle within 99
  // rounds.
  const std::string hex =
      "D2CE3819022DDFD51D13F4F12EE2E9EE3B121EF029F5F4D5202EF116E92A14FB31F206C80F0DDF22DBF6CCD0C8C8DBDDDDC9";
  std::vector<std::uint8_t> block2;
  for (std::size_t i = 0; i < hex.size(); i += 2) block2.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  RawCalibrationInput input;
  input.inset = 0;
  input.targets = {{300, 300}, {1700, 1700}};
  input.correction = Block2Correction(block2);
  const RawCalibrationResult r = RawCalibrate(input);
  EXPECT_EQ(r.error, 3);
  EXPECT_EQ(r.rounds, 99);
  EXPECT_EQ(r.message, "Cal @3:00 Failed,  Error[3]");
  EXPECT_EQ(r.xHigh, 1700) << "the high extents are clamped to 2047 at most, the low ones to 0 at least";
}

TEST(RawCalibrate, ResistiveControllersAreCautioned) {
  RawCalibrationInput input;
  input.targets = {{300, 300}, {1700, 1700}};
  input.optimizeCorners = false;
  input.controllerType = type::kResistive4Wire;
  EXPECT_EQ(RawCalibrate(input).message, "Cal @3:00 OK\nCaution: Standard Pinout Assumed!");
  input.controllerType = type::kResistive5Wire;
  EXPECT_EQ(RawCalibrate(input).message, "Cal @3:00 OK");
}

TEST(StoreRawCalibration, LayoutsByTypeAndPenMode) {
  RawCalibrationResult r;
  r.xLow = 0x0123;
  r.xHigh = 0x07EE;
  r.yLow = 0x0045;
  r.yHigh = 0x0789;
  r.clock = 9;
  r.flags = 0b110;
  const std::vector<std::pair<std::size_t, int>> highFirst = {{0, 0x01}, {1, 0x23}, {2, 0x07}, {3, 0xEE},
                                                               {4, 0x00}, {5, 0x45}, {6, 0x07}, {7, 0x89}};
  const auto lowHigh = [](std::size_t at) {
    return std::vector<std::pair<std::size_t, int>>{{at, 0x23}, {at + 1, 0xFD}, {at + 2, 0xEE}, {at + 3, 0x03}};
  };
  const struct {
    std::uint32_t type, penMode;
    std::vector<std::pair<std::size_t, int>> bytes;
  } cases[] = {
      {type::kBirch, kPenAuto, highFirst},
      {type::kJuniper, kPenAuto, {{0, 0x01}, {20, 3}}},
      {type::kHawthorn, kPenAuto, {{20, (3 << 4) | (0xFF & 0xCF)}}},
      {type::kResistive5WireUsb, kPenAuto, {{20, 0b110}}},
      {type::kHazel2d, kPenAuto, lowHigh(0)},
      {type::kAspen4, kPenFinger, lowHigh(0)},
      {type::kAspen4, kPenPen, lowHigh(32)},
      {type::kBirchPen, kPenAuto, {{36, 0x45}, {37, 0xFC}, {38, 0x89}, {39, 0x03}, {0, 0xFF}}},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> block1(64, 0xFF);
    StoreRawCalibration(block1, c.type, c.penMode, r);
    for (const auto& [at, value] : c.bytes) EXPECT_EQ(block1[at], value) << c.type << " byte " << at;
  }
  // A short image takes what fits.
  std::vector<std::uint8_t> shortImage(4, 0);
  StoreRawCalibration(shortImage, type::kJuniper, kPenAuto, r);
  EXPECT_EQ(shortImage, (std::vector<std::uint8_t>{0x01, 0x23, 0x07, 0xEE}));
}

}  // namespace
}  // namespace kx7
