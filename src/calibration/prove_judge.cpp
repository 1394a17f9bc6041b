#include "calibration/prove_judge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "calibration/calibration_constants.h"

namespace kx7 {

namespace {

constexpr std::array<int, 16> kP16_9 = {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr std::array<int, 16> kP16_6 = {12, 8, 4, 0, 13, 9, 5, 1, 14, 10, 6, 2, 15, 11, 7, 3};
constexpr std::array<int, 16> kP16_12 = {3, 7, 11, 15, 2, 6, 10, 14, 1, 5, 9, 13, 0, 4, 8, 12};
constexpr std::array<int, 4> kP4_9 = {3, 2, 1, 0};
constexpr std::array<int, 4> kP4_6 = {2, 0, 3, 1};
constexpr std::array<int, 4> kP4_12 = {1, 3, 0, 2};
constexpr std::array<int, 25> kP25_6 = {20, 15, 10, 5, 0, 21, 16, 11, 6, 1, 22, 17, 12,
                                        7,  2,  23, 18, 13, 8, 3, 24, 19, 14, 9, 4};
constexpr std::array<int, 25> kP25_12 = {4, 9,  14, 19, 24, 3, 8,  13, 18, 23, 2,  7, 12,
                                         17, 22, 1, 6,  11, 16, 21, 0, 5, 10, 15, 20};

}  // namespace

int ProveTargetCount(ProveSet set) {
  switch (set) {
    case ProveSet::k4:
      return 4;
    case ProveSet::k25:
      return 25;
    default:
      return 16;
  }
}

int ProveTouchesPerTarget(ProveSet set) { return set == ProveSet::k25 ? cal::kDvtTouches : 1; }

std::array<int, 2> ProveTargetPosition(ProveSet set, int display) {
  switch (set) {
    case ProveSet::k4:
      return cal::kProve4[static_cast<std::size_t>(display & 3)];
    case ProveSet::k25:
      return {cal::kGrid[static_cast<std::size_t>(display % 5)], cal::kGrid[static_cast<std::size_t>(display / 5 % 5)]};
    default:
      return {cal::kProve16X[static_cast<std::size_t>(display % 4)], cal::kProve16Y[static_cast<std::size_t>(display / 4 % 4)]};
  }
}

std::array<int, 2> ProveIdealPosition(ProveSet set, int ideal) {
  if (set == ProveSet::k25)
    return {cal::kGrid[static_cast<std::size_t>(ideal % 5)], cal::kDvtIdealY[static_cast<std::size_t>(ideal / 5 % 5)]};
  return ProveTargetPosition(set, ideal);
}

int ProvePermutation(ProveSet set, int clock, int display) {
  const auto d = static_cast<std::size_t>(display);
  switch (set) {
    case ProveSet::k4:
      if (clock == 9) return kP4_9[d];
      if (clock == 6) return kP4_6[d];
      if (clock == 12) return kP4_12[d];
      return display;
    case ProveSet::k25:
      if (clock == 9) return 24 - display;
      if (clock == 6) return kP25_6[d];
      if (clock == 12) return kP25_12[d];
      return display;
    default:
      if (clock == 9) return kP16_9[d];
      if (clock == 6) return kP16_6[d];
      if (clock == 12) return kP16_12[d];
      return display;
  }
}

ProveJudge::ProveJudge(const ProveSettings& settings) : settings_(settings), color_(cal::kYellow) {
  const int targets = Targets();
  const int touches = ProveTouchesPerTarget(settings_.set);
  pass_.assign(static_cast<std::size_t>(targets * touches), true);
  points_.assign(static_cast<std::size_t>(targets * touches), std::nullopt);
  stored_.assign(static_cast<std::size_t>(targets), {});
}

std::size_t ProveJudge::Slot(int display, int touch) const {
  return static_cast<std::size_t>(display * ProveTouchesPerTarget(settings_.set) + touch);
}

ProveJudge::Event ProveJudge::Feed(std::uint8_t byte) {
  const std::optional<TouchPacket> packet = packets_.Feed(byte);
  if (!packet) return Event::kNone;
  const TouchPacket& p = *packet;
  // The tablet packet's 14-bit values reduced to 11 bits.
  const int x = ((p[1] >> 3) & 0x1F) + (p[2] << 4);
  const int y = ((p[3] >> 3) & 0x1F) + (p[4] << 4);
  return Packet((p[0] & 0x40) != 0, x, y);
}

ProveJudge::Event ProveJudge::Packet(bool touching, int x, int y) {
  beeped_ = false;
  if (settings_.set != ProveSet::k25) y = 2046 - y;
  const bool wasTouching = touching_;
  touching_ = touching;
  if (finished_) return Event::kNone;
  if (touching && !wasTouching) {
    xs_ = x;
    ys_ = y;
    settle_ = settings_.set == ProveSet::k4 ? 0 : settings_.settle;
    judged_ = false;
    ++touchDowns_;
    color_ = cal::kYellow;
    if (current_ == 0 && touch_ == 0) {
      // The clock of the sensor as the controller reports it, from the first target.
      if (settings_.set == ProveSet::k25)
        clock_ = x > 1022 ? (y > 1022 ? 12 : 9) : (y > 1022 ? 3 : 6);
      else
        clock_ = x > 1022 ? (y < 1024 ? 12 : 9) : (y < 1024 ? 3 : 6);
    }
    return Event::kTouchDown;
  }
  if (touching && wasTouching) {
    xs_ = (7 * xs_ + x) / 8;
    ys_ = (7 * ys_ + y) / 8;
    const int ideal = ProvePermutation(settings_.set, clock_, current_);
    const std::array<int, 2> target = ProveIdealPosition(settings_.set, ideal);
    ProvePoint point;
    point.display = current_;
    point.touch = touch_ + 1;
    point.ideal = ideal;
    point.x = static_cast<int>(std::round(xs_));
    point.y = static_cast<int>(std::round(ys_));
    point.errorX = (point.x - target[0]) * cal::kPercentPerCount;
    point.errorY = (point.y - target[1]) * cal::kPercentPerCount;
    stored_[static_cast<std::size_t>(ideal)][static_cast<std::size_t>(touch_)] = {point.x, point.y};
    const std::size_t slot = Slot(current_, touch_);
    if (std::abs(point.errorX) > settings_.band || std::abs(point.errorY) > settings_.band) {
      pass_[slot] = false;
      color_ = cal::kRed;
    } else if (settle_ > 0) {
      color_ = cal::kWhite;
    } else {
      pass_[slot] = true;
      color_ = cal::kGreen;
    }
    point.pass = pass_[slot];
    points_[slot] = point;
    judged_ = true;
    --settle_;
    beeped_ = settle_ == 0;
    return Event::kMove;
  }
  if (!touching && wasTouching) {
    beeped_ = true;
    const std::size_t slot = Slot(current_, touch_);
    if (settle_ > 0 || !judged_) {
      pass_[slot] = false;
      if (points_[slot]) points_[slot]->pass = false;
      ++earlyLifts_;
      color_ = cal::kYellow;
      return Event::kEarlyLift;
    }
    if (points_[slot]) points_[slot]->pass = pass_[slot];
    color_ = cal::kYellow;
    if (++touch_ >= ProveTouchesPerTarget(settings_.set)) {
      touch_ = 0;
      ++current_;
    }
    if (current_ >= Targets()) {
      current_ = Targets() - 1;
      touch_ = ProveTouchesPerTarget(settings_.set) - 1;
      finished_ = true;
      return Event::kFinished;
    }
    return Event::kNextTarget;
  }
  return Event::kNone;
}

void ProveJudge::StepBack(bool resetLeft) {
  if (finished_) return;
  if (resetLeft) pass_[Slot(current_, touch_)] = true;
  if (current_ > 0) --current_;
  pass_[Slot(current_, touch_)] = true;
  color_ = cal::kYellow;
}

bool ProveJudge::TargetFailed(int display) const {
  for (int t = 0; t < ProveTouchesPerTarget(settings_.set); ++t)
    if (!pass_[Slot(display, t)]) return true;
  return false;
}

bool ProveJudge::Passed() const {
  return std::all_of(pass_.begin(), pass_.end(), [](bool pass) { return pass; });
}

std::optional<std::array<double, 2>> ProveJudge::Smoothed() const {
  if (!touching_) return std::nullopt;
  return std::array<double, 2>{xs_, ys_};
}

std::vector<ProvePoint> ProveJudge::Points() const {
  std::vector<ProvePoint> points;
  for (const std::optional<ProvePoint>& point : points_)
    if (point) points.push_back(*point);
  return points;
}

double ProveJudge::MaxError() const {
  double largest = 0;
  for (const ProvePoint& p : Points()) largest = std::max({largest, std::abs(p.errorX), std::abs(p.errorY)});
  return largest;
}

std::vector<std::array<int, 2>> ProveJudge::Failed() const {
  std::vector<std::array<int, 2>> failed;
  const int touches = ProveTouchesPerTarget(settings_.set);
  for (int d = 0; d < Targets(); ++d)
    for (int t = 0; t < touches; ++t)
      if (!pass_[Slot(d, t)]) failed.push_back({d, t + 1});
  return failed;
}

std::string DvtFileText(const ProveJudge& judge) {
  std::string text;
  char item[32];
  for (int n = 1; n <= cal::kDvtTouches; ++n) {
    std::snprintf(item, sizeof item, "X%d,Y%d,", n, n);
    text += item;
  }
  text += "\r\n";
  for (const auto& target : judge.Stored()) {
    for (const auto& m : target) {
      std::snprintf(item, sizeof item, "%-4d,%-4d,", m[0], m[1]);
      text += item;
    }
    text += "\r\n";
  }
  text += "\r\n";
  return text;
}

}  // namespace kx7
