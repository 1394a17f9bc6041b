#include "driver_kx7_device.h"

#include <utility>
#include <vector>

#include "driver_byte_order.h"
#include "driver_emulation_constants.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {
namespace {

namespace de = driver_emulation;
namespace dc = kx7::driver;
using kx7::DriverResult;
namespace err = kx7::driver_error;

}  // namespace

Kx7DriverDevice::Kx7DriverDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number)
    : list_(list ? std::move(list) : std::make_shared<const Kx7ControllerList>()), number_(number) {}

bool Kx7DriverDevice::Taken() const {
  std::lock_guard lock(mutex_);
  return taken_;
}

bool Kx7DriverDevice::OnOpen() {
  std::lock_guard lock(mutex_);
  handles_.Opened();
  return true;
}

void Kx7DriverDevice::OnClose() {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    last = handles_.Closed();
    if (last) taken_ = false;
  }
  HandleClosed(last);
}

void Kx7DriverDevice::OnRemoved() { Removed(); }

kx7::DriverResult Kx7DriverDevice::Request(std::uint32_t code, std::span<const std::uint8_t> input,
                                          std::size_t outputCapacity) {
  switch (code) {
    case dc::kListControllers:
      if (input.size() < 4) return DriverResult::Failed(err::kInvalidParameter);
      if (outputCapacity < dc::kListRecordSize) return DriverResult::Failed(err::kInsufficientBuffer);
      return DriverResult::Ok(list_->ListRecord());
    case dc::kControllerRecord:
    case dc::kPortRecord:
      return RecordRequest(code, input, outputCapacity);
    case dc::kTakeDevice:
      return TakeRequest(input, outputCapacity);
    default:
      return ControllerRequest(code, input, outputCapacity);
  }
}

kx7::DriverResult Kx7DriverDevice::RecordRequest(std::uint32_t code, std::span<const std::uint8_t> input,
                                                std::size_t outputCapacity) const {
  if (input.size() < 4 || LittleLong(input, 0) != number_) return DriverResult::Failed(err::kInvalidParameter);
  if (outputCapacity < dc::kKx7RecordSize) return DriverResult::Failed(err::kInsufficientBuffer);
  std::optional<std::vector<std::uint8_t>> record =
      code == dc::kControllerRecord ? list_->ControllerRecord(number_) : list_->PortRecord(number_);
  if (!record) return DriverResult::Failed(err::kGeneralFailure);
  return DriverResult::Ok(std::move(*record));
}

kx7::DriverResult Kx7DriverDevice::TakeRequest(std::span<const std::uint8_t> input, std::size_t outputCapacity) {
  if (input.size() < 4) return DriverResult::Failed(err::kInvalidParameter);
  const std::uint32_t flag = LittleLong(input, 0);
  if (flag != dc::kTakeDeviceOn && flag != dc::kTakeDeviceOff) return DriverResult::Failed(err::kInvalidParameter);
  if (outputCapacity < dc::kTakeDeviceSize) return DriverResult::Failed(err::kInsufficientBuffer);
  const Kx7ListedController* controller = list_->Find(number_);
  if (flag == dc::kTakeDeviceOn && (controller == nullptr || controller->heldElsewhere))
    return DriverResult::Failed(err::kGeneralFailure);
  std::lock_guard lock(mutex_);
  taken_ = flag == dc::kTakeDeviceOn;
  return DriverResult::Ok(LittleLongBytes(flag));
}

kx7::DriverResult Kx7DriverDevice::ControllerRequest(std::uint32_t, std::span<const std::uint8_t>, std::size_t) {
  return DriverResult::Failed(err::kInvalidFunction);
}

}  // namespace kx7::emu
