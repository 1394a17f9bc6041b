#include "link/frame_delivery.h"

#include <algorithm>
#include <cstring>

#include "frame/frame_constants.h"
#include "frame/messages.h"

namespace kx7 {

namespace {

Delivery Hand(SerialPortHost& host, const std::uint8_t* bytes, std::size_t count, DeliveryKind kind) {
  ReceiveBuffer& buffer = host.Buffer(port::kController);
  if (host.Flags().discardInput.load() != 0) return Delivery::kDropped;
  const std::size_t n = std::min(count, buffer.bytes.size());
  std::memcpy(buffer.bytes.data(), bytes, n);
  buffer.count.store(static_cast<std::uint32_t>(n));
  buffer.bufferFree.Reset();
  if (kind == DeliveryKind::kPacket)
    host.PostToFrame(msg::kRecord, n, 0);
  else
    host.PostToFrame(msg::kPortData, 0, 0);
  return Delivery::kDelivered;
}

}  // namespace

Delivery DeliverToFrame(SerialPortHost& host, const std::uint8_t* bytes, std::size_t count, DeliveryKind kind,
                        Event& stop) {
  if (count == 0) return Delivery::kDropped;
  ReceiveBuffer& buffer = host.Buffer(port::kController);
  for (;;) {
    const int which = Event::WaitAny({&stop, &buffer.bufferFree}, kBufferFreeSliceMs);
    if (which == 0) return Delivery::kStopped;
    if (which == 1) break;
  }
  return Hand(host, bytes, count, kind);
}

Delivery TryDeliverToFrame(SerialPortHost& host, const std::uint8_t* bytes, std::size_t count, DeliveryKind kind) {
  if (count == 0) return Delivery::kDropped;
  if (!host.Buffer(port::kController).bufferFree.IsSet()) return Delivery::kStopped;
  return Hand(host, bytes, count, kind);
}

}  // namespace kx7
