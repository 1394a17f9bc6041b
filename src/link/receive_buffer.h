// One port's receive buffer: a link thread fills it only while the buffer-free event is set, resets
// the event, stores the count and posts; the frame copies the bytes out and sets the event again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/event.h"

namespace kx7 {

inline constexpr std::size_t kReceiveBufferSize = 4096;

struct ReceiveBuffer {
  std::array<std::uint8_t, kReceiveBufferSize> bytes{};
  std::atomic<std::uint32_t> count{0};
  Event bufferFree{true};
};

// The frame's flags shared with the link threads: single words, written by one side and read by
// the other.
struct LinkFlags {
  std::atomic<std::int32_t> discardInput{0};
  std::atomic<std::int32_t> stopFanOut{0};
  std::atomic<std::int32_t> received{0};
  std::atomic<std::int32_t> parityError{0};
  std::atomic<std::int32_t> framingError{0};
  std::atomic<std::int32_t> cts{0};
  std::atomic<std::int32_t> dsr{0};
};

}  // namespace kx7
