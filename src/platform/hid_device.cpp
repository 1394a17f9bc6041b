#include "platform/hid_device.h"

#include <hidapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <utility>

namespace kx7 {

// The controllers' firmware describes its interfaces for a system that makes a device of every
// top-level collection and names it in the path: the second USB interface ("&mi_01") is never one
// to talk to, and on the products with several collections only the collection at position 3, 4
// or 11 ("&col03", "&col04", "&col0b", by firmware layout) carries the command and answer feature
// reports. hidraw makes one node per USB interface instead and hidapi lists it with the usage
// page and usage of its top-level collections (every collection, or only the first one, by
// version). So the position becomes the collection's usage: in all three layouts that collection
// is the vendor-defined one, usage page 0xFF00 to 0xFFFF, and every other collection there is a
// standard one (mouse and keyboard on Generic Desktop, touch screen and pen on Digitizer,
// consumer keys). The usage within the vendor page is not looked at: the firmware layouts differ
// there, and no layout has a second vendor collection.
bool IsSkippedHidInterface(const HidDeviceInfo& info) { return info.interfaceNumber == 1; }

bool IsControllerCollection(const HidDeviceInfo& info) {
  return !IsSkippedHidInterface(info) && info.usagePage >= kHidUsagePageVendorFirst;
}

bool AcceptsHidInterface(const HidDeviceInfo& info, bool collectionRequired) {
  if (IsSkippedHidInterface(info)) return false;
  return !collectionRequired || IsControllerCollection(info);
}

std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  const auto append = [&out](std::uint32_t code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  };
  for (const wchar_t* p = text; *p != 0; ++p) {
    auto code = static_cast<std::uint32_t>(*p);
    if constexpr (sizeof(wchar_t) == 2) {
      code &= 0xFFFF;
      // A surrogate pair of UTF-16; a lone half stays a surrogate and is replaced.
      if (code >= 0xD800 && code <= 0xDBFF) {
        const auto low = static_cast<std::uint32_t>(p[1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          ++p;
        }
      }
    }
    append(code);
  }
  return out;
}

namespace {

// What one item of a report descriptor carries before the item that uses it.
struct DescriptorGlobals {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

enum ReportKind { kInputReport, kOutputReport, kFeatureReport, kReportKinds };

// A descriptor cannot make a report longer than this; larger sums are a broken descriptor.
constexpr std::uint64_t kLongestReportBits = 1u << 20;
constexpr std::size_t kDeepestPush = 16;

}  // namespace

std::vector<HidCollectionCaps> ParseHidReportDescriptor(const std::uint8_t* bytes, std::size_t size) {
  std::vector<HidCollectionCaps> collections;
  // Bits of each report by kind and id, of the top-level collection being read.
  std::map<std::uint8_t, std::uint64_t> bits[kReportKinds];
  DescriptorGlobals globals;
  std::vector<DescriptorGlobals> pushed;
  std::vector<std::uint32_t> usages;  // the local usages since the last main item
  int depth = 0;

  const auto finishCollection = [&] {
    HidCollectionCaps& caps = collections.back();
    std::size_t* lengths[kReportKinds] = {&caps.inputReportLength, &caps.outputReportLength, &caps.featureReportLength};
    for (int kind = 0; kind < kReportKinds; ++kind) {
      for (const auto& [id, count] : bits[kind]) {
        // As the system counts them: whole bytes and one for the report id, used or not.
        if (count != 0) *lengths[kind] = std::max<std::size_t>(*lengths[kind], (count + 7) / 8 + 1);
      }
      bits[kind].clear();
    }
  };

  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t prefix = bytes[at];
    if (prefix == 0xFE) {  // a long item: skipped whole
      if (at + 2 >= size) break;
      at += 3 + bytes[at + 1];
      continue;
    }
    static constexpr std::size_t kDataSizes[4] = {0, 1, 2, 4};
    const std::size_t dataSize = kDataSizes[prefix & 3];
    if (at + 1 + dataSize > size) break;
    std::uint32_t data = 0;
    for (std::size_t i = 0; i < dataSize; ++i) data |= static_cast<std::uint32_t>(bytes[at + 1 + i]) << (8 * i);
    at += 1 + dataSize;
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;

    if (type == 1) {  // global
      switch (tag) {
        case 0:
          globals.usagePage = data;
          break;
        case 7:
          globals.reportSize = data;
          break;
        case 8:
          globals.reportId = static_cast<std::uint8_t>(data);
          break;
        case 9:
          globals.reportCount = data;
          break;
        case 10:
          if (pushed.size() < kDeepestPush) pushed.push_back(globals);
          break;
        case 11:
          if (!pushed.empty()) {
            globals = pushed.back();
            pushed.pop_back();
          }
          break;
        default:
          break;
      }
      continue;
    }
    if (type == 2) {  // local: only the usages matter here
      if (tag == 0) usages.push_back(dataSize == 4 ? data : (globals.usagePage << 16) | (data & 0xFFFF));
      continue;
    }
    if (type != 0) continue;

    // Main items.
    if (tag == 10) {  // Collection
      if (depth == 0) {
        HidCollectionCaps caps;
        const std::uint32_t usage = usages.empty() ? globals.usagePage << 16 : usages.front();
        caps.usagePage = static_cast<std::uint16_t>(usage >> 16);
        caps.usage = static_cast<std::uint16_t>(usage & 0xFFFF);
        collections.push_back(caps);
      }
      ++depth;
    } else if (tag == 12) {  // End Collection
      if (depth > 0 && --depth == 0) finishCollection();
    } else if (tag == 8 || tag == 9 || tag == 11) {  // Input, Output, Feature
      const int kind = tag == 8 ? kInputReport : tag == 9 ? kOutputReport : kFeatureReport;
      if (depth > 0) {
        std::uint64_t& count = bits[kind][globals.reportId];
        count = std::min<std::uint64_t>(count + static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount,
                                        kLongestReportBits);
      }
    }
    usages.clear();
  }
  // A collection left open by a cut descriptor keeps what was counted for it.
  if (depth > 0 && !collections.empty()) finishCollection();
  return collections;
}

std::vector<HidDeviceInfo> ListByCollection(
    const std::vector<HidDeviceInfo>& listed,
    const std::function<std::vector<std::uint8_t>(const std::string&)>& descriptorOf) {
  std::vector<HidDeviceInfo> list;
  std::vector<std::string> done;
  for (const HidDeviceInfo& info : listed) {
    if (std::find(done.begin(), done.end(), info.path) != done.end()) continue;
    const std::vector<std::uint8_t> descriptor = descriptorOf(info.path);
    const auto collections = ParseHidReportDescriptor(descriptor.data(), descriptor.size());
    if (collections.empty()) {
      list.push_back(info);
      continue;
    }
    done.push_back(info.path);
    for (const HidCollectionCaps& caps : collections) {
      HidDeviceInfo entry = info;
      entry.usagePage = caps.usagePage;
      entry.usage = caps.usage;
      entry.inputReportLength = caps.inputReportLength;
      entry.outputReportLength = caps.outputReportLength;
      entry.featureReportLength = caps.featureReportLength;
      list.push_back(std::move(entry));
    }
  }
  return list;
}

// ---------------------------------------------------------------------------------------------
// hidapi

namespace {

constexpr const char* kHandleClosedText = "The device is not open.";
// The longest string descriptor USB allows is 126 characters.
constexpr std::size_t kStringCapacity = 256;
// A Read with a time-out waits in slices so that a request of the other thread gets the device in
// between and Close does not wait for the time-out.
constexpr int kReadSliceMs = 10;

std::string HidapiErrorText(hid_device* device) {
  const wchar_t* text = hid_error(device);
  std::string out = WideToUtf8(text);
  return out.empty() ? std::string("Unknown HID error") : out;
}

void InitHidapiOnce() {
  static std::once_flag once;
  std::call_once(once, [] { hid_init(); });
}

class HidapiHandle : public HidHandle {
 public:
  explicit HidapiHandle(hid_device* device) : device_(device) {}
  ~HidapiHandle() override { Close(); }

