// HID devices as the controller link sees them: a list of interfaces with their ids, interface
// number and top-level collection, and an open handle that sends and fetches feature reports.
// Every report carries its report id in byte 0, as hidapi wants it.
//
// Two backends: hidapi on hidraw for the real devices, and a simulated one in the same process,
// to which the emulator and the tests add devices and from which they unplug them. The link takes
// whichever DefaultHidBackend() returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

using HidReport = std::vector<std::uint8_t>;

struct HidDeviceInfo {
  std::string path;  // what Open takes: "/dev/hidraw3", or any name on the simulated backend
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint16_t release = 0;
  int interfaceNumber = -1;  // the USB interface, -1 when the device is not on USB
  // The top-level collection this entry stands for. A device with several collections on one
  // interface may be listed once for each, all with the same path.
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::string productString;  // UTF-8
  std::string serialNumber;   // UTF-8
  // The longest report of each kind in the collection, in bytes with the report id byte; 0 when
  // the collection has none of that kind or its description could not be read.
  std::size_t inputReportLength = 0;
  std::size_t outputReportLength = 0;
  std::size_t featureReportLength = 0;
};

// One top-level collection of a report descriptor with its report lengths as above.
struct HidCollectionCaps {
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::size_t inputReportLength = 0;
  std::size_t outputReportLength = 0;
  std::size_t featureReportLength = 0;
};

// The top-level collections of a report descriptor in their order. What cannot be read (a cut
// item, a collection never closed) ends the reading; what was read until then stays.
std::vector<HidCollectionCaps> ParseHidReportDescriptor(const std::uint8_t* bytes, std::size_t size);

// hidapi lists every top-level collection of a node or only the first, by version, and knows no
// report lengths; the descriptor has both. A path whose descriptor (from `descriptorOf`) can be
// read is listed once for each of its collections, with their lengths, in place of hidapi's
// entries for it; any other path as hidapi listed it.
std::vector<HidDeviceInfo> ListByCollection(
    const std::vector<HidDeviceInfo>& listed,
    const std::function<std::vector<std::uint8_t>(const std::string&)>& descriptorOf);

// The usage pages the collection rule looks at.
inline constexpr std::uint16_t kHidUsagePageGenericDesktop = 0x0001;
inline constexpr std::uint16_t kHidUsagePageDigitizer = 0x000D;
inline constexpr std::uint16_t kHidUsagePageVendorFirst = 0xFF00;

// The interface the controllers keep for something else than their commands: never taken.
bool IsSkippedHidInterface(const HidDeviceInfo& info);
// True for the collection that carries a controller's command and answer feature reports.
bool IsControllerCollection(const HidDeviceInfo& info);
// Both rules for one entry: the skipped interface is never taken; when `collectionRequired` (the
// products that expose several collections) only the controller collection is.
bool AcceptsHidInterface(const HidDeviceInfo& info, bool collectionRequired);

// Wide strings as hidapi hands them out (UTF-32 on Linux, UTF-16 elsewhere) to UTF-8; characters
// that are not valid code points become U+FFFD.
std::string WideToUtf8(const wchar_t* text);

// One open device. The calls may come from two threads at once (the reader and the user-interface
// thread); each backend serialises them per handle. After Close, and after the device vanished,
// every call fails.
class HidHandle {
 public:
  virtual ~HidHandle() = default;

  // `report` starts with the report id (0 for a device without ids). False when the device did not
  // take it.
  virtual bool SetFeature(const HidReport& report) = 0;
  // Feature report `reportId`, at most `length` bytes with the id in byte 0; nothing on failure.
  virtual std::optional<HidReport> GetFeature(std::uint8_t reportId, std::size_t length) = 0;
  // An output report, report id in byte 0.
  virtual bool Write(const HidReport& report) = 0;
  // The next input report, waiting at most `timeoutMs` (0 = only what is there); an empty report
  // when none came in time; nothing when the device failed.
  virtual std::optional<HidReport> Read(int timeoutMs) = 0;
  virtual std::optional<std::string> ProductString() = 0;
  virtual std::optional<std::string> SerialString() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The system's text for the last failure of this handle.
  virtual std::string LastError() const = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // The present interfaces with these ids; 0 matches any vendor or product.
  virtual std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendor, std::uint16_t product) = 0;
  // Nothing when the path is not there or cannot be opened; LastOpenError() then says why.
  virtual std::unique_ptr<HidHandle> Open(const std::string& path) = 0;
  virtual std::string LastOpenError() const = 0;
};

// The real devices, through hidapi's hidraw backend.
class HidapiBackend : public HidBackend {
 public:
  HidapiBackend();
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendor, std::uint16_t product) override;
  std::unique_ptr<HidHandle> Open(const std::string& path) override;
  std::string LastOpenError() const override;

 private:
  mutable std::mutex mutex_;
  std::string lastOpenError_;
};

// A device of the simulated backend. The backend calls it for one request at a time, so it needs
// no locking of its own against the link's two threads.
class SimulatedHidDevice {
 public:
  virtual ~SimulatedHidDevice() = default;
  virtual bool OnSetFeature(const HidReport& report) = 0;
  virtual std::optional<HidReport> OnGetFeature(std::uint8_t reportId, std::size_t length) = 0;
  virtual bool OnWrite(const HidReport& /*report*/) { return false; }
  // An input report that is ready, or nothing.
  virtual std::optional<HidReport> NextInputReport() { return std::nullopt; }
  virtual std::optional<std::string> ProductString() { return std::nullopt; }
  virtual std::optional<std::string> SerialString() { return std::nullopt; }
};

// Devices in this process. Thread-safe; a handle of a device that was removed fails every call
// from then on, as a controller that is unplugged in the middle of a request.
class SimulatedHidBackend : public HidBackend {
 public:
  SimulatedHidBackend();
  ~SimulatedHidBackend() override;

  // Adds one entry. A second entry with the path of a present device stands for another
  // collection of that device and must name the same device; false otherwise.
  bool AddDevice(const HidDeviceInfo& info, std::shared_ptr<SimulatedHidDevice> device);
  // Unplugs the device: its entries go, its open handles fail. False when it was not there.
  bool RemoveDevice(const std::string& path);
  // A device that has a new input report wakes a Read that waits for one.
  void NotifyInput(const std::string& path);
  // The handles of the device that are open now.
  int OpenHandles(const std::string& path) const;

  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendor, std::uint16_t product) override;
  std::unique_ptr<HidHandle> Open(const std::string& path) override;
  std::string LastOpenError() const override;

  struct Slot;

 private:
  struct Entry {
    HidDeviceInfo info;
    std::shared_ptr<Slot> slot;
  };

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::string lastOpenError_;
};

// The backend of this process: hidapi unless another one was installed.
HidBackend& DefaultHidBackend();
// Installs `backend` (the emulator's or a test's) for DefaultHidBackend; nullptr goes back to
// hidapi. The caller keeps it alive while it is installed.
void SetHidBackend(HidBackend* backend);

}  // namespace kx7
