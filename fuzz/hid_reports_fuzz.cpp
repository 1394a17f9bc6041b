// Identity records and answers come from the devices: any bytes must parse or fail without harm,
// and the log of any report must show no more bytes than the report has.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/hid/hid_reports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the controller type; the rest is the record or report.
  static constexpr std::uint32_t kTypes[] = {
      kx7::type::kResistive4WireUsb, kx7::type::kRowanUsbGen3,   kx7::type::kBirch2Hid,
      kx7::type::kLarchUsb0500,      kx7::type::kMaple,          kx7::type::kLarchUsb,
      kx7::type::kRowanGen4,         kx7::type::kTouchInputFirst};
  const std::uint32_t type = kTypes[data[0] % std::size(kTypes)];
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);

  if (const auto record = kx7::hid::ParseControllerIdRecord(type, bytes)) {
    const std::size_t length = kx7::IsLarchUsbType(type) ? 24 : 16;
    if (bytes.size() < length || record->reportId != bytes[0] || record->flags != bytes[5]) std::abort();
    for (int block = 0; block <= 10; ++block) (void)kx7::hid::BlockStatusLetter(type, *record, block);
  } else if (bytes.size() >= (kx7::IsLarchUsbType(type) ? 24u : 16u)) {
    std::abort();
  }
  if (const auto identity = kx7::hid::ParseBirch2IdentityRecord(bytes)) {
    if (bytes.size() < 26 || identity->maxParamWrite != (bytes[9] << 8 | bytes[8])) std::abort();
  } else if (bytes.size() >= 26) {
    std::abort();
  }

  const std::size_t shown = kx7::hid::LoggedCommandBytes(type, bytes);
  if (shown > bytes.size()) std::abort();
  const std::string command = kx7::hid::CommandLogText(type, bytes);
  if (!command.empty() &&
      static_cast<std::size_t>(std::count(command.begin(), command.end(), '\r')) != 1 + (shown + 7) / 8) {
    std::abort();
  }
  if (kx7::hid::LoggedAnswerBytes(type, bytes) > bytes.size()) std::abort();
  const std::string fetched =
      kx7::hid::FetchLogText(type, bytes.empty() ? 0 : bytes[0], std::optional<kx7::hid::Bytes>(bytes));
  if (fetched.size() < 3 || fetched.substr(fetched.size() - 3) != "OK\r") std::abort();
  return 0;
}