  bool SetFeature(const HidReport& report) override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Usable() || report.empty()) return FailLocked(report.empty() ? "Empty report" : nullptr);
    const int sent = hid_send_feature_report(device_, report.data(), report.size());
    if (sent < 0) return FailLocked(nullptr);
    return true;
  }

  std::optional<HidReport> GetFeature(std::uint8_t reportId, std::size_t length) override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Usable() || length == 0) {
      FailLocked(length == 0 ? "Empty report" : nullptr);
      return std::nullopt;
    }
    HidReport report(length, 0);
    report[0] = reportId;
    const int got = hid_get_feature_report(device_, report.data(), report.size());
    if (got < 0) {
      FailLocked(nullptr);
      return std::nullopt;
    }
    report.resize(static_cast<std::size_t>(got));
    return report;
  }

  bool Write(const HidReport& report) override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Usable() || report.empty()) return FailLocked(report.empty() ? "Empty report" : nullptr);
    if (hid_write(device_, report.data(), report.size()) < 0) return FailLocked(nullptr);
    return true;
  }

  std::optional<HidReport> Read(int timeoutMs) override {
    // Input reports are at most 64 bytes on full speed USB, but a high speed device may send up
    // to a packet of 1024.
    HidReport report(1024, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
      int slice = 0;
      if (timeoutMs > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        slice = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, kReadSliceMs));
      }
      {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!Usable()) {
          FailLocked(nullptr);
          return std::nullopt;
        }
        const int got = hid_read_timeout(device_, report.data(), report.size(), slice);
        if (got < 0) {
          FailLocked(nullptr);
          return std::nullopt;
        }
        if (got > 0) {
          report.resize(static_cast<std::size_t>(got));
          return report;
        }
      }
      if (slice == 0) return HidReport{};
    }
  }

  std::optional<std::string> ProductString() override {
    return ReadString([](hid_device* d, wchar_t* s, std::size_t n) { return hid_get_product_string(d, s, n); });
  }

  std::optional<std::string> SerialString() override {
    return ReadString([](hid_device* d, wchar_t* s, std::size_t n) { return hid_get_serial_number_string(d, s, n); });
  }

  void Close() override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (device_ != nullptr) hid_close(device_);
    device_ = nullptr;
  }

  bool IsOpen() const override {
    std::lock_guard<std::mutex> guard(mutex_);
    return device_ != nullptr;
  }

  std::string LastError() const override {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastError_;
  }

 private:
  bool Usable() const { return device_ != nullptr; }

  // Keeps the reason of a failure: `text`, or hidapi's own for the device. Always false.
  bool FailLocked(const char* text) {
    if (text != nullptr) {
      lastError_ = text;
    } else if (device_ == nullptr) {
      lastError_ = kHandleClosedText;
    } else {
      lastError_ = HidapiErrorText(device_);
    }
    return false;
  }

  template <typename Getter>
  std::optional<std::string> ReadString(Getter getter) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Usable()) {
      FailLocked(nullptr);
      return std::nullopt;
    }
    wchar_t text[kStringCapacity] = {};
    if (getter(device_, text, kStringCapacity) < 0) {
      FailLocked(nullptr);
      return std::nullopt;
    }
    text[kStringCapacity - 1] = 0;
    return WideToUtf8(text);
  }

  mutable std::mutex mutex_;
  hid_device* device_;
  std::string lastError_;
};

}  // namespace

