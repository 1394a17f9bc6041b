// The five-byte packets the calibration windows read: the raw packet of raw reporting (11-bit raw
// coordinates, the controller's own orientation) and the tablet packet of the calibrated reports.
// Driver and HID records are turned into the same packets, so that one reader serves every link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kx7 {

using TouchPacket = std::array<std::uint8_t, 5>;

struct RawTouch {
  bool touching = false;
  int x = 0;  // 0..2047
  int y = 0;
};

// Assembles five-byte packets: a byte with bit 7 set starts one (bit 6 touching), the four bytes
// after it complete it; bytes outside a packet are passed over.
class PacketAssembler {
 public:
  std::optional<TouchPacket> Feed(std::uint8_t byte);
  void Reset() { position_ = 0; }

 private:
  TouchPacket packet_{};
  std::size_t position_ = 0;
};

// Reads raw packets: X = (b2 * 16 + (b1 >> 3) - 1024) & 0x7FF and Y likewise from b3, b4.
class RawPacketReader {
 public:
  std::optional<RawTouch> Feed(std::uint8_t byte);
  void Reset() { packets_.Reset(); }

 private:
  PacketAssembler packets_;
};

// A record's raw packet: the touching bits of byte 2 and the 14-bit raw X and Y at offsets 7 and 9;
// nothing for a record too short to hold them.
std::optional<TouchPacket> RawPacketFromRecord(const std::uint8_t* record, std::size_t length);
// A record's tablet packet: the touching bits of byte 2 and the 16-bit X and Y at offsets 3 and 5
// reduced to 14 bits.
std::optional<TouchPacket> TabletPacketFromRecord(const std::uint8_t* record, std::size_t length);

}  // namespace kx7
