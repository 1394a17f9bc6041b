// COM numbers for the serial devices of a Linux system, so that the Port menu, the settings and a
// production script can keep saying "COM33" while the device is /dev/ttyUSB0.
//
// The automatic numbers depend only on the device's kernel name, so a device keeps its number
// across runs and replugging (as long as the kernel gives it the same name):
//
//   /dev/ttyS0   .. /dev/ttyS31     COM1   .. COM32    on-board and PCI UARTs
//   /dev/ttyUSB0 .. /dev/ttyUSB63   COM33  .. COM96    USB serial converters
//   /dev/ttyACM0 .. /dev/ttyACM63   COM97  .. COM160   USB CDC-ACM devices
//   /dev/rfcomm0 .. /dev/rfcomm63   COM161 .. COM224   Bluetooth serial links (marked Bluetooth)
//   COM225 .. COM256                never given automatically: free for overrides (pseudo-terminals
//                                   of an emulator, symlinks under /dev/serial/by-id, ...)
//
// Everything stays within 1..256, the numbers the link commands reach. Devices with higher kernel
// numbers get no automatic COM number; an override can still name them.
//
// A ttyS is listed only when it has a UART behind it: the kernel creates ttyS nodes for every
// possible legacy port, and /sys/class/tty/ttySn/type is 0 for the empty ones. When the type file
// is missing, a driver link under /sys/class/tty/ttySn/device/driver counts instead.
//
// Overrides ("COMn=PATH", from `--port` and from KX7_PORTS="COM3=/dev/pts/4,COM5=/dev/ttyUSB0")
// win over the automatic numbers: an overridden number shows the override's device, and a device
// named by an override (directly or through a symlink) is not listed again under its automatic
// number. Override numbers may go up to 511 (kept for the scanner's numbering), though only 1..256
// reach the link commands; higher numbers are ignored.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

struct PortEntry {
  int number = 0;
  std::string path;
  bool bluetooth = false;
  bool operator==(const PortEntry&) const = default;
};

class PortDirectory {
 public:
  static constexpr int kHighestOverrideNumber = 511;
  static constexpr int kHighestLinkNumber = 256;

  // "COMn=PATH", COM in any case, n decimal digits only, PATH not empty. Later overrides of the
  // same number replace earlier ones. On a rejected or ignored text returns false and, when
  // `error` is given, tells why in a line the caller can print.
  bool AddOverride(const std::string& text, std::string* error = nullptr);

  // A comma-separated list of overrides (the KX7_PORTS variable; null or empty adds nothing).
  // Returns one message for each rejected entry.
  std::vector<std::string> AddOverridesFromEnvironment(const char* value);

  // Finds the serial devices under `devRoot`, checking UARTs under `sysRoot`; replaces the result
  // of an earlier scan (call it again after a device arrived or left).
  void Scan(const std::string& devRoot = "/dev", const std::string& sysRoot = "/sys");

  // Every port, overrides and automatic ones merged, in ascending number.
  std::vector<PortEntry> Ports() const;
  std::optional<std::string> PathOf(int number) const;

  // "Open Com%d", with " Bluetooth" appended for a Bluetooth link.
  static std::string MenuText(const PortEntry& entry);

  // The automatic entry for a device name under /dev ("ttyUSB0" -> COM33), when it has one.
  static std::optional<PortEntry> AutomaticEntry(const std::string& deviceName, const std::string& devRoot = "/dev");

 private:
  std::map<int, std::string> overrides_;
  std::vector<PortEntry> automatic_;
};

}  // namespace kx7