HidapiBackend::HidapiBackend() { InitHidapiOnce(); }

namespace {

// The report descriptor of a hidraw node as the kernel keeps it; readable without opening the
// device, so also for devices this user may not open. Empty when there is none.
std::vector<std::uint8_t> ReadReportDescriptor(const std::string& devicePath) {
  const std::size_t slash = devicePath.rfind('/');
  const std::string node = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
  if (node.rfind("hidraw", 0) != 0) return {};
  std::ifstream file("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
  if (!file) return {};
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<HidDeviceInfo> HidapiBackend::Enumerate(std::uint16_t vendor, std::uint16_t product) {
  std::vector<HidDeviceInfo> listed;
  {
    // hidapi keeps no state between enumerations, but its error text is shared; one at a time.
    std::lock_guard<std::mutex> guard(mutex_);
    hid_device_info* const first = hid_enumerate(vendor, product);
    for (const hid_device_info* it = first; it != nullptr; it = it->next) {
      HidDeviceInfo info;
      info.path = it->path != nullptr ? it->path : "";
      info.vendor = it->vendor_id;
      info.product = it->product_id;
      info.release = it->release_number;
      info.interfaceNumber = it->interface_number;
      info.usagePage = it->usage_page;
      info.usage = it->usage;
      info.productString = WideToUtf8(it->product_string);
      info.serialNumber = WideToUtf8(it->serial_number);
      listed.push_back(std::move(info));
    }
    hid_free_enumeration(first);
  }
  return ListByCollection(listed, ReadReportDescriptor);
}

std::unique_ptr<HidHandle> HidapiBackend::Open(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  hid_device* const device = hid_open_path(path.c_str());
  if (device == nullptr) {
    lastOpenError_ = HidapiErrorText(nullptr);
    return nullptr;
  }
  lastOpenError_.clear();
  return std::make_unique<HidapiHandle>(device);
}

std::string HidapiBackend::LastOpenError() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return lastOpenError_;
}

// ---------------------------------------------------------------------------------------------
// Simulated devices

namespace {
// What the system says of a device that was unplugged.
constexpr const char* kDeviceGoneText = "No such device";
}  // namespace

// One device, shared by its entries and its handles. `mutex` serialises the calls into the device.
struct SimulatedHidBackend::Slot {
  std::string path;
  std::shared_ptr<SimulatedHidDevice> device;
  std::mutex mutex;
  std::condition_variable input;
  bool removed = false;
  int openHandles = 0;
  std::uint64_t inputNotices = 0;
};

namespace {

using Slot = SimulatedHidBackend::Slot;

class SimulatedHidHandle : public HidHandle {
 public:
  explicit SimulatedHidHandle(std::shared_ptr<Slot> slot) : slot_(std::move(slot)) {}
  ~SimulatedHidHandle() override { Close(); }

  bool SetFeature(const HidReport& report) override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!UsableLocked()) return false;
    if (report.empty()) return FailLocked("Empty report");
    if (!slot_->device->OnSetFeature(report)) return FailLocked("The device did not take the report");
    return true;
  }

  std::optional<HidReport> GetFeature(std::uint8_t reportId, std::size_t length) override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!UsableLocked()) return std::nullopt;
    if (length == 0) {
      FailLocked("Empty report");
      return std::nullopt;
    }
    auto report = slot_->device->OnGetFeature(reportId, length);
    if (!report) {
      FailLocked("The device has no such report");
      return std::nullopt;
    }
    // As hidapi does: the id stays in byte 0 and nothing beyond the asked length comes back.
    if (report->size() > length) report->resize(length);
    if (report->empty()) report->push_back(reportId);
    (*report)[0] = reportId;
    return report;
  }

  bool Write(const HidReport& report) override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!UsableLocked()) return false;
    if (report.empty()) return FailLocked("Empty report");
    if (!slot_->device->OnWrite(report)) return FailLocked("The device did not take the report");
    return true;
  }

  std::optional<HidReport> Read(int timeoutMs) override {
    std::unique_lock<std::mutex> lock(slot_->mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
      if (!UsableLocked()) return std::nullopt;
      if (auto report = slot_->device->NextInputReport()) return report;
      if (timeoutMs <= 0) return HidReport{};
      // Woken by NotifyInput, removal or Close; the device is asked again each time.
      const std::uint64_t seen = slot_->inputNotices;
      const bool woken = slot_->input.wait_until(
          lock, deadline, [&] { return slot_->inputNotices != seen || slot_->removed || !open_; });
      if (!woken) {
        if (!UsableLocked()) return std::nullopt;
        if (auto report = slot_->device->NextInputReport()) return report;
        return HidReport{};
      }
    }
  }

  std::optional<std::string> ProductString() override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!UsableLocked()) return std::nullopt;
    auto text = slot_->device->ProductString();
    if (!text) FailLocked("The device has no product string");
    return text;
  }

  std::optional<std::string> SerialString() override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!UsableLocked()) return std::nullopt;
    auto text = slot_->device->SerialString();
    if (!text) FailLocked("The device has no serial number");
    return text;
  }

  void Close() override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    if (!open_) return;
    open_ = false;
    --slot_->openHandles;
    slot_->input.notify_all();
  }

  bool IsOpen() const override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    return open_ && !slot_->removed;
  }

  std::string LastError() const override {
    std::lock_guard<std::mutex> guard(slot_->mutex);
    return lastError_;
  }

 private:
  bool UsableLocked() {
    if (!open_) return FailLocked(kHandleClosedText);
    if (slot_->removed) return FailLocked(kDeviceGoneText);
    return true;
  }

  bool FailLocked(const char* text) {
    lastError_ = text;
    return false;
  }

  std::shared_ptr<Slot> slot_;
  bool open_ = true;  // guarded by the slot's mutex
  std::string lastError_;
};

}  // namespace

