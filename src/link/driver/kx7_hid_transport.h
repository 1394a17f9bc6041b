// The reports of an HID controller reached through the KX7 driver (link 262): a feature fetch
// becomes the USB class request {0xA1, 1, 0x0300 + report id, 0, length} on the KX7 device and must
// bring the full length; a feature send {0x21, 9, 0x0300 + report id, 0, length} with the report;
// an output report {0x21, 9, 0x0200 + report id, 0, length}. The HID link takes this as the handle
// of its controller; the device itself is the driver link's (OpenKxHidDevice).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "link/driver/driver_link.h"
#include "platform/hid_device.h"

namespace kx7 {

// The class requests of HID reports.
namespace hid_class {
inline constexpr std::uint8_t kRequestTypeOut = 0x21;
inline constexpr std::uint8_t kRequestTypeIn = 0xA1;
inline constexpr std::uint8_t kGetReport = 1;
inline constexpr std::uint8_t kSetReport = 9;
inline constexpr std::uint16_t kOutputReport = 0x0200;
inline constexpr std::uint16_t kFeatureReport = 0x0300;
}  // namespace hid_class

class Kx7HidTransport : public HidHandle {
 public:
  // `link` must have the KX7 device open for link 262 and outlive the transport.
  explicit Kx7HidTransport(DriverLink& link) : link_(link) {}

  bool SetFeature(const HidReport& report) override;
  std::optional<HidReport> GetFeature(std::uint8_t reportId, std::size_t length) override;
  bool Write(const HidReport& report) override;
  // Input reports do not come through the KX7 device; the HID link polls feature reports. Always
  // "none came".
  std::optional<HidReport> Read(int timeoutMs) override;
  std::optional<std::string> ProductString() override { return std::nullopt; }
  std::optional<std::string> SerialString() override { return std::nullopt; }
  // Gives the KX7 device back (0x1AA030 with 0) and closes it. User-interface thread.
  void Close() override;
  bool IsOpen() const override { return !closed_.load() && link_.DeviceOpen(); }
  std::string LastError() const override { return DriverErrorText(lastError_.load()); }

 private:
  bool Send(std::uint16_t kind, const HidReport& report);

  DriverLink& link_;
  std::atomic<bool> closed_{false};
  std::atomic<std::uint32_t> lastError_{driver_error::kNone};
};

}  // namespace kx7
