#include "driver_kx7_request_device.h"

#include <utility>

namespace kx7::emu {

kx7::DriverResult Kx7RequestDevice::Read(std::size_t capacity, int) {
  std::lock_guard lock(mutex_);
  if (!answer_) return kx7::DriverResult::Ok();
  std::vector<std::uint8_t> bytes = std::move(*answer_);
  answer_.reset();
  if (bytes.size() > capacity) bytes.resize(capacity);
  return kx7::DriverResult::Ok(std::move(bytes));
}

kx7::DriverWriteResult Kx7RequestDevice::Exchange(std::size_t written, bool answers,
                                                  const std::function<kx7::DriverResult()>& request) {
  std::lock_guard lock(mutex_);
  answer_.reset();
  kx7::DriverResult result = request();
  if (!result.success) return kx7::DriverWriteResult::Failed(result.error);
  if (answers) answer_ = std::move(result.bytes);
  return kx7::DriverWriteResult::Ok(written);
}

void Kx7RequestDevice::HandleClosed(bool last) {
  if (!last) return;
  std::lock_guard lock(mutex_);
  answer_.reset();
}

}  // namespace kx7::emu
