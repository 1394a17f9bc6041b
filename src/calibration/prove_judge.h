// The judgement of a prove, apart from its window: the tablet packets of the controller become
// touch-downs, moves and lifts; each move smooths the reported position, compares it with the
// ideal position of the target (by the orientation permutation of the clock taken at the first
// target) and marks the target pass or fail against the accuracy band; a touch must last the
// settle count or it is touched again. Three sets: the 16 targets of the linearization window, the
// four 12.5 % targets and the 25 targets of the DVT prove, ten touches each.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/touch_packets.h"
#include "platform/canvas.h"

namespace kx7 {

enum class ProveSet { k16, k4, k25 };

int ProveTargetCount(ProveSet set);
int ProveTouchesPerTarget(ProveSet set);
// Drawing (and robot) position of a display target, 1/2048 of the window from the top left.
std::array<int, 2> ProveTargetPosition(ProveSet set, int display);
// The ideal position of an ideal index in report coordinates.
std::array<int, 2> ProveIdealPosition(ProveSet set, int ideal);
// The ideal index the display target is judged against at a clock.
int ProvePermutation(ProveSet set, int clock, int display);

struct ProveSettings {
  ProveSet set = ProveSet::k16;
  int settle = 40;     // moves before a touch counts (0 for the four targets)
  double band = 1.5;   // percent of the screen
};

// One judged touch: the last judgement of its target (and touch).
struct ProvePoint {
  int display = 0;
  int touch = 0;  // 1..10 for the DVT, 1 otherwise
  int ideal = 0;
  int x = 0;
  int y = 0;
  double errorX = 0;
  double errorY = 0;
  bool pass = true;
};

class ProveJudge {
 public:
  explicit ProveJudge(const ProveSettings& settings);

  enum class Event {
    kNone,
    kTouchDown,
    kMove,          // judged; see CurrentColor and the beep
    kEarlyLift,     // the target must be touched again (failed, with a beep)
    kNextTarget,    // the touch counted (a beep); the next target (or touch) is current
    kFinished,      // the last touch counted (a beep); see Passed
  };

  // One byte of the controller's stream; an event when it completed a tablet packet.
  Event Feed(std::uint8_t byte);
  // A decoded tablet packet: X and Y as the 11-bit values the packet carries.
  Event Packet(bool touching, int x, int y);
  // Backspace: one target back (not below the first); the new current target passes again until
  // judged, and with `resetLeft` so does the one left.
  void StepBack(bool resetLeft);

  const ProveSettings& Settings() const { return settings_; }
  int Current() const { return current_; }
  int CurrentTouch() const { return touch_; }  // 0-based
  bool Finished() const { return finished_; }
  bool Touching() const { return touching_; }
  int Clock() const { return clock_; }
  // The colour a move left the current target in (yellow until the first judgement).
  Color CurrentColor() const { return color_; }
  // A move that brought the settle count to 0 sounds the beep; so does every lift.
  bool BeepedLast() const { return beeped_; }
  int TouchDowns() const { return touchDowns_; }
  int EarlyLifts() const { return earlyLifts_; }
  int Targets() const { return ProveTargetCount(settings_.set); }
  int SettleLeft() const { return settle_; }
  // Whether a target (DVT: any of its touches) has failed.
  bool TargetFailed(int display) const;
  bool Passed() const;
  // Smoothed position of the touch now, in report coordinates.
  std::optional<std::array<double, 2>> Smoothed() const;

  // Every judged target (DVT: every judged touch) in display order.
  std::vector<ProvePoint> Points() const;
  double MaxError() const;
  // The display indices that failed ([display, touch] for the DVT, touch 1..10).
  std::vector<std::array<int, 2>> Failed() const;
  // Measurements stored under the ideal index, ten per target for the DVT (0 where none came).
  const std::vector<std::array<std::array<int, 2>, 10>>& Stored() const { return stored_; }

 private:
  std::size_t Slot(int display, int touch) const;

  ProveSettings settings_;
  int clock_ = 3;
  int current_ = 0;
  int touch_ = 0;
  bool finished_ = false;
  bool touching_ = false;
  bool judged_ = false;
  int settle_ = 0;
  double xs_ = 0, ys_ = 0;
  Color color_;
  bool beeped_ = false;
  int touchDowns_ = 0;
  int earlyLifts_ = 0;
  // Per display target and touch.
  std::vector<bool> pass_;
  std::vector<std::optional<ProvePoint>> points_;
  std::vector<std::array<std::array<int, 2>, 10>> stored_;
  PacketAssembler packets_;
};

// The DVT data file: a header of ten "X%d,Y%d," items, then one line per ideal target with its ten
// stored measurements as "%-4d,%-4d,", then an empty line; CR LF line ends.
std::string DvtFileText(const ProveJudge& judge);

}  // namespace kx7
