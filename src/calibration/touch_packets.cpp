#include "calibration/touch_packets.h"

#include "draw/draw_geometry.h"

namespace kx7 {

namespace {

using draw::Word;  // the records' 16-bit values, low byte first

constexpr std::size_t kStatusAt = 2;
constexpr std::size_t kXAt = 3;
constexpr std::size_t kYAt = 5;
constexpr std::size_t kRawXAt = 7;
constexpr std::size_t kRawYAt = 9;

std::uint8_t Status(const std::uint8_t* record) { return static_cast<std::uint8_t>((record[kStatusAt] & 0xC0) | 0x80); }

}  // namespace

std::optional<TouchPacket> PacketAssembler::Feed(std::uint8_t byte) {
  if (byte & 0x80) {
    packet_[0] = byte;
    position_ = 1;
    return std::nullopt;
  }
  if (position_ == 0) return std::nullopt;
  packet_[position_++] = byte;
  if (position_ < packet_.size()) return std::nullopt;
  position_ = 0;
  return packet_;
}

std::optional<RawTouch> RawPacketReader::Feed(std::uint8_t byte) {
  const std::optional<TouchPacket> packet = packets_.Feed(byte);
  if (!packet) return std::nullopt;
  const TouchPacket& p = *packet;
  RawTouch touch;
  touch.touching = (p[0] & 0x40) != 0;
  touch.x = (p[2] * 16 + (p[1] >> 3) - 1024) & 0x7FF;
  touch.y = (p[4] * 16 + (p[3] >> 3) - 1024) & 0x7FF;
  return touch;
}

std::optional<TouchPacket> RawPacketFromRecord(const std::uint8_t* record, std::size_t length) {
  if (record == nullptr || length < kRawYAt + 2) return std::nullopt;
  const int x = Word(record, kRawXAt), y = Word(record, kRawYAt);
  return TouchPacket{Status(record), static_cast<std::uint8_t>(x & 0x78),
                     static_cast<std::uint8_t>(((x - 8192) >> 7) & 0x7F), static_cast<std::uint8_t>(y & 0x78),
                     static_cast<std::uint8_t>(((y - 8192) >> 7) & 0x7F)};
}

std::optional<TouchPacket> TabletPacketFromRecord(const std::uint8_t* record, std::size_t length) {
  if (record == nullptr || length < kYAt + 2) return std::nullopt;
  const int x = Word(record, kXAt) >> 2, y = Word(record, kYAt) >> 2;
  return TouchPacket{Status(record), static_cast<std::uint8_t>(x & 0x7F), static_cast<std::uint8_t>((x >> 7) & 0x7F),
                     static_cast<std::uint8_t>(y & 0x7F), static_cast<std::uint8_t>((y >> 7) & 0x7F)};
}

}  // namespace kx7
