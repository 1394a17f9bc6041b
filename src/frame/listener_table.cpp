#include "frame/listener_table.h"

namespace kx7 {

void ListenerTable::SetListener(int slot, WindowId window) {
  if (!Valid(slot)) return;
  slots_[static_cast<std::size_t>(slot)] = Slot{1, window};
  activeMask_ |= std::uint32_t{1} << slot;
}

void ListenerTable::ClearListener(int slot) {
  if (!Valid(slot)) return;
  slots_[static_cast<std::size_t>(slot)] = Slot{};
  activeMask_ &= ~(std::uint32_t{1} << slot);
}


WindowId ListenerTable::Listener(int slot) const {
  return Valid(slot) ? slots_[static_cast<std::size_t>(slot)].window : kNoWindow;
}

int ListenerTable::SlotOf(WindowId window) const {
  for (int slot = 0; slot < kListenerSlots; ++slot)
    if (slots_[static_cast<std::size_t>(slot)].active && slots_[static_cast<std::size_t>(slot)].window == window)
      return slot;
  return -1;
}

}  // namespace kx7
