#include "calibration/sample_ring.h"

#include <gtest/gtest.h>

namespace kx7 {
namespace {

TEST(SampleRing, RowsByProcedureAndType) {
  const struct {
    SampleSet set;
    std::uint32_t type;
    cal::SamplingRow row;
  } cases[] = {
      {SampleSet::kLinearization, 32861, {40, 40, 120}}, {SampleSet::kLinearization, 32880, {2, 10, 14}},
      {SampleSet::kLinearization, 32857, {2, 20, 24}},   {SampleSet::kLinearization, 32882, {1, 3, 5}},
      {SampleSet::kLinearization, 32873, {1, 3, 5}},     {SampleSet::kRawCalibration, 32861, {10, 20, 40}},
      {SampleSet::kRawCalibration, 32857, {2, 10, 14}},  {SampleSet::kQuad, 32861, {40, 40, 120}},
      {SampleSet::kQuad, 32857, {2, 20, 24}},
  };
  for (const auto& c : cases) EXPECT_EQ(SamplingFor(c.set, c.type), c.row) << c.type;
  EXPECT_EQ(ProveSettleFor(32861), 40);
  EXPECT_EQ(ProveSettleFor(32883), 3);
}

TEST(SampleRing, ExactlyTheRingIsNotEnoughTheNextSampleIs) {
  SampleRing ring({1, 3, 5});
  for (int n = 0; n < 5; ++n) EXPECT_FALSE(ring.Add(100, 200));
  EXPECT_FALSE(ring.Enough());
  EXPECT_TRUE(ring.Add(100, 200)) << "the sixth sample";
  EXPECT_TRUE(ring.Enough());
  EXPECT_FALSE(ring.Add(100, 200)) << "enough only once";
}

TEST(SampleRing, ShortTouchIsForgotten) {
  SampleRing ring({1, 3, 5});
  for (int n = 0; n < 5; ++n) ring.Add(100, 200);
  EXPECT_EQ(ring.Lift(true).outcome, SampleRing::Outcome::kShort);
  EXPECT_EQ(ring.Count(), 0);
  for (int n = 0; n < 5; ++n) EXPECT_FALSE(ring.Add(100, 200)) << "counts from the start again";
}

TEST(SampleRing, WindowFromTheOldestPlusSkipWithoutItsExtremes) {
  // Ring 5, skip 1, window 3: samples 1..7 leave 3,4,5,6,7 in the ring; the oldest is 3, the window
  // starts at 4: {4, 5, 6} less the largest and smallest is 5.
  SampleRing ring({1, 3, 5});
  for (int n = 1; n <= 7; ++n) ring.Add(n * 10, 1000 + n);
  const SampleRing::Average a = ring.Lift(true);
  EXPECT_EQ(a.outcome, SampleRing::Outcome::kOk);
  EXPECT_EQ(a.x, 50);
  EXPECT_EQ(a.y, 1005);
}

TEST(SampleRing, SpreadAboveTwentyIsNoisyUnlessAllowed) {
  for (const int spread : {20, 21}) {
    for (const bool reject : {true, false}) {
      SampleRing ring({0, 4, 4});
      for (int n = 0; n < 5; ++n) ring.Add(500 + (n == 2 ? spread : 0), 700);
      const SampleRing::Average a = ring.Lift(reject);
      const bool noisy = spread > 20 && reject;
      EXPECT_EQ(a.outcome, noisy ? SampleRing::Outcome::kNoisy : SampleRing::Outcome::kOk) << spread << reject;
    }
  }
}

TEST(SampleRing, AverageTruncates) {
  SampleRing ring({0, 5, 5});
  const int xs[6] = {9, 1, 2, 2, 3, 100};  // after six the ring holds 1 2 2 3 100
  for (int x : xs) ring.Add(x, 0);
  EXPECT_EQ(ring.Lift(false).x, (1 + 2 + 2 + 3 + 100 - 100 - 1) / 3);
}

}  // namespace
}  // namespace kx7
