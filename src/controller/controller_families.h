// The controller families: the groups of ControllerType ids that the subsystems treat alike.
#pragma once

#include <cstdint>

namespace kx7 {

// The Rowan and Cedar types, serial and USB.
bool IsRowanCedar(std::uint32_t type);
bool IsSerialRowanCedar(std::uint32_t type);
bool IsUsbRowanCedar(std::uint32_t type);
// The Birch USB controller, running its firmware or its ROM.
bool IsBirchUsbType(std::uint32_t type);
// A Birch USB controller whose driver passes the command set through to it (feature 0x200).
bool IsDriverPassThroughBirchUsb(std::uint32_t type, std::uint32_t features);
// The resistive USB controllers, 4-wire and 5-wire.
bool IsResistiveUsbType(std::uint32_t type);
// The Larch types, serial and USB.
bool IsLarchType(std::uint32_t type);
// The USB Larch types: the 24-byte controller-ID record, their own block lengths.
bool IsLarchUsbType(std::uint32_t type);
// Maple and the USB Larch types: a block write over HID ends in status polls, and a soft reset is
// waited for on the same USB ids.
bool IsMapleOrLarchUsb(std::uint32_t type);
// The system's touch-input devices.
bool IsTouchInputType(std::uint32_t type);
// The types the HID links carry (the touch-input devices aside).
bool IsHidType(std::uint32_t type);
// A multi-touch controller: one that numbers its contacts (features 0x1000 or 0x800), a USB Larch
// (its reports are the multi-contact ones) or a touch-input device of the system.
bool IsMultiTouchController(std::uint32_t type, std::uint32_t features);

}  // namespace kx7
