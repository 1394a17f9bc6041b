#include "driver_kx7_hid.h"

#include <utility>

#include "birch_usb_controller.h"
#include "driver_emulation_constants.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {
namespace {

namespace de = driver_emulation;
namespace err = kx7::driver_error;

}  // namespace

Kx7HidDevice::Kx7HidDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number,
                           std::shared_ptr<kx7::SimulatedHidDevice> controller)
    : Kx7RequestDevice(std::move(list), number), controller_(std::move(controller)) {}

kx7::DriverWriteResult Kx7HidDevice::Write(std::span<const std::uint8_t> bytes) {
  const std::optional<UsbSetupRecord> setup = UsbSetupRecord::From(bytes);
  if (!setup) return kx7::DriverWriteResult::Failed(err::kInvalidParameter);
  const std::span<const std::uint8_t> data = bytes.subspan(kx7::driver::kSetupSize);
  const bool set = setup->requestType == de::kHidRequestTypeOut && setup->request == de::kHidSetReport;
  const bool get = setup->requestType == de::kHidRequestTypeIn && setup->request == de::kHidGetReport;
  if (!set && !get) return kx7::DriverWriteResult::Failed(err::kInvalidFunction);
  if ((setup->value & 0xFF00) != de::kHidFeatureReport || setup->index != 0 || setup->length == 0)
    return kx7::DriverWriteResult::Failed(err::kInvalidParameter);
  const auto reportId = static_cast<std::uint8_t>(setup->value & 0xFF);

  return Exchange(bytes.size(), get, [&] {
    if (set) {
      if (data.size() != setup->length || data[0] != reportId) return kx7::DriverResult::Failed(err::kInvalidParameter);
      if (!controller_ || !controller_->OnSetFeature(kx7::HidReport(data.begin(), data.end())))
        return kx7::DriverResult::Failed(err::kGeneralFailure);
      return kx7::DriverResult::Ok();
    }
    if (!data.empty()) return kx7::DriverResult::Failed(err::kInvalidParameter);
    std::optional<kx7::HidReport> report = controller_ ? controller_->OnGetFeature(reportId, setup->length)
                                                       : std::nullopt;
    if (!report || report->empty() || (*report)[0] != reportId) return kx7::DriverResult::Failed(err::kGeneralFailure);
    // A feature report always comes at its full length.
    report->resize(setup->length, 0);
    return kx7::DriverResult::Ok(std::move(*report));
  });
}

}  // namespace kx7::emu
