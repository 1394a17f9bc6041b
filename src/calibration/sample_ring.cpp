#include "calibration/sample_ring.h"

#include <algorithm>

#include "controller/controller_families.h"
#include "controller/controller_types.h"

namespace kx7 {

cal::SamplingRow SamplingFor(SampleSet set, std::uint32_t t) {
  switch (set) {
    case SampleSet::kRawCalibration:
      return t == type::kJuniper ? cal::SamplingRow{2, 10, 14} : cal::SamplingRow{10, 20, 40};
    case SampleSet::kQuad:
      return t == type::kJuniper ? cal::SamplingRow{2, 20, 24} : cal::SamplingRow{40, 40, 120};
    case SampleSet::kLinearization:
      break;
  }
  if (t == type::kMaple) return {2, 10, 14};
  if (t == type::kJuniper) return {2, 20, 24};
  if (IsRowanCedar(t)) return {1, 3, 5};
  return {40, 40, 120};
}

int ProveSettleFor(std::uint32_t controllerType) {
  return SamplingFor(SampleSet::kLinearization, controllerType).window;
}

SampleRing::SampleRing(cal::SamplingRow row) : row_(row) {
  row_.ring = std::max(1, row_.ring);
  row_.window = std::clamp(row_.window, 3, row_.ring);
  row_.skip = std::max(0, row_.skip);
  x_.assign(static_cast<std::size_t>(row_.ring), 0);
  y_.assign(static_cast<std::size_t>(row_.ring), 0);
}

bool SampleRing::Add(int x, int y) {
  x_[static_cast<std::size_t>(index_)] = x;
  y_[static_cast<std::size_t>(index_)] = y;
  index_ = (index_ + 1) % row_.ring;
  if (count_ <= row_.ring) ++count_;  // only whether it passed the ring counts
  if (enough_ || count_ <= row_.ring) return false;
  enough_ = true;
  return true;
}

void SampleRing::Reset() {
  index_ = 0;
  count_ = 0;
  enough_ = false;
}

SampleRing::Average SampleRing::Lift(bool rejectNoisy) {
  Average average;
  if (!enough_) {
    Reset();
    return average;
  }
  long long sumX = 0, sumY = 0;
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int i = 0; i < row_.window; ++i) {
    const auto at = static_cast<std::size_t>((index_ + row_.skip + i) % row_.ring);
    const int x = x_[at], y = y_[at];
    if (i == 0 || x < minX) minX = x;
    if (i == 0 || x > maxX) maxX = x;
    if (i == 0 || y < minY) minY = y;
    if (i == 0 || y > maxY) maxY = y;
    sumX += x;
    sumY += y;
  }
  Reset();
  if (rejectNoisy && (maxX - minX > cal::kNoisySpread || maxY - minY > cal::kNoisySpread)) {
    average.outcome = Outcome::kNoisy;
    return average;
  }
  average.outcome = Outcome::kOk;
  average.x = static_cast<int>((sumX - maxX - minX) / (row_.window - 2));
  average.y = static_cast<int>((sumY - maxY - minY) / (row_.window - 2));
  return average;
}

}  // namespace kx7
