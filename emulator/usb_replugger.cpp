#include "usb_replugger.h"

#include <chrono>
#include <utility>

#include "hid_backend.h"
#include "platform/device_watcher.h"

namespace kx7::emu {

namespace {

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

kx7::DeviceChange Change(kx7::DeviceChange::Kind kind, std::uint16_t vendor, std::uint16_t product,
                         const char* subsystem, const std::string& devnode) {
  kx7::DeviceChange change;
  change.kind = kind;
  change.vendor = vendor;
  change.product = product;
  change.subsystem = subsystem;
  change.devnode = devnode;
  return change;
}

}  // namespace

struct UsbReplugger::Device {
  enum class State { kOnBus, kLeaving, kAway };

  // An HID controller on its bus...
  kx7::SimulatedHidBackend* bus = nullptr;
  std::shared_ptr<EmulatedHidController> hid;
  std::string path;
  // ...or the Birch USB controller behind its drivers.
  kx7::SimulatedDriverBackend* drivers = nullptr;
  std::shared_ptr<BirchUsbController> birch;
  std::vector<std::pair<std::string, std::shared_ptr<kx7::SimulatedDriver>>> registrations;

  std::function<std::uint64_t()> clock;
  State state = State::kOnBus;
  std::uint64_t leaveAt = 0;
  std::uint64_t backAt = 0;
  std::uint64_t dropOff = 0;
};

struct UsbReplugger::Shared {
  mutable std::mutex mutex;
  std::vector<std::unique_ptr<Device>> devices;
  int removals = 0;
  int arrivals = 0;

