#include "touch_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kx7::emu {

namespace {

constexpr double kFull = 2047.0;
constexpr double kMargin = 80;  // strokes start this far inside the edges
constexpr double kStep = 300;   // largest move between Bezier control points
constexpr std::uint64_t kFirstStrokeMs = 200;
constexpr std::uint64_t kTargetPauseMs = 300;  // the user's hand moving to a new target
constexpr std::uint64_t kKeepMs = 10000;       // strokes that ended this long ago are forgotten

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

ScreenPoint ClampToScreen(ScreenPoint p) { return {Clamp(p.x, 0, kFull), Clamp(p.y, 0, kFull)}; }

}  // namespace

TouchSource::TouchSource(int maxContacts, std::uint32_t seed) : maxContacts_(std::max(1, maxContacts)), random_(seed) {}

void TouchSource::SetNone() {
  kind_ = Kind::kNone;
  placed_.clear();
  script_.clear();
}

void TouchSource::SetRandomStroke(std::uint64_t nowMs) {
  kind_ = Kind::kRandomStroke;
  placed_.clear();
  script_.clear();
  plan_.clear();
  nextStartMs_ = nowMs + kFirstStrokeMs;
  originSet_ = true;
}

void TouchSource::SetScript(std::vector<TouchEvent> events) {
  kind_ = Kind::kScript;
  placed_.clear();
  std::stable_sort(events.begin(), events.end(),
                   [](const TouchEvent& a, const TouchEvent& b) { return a.timeMs < b.timeMs; });
  script_ = std::move(events);
}

void TouchSource::Place(ScreenPoint point, bool down, int contact, std::uint64_t atMs) {
  Contact c;
  c.id = contact;
  c.point = point;
  auto it = placed_.find(contact);
  if (it != placed_.end()) {
    c.pressure = it->second.contact.pressure;
    c.pen = it->second.contact.pen;
    c.button = it->second.contact.button;
  }
  PlaceContact(c, down, atMs);
}

void TouchSource::PlaceContact(const Contact& contact, bool down, std::uint64_t atMs) {
  if (kind_ != Kind::kPlaced) {
    kind_ = Kind::kPlaced;
    placed_.clear();
    script_.clear();
  }
  if (contact.id < 0 || contact.id >= maxContacts_) return;
  if (down) {
    Contact c = contact;
    c.point = ClampToScreen(c.point);
    placed_[c.id] = Placed{c, atMs, kNever};
  } else {
    auto it = placed_.find(contact.id);
    if (it != placed_.end()) it->second.untilMs = std::max(atMs, it->second.sinceMs);
  }
}

void TouchSource::SetAutoTarget(std::optional<ScreenPoint> target, std::uint64_t nowMs) {
  const bool same = target.has_value() == autoTarget_.has_value() &&
                    (!target || (target->x == autoTarget_->x && target->y == autoTarget_->y));
  if (same) return;
  PlanUntil(nowMs);
  autoTarget_ = target;
  // Whatever the hand was doing, it lifts now and goes to the new task after a short pause.
  while (!plan_.empty() && plan_.back().startMs >= nowMs) plan_.pop_back();
  if (!plan_.empty() && plan_.back().endMs > nowMs) plan_.back().endMs = nowMs;
  nextStartMs_ = nowMs + kTargetPauseMs;
}

void TouchSource::PlanNext() const {
  Stroke s;
  s.startMs = nextStartMs_;
  ++strokeCount_;
  if (autoTarget_) {
    s.endMs = s.startMs + kTapDownMs;
    const ScreenPoint p = ClampToScreen(*autoTarget_);
    for (ScreenPoint& c : s.path) c = p;
    s.pressure = 0.6;
    nextStartMs_ = s.endMs + kTapUpMs;
  } else {
    std::uniform_int_distribution<int> duration(2500, 5000), gap(400, 1500);
    std::uniform_real_distribution<double> anywhere(kMargin, kFull - kMargin), step(-kStep, kStep);
    std::uniform_real_distribution<double> unit(0, 1);
    s.endMs = s.startMs + duration(random_);
    s.path[0] = {anywhere(random_), anywhere(random_)};
    for (int k = 1; k < 4; ++k) {
      s.path[k] = {Clamp(s.path[k - 1].x + step(random_), kMargin, kFull - kMargin),
                   Clamp(s.path[k - 1].y + step(random_), kMargin, kFull - kMargin)};
    }
    s.pressure = 0.35 + 0.25 * unit(random_);
    s.spread = 120 + 130 * unit(random_);
    s.spin = 2 * std::numbers::pi * unit(random_);
    s.spinRate = 1.6 * unit(random_) - 0.8;
    const int most = std::min(maxContacts_, 3);
    s.fingers = 1 + (strokeCount_ - 1) % most;
    nextStartMs_ = s.endMs + gap(random_);
  }
  plan_.push_back(s);
}

