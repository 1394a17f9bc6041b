#include "driver_kx7_usb.h"

#include <optional>
#include <utility>

#include "link/driver/driver_constants.h"

namespace kx7::emu {

Kx7UsbDevice::Kx7UsbDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
                           std::shared_ptr<BirchUsbController> controller)
    : Kx7RequestDevice(std::move(list), number), controller_(std::move(controller)) {}

kx7::DriverWriteResult Kx7UsbDevice::Write(std::span<const std::uint8_t> bytes) {
  const std::optional<UsbSetupRecord> setup = UsbSetupRecord::From(bytes);
  if (!setup) return kx7::DriverWriteResult::Failed(kx7::driver_error::kInvalidParameter);
  return Exchange(bytes.size(), setup->IsIn(), [&] {
    VendorResult result = controller_->Control(*setup, bytes.subspan(kx7::driver::kSetupSize));
    if (!result.success) return kx7::DriverResult::Failed(result.error);
    return kx7::DriverResult::Ok(std::move(result.answer));
  });
}

}  // namespace kx7::emu
