#include "controller/controller_families.h"

#include "controller/controller_types.h"

namespace kx7 {

bool IsRowanCedar(std::uint32_t type) { return IsSerialRowanCedar(type) || IsUsbRowanCedar(type); }

bool IsSerialRowanCedar(std::uint32_t type) {
  return type == type::kRowanGen2 || type == type::kRowanGen3 || type == type::kCedarGen4;
}

bool IsUsbRowanCedar(std::uint32_t type) {
  return type == type::kRowanUsbGen2 || type == type::kRowanUsbGen3 || type == type::kRowanGen4;
}

bool IsBirchUsbType(std::uint32_t type) { return type == type::kBirchUsb || type == type::kBirchUsbRom; }

bool IsDriverPassThroughBirchUsb(std::uint32_t type, std::uint32_t features) {
  return IsBirchUsbType(type) && (features & feature::kDriverPassThrough) != 0;
}

bool IsResistiveUsbType(std::uint32_t type) {
  return type == type::kResistive4WireUsb || type == type::kResistive5WireUsb;
}

bool IsLarchType(std::uint32_t type) { return type == type::kLarch || IsLarchUsbType(type); }

bool IsLarchUsbType(std::uint32_t type) { return type == type::kLarchUsb0500 || type == type::kLarchUsb; }

bool IsMapleOrLarchUsb(std::uint32_t type) { return type == type::kMaple || IsLarchUsbType(type); }

bool IsTouchInputType(std::uint32_t type) { return type >= type::kTouchInputFirst && type <= type::kTouchInputLast; }

bool IsHidType(std::uint32_t type) {
  return IsResistiveUsbType(type) || IsUsbRowanCedar(type) || IsMapleOrLarchUsb(type) || type == type::kBirch2Hid;
}

bool IsMultiTouchController(std::uint32_t type, std::uint32_t features) {
  return (features & (feature::kMultiContact | feature::kLarchMultitouch)) != 0 || IsLarchUsbType(type) ||
         IsTouchInputType(type);
}

}  // namespace kx7
