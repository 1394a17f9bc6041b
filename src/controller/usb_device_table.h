// The USB ids of the controller families: {type, vendor, product, 8, pattern}, in table order,
// ended by an entry of type 0. An entry whose pattern is "VID_%04X" matches every product of the
// vendor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

// The USB vendors of the controllers the HID link takes: the maker's, and the Larch products'.
inline constexpr std::uint16_t kVendorKx = 0x0596;
inline constexpr std::uint16_t kVendorLarch = 0x0914;

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

}  // namespace kx7
