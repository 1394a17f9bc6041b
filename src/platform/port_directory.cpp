#include "platform/port_directory.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>

namespace kx7 {
namespace {

namespace fs = std::filesystem;

struct DeviceFamily {
  std::string_view prefix;
  int firstNumber;
  int count;
  bool bluetooth;
  bool needsUart;
};

constexpr std::array<DeviceFamily, 4> kFamilies = {{
    {"ttyS", 1, 32, false, true},
    {"ttyUSB", 33, 64, false, false},
    {"ttyACM", 97, 64, false, false},
    {"rfcomm", 161, 64, true, false},
}};

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The kernel's index of a device name in a family; leading zeros are not the kernel's names.
std::optional<int> IndexIn(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  if (!AllDigits(digits) || digits.size() > 4 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

// The path with symlinks resolved where they exist, so that /dev/serial/by-id/... and the
// ttyUSB node it points to compare equal.
std::string Canonical(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(fs::path(path), error);
  return error ? path : canonical.string();
}

bool HasUart(const std::string& sysRoot, const std::string& name) {
  const fs::path classDir = fs::path(sysRoot) / "class" / "tty" / name;
  std::ifstream typeFile(classDir / "type");
  if (typeFile) {
    int type = 0;
    if (!(typeFile >> type)) return false;
    return type != 0;
  }
  std::error_code error;
  return fs::exists(classDir / "device" / "driver", error);
}

}  // namespace

bool PortDirectory::AddOverride(const std::string& textIn, std::string* error) {
  const std::string text = Trim(textIn);
  const auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return fail("Port override \"" + text + "\" is not COMn=PATH");
  const std::string name = Trim(std::string_view(text).substr(0, equals));
  const std::string path = Trim(std::string_view(text).substr(equals + 1));
  if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(name[2])) != 'M' || !AllDigits(std::string_view(name).substr(3))) {
    return fail("Port override \"" + text + "\": \"" + name + "\" is not COM followed by a number");
  }
  if (path.empty()) return fail("Port override \"" + text + "\" names no device");
  // Compare digit counts first so that a long run of digits cannot overflow.
  const std::string digits = name.substr(3);
  const std::size_t significant = digits.find_first_not_of('0');
  const std::string_view number = significant == std::string::npos ? "0" : std::string_view(digits).substr(significant);
  int value = 0;
  if (number.size() > 3) {
    value = kHighestOverrideNumber + 1;
  } else {
    for (char c : number) value = value * 10 + (c - '0');
  }
  if (value < 1) return fail("Port override \"" + text + "\": there is no COM0");
  if (value > kHighestOverrideNumber) {
    return fail("Port override \"" + text + "\" ignored: port numbers above " + std::to_string(kHighestOverrideNumber) +
                " are not used");
  }
  overrides_[value] = path;
  return true;
}

std::vector<std::string> PortDirectory::AddOverridesFromEnvironment(const char* value) {
  std::vector<std::string> errors;
  if (value == nullptr) return errors;
  const std::string_view text(value);
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find(',', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string entry = Trim(text.substr(begin, end - begin));
    if (!entry.empty()) {
      std::string error;
      if (!AddOverride(entry, &error)) errors.push_back(error);
    }
    begin = end + 1;
  }
  return errors;
}

std::optional<PortEntry> PortDirectory::AutomaticEntry(const std::string& deviceName, const std::string& devRoot) {
  for (const DeviceFamily& family : kFamilies) {
    const auto index = IndexIn(deviceName, family.prefix);
    if (!index || *index >= family.count) continue;
    return PortEntry{family.firstNumber + *index, (fs::path(devRoot) / deviceName).string(), family.bluetooth};
  }
  return std::nullopt;
}

void PortDirectory::Scan(const std::string& devRoot, const std::string& sysRoot) {
  automatic_.clear();
  std::error_code error;
  fs::directory_iterator it(devRoot, error);
  if (error) return;
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    auto entry = AutomaticEntry(name, devRoot);
    if (!entry) continue;
    if (IndexIn(name, "ttyS") && !HasUart(sysRoot, name)) continue;
    automatic_.push_back(*entry);
  }
  std::sort(automatic_.begin(), automatic_.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
}

std::vector<PortEntry> PortDirectory::Ports() const {
  std::vector<PortEntry> ports;
  std::set<std::string> overridden;
  for (const auto& [number, path] : overrides_) {
    const std::string canonical = Canonical(path);
    overridden.insert(canonical);
    const std::string leaf = fs::path(canonical).filename().string();
    ports.push_back(PortEntry{number, path, IndexIn(leaf, "rfcomm").has_value()});
  }
  for (const PortEntry& entry : automatic_) {
    if (overrides_.count(entry.number) != 0 || overridden.count(Canonical(entry.path)) != 0) continue;
    ports.push_back(entry);
  }
  std::sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  return ports;
}

std::optional<std::string> PortDirectory::PathOf(int number) const {
  for (const PortEntry& entry : Ports()) {
    if (entry.number == number) return entry.path;
  }
  return std::nullopt;
}

std::string PortDirectory::MenuText(const PortEntry& entry) {
  std::string text = "Open Com" + std::to_string(entry.number);
  if (entry.bluetooth) text += " Bluetooth";
  return text;
}

}  // namespace kx7
