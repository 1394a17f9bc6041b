// How a link thread hands what it received to the main frame: it waits until the frame has taken
// the previous block (the buffer-free event, in slices so that a stop is seen), drops the block
// while the frame discards input, copies it into the controller's receive buffer and posts. Bytes
// go as message 0x8000 (the frame reads the count from the buffer); a packet (a structured report
// of a USB link) as message 0x8010 with its length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/serial/serial_port_host.h"
#include "platform/event.h"

namespace kx7 {

enum class Delivery { kDelivered, kDropped, kStopped };
enum class DeliveryKind { kBytes, kPacket };

// The wait for the frame, in slices.
inline constexpr std::uint32_t kBufferFreeSliceMs = 1000;

// Blocks until delivered, dropped or `stop` is set. More than the buffer holds is cut to it.
Delivery DeliverToFrame(SerialPortHost& host, const std::uint8_t* bytes, std::size_t count, DeliveryKind kind,
                        Event& stop);
// The same without waiting: kStopped when the frame has not taken the last block yet. For pollers
// that run on the user-interface thread (virtual-time tests), where waiting would never end.
Delivery TryDeliverToFrame(SerialPortHost& host, const std::uint8_t* bytes, std::size_t count, DeliveryKind kind);

}  // namespace kx7
