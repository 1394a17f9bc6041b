#include "platform/driver_device.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <utility>

namespace kx7 {
namespace {

// Whatever a backend returns, the caller sees at most what it had room for, and a failure
// carries no bytes and a reason.
DriverResult Checked(DriverResult result, std::size_t capacity) {
  if (!result.success) {
    if (result.error == driver_error::kNone) result.error = driver_error::kGeneralFailure;
    result.bytes.clear();
    return result;
  }
  if (result.bytes.size() > capacity) result.bytes.resize(capacity);
  result.error = driver_error::kNone;
  return result;
}

DriverWriteResult Checked(DriverWriteResult result, std::size_t given) {
  if (!result.success) {
    if (result.error == driver_error::kNone) result.error = driver_error::kGeneralFailure;
    result.written = 0;
    return result;
  }
  result.written = std::min(result.written, given);
  result.error = driver_error::kNone;
  return result;
}

DriverCopyResult CopyInto(const DriverResult& result, std::span<std::uint8_t> output) {
  if (!result.success) return {false, 0, result.error};
  const std::size_t count = std::min(result.bytes.size(), output.size());
  std::copy_n(result.bytes.begin(), count, output.begin());
  return {true, count, driver_error::kNone};
}

class NoDriverBackend final : public DriverBackend {
 public:
  std::unique_ptr<DriverHandle> Open(const std::string&) override { return nullptr; }
};

std::atomic<DriverBackend*> installedBackend{nullptr};

}  // namespace

std::string DriverErrorText(std::uint32_t error) {
  switch (error) {
    case driver_error::kNone:
      return "The operation completed successfully.";
    case driver_error::kInvalidFunction:
      return "Incorrect function.";
    case driver_error::kFileNotFound:
      return "The system cannot find the file given.";
    case driver_error::kInvalidHandle:
      return "The handle is invalid.";
    case driver_error::kGeneralFailure:
      return "A device attached to the system is not functioning.";
    case driver_error::kInvalidParameter:
      return "The parameter is incorrect.";
    case driver_error::kSemaphoreTimeout:
      return "The semaphore timeout period has expired.";
    case driver_error::kInsufficientBuffer:
      return "The data area passed to a system call is too small.";
    case driver_error::kDeviceNotConnected:
      return "The device is not connected.";
    default:
      return "Unknown error.";
  }
}

// On this system the drivers do not exist: the default backend is the empty one, and the
// interface above is what a backend for a system with the drivers would implement.
DriverBackend& DefaultDriverBackend() {
  static NoDriverBackend backend;
  return backend;
}

void SetDriverBackend(DriverBackend* backend) { installedBackend.store(backend); }

DriverBackend& CurrentDriverBackend() {
  DriverBackend* backend = installedBackend.load();
  return backend != nullptr ? *backend : DefaultDriverBackend();
}

ScopedDriverBackend::ScopedDriverBackend(DriverBackend& backend) : previous_(installedBackend.exchange(&backend)) {}

ScopedDriverBackend::~ScopedDriverBackend() { installedBackend.store(previous_); }

std::string Kx7DriverDeviceName(int index) { return "\\\\.\\RvTouchDevice" + std::to_string(index); }

std::string RivetwareDriverDeviceName(int index) { return "\\\\.\\KxsTch" + std::to_string(index); }

// ---- DriverDevice

DriverDevice::~DriverDevice() { Close(); }

bool DriverDevice::Open(const std::string& name) {
  Close();
  std::unique_ptr<DriverHandle> opened = CurrentDriverBackend().Open(name);
  if (!opened) return false;
  std::lock_guard lock(mutex_);
  handle_ = std::move(opened);
  name_ = name;
  return true;
}

bool DriverDevice::IsOpen() const { return CurrentHandle() != nullptr; }

std::string DriverDevice::Name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void DriverDevice::Close() {
  std::shared_ptr<DriverHandle> closing;
  {
    std::lock_guard lock(mutex_);
    closing = std::move(handle_);
    handle_.reset();
  }
  // A reader still inside a call holds its own reference; the handle goes when that call ends.
  if (closing) closing->Close();
}

std::shared_ptr<DriverHandle> DriverDevice::CurrentHandle() const {
  std::lock_guard lock(mutex_);
  return handle_;
}

DriverResult DriverDevice::Request(std::uint32_t code, std::span<const std::uint8_t> input,
                                   std::size_t outputCapacity) {
  const std::shared_ptr<DriverHandle> handle = CurrentHandle();
  if (!handle) return DriverResult::Failed(driver_error::kInvalidHandle);
  return Checked(handle->Request(code, input, outputCapacity), outputCapacity);
}

DriverCopyResult DriverDevice::RequestInto(std::uint32_t code, std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output) {
  return CopyInto(Request(code, input, output.size()), output);
}

DriverResult DriverDevice::Read(std::size_t capacity, int timeoutMs) {
  const std::shared_ptr<DriverHandle> handle = CurrentHandle();
  if (!handle) return DriverResult::Failed(driver_error::kInvalidHandle);
  return Checked(handle->Read(capacity, std::max(timeoutMs, 0)), capacity);
}

DriverCopyResult DriverDevice::ReadInto(std::span<std::uint8_t> buffer, int timeoutMs) {
  return CopyInto(Read(buffer.size(), timeoutMs), buffer);
}

DriverWriteResult DriverDevice::Write(std::span<const std::uint8_t> bytes) {
  const std::shared_ptr<DriverHandle> handle = CurrentHandle();
  if (!handle) return DriverWriteResult::Failed(driver_error::kInvalidHandle);
  return Checked(handle->Write(bytes), bytes.size());
}

// ---- SimulatedDriver

DriverResult SimulatedDriver::Read(std::size_t, int) { return DriverResult::Failed(driver_error::kInvalidFunction); }

DriverWriteResult SimulatedDriver::Write(std::span<const std::uint8_t>) {
  return DriverWriteResult::Failed(driver_error::kInvalidFunction);
}

// ---- SimulatedDriverBackend

struct SimulatedDriverBackend::Registration {
  explicit Registration(std::shared_ptr<SimulatedDriver> d) : driver(std::move(d)) {}
  const std::shared_ptr<SimulatedDriver> driver;
  std::atomic<bool> removed{false};
  std::atomic<int> openHandles{0};
};

namespace {

class SimulatedHandle final : public DriverHandle {
 public:
  explicit SimulatedHandle(std::shared_ptr<SimulatedDriverBackend::Registration> registration)
      : registration_(std::move(registration)) {}
  ~SimulatedHandle() override { Close(); }

  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) override {
    if (const std::uint32_t error = Unusable()) return DriverResult::Failed(error);
    DriverResult result = registration_->driver->Request(code, input, outputCapacity);
    // A device that went away (or a handle closed) while the driver worked gives no answer.
    if (const std::uint32_t error = Unusable()) return DriverResult::Failed(error);
    return Checked(std::move(result), outputCapacity);
  }

