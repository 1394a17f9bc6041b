#include "controller/controller_type_names.h"

#include "controller/controller_types.h"

namespace kx7 {
namespace {

struct TypeName {
  std::uint32_t id;
  const char* name;
};

// Two ids share "Larch USB": the first Larch USB product and its successors differ in how they are
// opened, not in what the operator is told.
constexpr TypeName kTypeNames[] = {
    {type::kHazel3, "Hazel3x"},
    {type::kGeneric, "Generic"},
    {type::kBirchRom, "Birch ROM"},
    {type::kJuniper, "Juniper"},
    {type::kHawthorn, "Hawthorn"},
    {type::kBirch, "Birch"},
    {type::kHazel2d, "Hazel2D"},
    {type::kAspen4, "Aspen4"},
    {type::kBirchPen, "Birch PEN"},
    {type::kBirchUsb, "Birch USB"},
    {type::kBirchUsbRom, "Birch USB ROM"},
    {type::kUsb1, "USB1"},
    {type::kResistive4Wire, "Serial 4Wire / 8Wire Resistive"},
    {type::kResistive4WireUsb, "4Wire / 8Wire Resistive USB"},
    {type::kResistive5Wire, "Serial 5W Resistive"},
    {type::kResistive5WireUsb, "5Wire Resistive USB"},
    {type::kRowanGen2, "Rowan GEN2"},
    {type::kRowanUsbGen2, "Rowan-USB GEN2"},
    {type::kBirch2Hid, "Birch2 HID"},
    {type::kRowanGen3, "Rowan GEN3"},
    {type::kRowanUsbGen3, "Rowan-USB GEN3"},
    {type::kLarchUsb0500, "Larch USB"},
    {type::kLarch, "Larch"},
    {type::kMaple, "Maple"},
    {type::kLarchUsb, "Larch USB"},
    {type::kCedarGen4, "Cedar GEN4"},
    {type::kRowanGen4, "Rowan GEN4"},
    {type::kOtherPcap, "Other PCAP"},
};

}  // namespace

const char* ControllerTypeName(std::uint32_t typeId) {
  for (const TypeName& entry : kTypeNames) {
    if (entry.id == typeId) return entry.name;
  }
  return "";
}

std::string ControllerTypeText(std::uint32_t typeId, std::uint32_t features, std::uint32_t penMode) {
  if (typeId == 0) return {};
  std::string text = ControllerTypeName(typeId);
  if (typeId == type::kLarchUsb) {
    if (features & feature::kLarchModelSequoia) {
      text = "Sequoia";
    } else if (features & feature::kLarchModelSpruce) {
      text = "Spruce";
    }
  }
  if (features & feature::kPen) {
    switch (penMode) {
      case kPenAuto:
        text += " Auto";
        break;
      case kPenFinger:
        text += " Finger";
        break;
      case kPenPen:
        text += " Pen";
        break;
      default:
        break;
    }
  }
  return text;
}

}  // namespace kx7
