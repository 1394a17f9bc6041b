#include "calibration/block2_correction.h"

#include <gtest/gtest.h>

namespace kx7 {
namespace {

constexpr int kG[5] = {102, 511, 1023, 1535, 1945};

std::vector<std::uint8_t> Table(int (*value)(int k, int axis)) {
  std::vector<std::uint8_t> block(50);
  for (int k = 0; k < 25; ++k)
    for (int axis = 0; axis < 2; ++axis) block[static_cast<std::size_t>(2 * k + axis)] = static_cast<std::uint8_t>(value(k, axis));
  return block;
}

TEST(Block2Correction, NodesCarryTwiceTheirBytes) {
  const Block2Correction c(Table([](int k, int axis) { return (k * 37 + axis * 11) % 101 - 50; }));
  for (int k = 0; k < 25; ++k) {
    const auto at = c.At(kG[k % 5], kG[k / 5]);
    EXPECT_DOUBLE_EQ(at[0], 2.0 * ((k * 37) % 101 - 50)) << k;
    EXPECT_DOUBLE_EQ(at[1], 2.0 * ((k * 37 + 11) % 101 - 50)) << k;
  }
}

TEST(Block2Correction, InterpolatesInsideAndCarriesTheEdgeCellsOn) {
  // Only node 1 (x) moves: 20 counts.
  const Block2Correction c(Table([](int k, int axis) { return k == 1 && axis == 0 ? 10 : 0; }));
  const struct {
    long long x, y;
    double expected;
  } cases[] = {
      {102, 102, 0},                       // node 0
      {511, 102, 20},                      // node 1
      {102 + 409 / 2, 102, 204 * 20.0 / 409},  // along the bottom edge
      {0, 102, -102 * 20.0 / 409},         // left of the first column: a negative offset
      {511, 102 + 256, 20 * (1 - 256.0 / 409)},  // up the cell's right edge
      {1023, 102, 0},                      // node 2: the next cell starts at zero
      {2047, 2047, 0},                     // beyond the last node, the last cell
  };
  for (const auto& t : cases) EXPECT_NEAR(c.At(t.x, t.y)[0], t.expected, 1e-9) << t.x << "," << t.y;
}

TEST(Block2Correction, CorrectionIsSubtractedTruncatedTowardZero) {
  const Block2Correction up(Table([](int, int) { return 5; }));      // +10 everywhere
  const Block2Correction down(Table([](int, int) { return -5; }));   // -10 everywhere
  EXPECT_EQ(up.Correct(1000, 500), (std::array<long long, 2>{990, 490}));
  EXPECT_EQ(down.Correct(1000, 500), (std::array<long long, 2>{1010, 510}));
  // 2.56 counts between nodes 0 (0) and 1 (+20) at u = 52: trunc(2.54...) = 2.
  const Block2Correction ramp(Table([](int k, int axis) { return k == 1 && axis == 0 ? 10 : 0; }));
  EXPECT_EQ(ramp.Correct(102 + 52, 102)[0], 102 + 52 - 2);
  const Block2Correction negative(Table([](int k, int axis) { return k == 1 && axis == 0 ? -10 : 0; }));
  EXPECT_EQ(negative.Correct(102 + 52, 102)[0], 102 + 52 + 2);
}

TEST(Block2Correction, ShortImagesLeaveTheRestZero) {
  const Block2Correction c(std::vector<std::uint8_t>{0xFE});  // node 0 x: -2 counts... as -4
  EXPECT_EQ(c.Node(0, 0), -4);
  EXPECT_EQ(c.Node(24, 1), 0);
}

}  // namespace
}  // namespace kx7