SimulatedHidBackend::SimulatedHidBackend() = default;

SimulatedHidBackend::~SimulatedHidBackend() {
  // Handles may outlive the backend; they fail from now on as if the devices were unplugged.
  std::lock_guard<std::mutex> guard(mutex_);
  for (const Entry& entry : entries_) {
    std::lock_guard<std::mutex> slotGuard(entry.slot->mutex);
    entry.slot->removed = true;
    entry.slot->input.notify_all();
  }
}

bool SimulatedHidBackend::AddDevice(const HidDeviceInfo& info, std::shared_ptr<SimulatedHidDevice> device) {
  if (device == nullptr) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  std::shared_ptr<Slot> slot;
  for (const Entry& entry : entries_) {
    if (entry.info.path == info.path) {
      if (entry.slot->device != device) return false;
      slot = entry.slot;
      break;
    }
  }
  if (slot == nullptr) {
    slot = std::make_shared<Slot>();
    slot->path = info.path;
    slot->device = std::move(device);
  }
  entries_.push_back(Entry{info, std::move(slot)});
  return true;
}

bool SimulatedHidBackend::RemoveDevice(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  bool found = false;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->info.path != path) {
      ++it;
      continue;
    }
    if (!found) {
      std::lock_guard<std::mutex> slotGuard(it->slot->mutex);
      it->slot->removed = true;
      it->slot->input.notify_all();
    }
    found = true;
    it = entries_.erase(it);
  }
  return found;
}

