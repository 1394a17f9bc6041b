#include "display/tach_meter.h"

#include <cmath>

#include "frame/messages.h"

namespace kx7 {

TachMeter::TachMeter(MessageLoop& loop, UiHost& ui) : Window(loop), ui_(ui) {}

TachMeter::~TachMeter() {
  if (shown_) ui_.CloseWindow(*this);
}

LResult TachMeter::OnMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case msg::kTachCount:
      // A piece posted before the window closed is dropped: a reopened meter starts empty.
      if (shown_) Piece(static_cast<std::uint64_t>(wParam), static_cast<int>(lParam));
      return 0;
    case wm::kTimer:
      if (wParam == kIdleTimer) Idle();
      return 0;
    case wm::kCommand:
      if (wParam == kResetButton) Reset();
      return 0;
    case wm::kClose:
      Close();
      return 0;
    default:
      return 0;
  }
}

bool TachMeter::Open() {
  if (!shown_) {
    KillTimer(kIdleTimer);
    oldest_ = count_ = 0;
    rate_ = contacts_ = 0;
  }
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  placement.title = kTitle;
  placement.maximized = false;
  shown_ = ui_.OpenWindow(*this, placement);
  return shown_;
}

void TachMeter::Close() {
  KillTimer(kIdleTimer);
  if (!shown_) return;
  shown_ = false;
  ui_.CloseWindow(*this);
}

void TachMeter::Piece(std::uint64_t ms, int contacts) {
  if (count_ == kRingSize) {
    oldest_ = (oldest_ + 1) % kRingSize;
    --count_;
  }
  times_[(oldest_ + count_) % kRingSize] = ms;
  ++count_;
  const std::uint64_t first = times_[oldest_];
  // A single piece, or pieces within one millisecond, give no span to divide by: the rate shown
  // stays until the next piece gives one.
  if (ms > first)
    rate_ = static_cast<int>(std::lround(static_cast<double>(count_) * 1000.0 / static_cast<double>(ms - first)));
  if (contacts != 0) contacts_ = contacts;
  // The idle time counts from the last piece.
  SetTimer(kIdleTimer, kIdleMs);
  Refresh();
}

void TachMeter::Idle() {
  rate_ /= 2;  // the average of the last shown rate and 0
  contacts_ = 0;
  oldest_ = count_ = 0;
  // Once it shows 0 there is nothing left to fall; the next piece starts the timer again.
  if (rate_ == 0) KillTimer(kIdleTimer);
  Refresh();
}

void TachMeter::Reset() {
  KillTimer(kIdleTimer);
  oldest_ = count_ = 0;
  rate_ = contacts_ = 0;
  Refresh();
}

std::string TachMeter::RateText() const { return std::to_string(rate_) + " PPS"; }

std::string TachMeter::ContactsText() const { return contacts_ != 0 ? std::to_string(contacts_) : std::string(); }

void TachMeter::Refresh() {
  if (shown_) ui_.Invalidate(Id());
}

}  // namespace kx7
