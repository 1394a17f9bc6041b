// A Birch USB controller behind the KX7 driver (link 261). Each file write is one USB vendor
// request: an 8-byte setup record {type, request, value, index, length} (16-bit fields least
// significant byte first) followed by exactly `length` bytes of OUT data, or by nothing for an IN
// request. The answer of an IN request is what the next file read gives (Kx7RequestDevice).
// Written counts are the whole write.
//
// A write shorter than a setup record, OUT data that is not `length` bytes, or data after an IN
// setup fails with kInvalidParameter; a request type other than vendor IN/OUT with
// kInvalidFunction; a request the controller refuses with kGeneralFailure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "birch_usb_controller.h"
#include "driver_kx7_request_device.h"

namespace kx7::emu {

class Kx7UsbDevice : public Kx7RequestDevice {
 public:
  Kx7UsbDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
               std::shared_ptr<BirchUsbController> controller);

  kx7::DriverWriteResult Write(std::span<const std::uint8_t> bytes) override;

  BirchUsbController& Controller() const { return *controller_; }

 private:
  const std::shared_ptr<BirchUsbController> controller_;
};

}  // namespace kx7::emu