  DriverResult Read(std::size_t capacity, int timeoutMs) override {
    if (const std::uint32_t error = Unusable()) return DriverResult::Failed(error);
    DriverResult result = registration_->driver->Read(capacity, timeoutMs);
    if (const std::uint32_t error = Unusable()) return DriverResult::Failed(error);
    return Checked(std::move(result), capacity);
  }

  DriverWriteResult Write(std::span<const std::uint8_t> bytes) override {
    if (const std::uint32_t error = Unusable()) return DriverWriteResult::Failed(error);
    DriverWriteResult result = registration_->driver->Write(bytes);
    if (const std::uint32_t error = Unusable()) return DriverWriteResult::Failed(error);
    return Checked(result, bytes.size());
  }

  void Close() override {
    if (closed_.exchange(true)) return;
    registration_->openHandles.fetch_sub(1);
    registration_->driver->OnClose();
  }

 private:
  std::uint32_t Unusable() const {
    if (closed_.load()) return driver_error::kInvalidHandle;
    if (registration_->removed.load()) return driver_error::kDeviceNotConnected;
    return driver_error::kNone;
  }

  const std::shared_ptr<SimulatedDriverBackend::Registration> registration_;
  std::atomic<bool> closed_{false};
};

}  // namespace

bool SimulatedDriverBackend::CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return ::strcasecmp(a.c_str(), b.c_str()) < 0;
}

SimulatedDriverBackend::~SimulatedDriverBackend() {
  std::map<std::string, std::shared_ptr<Registration>, CaseInsensitiveLess> gone;
  {
    std::lock_guard lock(mutex_);
    gone.swap(devices_);
  }
  for (auto& [name, registration] : gone) {
    registration->removed.store(true);
    registration->driver->OnRemoved();
  }
}

bool SimulatedDriverBackend::AddDevice(const std::string& name, std::shared_ptr<SimulatedDriver> driver) {
  if (!driver) return false;
  auto registration = std::make_shared<Registration>(std::move(driver));
  std::shared_ptr<Registration> replaced;
  {
    std::lock_guard lock(mutex_);
    auto [it, inserted] = devices_.try_emplace(name, registration);
    if (!inserted) {
      replaced = std::move(it->second);
      it->second = std::move(registration);
    }
  }
  if (replaced) {
    replaced->removed.store(true);
    replaced->driver->OnRemoved();
  }
  return true;
}

bool SimulatedDriverBackend::RemoveDevice(const std::string& name) {
  std::shared_ptr<Registration> removed;
  {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(name);
    if (it == devices_.end()) return false;
    removed = std::move(it->second);
    devices_.erase(it);
  }
  // Outside the lock: a driver waking its callers may well call back into the backend.
  removed->removed.store(true);
  removed->driver->OnRemoved();
  return true;
}

bool SimulatedDriverBackend::HasDevice(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return devices_.contains(name);
}

int SimulatedDriverBackend::OpenHandles(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(name);
  return it == devices_.end() ? 0 : it->second->openHandles.load();
}

std::unique_ptr<DriverHandle> SimulatedDriverBackend::Open(const std::string& name) {
  std::shared_ptr<Registration> registration;
  {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(name);
    if (it == devices_.end()) return nullptr;
    registration = it->second;
  }
  if (!registration->driver->OnOpen()) return nullptr;
  registration->openHandles.fetch_add(1);
  auto handle = std::make_unique<SimulatedHandle>(registration);
  // Removed while it was being opened: the open fails like one a moment later would.
  if (registration->removed.load()) return nullptr;
  return handle;
}

}  // namespace kx7
