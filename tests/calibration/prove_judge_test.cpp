#include "calibration/prove_judge.h"

#include <gtest/gtest.h>

#include "calibration/calibration_constants.h"

namespace kx7 {
namespace {

// The serial tablet packet of a report (x, y as the controller reports them, y upward).
std::vector<std::uint8_t> Packet(bool touching, int x, int y) {
  return {static_cast<std::uint8_t>(touching ? 0xC0 : 0x80), static_cast<std::uint8_t>((x & 0x0F) << 3),
          static_cast<std::uint8_t>(x >> 4 & 0x7F), static_cast<std::uint8_t>((y & 0x0F) << 3),
          static_cast<std::uint8_t>(y >> 4 & 0x7F)};
}

// Feeds a judge touches at screen points (y from the top), as a controller reports them.
class Prover {
 public:
  explicit Prover(ProveSettings settings) : judge(settings) {}

  ProveJudge::Event Send(bool touching, int x, int yFromTop) {
    // The 16 and 4 sets turn the report's y around; the DVT compares with y upward.
    const int y = judge.Settings().set == ProveSet::k25 ? 2047 - yFromTop : 2046 - yFromTop;
    ProveJudge::Event last = ProveJudge::Event::kNone;
    for (const std::uint8_t byte : Packet(touching, x, y)) last = judge.Feed(byte);
    return last;
  }
  // A touch-down, `moves` moves and a lift at one point.
  ProveJudge::Event Touch(int x, int y, int moves) {
    Send(true, x, y);
    for (int i = 0; i < moves; ++i) Send(true, x, y);
    return Send(false, x, y);
  }
  // Every target of the set, touched where it is drawn (plus an offset), held `moves` moves.
  void TouchAll(int moves, int dx = 0, int dy = 0) {
    while (!judge.Finished()) {
      const auto at = ProveTargetPosition(judge.Settings().set, judge.Current());
      Touch(at[0] + dx, at[1] + dy, moves);
    }
  }