  // Called from inside the host's request: only note it, the device goes at the next Poll.
  void Heard(Device& device, std::uint64_t dropOff) {
    const std::uint64_t now = device.clock();
    std::lock_guard<std::mutex> guard(mutex);
    if (device.state == Device::State::kAway) return;  // off the bus, nobody can ask it anything
    if (device.state == Device::State::kOnBus) device.leaveAt = now + kUsbLeaveDelayMs;
    device.state = Device::State::kLeaving;
    device.dropOff = dropOff;  // a second restart before it went: the later one counts
  }
};

UsbReplugger::UsbReplugger(UsbDropOffTimes times) : times_(times), shared_(std::make_shared<Shared>()) {}

UsbReplugger::~UsbReplugger() {
  StopThread();
  std::lock_guard<std::mutex> guard(shared_->mutex);
  for (const std::unique_ptr<Device>& device : shared_->devices) {
    if (device->hid) device->hid->SetRestartHandler({});
    if (device->birch) device->birch->SetRestartCallback({});
  }
}

namespace {

std::uint64_t DropOffOf(const UsbDropOffTimes& times, HidRestartKind kind) {
  switch (kind) {
    case HidRestartKind::kSoftReset:
      return times.softReset;
    case HidRestartKind::kHardReset:
      return times.hardReset;
    case HidRestartKind::kRebootRom:
      return times.rebootRom;
    case HidRestartKind::kRebootRam:
      return times.rebootRam;
    case HidRestartKind::kRebootEep:
      return times.rebootEeprom;
    case HidRestartKind::kRebootAlt:
      return times.rebootAlt;
    case HidRestartKind::kRestoreDefaults:
      return times.restoreDefaults;
    case HidRestartKind::kModeSwitch:
      return times.modeSwitch;
  }
  return times.hardReset;
}

// The Birch USB controller's restarts are the HID controllers' kinds under other names.
HidRestartKind AsHidKind(BirchUsbRestart kind) {
  switch (kind) {
    case BirchUsbRestart::kSoftReset: return HidRestartKind::kSoftReset;
    case BirchUsbRestart::kHardReset: return HidRestartKind::kHardReset;
    case BirchUsbRestart::kRomReboot: return HidRestartKind::kRebootRom;
    case BirchUsbRestart::kRamReboot: return HidRestartKind::kRebootRam;
    case BirchUsbRestart::kEepromReboot: return HidRestartKind::kRebootEep;
  }
  return HidRestartKind::kHardReset;
}

std::uint64_t DropOffOf(const UsbDropOffTimes& times, BirchUsbRestart kind) { return DropOffOf(times, AsHidKind(kind)); }

}  // namespace

std::uint64_t UsbReplugger::DropOff(HidRestartKind kind) const { return DropOffOf(times_, kind); }
std::uint64_t UsbReplugger::DropOff(BirchUsbRestart kind) const { return DropOffOf(times_, kind); }

void UsbReplugger::WatchHid(kx7::SimulatedHidBackend& bus, std::shared_ptr<EmulatedHidController> controller,
                            std::string path, std::function<std::uint64_t()> clockMs) {
  if (!controller) return;
  auto device = std::make_unique<Device>();
  device->bus = &bus;
  device->hid = controller;
  device->path = std::move(path);
  device->clock = clockMs ? std::move(clockMs) : std::function<std::uint64_t()>(SteadyMs);
  Device* raw = device.get();
  {
    std::lock_guard<std::mutex> guard(shared_->mutex);
    shared_->devices.push_back(std::move(device));
  }
  std::weak_ptr<Shared> weak = shared_;
  const UsbDropOffTimes times = times_;
  controller->SetRestartHandler([weak, raw, times](const HidRestart& restart) {
    if (const std::shared_ptr<Shared> shared = weak.lock()) shared->Heard(*raw, DropOffOf(times, restart.kind));
  });
}

void UsbReplugger::WatchBirchUsb(kx7::SimulatedDriverBackend& backend, const InstalledDrivers& installed,
                                 std::function<std::uint64_t()> clockMs) {
  if (!installed.birchUsb) return;
  auto device = std::make_unique<Device>();
  device->drivers = &backend;
  device->birch = installed.birchUsb;
  for (std::size_t i = 0; i < installed.deviceNames.size() && i < installed.devices.size(); ++i)
    device->registrations.emplace_back(installed.deviceNames[i], installed.devices[i]);
  device->clock = clockMs ? std::move(clockMs) : std::function<std::uint64_t()>(SteadyMs);
  Device* raw = device.get();
  {
    std::lock_guard<std::mutex> guard(shared_->mutex);
    shared_->devices.push_back(std::move(device));
  }
  std::weak_ptr<Shared> weak = shared_;
  const UsbDropOffTimes times = times_;
  installed.birchUsb->SetRestartCallback([weak, raw, times](BirchUsbRestart restart) {
    if (const std::shared_ptr<Shared> shared = weak.lock()) shared->Heard(*raw, DropOffOf(times, restart));
  });
}

void UsbReplugger::Poll(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> polling(pollMutex_);
  struct Step {
    Device* device;
    bool leaves;
  };
  std::vector<Step> steps;
  {
    std::lock_guard<std::mutex> guard(shared_->mutex);
    for (const std::unique_ptr<Device>& device : shared_->devices) {
      if (device->state == Device::State::kLeaving && nowMs >= device->leaveAt) {
        device->state = Device::State::kAway;
        // Counted from when it went, so that a late poll still leaves it away for the whole time.
        device->backAt = nowMs + device->dropOff;
        steps.push_back({device.get(), true});
      } else if (device->state == Device::State::kAway && nowMs >= device->backAt) {
        steps.push_back({device.get(), false});
      }
    }
  }
  // The buses are changed outside the lock: a request under way holds the bus while the
  // controller's restart handler wants the lock.
  using Kind = kx7::DeviceChange::Kind;
  for (const Step& step : steps) {
    Device& device = *step.device;
    const Kind kind = step.leaves ? Kind::kRemoveComplete : Kind::kArrival;
    bool announce = true;
    if (device.hid) {
      if (step.leaves) {
        RemoveFromBackend(*device.bus, device.path);
        device.hid->ClearReplugPending();
      } else {
        // Somebody else took the path meanwhile: nothing came back to announce.
        announce = AddToBackend(*device.bus, device.hid, device.path);
      }
    } else {
      for (const auto& [name, driver] : device.registrations) {
        if (step.leaves) {
          device.drivers->RemoveDevice(name);
        } else {
          device.drivers->AddDevice(name, driver);
        }
      }
    }
    {
      // Back on the bus before anybody hears of it: a listener may look at once.
      std::lock_guard<std::mutex> guard(shared_->mutex);
      if (step.leaves) {
        ++shared_->removals;
      } else {
        // A restart heard in the meantime leaves it leaving.
        if (device.state == Device::State::kAway) device.state = Device::State::kOnBus;
        ++shared_->arrivals;
      }
    }
    if (!announce) continue;
    if (device.hid) {
      const HidFamily& family = device.hid->Family();
      kx7::DeviceWatcher::Announce(Change(kind, family.vendor, family.product, kHidSubsystem, device.path));
    } else {
      kx7::DeviceWatcher::Announce(Change(kind, kBirchUsbVendor, kBirchUsbProduct, kUsbSubsystem, ""));
    }
  }
}

void UsbReplugger::StartThread() {
  std::lock_guard<std::mutex> guard(threadMutex_);
  if (thread_.joinable()) return;
  stopThread_ = false;
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(threadMutex_);
    while (!stopThread_) {
      lock.unlock();
      Poll(SteadyMs());
      lock.lock();
      threadWake_.wait_for(lock, std::chrono::milliseconds(kUsbReplugThreadSliceMs), [this] { return stopThread_; });
    }
  });
}

void UsbReplugger::StopThread() {
  std::thread stopping;
  {
    std::lock_guard<std::mutex> guard(threadMutex_);
    stopThread_ = true;
    stopping.swap(thread_);
  }
  threadWake_.notify_all();
  if (stopping.joinable()) stopping.join();
}

bool UsbReplugger::AllOnBus() const {
  std::lock_guard<std::mutex> guard(shared_->mutex);
  for (const std::unique_ptr<Device>& device : shared_->devices)
    if (device->state != Device::State::kOnBus) return false;
  return true;
}

int UsbReplugger::Removals() const {
  std::lock_guard<std::mutex> guard(shared_->mutex);
  return shared_->removals;
}

int UsbReplugger::Arrivals() const {
  std::lock_guard<std::mutex> guard(shared_->mutex);
  return shared_->arrivals;
}

}  // namespace kx7::emu
