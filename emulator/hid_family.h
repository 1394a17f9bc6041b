// What one HID controller family is, as the host sees it over USB: its ids, its identity record,
// its blocks, the report its touches come in and the serial family of its second processor.
// `FindHidFamily` gives the factory defaults; `HidControllerOptions` (hid_controller.h) changes one
// emulated device without touching the family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx7::emu {

enum class HidFamilyKind {
  kRowanGen2,
  kRowanGen3,
  kRowanGen4,
  kLarch,      // products 0x0502 to 0x05FF, 0x0700 to 0x07FF, 0xC000, vendor 0x0914
  kLarch0500,  // product 0x0500
  kMaple,
  kBirch2,
  kResistive4Wire,
  kResistive5Wire,
};

// How a touch report lays out its contacts (see hid_touch_reports.h).
enum class HidTouchLayout {
  kTablet,        // one contact: status, 14-bit X and Y
  kResistive,     // up to two contacts, 12-bit (report 7) or 13-bit (report 8) coordinates
  kMulti10x6,     // 64 bytes: 10 records of 6 bytes, count in byte 61
  kMulti6x10,     // 6 records of 10 bytes, palm bit, count 61, scan time 62
  kMulti7x8,      // 7 records of 8 bytes, count 57, scan time 58
  kMulti4x15,     // 4 records of 15 bytes, valid when the status is non-zero, count 61, scan time 62
  kCoordsRecord,  // Maple and Birch2: the coordinate record (status, X, Y, uX, uY as 16-bit words)
};

inline constexpr std::uint16_t kHidVendor = 0x0596;
inline constexpr std::uint16_t kHidLarchVendor = 0x0914;

struct HidFamily {
  std::string name;  // "rowan-usb-gen2"
  HidFamilyKind kind = HidFamilyKind::kRowanGen2;
  int typeId = 0;  // the controller type the host's identification must arrive at
  std::uint16_t vendor = kHidVendor;
  std::uint16_t product = 0;
  std::uint16_t release = 0x0100;
  std::string productString;

  // Controller-ID record (report 4; report 129 on the Birch2 HID).
  char typeLetters[2] = {'0', '0'};
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t flags = 0;  // byte 5
  std::uint16_t partNumber = 0;
  std::uint16_t maxParamWrite = 64;
  char statusLetter = 'A';
  bool longIdRecord = false;  // the 24-byte Larch record
  std::uint8_t modelCode = 0;   // Larch: byte 19
  std::uint8_t sensorKind = 0;  // Larch: byte 20
  std::uint16_t secondPartNumber = 0;  // Larch: bytes 22..23
  std::uint32_t cdePartNumber = 0;     // Birch2: bytes 18..21
  bool revC = false;                   // Birch2: bytes 22 = 3 and 23 = 1
  std::uint32_t serialNumber = 0;      // block 5, little-endian

  // Status record byte 7 as the controller powers on (contact mode, Larch SELF/UEFI bits).
  std::uint8_t statusMode = 0;
  bool multiContactMode = false;  // Rowan GEN3/GEN4: starts in multi-contact mode (report 16)
  int maxContacts = 1;            // report 18
  bool writeStatusPolled = false;  // Maple and Larch: busy, then done, in status byte 2 after a write

  // Blocks by number with their lengths.
  std::vector<std::pair<int, std::size_t>> blocks;

  std::size_t inputReportLength = 8;
  std::size_t featureReportLength = 72;
  // The serial family ("cedar-gen3") answering behind the pass-through; empty: none.
  std::string secondProcessor;
};

// The names the HID factory knows, in order.
const std::vector<std::string>& HidFamilyNames();
// The defaults of a family; nullptr for an unknown name.
const HidFamily* FindHidFamily(const std::string& name);

// True for the products that show several collections, of which the host takes only the
// controller's.
bool HasSeveralCollections(std::uint16_t vendor, std::uint16_t product);

// The multi-contact layout of a Larch sensor kind (byte 20 of its record) and the report id the
// product 0x0502 family sends it in.
HidTouchLayout LarchLayout(std::uint8_t sensorKind);
std::uint8_t LarchTouchReport(std::uint8_t sensorKind);
// Contacts a Larch layout holds.
int LayoutContacts(HidTouchLayout layout);

}  // namespace kx7::emu
