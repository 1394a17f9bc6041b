// The devices of the maker's touch drivers, reached by name ("\\.\RvTouchDevice0", "\\.\KxsTch0").
//
// A driver device answers device requests (a control code, input bytes, room for output bytes),
// and the KX7 driver's devices are also read and written as files. The program only ever talks to
// a `DriverDevice`; the device behind it comes from the current `DriverBackend`.
//
// There are no such drivers on Linux. The default backend finds no device at all, so every driver
// link simply does not open and Find Controller goes on with the next step. `--emulate` and the
// tests install a `SimulatedDriverBackend`, where driver devices are registered by name; a real
// backend for a system that has the drivers would implement `DriverBackend` and `DriverHandle`.
//
// Byte counts are always the sizes of the returned vectors: a device that gives fewer bytes than
// there was room for is reported with the count it gave, and nothing past it is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kx7 {

// System error codes of failed driver calls, the numbers the drivers' own system reports, so a
// logged "ERR: %X %s" reads the same on every backend.
namespace driver_error {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kInvalidFunction = 0x1;    // the device does not know the request
inline constexpr std::uint32_t kFileNotFound = 0x2;       // no device of that name
inline constexpr std::uint32_t kInvalidHandle = 0x6;      // the device is not open (or was closed)
inline constexpr std::uint32_t kGeneralFailure = 0x1F;    // the device failed the request
inline constexpr std::uint32_t kInvalidParameter = 0x57;  // the input did not suit the request
inline constexpr std::uint32_t kSemaphoreTimeout = 0x79;  // the device did not answer in time
inline constexpr std::uint32_t kInsufficientBuffer = 0x7A;
inline constexpr std::uint32_t kDeviceNotConnected = 0x48F;  // the device went away
}  // namespace driver_error

// The system's text for a driver error code ("The device is not connected."); codes this program
// does not know read "Unknown error.".
std::string DriverErrorText(std::uint32_t error);

// The answer to a device request or a read: on success `bytes` holds what the device gave (the
// byte count is its size, never more than there was room for); on failure `bytes` is empty and
// `error` says why.
struct DriverResult {
  bool success = false;
  std::vector<std::uint8_t> bytes;
  std::uint32_t error = driver_error::kNone;

  std::size_t ByteCount() const { return bytes.size(); }
  static DriverResult Ok(std::vector<std::uint8_t> bytes = {}) { return {true, std::move(bytes), driver_error::kNone}; }
  static DriverResult Failed(std::uint32_t error) { return {false, {}, error}; }
};

struct DriverWriteResult {
  bool success = false;
  std::size_t written = 0;  // never more than the bytes given
  std::uint32_t error = driver_error::kNone;

  static DriverWriteResult Ok(std::size_t written) { return {true, written, driver_error::kNone}; }
  static DriverWriteResult Failed(std::uint32_t error) { return {false, 0, error}; }
};

// For callers that fill a fixed record: how many bytes of the record the device wrote.
struct DriverCopyResult {
  bool success = false;
  std::size_t byteCount = 0;
  std::uint32_t error = driver_error::kNone;
};

// One open device. A backend's handle must accept calls from two threads at once (a reader
// thread reading while the UI thread sends requests), and `Close` while another call is still in
// progress: that call then fails. Every call after `Close` fails with kInvalidHandle.
class DriverHandle {
 public:
  virtual ~DriverHandle() = default;
  virtual DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) = 0;
  // Waits at most `timeoutMs` for data; success with no bytes means nothing came.
  virtual DriverResult Read(std::size_t capacity, int timeoutMs) = 0;
  virtual DriverWriteResult Write(std::span<const std::uint8_t> bytes) = 0;
  virtual void Close() = 0;
};

class DriverBackend {
 public:
  virtual ~DriverBackend() = default;
  // Opens the device of that name, or returns null when there is none (or it cannot be opened).
  virtual std::unique_ptr<DriverHandle> Open(const std::string& name) = 0;
};

// The backend of this system: on Linux there is no driver to reach, so it opens nothing.
DriverBackend& DefaultDriverBackend();
// The backend `DriverDevice::Open` uses from now on; null goes back to the default. The backend
// must stay alive while it is installed; handles already open keep working on their own.
void SetDriverBackend(DriverBackend* backend);
DriverBackend& CurrentDriverBackend();

