// The HID reader turns whatever a device answers into bytes or a packet for the frame: any report
// of any length, for any controller type and mode, must convert without reading past it, and the
// result must have the size its kind allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>

#include "controller/controller_types.h"
#include "link/hid/hid_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  static constexpr std::uint32_t kTypes[] = {
      kx7::type::kResistive4WireUsb, kx7::type::kResistive5WireUsb, kx7::type::kRowanUsbGen2,
      kx7::type::kRowanUsbGen3,      kx7::type::kBirch2Hid,         kx7::type::kLarchUsb0500,
      kx7::type::kMaple,             kx7::type::kLarchUsb,          kx7::type::kRowanGen4,
      kx7::type::kGeneric};
  static constexpr std::uint32_t kFeatures[] = {0,
                                                kx7::feature::kLarchSensor1,
                                                kx7::feature::kLarchSensor2,
                                                kx7::feature::kLarchSensor0,
                                                kx7::feature::kLarchSensor3,
                                                kx7::feature::kMultiContact};
  kx7::hid::ReaderState state;
  state.type = kTypes[data[0] % std::size(kTypes)];
  state.features = kFeatures[(data[0] / std::size(kTypes)) % std::size(kFeatures)];
  const std::uint8_t modes = data[1];
  state.passThrough = modes & 0x01;
  state.raw = modes & 0x02;
  state.birch2Stream = modes & 0x04;
  state.hexDump = modes & 0x08;
  state.kxHid = modes & 0x10;
  state.multiTouchMode = (modes & 0x20) ? 2 : 0;
  state.inputReportLength = 64;
  const std::span<const std::uint8_t> report(data + 2, size - 2);

  const kx7::hid::PollChoice choice = kx7::hid::ChoosePollReport(state);
  if (choice.length == 0 || choice.length > 64) std::abort();
  const kx7::hid::ReaderOutput out = kx7::hid::ConvertReport(state, report);
  if (out.bytes.empty()) return 0;
  if (out.kind == kx7::DeliveryKind::kPacket || state.hexDump) {
    if (out.bytes.size() != report.size()) std::abort();
  } else if (report[0] == kx7::hid::kPassThroughReport) {
    // Pass-through bytes, or the resistive raw text line.
    if (out.bytes.size() > 64 || (out.bytes.size() > kx7::hid::kPassThroughDataMax && out.bytes.back() != '\r'))
      std::abort();
  } else if (out.bytes.size() % kx7::hid::touch::kTabletPacketBytes != 0 && out.bytes.size() != 64) {
    std::abort();
  }
  return 0;
}
