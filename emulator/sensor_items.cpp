#include "sensor_items.h"

#include <charconv>
#include <cmath>
#include <set>
#include <vector>

namespace kx7::emu {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : text) {
    if (c == separator) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

std::optional<double> Number(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// "A:B" as two numbers.
bool Pair(const std::string& text, double& a, double& b) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() != 2) return false;
  const auto first = Number(parts[0]), second = Number(parts[1]);
  if (!first || !second) return false;
  a = *first;
  b = *second;
  return true;
}

constexpr double kMostWarp = 0.2;
constexpr double kMostGain = 100;
constexpr double kMostOffset = 100000;

}  // namespace

SensorConfig GivenSensorDefaults() {
  SensorConfig config;
  config.clock = 3;
  config.gainX = 0.8;
  config.gainY = 0.75;
  config.offsetX = 200;
  config.offsetY = 230;
  config.warp = 0.03;
  config.noiseSigma = 0;
  config.seed = 1;
  config.nonlinearity = 0;
  config.wholeCounts = true;
  return config;
}

std::optional<SensorConfig> ParseSensorItems(const std::string& items, std::string& problem) {
  SensorConfig config = GivenSensorDefaults();
  std::set<std::string> seen;
  for (const std::string& item : Split(items, ',')) {
    if (item.empty() && items.empty()) break;
    const std::size_t equals = item.find('=');
    const std::string key = item.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
    if (equals == std::string::npos || !seen.insert(key).second) {
      problem = equals == std::string::npos ? "\"" + item + "\" is not KEY=VALUE" : key + " is given twice";
      return std::nullopt;
    }
    bool ok = false;
    if (key == "clock") {
      const auto clock = Number(value);
      ok = clock && (*clock == 3 || *clock == 6 || *clock == 9 || *clock == 12);
      if (ok) config.clock = static_cast<int>(*clock);
    } else if (key == "gain") {
      ok = Pair(value, config.gainX, config.gainY) && config.gainX > 0 && config.gainY > 0 &&
           config.gainX <= kMostGain && config.gainY <= kMostGain;
    } else if (key == "offset") {
      ok = Pair(value, config.offsetX, config.offsetY) && std::abs(config.offsetX) <= kMostOffset &&
           std::abs(config.offsetY) <= kMostOffset;
    } else if (key == "warp") {
      const auto warp = Number(value);
      ok = warp && std::abs(*warp) <= kMostWarp;
      if (ok) config.warp = *warp;
    } else if (key == "noise") {
      const auto noise = Number(value);
      ok = noise && *noise >= 0 && *noise <= 2047;
      if (ok) config.noiseSigma = *noise;
    } else if (key == "seed") {
      std::uint32_t seed = 0;
      const char* end = value.data() + value.size();
      const auto [at, error] = std::from_chars(value.data(), end, seed);
      ok = !value.empty() && error == std::errc() && at == end;
      if (ok) config.seed = seed;
    } else {
      problem = "no sensor item \"" + key + "\" (there are clock, gain, offset, warp, noise, seed)";
      return std::nullopt;
    }
    if (!ok) {
      problem = key + "=" + value + " does not fit";
      return std::nullopt;
    }
  }
  return config;
}

}  // namespace kx7::emu
