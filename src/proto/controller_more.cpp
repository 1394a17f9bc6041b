#include "proto/controller_more.h"

#include <array>
#include <cstdio>

#include "controller/controller_types.h"
#include "frame/main_frame.h"
#include "link/driver/driver_constants.h"
#include "link/hid/hid_constants.h"
#include "proto/controller_info_window.h"
#include "proto/memory_exchange.h"
#include "proto/proto_constants.h"
#include "proto/usb_links.h"

namespace kx7 {

namespace {

// Where the Larch USB extended status keeps its error bits.
constexpr std::size_t kLarchLowErrors = 5;   // bits 1 to 7: errors 1 to 7
constexpr std::size_t kLarchHighErrors = 3;  // bits 0 to 7: errors 8 to 15
constexpr int kLarchHighFirstNumber = 8;

std::string Number(int n) {
  char text[16];
  std::snprintf(text, sizeof text, text::kErrorBitNumber, n);
  return text;
}

}  // namespace

std::optional<std::string> LarchErrorBitsText(std::span<const std::uint8_t> status) {
  if (status.size() <= kLarchLowErrors) return std::nullopt;
  std::string text;
  for (int bit = 1; bit <= 7; ++bit)
    if (status[kLarchLowErrors] & (1u << bit)) text += Number(bit);
  for (int bit = 0; bit <= 7; ++bit)
    if (status[kLarchHighErrors] & (1u << bit)) text += Number(kLarchHighFirstNumber + bit);
  return text;
}

std::optional<std::string> BirchStatusWordsText(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < memory::kStatusWordsBytes) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, text::kBirchStatusWords, bytes[1], bytes[3], bytes[7], bytes[9]);
  return std::string(text);
}

std::optional<std::vector<std::uint8_t>> ReadLarchExtendedStatus(CMainFrame& frame, UsbLinks* usb) {
  if (usb == nullptr) return std::nullopt;
  if (IsUsbDriverLink(frame.LinkKind) || frame.LinkKind == link::kKxHid) {
    DriverResult result = usb->Driver().Request(driver::kGetMStatus, {}, driver::kMStatusRecordSize);
    if (!result.success) return std::nullopt;
    return std::move(result.bytes);
  }
  if (frame.LinkKind == link::kHid) {
    std::optional<HidReport> status = usb->Hid().HidGetFeature(hid::answer::kStatus, hid::kStatusLength);
    if (!status) return std::nullopt;
    return std::move(*status);
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadBirchStatusWords(MemoryExchange& memory) {
  std::vector<std::uint8_t> bytes(memory::kStatusWordsBytes, 0);
  if (memory.CurrentRoute() != MemoryExchange::Route::kCommandSet) {
    if (!memory.ReadMemory(memory::kRamMemory, memory::kStatusWordsAddress, bytes.size(), bytes.data()))
      return std::nullopt;
    return bytes;
  }
  std::array<std::uint16_t, memory::kStatusWordsBytes / 2> words{};
  if (!memory.ReadMemoryWords(memory::kRamMemory, memory::kStatusWordsAddress, words.size(), words.data()))
    return std::nullopt;
  for (std::size_t i = 0; i < words.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(words[i] >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(words[i] & 0xFF);
  }
  return bytes;
}

void RunControllerMore(CMainFrame& frame, ControllerInfoWindow& info, MemoryExchange& memory, UsbLinks* usb) {
  std::optional<std::string> text;
  if (frame.ControllerType == type::kLarchUsb) {
    if (const auto status = ReadLarchExtendedStatus(frame, usb)) text = LarchErrorBitsText(*status);
  } else if ((frame.ControllerFeatures & feature::kBirchFamily) != 0) {
    if (const auto bytes = ReadBirchStatusWords(memory)) text = BirchStatusWordsText(*bytes);
  }
  if (text) info.SetLine(ControllerInfoWindow::kErrors, *text);
}

}  // namespace kx7
