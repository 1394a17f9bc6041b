// Which touches are on the screen at a given time: none, a script, a slow random stroke (the
// default, so that a newcomer sees live data at once), or touches placed and held by a caller (a
// robot, a test). The answer at a time depends only on the seed, the source, what was placed and
// the first time asked about (where the random strokes begin), not on how often it is asked.
// Times are asked about in order; strokes long past are forgotten.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "emulated_device.h"
#include "sensor_model.h"

namespace kx7::emu {

struct Contact {
  int id = 0;
  ScreenPoint point;
  double pressure = 0.5;  // 0..1
  bool pen = false;
  bool button = false;
};

// A scripted event. A contact is down from a down event until its next up event; between two down
// events of the same contact it moves in a straight line, so a stroke is a run of down events and
// one up event.
struct TouchEvent {
  std::uint64_t timeMs = 0;
  int contact = 0;
  bool down = true;
  ScreenPoint point;
  double pressure = 0.5;
  bool pen = false;
  bool button = false;
};

class TouchSource {
 public:
  enum class Kind { kNone, kRandomStroke, kScript, kPlaced };

  // Contacts are numbered 0 to maxContacts - 1; others are ignored.
  explicit TouchSource(int maxContacts = 1, std::uint32_t seed = 1);

  Kind Source() const { return kind_; }
  int MaxContacts() const { return maxContacts_; }

  void SetNone();
  // Strokes from `nowMs` on: a touch wanders smoothly for a few seconds, lifts, and starts again
  // elsewhere after a pause. With more than one contact, strokes alternate between one, two and
  // three fingers.
  void SetRandomStroke(std::uint64_t nowMs);
  void SetScript(std::vector<TouchEvent> events);
  // Holds a contact at a point (down) or lifts it, from `atMs` on (0: from whenever the source is
  // next asked, which is what a caller without a clock means); ends any other source.
  void Place(ScreenPoint point, bool down, int contact = 0, std::uint64_t atMs = 0);
  void PlaceContact(const Contact& contact, bool down, std::uint64_t atMs = 0);  // with pressure, pen, button
  // While the random stroke runs: instead of wandering, the "user" taps this point (about 0.8 s
  // down, 0.7 s up) until the target is cleared. Lets a controller-side calibration finish by itself.
  void SetAutoTarget(std::optional<ScreenPoint> target, std::uint64_t nowMs);
  const std::optional<ScreenPoint>& AutoTarget() const { return autoTarget_; }

  // The touching contacts at `nowMs`, by id.
  std::vector<Contact> At(std::uint64_t nowMs) const;
  // The first time from `fromMs` on at which a contact touches, or kNever.
  std::uint64_t NextTouchMs(std::uint64_t fromMs) const;

  static constexpr std::uint64_t kTapDownMs = 800;
  static constexpr std::uint64_t kTapUpMs = 700;

 private:
  struct Stroke {
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;
    int fingers = 1;
    ScreenPoint path[4];  // a cubic Bezier for the first finger
    double pressure = 0.5;
    double spread = 0;    // distance of the other fingers from the first
    double spin = 0;      // their starting angle, radians
    double spinRate = 0;  // radians per second
  };

  // The random plan grows lazily as later times are asked for; it is a cache of a pure function
  // of the seed and the targets set, hence mutable.
  void PlanUntil(std::uint64_t timeMs) const;
  void PlanNext() const;
  std::vector<Contact> StrokeContacts(const Stroke& stroke, std::uint64_t nowMs) const;
  std::vector<Contact> ScriptContacts(std::uint64_t nowMs) const;

  int maxContacts_;
  Kind kind_ = Kind::kRandomStroke;
  std::optional<ScreenPoint> autoTarget_;
  std::vector<TouchEvent> script_;
  struct Placed {
    Contact contact;
    std::uint64_t sinceMs = 0;
    std::uint64_t untilMs = kNever;
  };
  std::map<int, Placed> placed_;

  mutable std::mt19937 random_;
  mutable std::deque<Stroke> plan_;
  mutable std::uint64_t nextStartMs_ = 0;
  mutable bool originSet_ = false;
  mutable int strokeCount_ = 0;
};

}  // namespace kx7::emu
