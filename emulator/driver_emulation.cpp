#include "driver_emulation.h"

#include <utility>

#include "driver_emulation_constants.h"
#include "driver_kx7_hid.h"
#include "driver_kx7_serial.h"
#include "driver_kx7_usb.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {

namespace dc = kx7::driver;

namespace {

constexpr const char* kBirchUsbFamily = "birch-usb";
constexpr const char* kBirchUsbTypeName = "USB_Birch2";
constexpr const char* kBirchUsbPort = "USB";

}  // namespace

const std::vector<std::string>& DriverFamilyNames() {
  static const std::vector<std::string> names{kBirchUsbFamily};
  return names;
}

std::shared_ptr<RivetwareSerialDriver> AddRivetwareSerialDevice(kx7::SimulatedDriverBackend& backend,
                                                                kx7::RegistryStore& registry, int index,
                                                                const std::string& portName,
                                                                std::unique_ptr<EmulatedDevice> controller,
                                                                std::optional<std::uint32_t> baudrate,
                                                                std::function<std::uint64_t()> clockMs,
                                                                RivetwareSerialOptions options) {
  if (!controller || index < 0) return nullptr;
  const std::string key = RivetwareSerialDriver::PortKey(index);
  registry.SetString(kx7::RegistryKey(key, dc::kPortNameValue), portName);
  if (baudrate) registry.SetDword(kx7::RegistryKey(key, dc::kBaudrateValue), *baudrate);
  auto driver =
      std::make_shared<RivetwareSerialDriver>(std::move(controller), registry, index, std::move(clockMs), options);
  backend.AddDevice(kx7::RivetwareDriverDeviceName(index), driver);
  return driver;
}

std::shared_ptr<RivetwareUsbDriver> AddRivetwareUsbDevice(kx7::SimulatedDriverBackend& backend, int index,
                                                          std::shared_ptr<BirchUsbController> controller,
                                                          RivetwareUsbOptions options) {
  if (!controller || index < 0) return nullptr;
  auto driver = std::make_shared<RivetwareUsbDriver>(std::move(controller), options);
  backend.AddDevice(kx7::RivetwareDriverDeviceName(index), driver);
  return driver;
}

std::vector<std::shared_ptr<Kx7DriverDevice>> AddKx7Controllers(kx7::SimulatedDriverBackend& backend,
                                                                std::vector<Kx7Entry> entries,
                                                                const Kx7Options& options) {
  auto list = std::make_shared<Kx7ControllerList>();
  for (const Kx7Entry& entry : entries) {
    const int kinds = (entry.serial ? 1 : 0) + (entry.usb ? 1 : 0) + (entry.hid ? 1 : 0);
    if (kinds != 1 || !list->Add(entry.listing)) return {};
  }
  std::shared_ptr<const Kx7ControllerList> shared = list;
  std::vector<std::shared_ptr<Kx7DriverDevice>> devices;
  for (Kx7Entry& entry : entries) {
    const std::uint16_t number = entry.listing.number;
    std::shared_ptr<Kx7DriverDevice> device;
    if (entry.serial) {
      device = std::make_shared<Kx7SerialDevice>(shared, number, std::move(entry.serial), options.clockMs,
                                                 options.serialMaxWaitMs);
    } else if (entry.usb) {
      device = std::make_shared<Kx7UsbDevice>(shared, number, std::move(entry.usb));
    } else {
      device = std::make_shared<Kx7HidDevice>(shared, number, std::move(entry.hid));
    }
    devices.push_back(device);
  }
  for (const std::shared_ptr<Kx7DriverDevice>& device : devices)
    backend.AddDevice(kx7::Kx7DriverDeviceName(device->Number()), device);
  if (options.deviceZero && !devices.empty()) backend.AddDevice(kx7::Kx7DriverDeviceName(0), devices.front());
  return devices;
}

std::optional<InstalledDrivers> InstallDriverEmulation(const std::string& family, kx7::SimulatedDriverBackend& backend,
                                                       kx7::RegistryStore* registry, DriverEmulationOptions options) {
  if (family != kBirchUsbFamily) return std::nullopt;
  InstalledDrivers installed;
  installed.birchUsb = std::make_shared<BirchUsbController>(options.birchUsb, options.clockMs);
  installed.rivetwareUsb = AddRivetwareUsbDevice(backend, 0, installed.birchUsb, options.rivetwareUsb);
  installed.deviceNames.push_back(kx7::RivetwareDriverDeviceName(0));
  installed.devices.push_back(installed.rivetwareUsb);

  std::vector<Kx7Entry> entries;
  Kx7Entry entry;
  entry.listing.number = 1;
  entry.listing.typeName = kBirchUsbTypeName;
  entry.listing.portName = kBirchUsbPort;
  entry.usb = installed.birchUsb;
  entries.push_back(std::move(entry));
  Kx7Options kx7;
  kx7.clockMs = options.clockMs;
  installed.kx7Devices = AddKx7Controllers(backend, std::move(entries), kx7);
  installed.deviceNames.push_back(kx7::Kx7DriverDeviceName(1));
  installed.deviceNames.push_back(kx7::Kx7DriverDeviceName(0));
  // One list entry: the same device answers under both names.
  for (int i = 0; i < 2; ++i)
    installed.devices.push_back(installed.kx7Devices.empty() ? nullptr : installed.kx7Devices.front());

  if (registry != nullptr) registry->SetDword(kx7::RegistryKey(dc::kRegistryBaseKey, dc::kInstalledValue), 1);
  return installed;
}

}  // namespace kx7::emu
