// The controller reader's per-pass bookkeeping of line errors and modem lines: which flags to
// raise, when to read the modem lines and which line-error notification to post. Pure, so that
// the cool-down and countdown can be checked without a UART that makes errors.
#pragma once

#include <cstdint>
#include <optional>

#include "link/serial/serial_constants.h"
#include "platform/window_messages.h"

namespace kx7 {

// The kernel's running error counters of a serial line.
struct LineErrorCounts {
  std::uint32_t framing = 0;
  std::uint32_t parity = 0;
  std::uint32_t overrun = 0;        // the UART's receive register
  std::uint32_t bufferOverrun = 0;  // the tty layer's receive buffer
  bool operator==(const LineErrorCounts&) const = default;
};

// The error bits (serial::kError*) of whatever counter moved from `before` to `after`. The
// counters are unsigned and wrap; any change counts.
std::uint32_t ErrorBitsBetween(const LineErrorCounts& before, const LineErrorCounts& after);

struct LineNotification {
  MessageId message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  bool operator==(const LineNotification&) const = default;
};

struct LinePassActions {
  bool framingError = false;  // set the frame's FE flag
  bool parityError = false;   // set the frame's PE flag
  // Either of the two: (re)start the frame's timer that clears PE and FE.
  bool RestartLineErrorTimer() const { return framingError || parityError; }
  bool readModemLines = false;
  std::optional<LineNotification> notification;
};

class LineErrorMonitor {
 public:
  // One reader pass that saw `errors` (serial::kError* bits) and `queued` bytes waiting.
  LinePassActions Pass(std::uint32_t errors, std::uint32_t queued);

  // How many passes without bytes may follow before one of them has something to do (read the
  // modem lines or clear the notification). An idle reader sleeps that long in one go.
  int IdlePassesUntilDue() const;
  // Counts `passes` passes without bytes and without errors that the reader slept through. Never
  // skips the pass that is due: that one is still made with Pass().
  void SkipIdlePasses(int passes);

  int CoolDown() const { return coolDown_; }
  int ModemCountdown() const { return modemCountdown_; }

 private:
  int coolDown_ = 0;
  int modemCountdown_ = serial::kModemPollCountdown;
};

}  // namespace kx7
