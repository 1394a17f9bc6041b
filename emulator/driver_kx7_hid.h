// An HID controller behind the KX7 driver (link 262). The KX7 driver carries the controller's
// feature reports as USB class requests, written to the device file as an 8-byte setup record and
// the data:
//
//   {0x21, 9, 0x0300 + report id, 0, length} + the report (byte 0 the report id): the report goes
//     to the controller's OnSetFeature; the write counts length + 8 bytes;
//   {0xA1, 1, 0x0300 + report id, 0, length}: the controller's OnGetFeature answers, and the next
//     file read gives the report at its full length (zero-filled when the controller gave less).
//
// A write shorter than a setup record, data that is not `length` bytes (or a report whose byte 0
// is not the id of the setup), a request for another report type or with a length of 0 fails with
// kInvalidParameter; other request types with kInvalidFunction; a report the controller does not
// take or give with kGeneralFailure. The wrapped device is called for one request at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "driver_kx7_request_device.h"
#include "platform/hid_device.h"

namespace kx7::emu {

class Kx7HidDevice : public Kx7RequestDevice {
 public:
  Kx7HidDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
               std::shared_ptr<kx7::SimulatedHidDevice> controller);

  kx7::DriverWriteResult Write(std::span<const std::uint8_t> bytes) override;

 private:
  const std::shared_ptr<kx7::SimulatedHidDevice> controller_;
};

}  // namespace kx7::emu
