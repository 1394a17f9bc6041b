#include "link/serial/line_error_monitor.h"

#include <algorithm>

namespace kx7 {

std::uint32_t ErrorBitsBetween(const LineErrorCounts& before, const LineErrorCounts& after) {
  std::uint32_t bits = 0;
  if (after.bufferOverrun != before.bufferOverrun) bits |= serial::kErrorOverflow;
  if (after.overrun != before.overrun) bits |= serial::kErrorOverrun;
  if (after.parity != before.parity) bits |= serial::kErrorParity;
  if (after.framing != before.framing) bits |= serial::kErrorFraming;
  return bits;
}

LinePassActions LineErrorMonitor::Pass(std::uint32_t errors, std::uint32_t queued) {
  LinePassActions actions;

  if (queued > 0) {
    modemCountdown_ = serial::kModemPollCountdown;
  } else if (modemCountdown_ > 0) {
    --modemCountdown_;
  } else {
    modemCountdown_ = serial::kModemPollCountdown;
    actions.readModemLines = true;
  }

  actions.framingError = (errors & serial::kErrorFraming) != 0;
  actions.parityError = (errors & serial::kErrorParity) != 0;

  // A notification starts the cool-down; the passes after it count it down, and the pass that
  // reaches 0 clears the text, so the clearing message comes exactly kNotificationCoolDownPasses
  // passes after the one that showed it. Errors during the cool-down are not shown again.
  const WParam bits = errors & serial::kErrorMask;
  const LParam waiting = static_cast<LParam>(queued);
  if (coolDown_ == 0) {
    if (errors & serial::kErrorOverrun) {
      actions.notification = LineNotification{serial::kOverrunMessage, bits, waiting};
      coolDown_ = serial::kNotificationCoolDownPasses;
    } else if (errors & serial::kErrorOverflow) {
      actions.notification = LineNotification{serial::kOverflowMessage, bits, waiting};
      coolDown_ = serial::kNotificationCoolDownPasses;
    }
  } else if (--coolDown_ == 0) {
    actions.notification = LineNotification{serial::kOverflowMessage, 0, 0};
  }
  return actions;
}

int LineErrorMonitor::IdlePassesUntilDue() const {
  // The modem lines are read on the pass after the countdown reached 0; the clearing message
  // comes on the pass that takes the cool-down to 0.
  int due = modemCountdown_ + 1;
  if (coolDown_ > 0) due = std::min(due, coolDown_);
  return due;
}

void LineErrorMonitor::SkipIdlePasses(int passes) {
  const int skipped = std::clamp(passes, 0, IdlePassesUntilDue() - 1);
  modemCountdown_ -= skipped;
  if (coolDown_ > 0) coolDown_ -= skipped;
}

}  // namespace kx7
