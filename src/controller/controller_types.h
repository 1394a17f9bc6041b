// The controller's identity as every subsystem keeps it: the ControllerType ids, the PenMode ids and
// the ControllerFeatures bits. The type and pen mode ids are also the Type menu's command ids.
#pragma once

#include <cstdint>

namespace kx7 {

// Controller types (their names are in controller_type_names, their families in
// controller_families).
namespace type {
inline constexpr std::uint32_t kHazel3 = 32852;
inline constexpr std::uint32_t kGeneric = 32855;  // nothing identified
inline constexpr std::uint32_t kBirchRom = 32856;
inline constexpr std::uint32_t kJuniper = 32857;
inline constexpr std::uint32_t kHawthorn = 32858;  // OEM Linden and Poplar boards
inline constexpr std::uint32_t kBirch = 32861;
inline constexpr std::uint32_t kHazel2d = 32862;
inline constexpr std::uint32_t kAspen4 = 32863;
inline constexpr std::uint32_t kBirchPen = 32864;
inline constexpr std::uint32_t kBirchUsb = 32865;
inline constexpr std::uint32_t kBirchUsbRom = 32866;
inline constexpr std::uint32_t kUsb1 = 32867;
inline constexpr std::uint32_t kResistive4Wire = 32868;  // serial, 4-wire and 8-wire
inline constexpr std::uint32_t kResistive4WireUsb = 32869;
inline constexpr std::uint32_t kResistive5Wire = 32870;  // serial
inline constexpr std::uint32_t kResistive5WireUsb = 32871;
inline constexpr std::uint32_t kRowanGen2 = 32872;  // the serial Cedar GEN2
inline constexpr std::uint32_t kRowanUsbGen2 = 32873;
inline constexpr std::uint32_t kBirch2Hid = 32874;
inline constexpr std::uint32_t kRowanGen3 = 32875;  // the serial Cedar GEN3
inline constexpr std::uint32_t kRowanUsbGen3 = 32876;
inline constexpr std::uint32_t kLarchUsb0500 = 32878;  // USB product 0x0500
inline constexpr std::uint32_t kLarch = 32879;         // serial
inline constexpr std::uint32_t kMaple = 32880;
inline constexpr std::uint32_t kLarchUsb = 32881;  // the later Larch USB products
inline constexpr std::uint32_t kCedarGen4 = 32882;  // serial
inline constexpr std::uint32_t kRowanGen4 = 32883;
// The system's touch-input devices, one id for each USB vendor.
inline constexpr std::uint32_t kTouchInput2965 = 32884;
inline constexpr std::uint32_t kOtherPcap = 32885;  // vendor 0x0EEF
inline constexpr std::uint32_t kTouchInput0457 = 32886;
inline constexpr std::uint32_t kTouchInput04E7 = 32887;
inline constexpr std::uint32_t kTouchInput2512 = 32888;
inline constexpr std::uint32_t kTouchInputFirst = kTouchInput2965;
inline constexpr std::uint32_t kTouchInputLast = kTouchInput2512;
}  // namespace type

// PenMode values: how a pen-capable controller tells pen and finger apart.
inline constexpr std::uint32_t kPenAuto = 32853;
inline constexpr std::uint32_t kPenFinger = 32854;
inline constexpr std::uint32_t kPenPen = 32859;

// Feature bits of ControllerFeatures.
namespace feature {
inline constexpr std::uint32_t kQuince = 0x1;
inline constexpr std::uint32_t kApac = 0x2;
inline constexpr std::uint32_t kPen = 0x4;
inline constexpr std::uint32_t kResistive = 0x8;
inline constexpr std::uint32_t kBirchFamily = 0x10;
inline constexpr std::uint32_t kFourWire = 0x20;
inline constexpr std::uint32_t kRevC = 0x40;
inline constexpr std::uint32_t kHaptic = 0x100;
inline constexpr std::uint32_t kDriverPassThrough = 0x200;
inline constexpr std::uint32_t kHaptic2 = 0x400;
inline constexpr std::uint32_t kLarchMultitouch = 0x800;
inline constexpr std::uint32_t kMultiContact = 0x1000;
// The Larch USB sensor kind (byte 20 of the controller-ID record = 1, 2, 0, 3).
inline constexpr std::uint32_t kLarchSensor1 = 0x2000;
inline constexpr std::uint32_t kLarchSensor2 = 0x20000;
inline constexpr std::uint32_t kLarchSensor0 = 0x40000;
inline constexpr std::uint32_t kLarchSensor3 = 0x400000;
// The Larch USB model (byte 19 = 1, 2, 3, 4).
inline constexpr std::uint32_t kLarchModelSpruce = 0x4000;
inline constexpr std::uint32_t kLarchModel2 = 0x8000;
inline constexpr std::uint32_t kLarchModel3 = 0x10000;
inline constexpr std::uint32_t kLarchModelSequoia = 0x80000;
inline constexpr std::uint32_t kLarchUefi = 0x100000;
inline constexpr std::uint32_t kLarchPen = 0x200000;
}  // namespace feature

}  // namespace kx7
