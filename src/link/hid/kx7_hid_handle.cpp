#include "link/hid/kx7_hid_handle.h"

#include <limits>

namespace kx7 {

Kx7HidHandle::Kx7HidHandle(Transfer transfer) : transfer_(std::move(transfer)) {}

driver::UsbSetup Kx7HidHandle::FetchSetup(std::uint8_t reportId, std::size_t length) {
  return {kxhid::kGetReportType, kxhid::kGetReport, static_cast<std::uint16_t>(kxhid::kFeatureReportValue + reportId), 0,
          static_cast<std::uint16_t>(length)};
}

driver::UsbSetup Kx7HidHandle::SendSetup(std::uint8_t reportId, std::size_t length) {
  return {kxhid::kSetReportType, kxhid::kSetReport, static_cast<std::uint16_t>(kxhid::kFeatureReportValue + reportId), 0,
          static_cast<std::uint16_t>(length)};
}

void Kx7HidHandle::Fail(std::uint32_t error) {
  lastError_ = DriverErrorText(error);
  if (error == driver_error::kDeviceNotConnected || error == driver_error::kInvalidHandle ||
      error == driver_error::kFileNotFound)
    open_ = false;
}

bool Kx7HidHandle::SetFeature(const HidReport& report) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || !transfer_ || report.empty() || report.size() > std::numeric_limits<std::uint16_t>::max()) return false;
  const DriverResult result = transfer_(SendSetup(report[0], report.size()), report, 0);
  if (!result.success) Fail(result.error);
  return result.success;
}

std::optional<HidReport> Kx7HidHandle::GetFeature(std::uint8_t reportId, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || !transfer_ || length == 0 || length > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  const DriverResult result = transfer_(FetchSetup(reportId, length), {}, length);
  if (!result.success) {
    Fail(result.error);
    return std::nullopt;
  }
  // The driver must bring the whole report; a short one is not a report.
  if (result.bytes.size() < length) {
    lastError_ = DriverErrorText(driver_error::kGeneralFailure);
    return std::nullopt;
  }
  HidReport report(result.bytes.begin(), result.bytes.begin() + static_cast<std::ptrdiff_t>(length));
  report[0] = reportId;
  return report;
}

bool Kx7HidHandle::Write(const HidReport&) { return false; }

std::optional<HidReport> Kx7HidHandle::Read(int) { return std::nullopt; }

void Kx7HidHandle::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
  transfer_ = nullptr;
}

bool Kx7HidHandle::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

std::string Kx7HidHandle::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

}  // namespace kx7
