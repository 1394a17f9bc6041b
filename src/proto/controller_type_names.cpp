#include "proto/controller_type_names.h"

#include "frame/command_ids.h"

namespace kx7 {
namespace {

struct TypeName {
  std::uint32_t id;
  const char* name;
};

// Two ids share "Larch USB": the first Larch USB product and its successors differ in how they are
// opened, not in what the operator is told.
constexpr TypeName kTypeNames[] = {
    {cmd::kTypeHazel3x, "Hazel3x"},
    {cmd::kTypeGeneric, "Generic"},
    {cmd::kTypeBirchRom, "Birch ROM"},
    {cmd::kTypeJuniper, "Juniper"},
    {cmd::kTypeHawthorn, "Hawthorn"},
    {cmd::kTypeBirch, "Birch"},
    {cmd::kTypeHazel2D, "Hazel2D"},
    {cmd::kTypeAspen4, "Aspen4"},
    {cmd::kTypeBirchPen, "Birch PEN"},
    {cmd::kTypeBirchUsb, "Birch USB"},
    {cmd::kTypeBirchUsbRom, "Birch USB ROM"},
    {cmd::kTypeUsb1, "USB1"},
    {cmd::kTypeResistive4WireSerial, "Serial 4Wire / 8Wire Resistive"},
    {cmd::kTypeResistive4WireUsb, "4Wire / 8Wire Resistive USB"},
    {cmd::kTypeResistive5WireSerial, "Serial 5W Resistive"},
    {cmd::kTypeResistive5WireUsb, "5Wire Resistive USB"},
    {cmd::kTypeRowanGen2, "Rowan GEN2"},
    {cmd::kTypeRowanUsbGen2, "Rowan-USB GEN2"},
    {cmd::kTypeBirch2Hid, "Birch2 HID"},
    {cmd::kTypeRowanGen3, "Rowan GEN3"},
    {cmd::kTypeRowanUsbGen3, "Rowan-USB GEN3"},
    {cmd::kTypeLarchUsb0500, "Larch USB"},
    {cmd::kTypeLarch, "Larch"},
    {cmd::kTypeMaple, "Maple"},
    {cmd::kTypeLarchUsb, "Larch USB"},
    {cmd::kTypeCedarGen4, "Cedar GEN4"},
    {cmd::kTypeRowanGen4, "Rowan GEN4"},
    {cmd::kTypeOtherPcap, "Other PCAP"},
};

// Larch model codes 4 and 1 of the controller-ID record.
constexpr std::uint32_t kFeatureModelSequoia = 0x80000;
constexpr std::uint32_t kFeatureModelSpruce = 0x4000;
constexpr std::uint32_t kFeaturePenCapable = 0x4;

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
  if (typeId == cmd::kTypeLarchUsb) {
    if (features & kFeatureModelSequoia) {
      text = "Sequoia";
    } else if (features & kFeatureModelSpruce) {
      text = "Spruce";
    }
  }
  if (features & kFeaturePenCapable) {
    switch (penMode) {
      case cmd::kPenModeAuto:
        text += " Auto";
        break;
      case cmd::kPenModeFinger:
        text += " Finger";
        break;
      case cmd::kPenModePen:
        text += " Pen";
        break;
      default:
        break;
    }
  }
  return text;
}

}  // namespace kx7
