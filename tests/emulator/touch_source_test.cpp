#include "touch_source.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kx7::emu {
namespace {

double Distance(ScreenPoint a, ScreenPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Touch-down points and lengths of the strokes seen when sampling every `stepMs` up to `untilMs`.
struct Stroke {
  std::uint64_t downMs, upMs;
  ScreenPoint first;
};
std::vector<Stroke> Strokes(const TouchSource& source, std::uint64_t untilMs, std::uint64_t stepMs = 10) {
  std::vector<Stroke> strokes;
  bool down = false;
  for (std::uint64_t t = 0; t <= untilMs; t += stepMs) {
    const auto contacts = source.At(t);
    if (!contacts.empty() && !down) strokes.push_back({t, 0, contacts[0].point});
    if (contacts.empty() && down) strokes.back().upMs = t;
    down = !contacts.empty();
  }
  return strokes;
}

TEST(TouchSourceStroke, IsTheDefaultAndTouchesLiftsAndStartsElsewhere) {
  const TouchSource source;
  EXPECT_EQ(source.Source(), TouchSource::Kind::kRandomStroke);
  const auto strokes = Strokes(source, 30000);
  ASSERT_GE(strokes.size(), 4u);
  for (std::size_t k = 0; k + 1 < strokes.size(); ++k) {
    EXPECT_GT(strokes[k].upMs, strokes[k].downMs);
    EXPECT_GE(strokes[k + 1].downMs, strokes[k].upMs + 400);  // a pause between strokes
  }
  double farthest = 0;
  for (std::size_t k = 0; k + 1 < strokes.size(); ++k) {
    farthest = std::max(farthest, Distance(strokes[k].first, strokes[k + 1].first));
  }
  EXPECT_GT(farthest, 300);
}

TEST(TouchSourceStroke, StaysOnScreenAndMovesSlowlyAndSmoothly) {
  const TouchSource source(1, 5);
  std::optional<ScreenPoint> last;
  for (std::uint64_t t = 0; t <= 60000; t += 10) {
    const auto contacts = source.At(t);
    if (contacts.empty()) {
      last.reset();
      continue;
    }
    const ScreenPoint p = contacts[0].point;
    EXPECT_GE(p.x, 0);
    EXPECT_LE(p.x, 2047);
    EXPECT_GE(p.y, 0);
    EXPECT_LE(p.y, 2047);
    EXPECT_GE(contacts[0].pressure, 0);
    EXPECT_LE(contacts[0].pressure, 1);
    if (last) {
      EXPECT_LT(Distance(*last, p), 10) << "at " << t;  // under 1000 units a second
    }
    last = p;
  }
}

TEST(TouchSourceStroke, DependsOnTheSeedNotOnHowOftenItIsAsked) {
  const TouchSource often(1, 11), seldom(1, 11), other(1, 12);
  bool differs = false;
  for (std::uint64_t t = 0; t <= 20000; t += 10) {
    const auto a = often.At(t);
    if (t % 70 == 0) {
      const auto b = seldom.At(t);
      ASSERT_EQ(a.size(), b.size()) << t;
      if (!a.empty()) {
        EXPECT_EQ(a[0].point.x, b[0].point.x);
        EXPECT_EQ(a[0].point.y, b[0].point.y);
      }
    }
    const auto c = other.At(t);
    differs = differs || a.size() != c.size() || (!a.empty() && a[0].point.x != c[0].point.x);
  }
  EXPECT_TRUE(differs);
}

TEST(TouchSourceStroke, NextTouchIsWhenTheTouchBegins) {
  const TouchSource source(1, 3);
  std::uint64_t t = 0;
  for (int stroke = 0; stroke < 5; ++stroke) {
    const std::uint64_t next = source.NextTouchMs(t);
    ASSERT_NE(next, kNever);
    if (next > t) {
      EXPECT_TRUE(source.At(next - 1).empty());
    }
    EXPECT_FALSE(source.At(next).empty());
    t = next;
    while (!source.At(t).empty()) ++t;  // to the lift
  }
}

TEST(TouchSourceStroke, MultiTouchStrokesUseOneTwoAndThreeFingers) {
  const TouchSource source(3, 1);
  std::vector<std::size_t> fingers;
  bool down = false;
  for (std::uint64_t t = 0; t <= 40000 && fingers.size() < 6; t += 10) {
    const auto contacts = source.At(t);
    if (!contacts.empty() && !down) fingers.push_back(contacts.size());
    for (std::size_t k = 0; k < contacts.size(); ++k) EXPECT_EQ(contacts[k].id, static_cast<int>(k));
    down = !contacts.empty();
  }
  EXPECT_EQ(fingers, (std::vector<std::size_t>{1, 2, 3, 1, 2, 3}));
}

TEST(TouchSourceAutoTarget, TapsTheTargetUntilCleared) {
  TouchSource source(1, 2);
  // Find a time inside a stroke: setting a target there lifts the wandering finger at once.
  std::uint64_t t = source.NextTouchMs(0) + 500;
  ASSERT_FALSE(source.At(t).empty());
  const ScreenPoint target{256, 1792};
  source.SetAutoTarget(target, t);
  EXPECT_TRUE(source.At(t).empty());
  const std::uint64_t tap = source.NextTouchMs(t);
  EXPECT_EQ(tap, t + 300);
  for (int n = 0; n < 3; ++n) {
    const std::uint64_t down = source.NextTouchMs(t);
    for (std::uint64_t u = down; u < down + TouchSource::kTapDownMs; u += 50) {
      const auto c = source.At(u);
      ASSERT_EQ(c.size(), 1u);
      EXPECT_EQ(c[0].point.x, target.x);
      EXPECT_EQ(c[0].point.y, target.y);
    }
    EXPECT_TRUE(source.At(down + TouchSource::kTapDownMs).empty());
    t = down + TouchSource::kTapDownMs;
  }
  source.SetAutoTarget(std::nullopt, t);
  const std::uint64_t wander = source.NextTouchMs(t);
  const ScreenPoint a = source.At(wander).at(0).point, b = source.At(wander + 1500).at(0).point;
  EXPECT_GT(Distance(a, b), 5);  // moving again
}

TEST(TouchSourceScript, InterpolatesBetweenDownEventsAndLiftsOnUp) {
  TouchSource source(2);
  // Given out of order on purpose: the script is sorted by time.
  source.SetScript({{300, 0, false, {400, 400}},
                    {100, 0, true, {100, 100}, 0.2},
                    {200, 0, true, {300, 500}, 0.6},
                    {150, 1, true, {1000, 1000}},
                    {250, 1, false, {1000, 1000}},
                    {120, 5, true, {5, 5}}});  // no such contact
  EXPECT_EQ(source.Source(), TouchSource::Kind::kScript);
  EXPECT_TRUE(source.At(99).empty());
  EXPECT_EQ(source.NextTouchMs(0), 100u);

  auto at150 = source.At(150);
  ASSERT_EQ(at150.size(), 2u);
  EXPECT_DOUBLE_EQ(at150[0].point.x, 200);
  EXPECT_DOUBLE_EQ(at150[0].point.y, 300);
  EXPECT_DOUBLE_EQ(at150[0].pressure, 0.4);
  EXPECT_EQ(at150[1].id, 1);

  auto at260 = source.At(260);  // contact 0 holds its last point until the up event
  ASSERT_EQ(at260.size(), 1u);
  EXPECT_DOUBLE_EQ(at260[0].point.x, 300);
  EXPECT_TRUE(source.At(300).empty());
  EXPECT_EQ(source.NextTouchMs(300), kNever);
}

TEST(TouchSourcePlace, HoldsUntilLiftedAndEndsOtherSources) {
  TouchSource source(2);
  source.Place({1024, 1024}, true);
  EXPECT_EQ(source.Source(), TouchSource::Kind::kPlaced);
  for (std::uint64_t t : {0u, 5000u, 100000u}) {
    const auto c = source.At(t);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].point.x, 1024);
  }
  EXPECT_EQ(source.NextTouchMs(777), 777u);
  source.PlaceContact(Contact{1, {3000, -4}, 0.9, true, true}, true);  // off screen: held at the edge
  auto both = source.At(1);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].point.x, 2047);
  EXPECT_EQ(both[1].point.y, 0);
  EXPECT_TRUE(both[1].pen);
  source.Place({0, 0}, false, 0);
  source.Place({0, 0}, false, 1);
  EXPECT_TRUE(source.At(2).empty());
  EXPECT_EQ(source.NextTouchMs(2), kNever);  // no wandering comes back by itself
  source.Place({5, 5}, true, 2);             // beyond the contacts this source has
  EXPECT_TRUE(source.At(3).empty());
}

TEST(TouchSourcePlace, KeepsTheTimesTheCallerGives) {
  TouchSource source;
  source.Place({700, 800}, true, 0, 1000);
  source.Place({700, 800}, false, 0, 1500);
  EXPECT_EQ(source.NextTouchMs(0), 1000u);
  EXPECT_TRUE(source.At(999).empty());
  EXPECT_EQ(source.At(1000).size(), 1u);
  EXPECT_EQ(source.At(1499).size(), 1u);
  EXPECT_TRUE(source.At(1500).empty());
  EXPECT_EQ(source.NextTouchMs(1500), kNever);
}

}  // namespace
}  // namespace kx7::emu
