// The KX7 driver's list of the controllers it serves, and the records it answers about them.
//
// List record (0x1A6008, 260 bytes): 16-bit words; the second is twice the number of
// controllers, one controller number follows for each. Controller record (0x1A6020) and port
// record (0x1A6024), 268 bytes each: bytes 0..1 and 2..3 are the byte offsets of two UTF-16LE
// zero-ended strings (type name and ID text; port name and the extra text the pick list shows in
// brackets), placed one after the other behind the header, the rest zero. A controller that
// another program holds has a blank port name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx7::emu {

struct Kx7ListedController {
  std::uint16_t number = 1;
  std::string typeName;  // "USB_Birch2", "Serial_Cedar", "Birch2_HID", ...
  std::string idText;
  std::string portName;   // "COM3", "USB"
  std::string extraText;  // shown in brackets after the port
  bool heldElsewhere = false;
};

// The 268-byte record of two strings; nothing when they do not fit.
std::optional<std::vector<std::uint8_t>> EncodeKx7DriverRecord(std::string_view first, std::string_view second);

class Kx7ControllerList {
 public:
  // False (nothing added) for a number already listed, number 0, or a full list.
  bool Add(Kx7ListedController controller);

  const std::vector<Kx7ListedController>& Controllers() const { return controllers_; }
  const Kx7ListedController* Find(std::uint16_t number) const;

  std::vector<std::uint8_t> ListRecord() const;
  std::optional<std::vector<std::uint8_t>> ControllerRecord(std::uint16_t number) const;
  std::optional<std::vector<std::uint8_t>> PortRecord(std::uint16_t number) const;

 private:
  std::vector<Kx7ListedController> controllers_;
};

}  // namespace kx7::emu
