// The touch reports of the HID controllers, byte by byte. Screen points (0..2047 on each axis, as
// the touch source gives them) are scaled to the range of each layout. All 16-bit fields are
// little-endian; byte 0 is the report id.
//
// kTablet (report 7 of the USB Rowan types outside multi-contact mode, 8 bytes):
//   [1] status: bit 1 a position follows, bit 0 touching (bit 1 without bit 0: the lift-off);
//   [2..3] X, [4..5] Y, 14 bits; [6] contact id.
// kResistive (reports 7 and 8 of the resistive types, 16 bytes): two records of 5 bytes from
//   byte 1: [0] status as above (bit 1: the record holds a contact), [1..2] X, [3..4] Y; report 7
//   carries 12-bit, report 8 13-bit coordinates.
// Multi-contact layouts (64 bytes): records from byte 1, each [0] status (bit 2 a valid record,
//   bits 0 and 1 tip and in range while touching; the 4x15 layout marks a valid record by a
//   non-zero status), [1] contact id, [2..3] X, Y at 4 (at 6 in the 4x15 layout), 12 bits; the
//   count of records in the report at byte 61 (57 in the 7x8 layout) and the 16-bit scan time
//   right after it.
// kCoordsRecord (Maple report 7, Birch2 report 1): [1] loop counter, [2] status (bit 7 always,
//   bit 6 touching), [3..4] X, [5..6] Y (16 bits), [7..8] uX, [9..10] uY (uncalibrated, 8192 at
//   the middle of the screen).
// A report without a touch (nothing touches, no lift-off due) has every byte after the id zero,
// except the coordinate record's status and loop counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hid_family.h"
#include "platform/hid_device.h"

namespace kx7::emu {

struct HidTouchPoint {
  int id = 0;
  double x = 0;  // screen units, 0..2047
  double y = 0;
  bool touching = true;  // false: this contact's lift-off report
};

// The report length of a layout (the multi-contact layouts are 64 bytes).
std::size_t TouchReportLength(HidTouchLayout layout);
// The largest coordinate value of a layout (report 8 of the resistive types has 13 bits).
std::uint32_t TouchCoordinateMax(HidTouchLayout layout, std::uint8_t reportId);
// A screen coordinate in the layout's units.
std::uint16_t ScaleCoordinate(double screen, HidTouchLayout layout, std::uint8_t reportId);

// The report; points beyond what the layout holds are left out. `length` longer than the layout's
// pads with zeros (a device whose input report is longer).
kx7::HidReport EncodeTouchReport(HidTouchLayout layout, std::uint8_t reportId, const std::vector<HidTouchPoint>& points,
                                 std::uint16_t scanTime = 0, std::uint8_t loopCounter = 0, std::size_t length = 0);

}  // namespace kx7::emu
