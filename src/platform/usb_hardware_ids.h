// The hardware ids of the USB devices present, in the form the device table's patterns match:
// "USB\VID_0596&PID_0001&REV_0100" (upper case), read from sysfs.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kx7 {

std::vector<std::string> ListUsbHardwareIds(const std::string& sysfsDevices = "/sys/bus/usb/devices");

// The ids of the devices present as the program sees them: sysfs's, followed by those of the
// devices an emulator added to this process.
std::vector<std::string> PresentUsbHardwareIds();
// Emulated USB devices announce their ids here; an empty function takes them away again.
void SetEmulatedUsbHardwareIds(std::function<std::vector<std::string>()> source);

}  // namespace kx7
