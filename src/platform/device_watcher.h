// USB plug and unplug from libudev's monitor. A thread collects the events; the frame takes them
// on its own thread and runs them through the same handler as the device-change message.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kx7 {

struct DeviceChange {
  enum class Kind { kArrival, kRemoveComplete };
  Kind kind = Kind::kArrival;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::string subsystem;  // "usb", "hidraw", "tty"
  std::string devnode;    // "/dev/hidraw3"
  std::string syspath;
};

class DeviceWatcher {
 public:
  DeviceWatcher() = default;
  DeviceWatcher(const DeviceWatcher&) = delete;
  DeviceWatcher& operator=(const DeviceWatcher&) = delete;
  ~DeviceWatcher();

  // Starts watching; `notify` is called on the watcher's thread after events were queued.
  // Returns false when the monitor cannot be created (no udev, as in some containers); the
  // emulated devices' announcements still come then.
  bool Start(std::function<void()> notify);
  void Stop();
  bool Running() const { return thread_.joinable(); }

  std::vector<DeviceChange> TakeEvents();

  // Tests and the emulator feed events the same way the monitor does.
  void Inject(const DeviceChange& change);
  // An emulated device of this process was plugged in or pulled out: every started watcher hears
  // it (also one that found no udev to watch). Thread-safe.
  static void Announce(const DeviceChange& change);

 private:
  void Run(void* monitor);

  std::thread thread_;
  int stopFd_ = -1;
  std::function<void()> notify_;
  std::mutex mutex_;
  std::vector<DeviceChange> events_;
};

}  // namespace kx7