  ProveJudge judge;
};

ProveSettings Set(ProveSet set, int settle, double band = 1.5) { return {set, settle, band}; }

TEST(ProveJudge, AccurateTouchesProveEverySet) {
  const struct {
    ProveSettings settings;
    int moves;
    int points;
  } cases[] = {{Set(ProveSet::k16, 3), 3, 16}, {Set(ProveSet::k4, 0), 1, 4}, {Set(ProveSet::k25, 3, 1.09), 3, 250}};
  for (const auto& c : cases) {
    Prover p(c.settings);
    p.TouchAll(c.moves);
    EXPECT_TRUE(p.judge.Passed());
    EXPECT_EQ(p.judge.Clock(), 3);
    EXPECT_EQ(p.judge.Points().size(), static_cast<std::size_t>(c.points));
    EXPECT_EQ(p.judge.EarlyLifts(), 0);
    EXPECT_LE(p.judge.MaxError(), 0.05);
  }
}

TEST(ProveJudge, LiftBeforeTheSettleCountRunsOutRepeatsTheTarget) {
  Prover p(Set(ProveSet::k16, 3));
  const auto at = ProveTargetPosition(ProveSet::k16, 0);
  EXPECT_EQ(p.Touch(at[0], at[1], 2), ProveJudge::Event::kEarlyLift);
  EXPECT_EQ(p.judge.Current(), 0);
  EXPECT_TRUE(p.judge.TargetFailed(0));
  // A touch-down and a lift with no move between is early as well, even with no settle count.
  Prover four(Set(ProveSet::k4, 0));
  EXPECT_EQ(four.Touch(255, 256, 0), ProveJudge::Event::kEarlyLift);
  EXPECT_EQ(four.Touch(255, 256, 1), ProveJudge::Event::kNextTarget) << "one move decides";
  // The repeated touch decides the target once a move comes after the settle count ran out.
  EXPECT_EQ(p.Touch(at[0], at[1], 4), ProveJudge::Event::kNextTarget);
  EXPECT_FALSE(p.judge.TargetFailed(0));
  p.TouchAll(3);
  EXPECT_TRUE(p.judge.Passed());
  EXPECT_EQ(p.judge.EarlyLifts(), 1);
  EXPECT_EQ(p.judge.TouchDowns(), 17);
}

TEST(ProveJudge, OnlyTheLastJudgementOfATouchCounts) {
  Prover p(Set(ProveSet::k16, 2));
  // 40 counts off (1.95 %) at touch-down, then back on the target: the smoothing brings it in.
  p.Send(true, 255 + 40, 256);
  for (int i = 0; i < 12; ++i) p.Send(true, 255, 256);
  EXPECT_EQ(p.judge.CurrentColor(), cal::kGreen);
  p.Send(false, 255, 256);
  EXPECT_FALSE(p.judge.TargetFailed(0));
  // Inside the band while settling (white), out of it at the end (red, failed).
  p.Send(true, 767, 256);
  p.Send(true, 767, 256);
  EXPECT_EQ(p.judge.CurrentColor(), cal::kWhite);
  for (int i = 0; i < 20; ++i) p.Send(true, 767 + 60, 256);
  EXPECT_EQ(p.judge.CurrentColor(), cal::kRed);
  p.Send(false, 767, 256);
  EXPECT_TRUE(p.judge.TargetFailed(1));
  EXPECT_EQ(p.judge.Current(), 2) << "a failed target does not stop the run";
  p.TouchAll(2);
  EXPECT_FALSE(p.judge.Passed());
  EXPECT_EQ(p.judge.Failed(), (std::vector<std::array<int, 2>>{{1, 1}}));
}

TEST(ProveJudge, BandLimitItselfPasses) {
  // 22 counts are 1.07421875 %: a band of exactly that passes, one a hair smaller fails.
  for (const double band : {1.07421875, 1.0742}) {
    Prover p(Set(ProveSet::k4, 0, band));
    p.TouchAll(1, 22, 0);
    EXPECT_EQ(p.judge.Passed(), band == 1.07421875) << band;
    EXPECT_DOUBLE_EQ(p.judge.MaxError(), 1.07421875);
  }
}

TEST(ProveJudge, ClockFromTheFirstTargetPermutesTheIdeals) {
  // A controller reporting mirrored in both axes (clock 9): the first target shown is judged against
  // the ideal of the last.
  const struct {
    ProveSet set;
    int firstIdeal;
  } cases[] = {{ProveSet::k16, 15}, {ProveSet::k4, 3}, {ProveSet::k25, 24}};
  for (const auto& c : cases) {
    Prover p(Set(c.set, 1));
    while (!p.judge.Finished()) {
      const auto at = ProveTargetPosition(c.set, p.judge.Current());
      p.Touch(2047 - at[0], 2047 - at[1], 1);
    }
    EXPECT_EQ(p.judge.Clock(), 9);
    EXPECT_EQ(p.judge.Points().front().ideal, c.firstIdeal);
    EXPECT_TRUE(p.judge.Passed()) << p.judge.MaxError();
  }
  for (int d = 0; d < 16; ++d) {
    // Clock 6 turns the grid one way, clock 12 the other.
    EXPECT_EQ(ProvePermutation(ProveSet::k16, 6, d), 4 * (3 - d % 4) + d / 4) << d;
    EXPECT_EQ(ProvePermutation(ProveSet::k16, 12, d), (3 - d / 4) + 4 * (d % 4)) << d;
  }
}

TEST(ProveJudge, BackspaceStepsBackAndClearsTheFlags) {
  Prover p(Set(ProveSet::k16, 1));
  p.Touch(255, 256, 1);
  p.Touch(767 + 200, 256, 1);  // target 1 fails
  EXPECT_TRUE(p.judge.TargetFailed(1));
  p.judge.StepBack(true);
  EXPECT_EQ(p.judge.Current(), 1);
  EXPECT_FALSE(p.judge.TargetFailed(1));
  p.judge.StepBack(true);
  p.judge.StepBack(true);
  EXPECT_EQ(p.judge.Current(), 0) << "not below the first";
}

TEST(ProveJudge, IncompleteStreamsAndGarbageDoNotFinish) {
  Prover p(Set(ProveSet::k16, 3));
  for (const std::uint8_t byte : {0x00, 0x7F, 0x12, 0xC0, 0x01, 0x80, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x00})
    p.judge.Feed(byte);
  p.Touch(255, 256, 3);
  EXPECT_FALSE(p.judge.Finished());
  EXPECT_EQ(p.judge.Current(), 1);
}

TEST(DvtFile, HeaderThenOneLinePerIdealTarget) {
  Prover p(Set(ProveSet::k25, 1, 1.09));
  p.TouchAll(1);
  const std::string text = DvtFileText(p.judge);
  const std::string header = "X1,Y1,X2,Y2,X3,Y3,X4,Y4,X5,Y5,X6,Y6,X7,Y7,X8,Y8,X9,Y9,X10,Y10,\r\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  // Ideal 0 is x 102 with y counted upward 1945 (the top-left target at clock 3).
  std::string first;
  for (int i = 0; i < 10; ++i) first += "102 ,1945,";
  EXPECT_EQ(text.substr(header.size(), first.size() + 2), first + "\r\n");
  EXPECT_EQ(text.size(), header.size() + 25 * (first.size() + 2) + 2);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

}  // namespace
}  // namespace kx7