// Installs a backend for one scope and puts the previous one back afterwards.
class ScopedDriverBackend {
 public:
  explicit ScopedDriverBackend(DriverBackend& backend);
  ~ScopedDriverBackend();
  ScopedDriverBackend(const ScopedDriverBackend&) = delete;
  ScopedDriverBackend& operator=(const ScopedDriverBackend&) = delete;

 private:
  DriverBackend* previous_;
};

// "\\.\RvTouchDevice<index>" (KX7 driver) and "\\.\KxsTch<index>" (Rivetware driver).
std::string Kx7DriverDeviceName(int index);
std::string RivetwareDriverDeviceName(int index);

// The device the program holds open for a driver link. One reader thread may read while the UI
// thread sends requests, writes and finally closes; a close while the reader is inside a read
// makes that read fail instead of touching a handle that is gone.
class DriverDevice {
 public:
  DriverDevice() = default;
  ~DriverDevice();
  DriverDevice(const DriverDevice&) = delete;
  DriverDevice& operator=(const DriverDevice&) = delete;

  // Closes what was open, then opens `name` through the current backend.
  bool Open(const std::string& name);
  bool IsOpen() const;
  // The name given to the last successful Open (empty before the first).
  std::string Name() const;
  void Close();

  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity);
  // The same request with the answer copied into `output`; bytes of `output` past the count the
  // device gave are left as they were.
  DriverCopyResult RequestInto(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output);
  DriverResult Read(std::size_t capacity, int timeoutMs);
  DriverCopyResult ReadInto(std::span<std::uint8_t> buffer, int timeoutMs);
  DriverWriteResult Write(std::span<const std::uint8_t> bytes);

 private:
  std::shared_ptr<DriverHandle> CurrentHandle() const;

  mutable std::mutex mutex_;
  std::shared_ptr<DriverHandle> handle_;
  std::string name_;
};

// A driver device of the simulated backend: the emulator's drivers and the tests' small drivers.
// Calls may arrive from several threads at once, and from several handles of the same device.
class SimulatedDriver {
 public:
  virtual ~SimulatedDriver() = default;

  // A handle is being opened; false refuses it (for example a device that allows one handle).
  virtual bool OnOpen() { return true; }
  // A handle was closed. A driver that keeps readers waiting should wake them here.
  virtual void OnClose() {}
  // The device was removed from the backend. Wake every waiting call; its result is discarded.
  virtual void OnRemoved() {}

  // `outputCapacity` is the room the caller has; returning more is cut to it.
  virtual DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) = 0;
  // Devices that are not read or written as files keep these.
  virtual DriverResult Read(std::size_t capacity, int timeoutMs);
  virtual DriverWriteResult Write(std::span<const std::uint8_t> bytes);
};

// Driver devices registered by name. Names compare without regard to case, as device names do.
// A handle of a device that was removed (or replaced, or whose backend went away) fails every
// later call with kDeviceNotConnected, and a call in progress at that moment fails too: the
// driver went away mid-request. Adding the name again does not revive old handles.
class SimulatedDriverBackend : public DriverBackend {
 public:
  SimulatedDriverBackend() = default;
  ~SimulatedDriverBackend() override;
  SimulatedDriverBackend(const SimulatedDriverBackend&) = delete;
  SimulatedDriverBackend& operator=(const SimulatedDriverBackend&) = delete;

  // Registers `driver` under `name`, replacing a device of that name. A null driver registers
  // nothing and returns false.
  bool AddDevice(const std::string& name, std::shared_ptr<SimulatedDriver> driver);
  // Returns false when there was no device of that name.
  bool RemoveDevice(const std::string& name);
  bool HasDevice(const std::string& name) const;
  // The handles of that device that are open now (opened and not yet closed).
  int OpenHandles(const std::string& name) const;

  std::unique_ptr<DriverHandle> Open(const std::string& name) override;

  // Shared between the backend and the handles of one registered device.
  struct Registration;

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Registration>, CaseInsensitiveLess> devices_;
};

}  // namespace kx7
