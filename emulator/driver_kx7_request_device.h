// A KX7 driver device whose file writes are requests and whose file reads give their answers: the
// Birch USB controller's vendor requests and the HID controllers' class requests. The answer of a
// request is what the next file read gives (cut to the room of that read); a read before an answer
// is ready gives nothing yet, a new request drops an answer that was never read, and so does the
// last handle's close. Requests reach the controller one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "driver_kx7_device.h"

namespace kx7::emu {

class Kx7RequestDevice : public Kx7DriverDevice {
 public:
  using Kx7DriverDevice::Kx7DriverDevice;

  kx7::DriverResult Read(std::size_t capacity, int timeoutMs) final;

 protected:
  // Drops an answer not read yet and runs `request` under the device's lock. Its failure fails
  // the write; on success the write counts `written` bytes and, when `answers`, the bytes it gives
  // are the next read's answer.
  kx7::DriverWriteResult Exchange(std::size_t written, bool answers, const std::function<kx7::DriverResult()>& request);

  void HandleClosed(bool last) override;

 private:
  std::mutex mutex_;
  std::optional<std::vector<std::uint8_t>> answer_;
};

}  // namespace kx7::emu
