#include "hid_family.h"

#include <algorithm>
#include <tuple>

#include "link/hid/hid_constants.h"

namespace kx7::emu {

namespace {

constexpr std::size_t kBlock1 = 26;
constexpr std::size_t kBlock2 = 50;
constexpr std::size_t kBlock3Maple = 12;
constexpr std::size_t kBlock4Birch2 = 60;
constexpr std::size_t kBlock5 = 4;
constexpr std::size_t kBlock6 = 12;
constexpr std::size_t kBlock6Larch = 26;
constexpr std::size_t kBlock7 = 10;
constexpr std::size_t kBlock7Larch = 21;
constexpr std::size_t kBlock84 = 8;
constexpr std::size_t kOneByte = 1;
constexpr std::size_t kBlock99 = 2;
constexpr std::size_t kBlock101 = 64;
constexpr std::size_t kMultiContactReport = 64;
constexpr std::size_t kResistiveReport = 16;
constexpr std::size_t kCoordsReport = 16;

std::vector<std::pair<int, std::size_t>> CommonBlocks() {
  return {{1, kBlock1}, {2, kBlock2}, {5, kBlock5}, {6, kBlock6}, {7, kBlock7}, {9, kOneByte}, {10, kOneByte}};
}

std::vector<std::pair<int, std::size_t>> LarchBlocks() {
  return {{1, kBlock1},
          {2, kBlock2},
          {5, kBlock5},
          {6, kBlock6Larch},
          {7, kBlock7Larch},
          {8, hid::kBigBlockData},
          {9, kOneByte},
          {10, kOneByte},
          {81, hid::kBigBlockData},
          {82, hid::kBigBlockData},
          {83, hid::kBigBlockData},
          {84, kBlock84},
          {99, kBlock99},
          {101, kBlock101},
          {102, kBlock101}};
}

HidFamily Rowan(const std::string& name, HidFamilyKind kind, int typeId, std::uint16_t product, std::uint8_t major,
                std::uint8_t minor, const std::string& secondProcessor) {
  HidFamily f;
  f.name = name;
  f.kind = kind;
  f.typeId = typeId;
  f.product = product;
  f.release = static_cast<std::uint16_t>(major << 8 | minor);
  f.typeLetters[0] = 'O';
  f.typeLetters[1] = 'S';
  f.versionMajor = major;
  f.versionMinor = minor;
  f.partNumber = static_cast<std::uint16_t>(0x3000 + product);
  f.serialNumber = 0x00010000u + product;
  f.blocks = CommonBlocks();
  f.secondProcessor = secondProcessor;
  return f;
}

std::vector<HidFamily> BuildFamilies() {
  std::vector<HidFamily> all;
  {
    HidFamily f = Rowan("rowan-usb-gen2", HidFamilyKind::kRowanGen2, 32873, 0x0300, 2, 0x12, "cedar-gen2");
    f.productString = "KX7 Rowan USB GEN2";
    f.inputReportLength = hid::kCommandLength;
    all.push_back(f);
  }
  {
    // The gesture flag makes the host read the contact mode from status byte 7.
    HidFamily f = Rowan("rowan-usb-gen3", HidFamilyKind::kRowanGen3, 32876, 0x0300, 3, 0x10, "cedar-gen3");
    f.productString = "KX7 Rowan USB GEN3";
    f.flags = hid::id_flag::kGestureOrUefi;
    f.multiContactMode = true;
    f.maxContacts = 10;
    f.inputReportLength = kMultiContactReport;
    all.push_back(f);
  }
  {
    HidFamily f = Rowan("rowan-usb-gen4", HidFamilyKind::kRowanGen4, 32883, 0x0303, 4, 0x01, "cedar-gen4");
    f.productString = "KX7 Rowan USB GEN4";
    f.multiContactMode = true;
    f.maxContacts = 10;
    f.inputReportLength = kMultiContactReport;
    all.push_back(f);
  }
  for (const auto& [name, kind, typeId, product] : {std::tuple{"larch-usb", HidFamilyKind::kLarch, 32881, 0x0502},
                                                    std::tuple{"larch-usb-0500", HidFamilyKind::kLarch0500, 32878, 0x0500}}) {
    HidFamily f;
    f.name = name;
    f.kind = kind;
    f.typeId = typeId;
    f.product = static_cast<std::uint16_t>(product);
    f.release = 0x0305;
    f.productString = "KX7 Larch USB";
    f.typeLetters[0] = 'L';
    f.typeLetters[1] = 'U';
    f.versionMajor = 3;
    f.versionMinor = 5;
    f.partNumber = 0x5102;
    f.secondPartNumber = 0x5201;
    f.longIdRecord = true;
    f.modelCode = 1;
    f.sensorKind = 1;
    f.serialNumber = 0x00050000u + f.product;
    f.statusMode = 0x01;  // self-capacitance sensing
    f.maxContacts = LayoutContacts(LarchLayout(f.sensorKind));
    f.writeStatusPolled = true;
    f.blocks = LarchBlocks();
    f.inputReportLength = kMultiContactReport;
    f.featureReportLength = hid::kBigBlockLength;
    f.secondProcessor = "larch-mt";
    all.push_back(f);
  }
  {
    HidFamily f;
    f.name = "maple";
    f.kind = HidFamilyKind::kMaple;
    f.typeId = 32880;
    f.product = 0x0400;
    f.release = 0x0102;
    f.productString = "KX7 Maple 100";
    f.typeLetters[0] = 'M';
    f.typeLetters[1] = 'P';
    f.versionMajor = 1;
    f.versionMinor = 2;
    f.partNumber = 0x4100;
    f.serialNumber = 0x00040400u;
    f.writeStatusPolled = true;
    f.blocks = CommonBlocks();
    f.blocks.emplace_back(3, kBlock3Maple);
    f.inputReportLength = kCoordsReport;
    all.push_back(f);
  }
  {
    HidFamily f;
    f.name = "birch2-hid";
    f.kind = HidFamilyKind::kBirch2;
    f.typeId = 32874;
    f.product = 0x0003;
    f.release = 0x0210;
    f.productString = "KX7 Birch2 HID";
    f.typeLetters[0] = 'A';
    f.typeLetters[1] = '3';
    f.versionMajor = 2;
    f.versionMinor = 0x10;
    f.flags = hid::birch2_flag::kTwoTouch;
    f.partNumber = 0x2468;
    f.cdePartNumber = 0x12345678u;
    f.revC = true;
    f.serialNumber = 0x00020003u;
    f.maxContacts = 2;
    f.blocks = {{1, kBlock1}, {2, kBlock2}, {4, kBlock4Birch2}, {5, kBlock5}, {6, kBlock6}};
    f.inputReportLength = kCoordsReport;
    all.push_back(f);
  }
  for (const auto& [name, kind, typeId, product, digit] :
       {std::tuple{"resistive-usb-4wire", HidFamilyKind::kResistive4Wire, 32869, 0x0100, '4'},
        std::tuple{"resistive-usb-5wire", HidFamilyKind::kResistive5Wire, 32871, 0x0102, '5'}}) {
    HidFamily f;
    f.name = name;
    f.kind = kind;
    f.typeId = typeId;
    f.product = static_cast<std::uint16_t>(product);
    f.release = 0x0210;
    f.productString = digit == '4' ? "KX7 4-Wire Resistive USB" : "KX7 5-Wire Resistive USB";
    f.typeLetters[0] = 'Y';
    f.typeLetters[1] = digit;
    f.versionMajor = 2;
    f.versionMinor = 0x10;
    f.partNumber = static_cast<std::uint16_t>(0x1000 + product);
    f.serialNumber = 0x00010100u + f.product;
    f.maxContacts = 2;
    f.blocks = CommonBlocks();
    f.inputReportLength = kResistiveReport;
    f.secondProcessor = digit == '4' ? "resistive-4wire" : "resistive-5wire";
    all.push_back(f);
  }
  return all;
}

const std::vector<HidFamily>& Families() {
  static const std::vector<HidFamily> families = BuildFamilies();
  return families;
}

}  // namespace

const std::vector<std::string>& HidFamilyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const HidFamily& family : Families()) list.push_back(family.name);
    return list;
  }();
  return names;
}

