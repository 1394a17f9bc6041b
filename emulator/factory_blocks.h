// What the emulated controllers keep in their parameter blocks when they leave the factory: a
// Block1 with calibration extents, orientation, speed and the fields the family's pages show, a
// Block6 with the family's housekeeping values, the Larch Block7 with its row count and the row
// drive levels of Block8 for those rows, the event log and register dump of the Larch USB
// controllers, and the Birch2 parameter cells of memory 7. Block1's CommByte and check word are
// set by the controller from its line settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "family_profile.h"
#include "hid_family.h"

namespace kx7::emu {

// The rows the Larch and Cedar sensors drive (Block7 byte 6).
inline constexpr std::uint8_t kLarchRows = 24;
inline constexpr std::uint8_t kCedarRows = 32;

// A serial family's block `number` of `length` bytes (blocks 1, 2, 4, 6, 7 and 8; the others are
// the controller's own business and come back empty).
std::vector<std::uint8_t> SerialFactoryBlock(FamilyKind kind, int number, std::size_t length);

// A HID family's block (every block but 5, the serial number).
std::vector<std::uint8_t> HidFactoryBlock(const HidFamily& family, int number, std::size_t length);

// The Birch2 parameter cells of memory 7, by address: the thresholds, filters, frequencies,
// orientation, linearization and self-calibration defaults of the 474 table rows.
std::vector<std::pair<std::uint16_t, std::uint8_t>> Birch2ParameterCells();
// The same cells at the linear offsets of the USB driver and Birch2 HID routes (addresses 0x000
// to 0x0F1 as they are, 0x200 to 0x27D at 242, 0x300 to 0x363 at 368).
std::vector<std::pair<std::uint16_t, std::uint8_t>> Birch2LinearCells();

}  // namespace kx7::emu