void TouchSource::PlanUntil(std::uint64_t timeMs) const {
  // The plan starts with the first time it is asked about, so a transport whose clock does not
  // start at zero does not make it plan its way up from there.
  if (!originSet_) {
    originSet_ = true;
    nextStartMs_ = timeMs + kFirstStrokeMs;
  }
  while (nextStartMs_ <= timeMs) PlanNext();
  while (plan_.size() > 1 && plan_.front().endMs + kKeepMs < timeMs) plan_.pop_front();
}

std::vector<Contact> TouchSource::StrokeContacts(const Stroke& s, std::uint64_t nowMs) const {
  const double length = static_cast<double>(s.endMs - s.startMs);
  const double f = length > 0 ? Clamp((nowMs - s.startMs) / length, 0, 1) : 0;
  const double e = f * f * (3 - 2 * f);  // eases in and out: a hand starts and stops gently
  const double a = 1 - e;
  const ScreenPoint first = {
      a * a * a * s.path[0].x + 3 * a * a * e * s.path[1].x + 3 * a * e * e * s.path[2].x + e * e * e * s.path[3].x,
      a * a * a * s.path[0].y + 3 * a * a * e * s.path[1].y + 3 * a * e * e * s.path[2].y + e * e * e * s.path[3].y};
  const double pressure = Clamp(s.pressure + 0.15 * std::sin(std::numbers::pi * f), 0, 1);
  std::vector<Contact> contacts;
  for (int k = 0; k < s.fingers; ++k) {
    Contact c;
    c.id = k;
    c.pressure = pressure;
    if (k == 0) {
      c.point = ClampToScreen(first);
    } else {
      const double angle = s.spin + s.spinRate * (nowMs - s.startMs) / 1000.0 + 2 * std::numbers::pi * k / s.fingers;
      c.point = ClampToScreen({first.x + s.spread * std::cos(angle), first.y + s.spread * std::sin(angle)});
    }
    contacts.push_back(c);
  }
  return contacts;
}

std::vector<Contact> TouchSource::ScriptContacts(std::uint64_t nowMs) const {
  std::vector<Contact> contacts;
  for (int id = 0; id < maxContacts_; ++id) {
    const TouchEvent* last = nullptr;
    const TouchEvent* next = nullptr;
    for (const TouchEvent& e : script_) {
      if (e.contact != id) continue;
      if (e.timeMs <= nowMs) {
        last = &e;
      } else {
        next = &e;
        break;
      }
    }
    if (!last || !last->down) continue;
    Contact c;
    c.id = id;
    c.point = last->point;
    c.pressure = last->pressure;
    c.pen = last->pen;
    c.button = last->button;
    if (next && next->down) {
      const double f = static_cast<double>(nowMs - last->timeMs) / static_cast<double>(next->timeMs - last->timeMs);
      c.point = {last->point.x + f * (next->point.x - last->point.x),
                 last->point.y + f * (next->point.y - last->point.y)};
      c.pressure = last->pressure + f * (next->pressure - last->pressure);
    }
    c.point = ClampToScreen(c.point);
    contacts.push_back(c);
  }
  return contacts;
}

std::vector<Contact> TouchSource::At(std::uint64_t nowMs) const {
  switch (kind_) {
    case Kind::kNone:
      return {};
    case Kind::kPlaced: {
      std::vector<Contact> contacts;
      for (const auto& [id, p] : placed_) {
        if (p.sinceMs <= nowMs && nowMs < p.untilMs) contacts.push_back(p.contact);
      }
      return contacts;
    }
    case Kind::kScript:
      return ScriptContacts(nowMs);
    case Kind::kRandomStroke:
      PlanUntil(nowMs);
      for (const Stroke& s : plan_) {
        if (s.startMs <= nowMs && nowMs < s.endMs) return StrokeContacts(s, nowMs);
      }
      return {};
  }
  return {};
}

std::uint64_t TouchSource::NextTouchMs(std::uint64_t fromMs) const {
  switch (kind_) {
    case Kind::kNone:
      return kNever;
    case Kind::kPlaced: {
      std::uint64_t next = kNever;
      for (const auto& [id, p] : placed_) {
        const std::uint64_t t = std::max(fromMs, p.sinceMs);
        if (t < p.untilMs) next = std::min(next, t);
      }
      return next;
    }
    case Kind::kScript: {
      if (!ScriptContacts(fromMs).empty()) return fromMs;
      for (const TouchEvent& e : script_) {
        if (e.timeMs > fromMs && e.down && e.contact >= 0 && e.contact < maxContacts_) return e.timeMs;
      }
      return kNever;
    }
    case Kind::kRandomStroke:
      PlanUntil(fromMs);
      for (const Stroke& s : plan_) {
        if (s.startMs <= fromMs && fromMs < s.endMs) return fromMs;
        if (s.startMs > fromMs) return s.startMs;
      }
      return nextStartMs_;
  }
  return kNever;
}

}  // namespace kx7::emu
