#include "link/serial/port_settings_dialog.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "link/serial/serial_constants.h"

namespace kx7 {
namespace {

constexpr int kDefaultBaudIndex = 5;  // 9600

// The leading number of `text`, as far as it has digits; an unknown rate when it has none or
// when it is too long to be a rate.
int LeadingNumber(const std::string& text) {
  int value = 0;
  std::size_t digits = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    if (++digits > 9) return -1;
    value = value * 10 + (c - '0');
  }
  return digits == 0 ? -1 : value;
}

}  // namespace

PortSettingsDialogModel::PortSettingsDialogModel(const std::string& settingsIn, bool rtsIn, bool dtrIn,
                                                 std::function<void(const std::string&, bool, bool)> apply)
    : rts(rtsIn), dtr(dtrIn), apply_(std::move(apply)) {
  const std::string settings = settingsIn.empty() ? std::string(serial::kEmptySettings) : settingsIn;

  const int baud = LeadingNumber(settings);
  baudIndex = kDefaultBaudIndex;
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i] == baud) baudIndex = static_cast<int>(i);
  }

  const std::size_t comma = settings.find(',');
  if (comma == std::string::npos) return;
  const auto at = [&](std::size_t offset) -> char {
    const std::size_t pos = comma + offset;
    return pos < settings.size() ? settings[pos] : '\0';
  };

  // Mark and space have no button: both show as None, the closest the dialog can say of a parity
  // bit that checks nothing. OK then writes N, as the user sees it.
  switch (std::toupper(static_cast<unsigned char>(at(1)))) {
    case 'E':
      parity = Parity::kEven;
      break;
    case 'O':
      parity = Parity::kOdd;
      break;
    default:
      parity = Parity::kNone;
      break;
  }
  const char data = at(3);
  dataBits = (data == '7') ? 7 : 8;
  const char stop = at(5);
  stopBits = (stop == '2') ? 2 : 1;
}

std::string PortSettingsDialogModel::BuildSettings() const {
  const int index = (baudIndex >= 0 && baudIndex < static_cast<int>(kBaudRates.size())) ? baudIndex : kDefaultBaudIndex;
  char letter = 'N';
  if (parity == Parity::kOdd) letter = 'O';
  if (parity == Parity::kEven) letter = 'E';
  const int data = dataBits == 7 ? 7 : 8;
  const int stop = stopBits == 2 ? 2 : 1;
  char text[32];
  std::snprintf(text, sizeof text, "%d,%c,%d,%d", kBaudRates[static_cast<std::size_t>(index)], letter, data, stop);
  return text;
}

bool PortSettingsDialogModel::OnOk() {
  if (apply_) apply_(BuildSettings(), rts, dtr);
  return true;
}

}  // namespace kx7
