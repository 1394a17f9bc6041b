// The USB ids of the controller families: {type, vendor, product, 8, pattern}, in table order,
// ended by an entry of type 0. An entry whose pattern is "VID_%04X" matches every product of the
// vendor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

struct UsbDeviceEntry {
  std::uint32_t type;
  std::uint16_t vendor;
  std::uint16_t product;
  std::uint32_t value;  // always 8
  std::string pattern;  // "VID_0596&PID_0400" or "VID_2965"
  bool anyProduct() const { return pattern.size() == 8; }
};

// The table, ended by the {0, ...} entry.
const std::vector<UsbDeviceEntry>& UsbDeviceTable();

// The first entry that matches the ids, or nullptr.
const UsbDeviceEntry* FindUsbDevice(std::uint16_t vendor, std::uint16_t product);

// Maple is a HID family without a type id of its own in the table's first column.
inline constexpr std::uint32_t kTypeMaple = 32880;

}  // namespace kx7
