// An HID controller reached through the KX7 driver (link 262): its feature reports travel as USB
// class requests on the KX7 device. A fetch is {0xA1, 1, 0x0300 + report id, 0, length} and must
// bring the whole report; a send is {0x21, 9, 0x0300 + report id, 0, length} followed by the
// report, and the driver must take all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "link/driver/driver_requests.h"
#include "platform/hid_device.h"

namespace kx7 {

namespace kxhid {
inline constexpr std::uint8_t kGetReportType = 0xA1;
inline constexpr std::uint8_t kGetReport = 1;
inline constexpr std::uint8_t kSetReportType = 0x21;
inline constexpr std::uint8_t kSetReport = 9;
inline constexpr std::uint16_t kFeatureReportValue = 0x0300;
}  // namespace kxhid

class Kx7HidHandle : public HidHandle {
 public:
  // `transfer` sends one setup record with its data on the KX7 device and returns the driver's
  // result (for a fetch the answer, at most `answerLength` bytes).
  using Transfer =
      std::function<DriverResult(const driver::UsbSetup& setup, std::span<const std::uint8_t> data, std::size_t answerLength)>;
  explicit Kx7HidHandle(Transfer transfer);

  bool SetFeature(const HidReport& report) override;
  std::optional<HidReport> GetFeature(std::uint8_t reportId, std::size_t length) override;
  bool Write(const HidReport& report) override;
  std::optional<HidReport> Read(int timeoutMs) override;
  std::optional<std::string> ProductString() override { return std::nullopt; }
  std::optional<std::string> SerialString() override { return std::nullopt; }
  void Close() override;
  bool IsOpen() const override;
  std::string LastError() const override;

  static driver::UsbSetup FetchSetup(std::uint8_t reportId, std::size_t length);
  static driver::UsbSetup SendSetup(std::uint8_t reportId, std::size_t length);

 private:
  void Fail(std::uint32_t error);

  mutable std::mutex mutex_;
  Transfer transfer_;
  bool open_ = true;
  std::string lastError_;
};

}  // namespace kx7
