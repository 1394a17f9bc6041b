// The hardware ids of the USB devices present, in the form the device table's patterns match:
// "USB\VID_0596&PID_0001&REV_0100" (upper case), read from sysfs.
#pragma once

#include <string>
#include <vector>

namespace kx7 {

std::vector<std::string> ListUsbHardwareIds(const std::string& sysfsDevices = "/sys/bus/usb/devices");

}  // namespace kx7
