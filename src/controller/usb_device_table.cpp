#include "controller/usb_device_table.h"

#include <cstdio>

#include "controller/controller_types.h"

namespace kx7 {
namespace {

std::string Pattern(std::uint16_t vendor, int product) {
  char text[32];
  if (product < 0)
    std::snprintf(text, sizeof text, "VID_%04X", vendor);
  else
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", vendor, static_cast<unsigned>(product));
  return text;
}

std::vector<UsbDeviceEntry> Build() {
  std::vector<UsbDeviceEntry> table;
  auto add = [&](std::uint32_t type, std::uint16_t vendor, int product) {
    table.push_back({type, vendor, static_cast<std::uint16_t>(product < 0 ? 0 : product), 8, Pattern(vendor, product)});
  };
  add(type::kMaple, kVendorKx, 0x0400);
  add(type::kResistive4WireUsb, kVendorKx, 0x0100);
  add(type::kResistive5WireUsb, kVendorKx, 0x0102);
  add(type::kRowanUsbGen2, kVendorKx, 0x0300);
  add(type::kRowanGen4, kVendorKx, 0x0303);
  add(type::kBirchUsb, kVendorKx, 0x0001);
  add(type::kBirchUsbRom, kVendorKx, 0x0002);
  add(type::kBirch2Hid, kVendorKx, 0x0003);
  add(type::kLarchUsb0500, kVendorKx, 0x0500);
  for (int product = 0x0502; product <= 0x05FF; ++product) add(type::kLarchUsb, kVendorKx, product);
  for (int product = 0x0700; product <= 0x07FF; ++product) add(type::kLarchUsb, kVendorKx, product);
  for (int product : {0x1000, 0x1002, 0x1005, 0x1006, 0x100B, 0x100C, 0x100D})
    add(type::kLarchUsb, kVendorLarch, product);
  add(type::kTouchInput2965, 0x2965, -1);
  add(type::kOtherPcap, 0x0EEF, -1);
  add(type::kTouchInput0457, 0x0457, -1);
  add(type::kTouchInput04E7, 0x04E7, -1);
  add(type::kTouchInput2512, 0x2512, -1);
  add(type::kLarchUsb, kVendorKx, 0xC000);
  table.push_back({0, 0, 0, 0, std::string()});
  return table;
}

}  // namespace

const std::vector<UsbDeviceEntry>& UsbDeviceTable() {
  static const std::vector<UsbDeviceEntry> table = Build();
  return table;
}

const UsbDeviceEntry* FindUsbDevice(std::uint16_t vendor, std::uint16_t product) {
  for (const UsbDeviceEntry& entry : UsbDeviceTable()) {
    if (entry.type == 0) break;
    if (entry.vendor == vendor && (entry.anyProduct() || entry.product == product)) return &entry;
  }
  return nullptr;
}

}  // namespace kx7
