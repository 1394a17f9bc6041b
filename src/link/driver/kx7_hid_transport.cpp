#include "link/driver/kx7_hid_transport.h"

#include "frame/frame_constants.h"

namespace kx7 {

bool Kx7HidTransport::Send(std::uint16_t kind, const HidReport& report) {
  if (closed_.load() || report.empty() || report.size() > 0xFFFF) return false;
  const driver::UsbSetup setup{hid_class::kRequestTypeOut, hid_class::kSetReport,
                               static_cast<std::uint16_t>(kind + report[0]), 0,
                               static_cast<std::uint16_t>(report.size())};
  const auto head = driver::EncodeSetup(setup);
  std::vector<std::uint8_t> bytes(head.begin(), head.end());
  bytes.insert(bytes.end(), report.begin(), report.end());
  // The driver link checks that the whole record (length + 8 bytes) went out.
  const DriverResult result = link_.UsbTransfer(bytes, 0);
  lastError_ = result.error;
  return result.success;
}

bool Kx7HidTransport::SetFeature(const HidReport& report) { return Send(hid_class::kFeatureReport, report); }

bool Kx7HidTransport::Write(const HidReport& report) { return Send(hid_class::kOutputReport, report); }

std::optional<HidReport> Kx7HidTransport::GetFeature(std::uint8_t reportId, std::size_t length) {
  if (closed_.load() || length == 0 || length > 0xFFFF) return std::nullopt;
  const auto head = driver::EncodeSetup({hid_class::kRequestTypeIn, hid_class::kGetReport,
                                         static_cast<std::uint16_t>(hid_class::kFeatureReport + reportId), 0,
                                         static_cast<std::uint16_t>(length)});
  const DriverResult result = link_.UsbTransfer(head, length);
  lastError_ = result.error;
  // A fetch must bring the whole report; a short one is no report.
  if (!result.success) return std::nullopt;
  if (result.ByteCount() < length) {
    lastError_ = driver_error::kGeneralFailure;
    return std::nullopt;
  }
  return HidReport(result.bytes.begin(), result.bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

std::optional<HidReport> Kx7HidTransport::Read(int) {
  if (!IsOpen()) return std::nullopt;
  return HidReport{};
}

void Kx7HidTransport::Close() {
  if (closed_.exchange(true)) return;
  link_.Close(link::kKxHid);
}

}  // namespace kx7
