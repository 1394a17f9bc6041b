#include "driver_rivetware_device.h"

namespace kx7::emu {

kx7::DriverResult RivetwareDriverDevice::Read(std::size_t, int) {
  return kx7::DriverResult::Failed(kx7::driver_error::kInvalidFunction);
}

kx7::DriverWriteResult RivetwareDriverDevice::Write(std::span<const std::uint8_t>) {
  return kx7::DriverWriteResult::Failed(kx7::driver_error::kInvalidFunction);
}

}  // namespace kx7::emu