void SimulatedHidBackend::NotifyInput(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (const Entry& entry : entries_) {
    if (entry.info.path != path) continue;
    std::lock_guard<std::mutex> slotGuard(entry.slot->mutex);
    ++entry.slot->inputNotices;
    entry.slot->input.notify_all();
    return;
  }
}

int SimulatedHidBackend::OpenHandles(const std::string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  for (const Entry& entry : entries_) {
    if (entry.info.path != path) continue;
    std::lock_guard<std::mutex> slotGuard(entry.slot->mutex);
    return entry.slot->openHandles;
  }
  return 0;
}

std::vector<HidDeviceInfo> SimulatedHidBackend::Enumerate(std::uint16_t vendor, std::uint16_t product) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<HidDeviceInfo> list;
  for (const Entry& entry : entries_) {
    if (vendor != 0 && entry.info.vendor != vendor) continue;
    if (product != 0 && entry.info.product != product) continue;
    list.push_back(entry.info);
  }
  return list;
}

std::unique_ptr<HidHandle> SimulatedHidBackend::Open(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (const Entry& entry : entries_) {
    if (entry.info.path != path) continue;
    {
      std::lock_guard<std::mutex> slotGuard(entry.slot->mutex);
      ++entry.slot->openHandles;
    }
    lastOpenError_.clear();
    return std::make_unique<SimulatedHidHandle>(entry.slot);
  }
  lastOpenError_ = kDeviceGoneText;
  return nullptr;
}

std::string SimulatedHidBackend::LastOpenError() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return lastOpenError_;
}

// ---------------------------------------------------------------------------------------------

namespace {
std::atomic<HidBackend*> installedBackend{nullptr};
}  // namespace

HidBackend& DefaultHidBackend() {
  if (HidBackend* backend = installedBackend.load()) return *backend;
  static HidapiBackend hidapi;
  return hidapi;
}

void SetHidBackend(HidBackend* backend) { installedBackend.store(backend); }

}  // namespace kx7
