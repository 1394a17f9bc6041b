#include "platform/usb_hardware_ids.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace kx7 {

namespace {

std::string ReadWord(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::toupper(c); });
  return word;
}

bool IsHexWord(const std::string& word) {
  return word.size() == 4 && std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::mutex& EmulatedMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<std::vector<std::string>()>& EmulatedSource() {
  static std::function<std::vector<std::string>()> source;
  return source;
}

}  // namespace

std::vector<std::string> PresentUsbHardwareIds() {
  std::vector<std::string> ids = ListUsbHardwareIds();
  std::function<std::vector<std::string>()> source;
  {
    std::lock_guard<std::mutex> lock(EmulatedMutex());
    source = EmulatedSource();
  }
  if (source)
    for (std::string& id : source()) ids.push_back(std::move(id));
  return ids;
}

void SetEmulatedUsbHardwareIds(std::function<std::vector<std::string>()> source) {
  std::lock_guard<std::mutex> lock(EmulatedMutex());
  EmulatedSource() = std::move(source);
}

std::vector<std::string> ListUsbHardwareIds(const std::string& sysfsDevices) {
  std::vector<std::string> ids;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(sysfsDevices, error)) {
    const std::filesystem::path device = entry.path();
    const std::string vendor = ReadWord(device / "idVendor");
    const std::string product = ReadWord(device / "idProduct");
    if (!IsHexWord(vendor) || !IsHexWord(product)) continue;  // interfaces and hubs' ports have none
    std::string id = "USB\\VID_" + vendor + "&PID_" + product;
    const std::string revision = ReadWord(device / "bcdDevice");
    if (IsHexWord(revision)) id += "&REV_" + revision;
    ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace kx7
