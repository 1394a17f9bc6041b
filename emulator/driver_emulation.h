// Emulated touch drivers registered on a `SimulatedDriverBackend`: the installer behind
// `--emulate` for the driver families, and the building blocks tests put together.
//
// "birch-usb": one Birch USB controller, reached through the Rivetware USB driver as
// "\\.\KxsTch0" and through the KX7 driver as "\\.\RvTouchDevice1" (listed as number 1, type
// name "USB_Birch2") and "\\.\RvTouchDevice0" (the first controller, for the direct connect);
// the registry gets "TSInstalled" 1 (one USB device of the Rivetware driver).
//
// The installer only sets values in the given registry store; saving it is the caller's business.
// The backend keeps the devices; the returned handles let a caller reach the models behind them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "birch_usb_controller.h"
#include "driver_kx7_device.h"
#include "driver_kx7_list.h"
#include "driver_rivetware_serial.h"
#include "driver_rivetware_usb.h"
#include "emulated_device.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"
#include "platform/registry_store.h"

namespace kx7::emu {

// The families the installer knows, in order.
const std::vector<std::string>& DriverFamilyNames();

struct DriverEmulationOptions {
  std::function<std::uint64_t()> clockMs;  // empty: the steady clock
  BirchUsbOptions birchUsb;
  RivetwareUsbOptions rivetwareUsb;
};

struct InstalledDrivers {
  std::shared_ptr<BirchUsbController> birchUsb;
  std::shared_ptr<RivetwareUsbDriver> rivetwareUsb;
  std::vector<std::shared_ptr<Kx7DriverDevice>> kx7Devices;  // by list order
  std::vector<std::string> deviceNames;                       // every name registered
  std::vector<std::shared_ptr<kx7::SimulatedDriver>> devices;  // the driver under each of the names
};

// Registers the devices of `family` ("birch-usb"). Nothing (and nothing registered) for a family
// the installer does not know. `registry` may be null.
std::optional<InstalledDrivers> InstallDriverEmulation(const std::string& family, kx7::SimulatedDriverBackend& backend,
                                                       kx7::RegistryStore* registry,
                                                       DriverEmulationOptions options = {});

// ---- Building blocks ----

// A serial controller behind the Rivetware driver as "\\.\KxsTch<index>", with "PortName" (and,
// when `baudrate` is given, "Baudrate") set under the port's subkey first.
std::shared_ptr<RivetwareSerialDriver> AddRivetwareSerialDevice(kx7::SimulatedDriverBackend& backend,
                                                                kx7::RegistryStore& registry, int index,
                                                                const std::string& portName,
                                                                std::unique_ptr<EmulatedDevice> controller,
                                                                std::optional<std::uint32_t> baudrate = std::nullopt,
                                                                std::function<std::uint64_t()> clockMs = {},
                                                                RivetwareSerialOptions options = {});

// A Birch USB controller behind the Rivetware USB driver as "\\.\KxsTch<index>".
std::shared_ptr<RivetwareUsbDriver> AddRivetwareUsbDevice(kx7::SimulatedDriverBackend& backend, int index,
                                                          std::shared_ptr<BirchUsbController> controller,
                                                          RivetwareUsbOptions options = {});

// One controller of a KX7 driver's list and what stands behind it: a serial controller, a Birch
// USB controller or an HID controller (exactly one of the three).
struct Kx7Entry {
  Kx7ListedController listing;
  std::unique_ptr<EmulatedDevice> serial;
  std::shared_ptr<BirchUsbController> usb;
  std::shared_ptr<kx7::SimulatedHidDevice> hid;
};

struct Kx7Options {
  std::function<std::uint64_t()> clockMs;  // the serial controllers' clock
  int serialMaxWaitMs = 1000;              // 0 on a virtual clock: reads never wait
  bool deviceZero = true;                  // "\\.\RvTouchDevice0" is the first controller too
};

// Registers "\\.\RvTouchDevice<number>" for every entry (and device 0 for the first), all
// answering the same list. Nothing registered (empty result) when an entry has not exactly one
// controller, or numbers repeat or are 0.
std::vector<std::shared_ptr<Kx7DriverDevice>> AddKx7Controllers(kx7::SimulatedDriverBackend& backend,
                                                                std::vector<Kx7Entry> entries,
                                                                const Kx7Options& options = {});

}  // namespace kx7::emu
