// The windows that listen to the controller's bytes, one fixed slot each.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "frame/frame_constants.h"
#include "platform/window_messages.h"

namespace kx7 {

class ListenerTable {
 public:
  struct Slot {
    std::int32_t active = 0;
    WindowId window = kNoWindow;
  };

  void SetListener(int slot, WindowId window);
  void ClearListener(int slot);
  bool IsActive(int slot) const { return Valid(slot) && (activeMask_ >> slot & 1u) != 0; }
  // The first active slot after `slot` (-1: from the start), or -1 when there is none. Every
  // received byte walks the table this way.
  int NextActive(int slot) const {
    const std::uint32_t later = slot < 0 ? activeMask_ : activeMask_ & ~((std::uint32_t{2} << slot) - 1);
    return later == 0 ? -1 : std::countr_zero(later);
  }
  WindowId Listener(int slot) const;
  // The slot a window is registered in, or -1.
  int SlotOf(WindowId window) const;
  const Slot& operator[](int slot) const { return slots_[static_cast<std::size_t>(slot)]; }

 private:
  static bool Valid(int slot) { return slot >= 0 && slot < kListenerSlots; }
  std::array<Slot, kListenerSlots> slots_{};
  std::uint32_t activeMask_ = 0;  // bit n: slot n is active
};

}  // namespace kx7
