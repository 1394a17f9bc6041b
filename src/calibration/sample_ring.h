// The sampling of one target: while the finger holds it every raw point goes into a ring; once the
// ring has been filled and one sample more has come the target has enough; at lift-off a window of
// the ring, starting a fixed number of samples after the oldest, is averaged without its largest and
// smallest value, or rejected when its spread is too wide. The rows of the three procedures
// (linearization, raw-mode calibration, 4-point calibration) differ by controller type.
#pragma once

#include <cstdint>
#include <vector>

#include "calibration/calibration_constants.h"

namespace kx7 {

enum class SampleSet { kLinearization, kRawCalibration, kQuad };

// The ring, skip and window of a procedure for a controller type.
cal::SamplingRow SamplingFor(SampleSet set, std::uint32_t controllerType);
// The prove's settle count for a controller type: the linearization window.
int ProveSettleFor(std::uint32_t controllerType);

class SampleRing {
 public:
  explicit SampleRing(cal::SamplingRow row);

  // One touching sample; true when this sample made the target's sampling enough.
  bool Add(int x, int y);
  bool Enough() const { return enough_; }
  long long Count() const { return count_; }
  void Reset();

  enum class Outcome { kShort, kNoisy, kOk };
  struct Average {
    Outcome outcome = Outcome::kShort;
    int x = 0;
    int y = 0;
  };
  // The average at lift-off; `rejectNoisy` turns a window whose X or Y spread exceeds 20 counts
  // away. The ring is emptied whatever the outcome.
  Average Lift(bool rejectNoisy);

  const cal::SamplingRow& Row() const { return row_; }

 private:
  cal::SamplingRow row_;
  std::vector<int> x_, y_;
  int index_ = 0;
  long long count_ = 0;
  bool enough_ = false;
};

}  // namespace kx7
