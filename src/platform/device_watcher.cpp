#include "platform/device_watcher.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace kx7 {
namespace {

// The watchers that hear the emulated devices of this process.
std::mutex& ListeningMutex() {
  static std::mutex mutex;
  return mutex;
}

std::set<DeviceWatcher*>& Listening() {
  static std::set<DeviceWatcher*> watchers;
  return watchers;
}

std::uint16_t HexProperty(udev_device* device, const char* name) {
  // Interface and hidraw nodes carry the ids on their USB device parent.
  for (udev_device* node = device; node != nullptr; node = udev_device_get_parent(node)) {
    if (const char* value = udev_device_get_sysattr_value(node, name))
      return static_cast<std::uint16_t>(std::strtoul(value, nullptr, 16));
  }
  return 0;
}

}  // namespace

DeviceWatcher::~DeviceWatcher() { Stop(); }

void DeviceWatcher::Announce(const DeviceChange& change) {
  std::lock_guard<std::mutex> guard(ListeningMutex());
  for (DeviceWatcher* watcher : Listening()) watcher->Inject(change);
}

bool DeviceWatcher::Start(std::function<void()> notify) {
  if (thread_.joinable()) return true;
  {
    // Emulated devices are heard even where the system has no udev to watch.
    std::lock_guard<std::mutex> guard(mutex_);
    notify_ = notify;
  }
  {
    std::lock_guard<std::mutex> guard(ListeningMutex());
    Listening().insert(this);
  }
  udev* context = udev_new();
  if (context == nullptr) return false;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (monitor == nullptr) {
    udev_unref(context);
    return false;
  }
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device");
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr);
  if (udev_monitor_enable_receiving(monitor) < 0) {
    udev_monitor_unref(monitor);
    udev_unref(context);
    return false;
  }
  stopFd_ = eventfd(0, EFD_CLOEXEC);
  if (stopFd_ < 0) {
    udev_monitor_unref(monitor);
    udev_unref(context);
    return false;
  }
  thread_ = std::thread([this, monitor] { Run(monitor); });
  return true;
}

void DeviceWatcher::Stop() {
  {
    std::lock_guard<std::mutex> guard(ListeningMutex());
    Listening().erase(this);
  }
  {
    std::lock_guard<std::mutex> guard(mutex_);
    notify_ = nullptr;
  }
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  if (write(stopFd_, &one, sizeof one) < 0) {
    // The thread also ends on the next event; nothing else can be done here.
  }
  thread_.join();
  close(stopFd_);
  stopFd_ = -1;
}

void DeviceWatcher::Run(void* monitorPointer) {
  auto* monitor = static_cast<udev_monitor*>(monitorPointer);
  udev* context = udev_monitor_get_udev(monitor);
  pollfd fds[2] = {{udev_monitor_get_fd(monitor), POLLIN, 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & POLLIN) break;
    if (!(fds[0].revents & POLLIN)) continue;
    udev_device* device = udev_monitor_receive_device(monitor);
    if (device == nullptr) continue;
    const char* action = udev_device_get_action(device);
    DeviceChange change;
    bool wanted = true;
    if (action != nullptr && std::strcmp(action, "add") == 0)
      change.kind = DeviceChange::Kind::kArrival;
    else if (action != nullptr && std::strcmp(action, "remove") == 0)
      change.kind = DeviceChange::Kind::kRemoveComplete;
    else
      wanted = false;
    if (wanted) {
      const char* subsystem = udev_device_get_subsystem(device);
      const char* node = udev_device_get_devnode(device);
      const char* path = udev_device_get_syspath(device);
      change.subsystem = subsystem ? subsystem : "";
      change.devnode = node ? node : "";
      change.syspath = path ? path : "";
      // On removal the attributes are gone; the ids come from the event's properties then.
      if (const char* product = udev_device_get_property_value(device, "PRODUCT")) {
        unsigned vendor = 0, id = 0;
        if (std::sscanf(product, "%x/%x", &vendor, &id) == 2) {
          change.vendor = static_cast<std::uint16_t>(vendor);
          change.product = static_cast<std::uint16_t>(id);
        }
      }
      if (change.vendor == 0) {
        change.vendor = HexProperty(device, "idVendor");
        change.product = HexProperty(device, "idProduct");
      }
      Inject(change);
    }
    udev_device_unref(device);
  }
  udev_monitor_unref(monitor);
  udev_unref(context);
}

void DeviceWatcher::Inject(const DeviceChange& change) {
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    events_.push_back(change);
    notify = notify_;
  }
  if (notify) notify();
}

std::vector<DeviceChange> DeviceWatcher::TakeEvents() {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<DeviceChange> taken;
  taken.swap(events_);
  return taken;
}

}  // namespace kx7
