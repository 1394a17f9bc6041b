// A serial controller behind the KX7 driver (link 258): plain file reads give the controller's
// bytes, file writes send bytes to it. The KX7 driver talks at the controller's own speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "driver_kx7_device.h"
#include "driver_serial_endpoint.h"
#include "emulated_device.h"

namespace kx7::emu {

class Kx7SerialDevice : public Kx7DriverDevice {
 public:
  // `maxWaitMs` caps how long a read waits (in real time) for bytes, whatever time-out the caller
  // gives; 0 on a virtual clock.
  Kx7SerialDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
                  std::unique_ptr<EmulatedDevice> controller, std::function<std::uint64_t()> clockMs = {},
                  int maxWaitMs = 1000);

  kx7::DriverResult Read(std::size_t capacity, int timeoutMs) override;
  kx7::DriverWriteResult Write(std::span<const std::uint8_t> bytes) override;

  DriverSerialEndpoint& Endpoint() { return endpoint_; }

 protected:
  void HandleClosed(bool last) override;
  void Removed() override;

 private:
  DriverSerialEndpoint endpoint_;
  const int maxWaitMs_;
};

}  // namespace kx7::emu
