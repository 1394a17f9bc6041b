// The "Tach" window: a rate meter for the terminal's decoded pieces. It keeps the times of the
// last 1000 pieces and, at each one, shows the pieces per second over that ring and the piece's
// contact count. When the pieces stop, the shown rate halves every 200 ms until it reaches 0,
// the count clears and the ring starts again, so a stalled stream reads as falling, not frozen.
// The terminal posts msg::kTachCount (wParam: the piece's time in ms, lParam: its contact count)
// while the window is shown; "Reset" (wm::kCommand kResetButton) clears everything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ui_host.h"
#include "platform/window.h"

namespace kx7 {

class TachMeter : public Window {
 public:
  static constexpr std::size_t kRingSize = 1000;
  static constexpr std::uint32_t kIdleTimer = 1;
  static constexpr std::uint32_t kIdleMs = 200;
  static constexpr WParam kResetButton = 1;
  static constexpr const char* kTitle = "Tach";

  TachMeter(MessageLoop& loop, UiHost& ui);
  ~TachMeter() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "Tach"; }

  // Shows the window as a modeless dialog, starting from nothing when it was closed; brings it
  // to the front when it is open. False when the user interface could not show it.
  bool Open();
  void Close();
  bool Shown() const { return shown_; }

  // A decoded piece at `ms` with `contacts` contacts (0: the line has no count).
  void Piece(std::uint64_t ms, int contacts);
  void Reset();

  int Rate() const { return rate_; }
  int Contacts() const { return contacts_; }
  std::size_t PiecesInRing() const { return count_; }
  // "%d PPS", and the contact count ("" while there is none).
  std::string RateText() const;
  std::string ContactsText() const;

 private:
  void Idle();
  void Refresh();

  UiHost& ui_;
  std::array<std::uint64_t, kRingSize> times_{};
  std::size_t oldest_ = 0;
  std::size_t count_ = 0;
  int rate_ = 0;
  int contacts_ = 0;
  bool shown_ = false;
};

}  // namespace kx7
