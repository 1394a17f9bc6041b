#include "params/block1_frequencies.h"

#include <cmath>
#include <cstdio>

namespace kx7 {

namespace {

constexpr double kOscillatorHz = 96e6;
constexpr double kUsb1OscillatorHz = 48e6;
constexpr double kFirstHz = 40000;
constexpr double kStepHz = 500;
constexpr int kSpindleFirstKhz = 100;
constexpr int kSpindleStepKhz = 4;

std::vector<Hazel3Frequency> Build(double oscillator) {
  std::vector<Hazel3Frequency> table;
  for (std::size_t i = 0; i < kHazel3Frequencies; ++i) {
    const double hertz = kFirstHz + kStepHz * static_cast<double>(i);
    const auto count = static_cast<unsigned>(std::lround(oscillator / hertz));
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kHz", hertz / 1000);
    table.push_back(Hazel3Frequency{text, {static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count & 0xFF)}});
  }
  return table;
}

}  // namespace

const std::vector<Hazel3Frequency>& Hazel3FrequencyTable(bool usb1) {
  static const std::vector<Hazel3Frequency> hazel3 = Build(kOscillatorHz);
  static const std::vector<Hazel3Frequency> usb = Build(kUsb1OscillatorHz);
  return usb1 ? usb : hazel3;
}

std::optional<std::size_t> FindHazel3Frequency(bool usb1, FrequencyPair pair) {
  const std::vector<Hazel3Frequency>& table = Hazel3FrequencyTable(usb1);
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].pair == pair) return i;
  return std::nullopt;
}

const std::vector<std::string>& SpindleFrequencyItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < kSpindleFrequencies; ++i)
      list.push_back(std::to_string(kSpindleFirstKhz + kSpindleStepKhz * static_cast<int>(i)) + " kHz");
    return list;
  }();
  return items;
}

}  // namespace kx7
