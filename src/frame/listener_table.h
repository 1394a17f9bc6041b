// The windows that listen to the controller's bytes, one fixed slot each.
#pragma once

#include <array>
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
  bool IsActive(int slot) const;
  WindowId Listener(int slot) const;
  // The slot a window is registered in, or -1.
  int SlotOf(WindowId window) const;
  const Slot& operator[](int slot) const { return slots_[static_cast<std::size_t>(slot)]; }

 private:
  static bool Valid(int slot) { return slot >= 0 && slot < kListenerSlots; }
  std::array<Slot, kListenerSlots> slots_{};
};

}  // namespace kx7
