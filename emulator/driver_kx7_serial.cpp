#include "driver_kx7_serial.h"

#include <algorithm>
#include <utility>

#include "link/driver/driver_constants.h"

namespace kx7::emu {

Kx7SerialDevice::Kx7SerialDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
                                 std::unique_ptr<EmulatedDevice> controller, std::function<std::uint64_t()> clockMs,
                                 int maxWaitMs)
    : Kx7DriverDevice(std::move(list), number),
      endpoint_(std::move(controller), std::move(clockMs), 0),
      maxWaitMs_(std::max(maxWaitMs, 0)) {}

kx7::DriverResult Kx7SerialDevice::Read(std::size_t capacity, int timeoutMs) {
  if (capacity == 0) return kx7::DriverResult::Failed(kx7::driver_error::kInsufficientBuffer);
  return kx7::DriverResult::Ok(
      endpoint_.Take(std::min(capacity, kx7::driver::kMaxReadBytes), std::clamp(timeoutMs, 0, maxWaitMs_)));
}

kx7::DriverWriteResult Kx7SerialDevice::Write(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return kx7::DriverWriteResult::Ok(0);
  endpoint_.Send(bytes);
  return kx7::DriverWriteResult::Ok(bytes.size());
}

void Kx7SerialDevice::HandleClosed(bool) { endpoint_.Wake(); }

void Kx7SerialDevice::Removed() { endpoint_.Shutdown(); }

}  // namespace kx7::emu