const HidFamily* FindHidFamily(const std::string& name) {
  for (const HidFamily& family : Families())
    if (family.name == name) return &family;
  return nullptr;
}

bool HasSeveralCollections(std::uint16_t vendor, std::uint16_t product) {
  if (vendor == kHidLarchVendor) return true;
  if (vendor != kHidVendor) return false;
  return (product >= 0x0500 && product <= 0x05FF) || (product >= 0x0700 && product <= 0x07FF) || product == 0xC000;
}

HidTouchLayout LarchLayout(std::uint8_t sensorKind) {
  switch (sensorKind) {
    case 1:
      return HidTouchLayout::kMulti6x10;
    case 2:
      return HidTouchLayout::kMulti4x15;
    case 3:
      return HidTouchLayout::kMulti7x8;
    default:
      return HidTouchLayout::kMulti10x6;
  }
}

std::uint8_t LarchTouchReport(std::uint8_t sensorKind) {
  switch (sensorKind) {
    case 2:
      return 118;
    case 0:
      return 119;
    case 3:
      return 116;
    default:
      return 115;
  }
}

int LayoutContacts(HidTouchLayout layout) {
  switch (layout) {
    case HidTouchLayout::kTablet:
    case HidTouchLayout::kCoordsRecord:
      return 1;
    case HidTouchLayout::kResistive:
      return 2;
    case HidTouchLayout::kMulti10x6:
      return 10;
    case HidTouchLayout::kMulti6x10:
      return 6;
    case HidTouchLayout::kMulti7x8:
      return 7;
    case HidTouchLayout::kMulti4x15:
      return 4;
  }
  return 1;
}

}  // namespace kx7::emu
