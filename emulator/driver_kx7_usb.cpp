#include "driver_kx7_usb.h"

#include <utility>

#include "link/driver/driver_constants.h"

namespace kx7::emu {

Kx7UsbDevice::Kx7UsbDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
                           std::shared_ptr<BirchUsbController> controller)
    : Kx7DriverDevice(std::move(list), number), controller_(std::move(controller)) {}

kx7::DriverResult Kx7UsbDevice::Read(std::size_t capacity, int) {
  std::lock_guard lock(mutex_);
  if (!answer_) return kx7::DriverResult::Ok();
  std::vector<std::uint8_t> bytes = std::move(*answer_);
  answer_.reset();
  if (bytes.size() > capacity) bytes.resize(capacity);
  return kx7::DriverResult::Ok(std::move(bytes));
}

kx7::DriverWriteResult Kx7UsbDevice::Write(std::span<const std::uint8_t> bytes) {
  const std::optional<UsbSetupRecord> setup = UsbSetupRecord::From(bytes);
  if (!setup) return kx7::DriverWriteResult::Failed(kx7::driver_error::kInvalidParameter);
  std::lock_guard lock(mutex_);
  answer_.reset();
  VendorResult result = controller_->Control(*setup, bytes.subspan(kx7::driver::kSetupSize));
  if (!result.success) return kx7::DriverWriteResult::Failed(result.error);
  if (setup->IsIn()) answer_ = std::move(result.answer);
  return kx7::DriverWriteResult::Ok(bytes.size());
}

void Kx7UsbDevice::HandleClosed(bool last) {
  if (!last) return;
  std::lock_guard lock(mutex_);
  answer_.reset();
}

}  // namespace kx7::emu
