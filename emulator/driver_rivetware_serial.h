// The Rivetware driver's device "\\.\KxsTch<i>" for a serial controller (link 257).
//
//   0x1A20C8 (check)        20 bytes, the first 32-bit value 6
//   WHO_ARE_YOU             134 bytes, the first 32-bit value 1
//   0x1A205C (register)     the client's name, 132 bytes (a zero-filled wide string)
//   0x1A208C (read)         the controller's bytes, at most 4,096 and at most the room given;
//                           waits a short while when none are there, and returns at once when a
//                           handle closes or the device is removed
//   0x1A2094 (write)        the input bytes go to the controller
//   0x1A2060 (unregister)
//   0x1A20A0 (reread speed) the port's "Baudrate" from the registry store again
//
// Reads and writes need a registered client (kGeneralFailure otherwise); the last handle's close
// ends the registration. The driver talks to the controller at its port's "Baudrate" (9600 when
// the port has none) with the controller's framing: bytes only pass when that is the controller's
// own speed (see DriverSerialEndpoint).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "driver_handle_count.h"
#include "driver_rivetware_device.h"
#include "driver_serial_endpoint.h"
#include "emulated_device.h"
#include "platform/driver_device.h"
#include "platform/registry_store.h"

namespace kx7::emu {

struct RivetwareSerialOptions {
  // How long a read waits for bytes when none are there; below 0 the driver's own short wait.
  // Tests on a virtual clock give 0.
  int readWaitMs = -1;
};

class RivetwareSerialDriver : public RivetwareDriverDevice {
 public:
  // `registry` (kept alive by the caller) holds the port's values under the subkey of `portIndex`.
  RivetwareSerialDriver(std::unique_ptr<EmulatedDevice> controller, kx7::RegistryStore& registry, int portIndex,
                        std::function<std::uint64_t()> clockMs = {}, RivetwareSerialOptions options = {});

  bool OnOpen() override;
  void OnClose() override;
  void OnRemoved() override;
  kx7::DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) override;

  DriverSerialEndpoint& Endpoint() { return endpoint_; }
  std::uint32_t DriverBaud() const { return endpoint_.DriverBaud(); }
  // The registered client's name, nothing while none is registered.
  std::optional<std::string> Client() const;

  // "System\...\Parameters\%04i": the registry key of a port.
  static std::string PortKey(int portIndex);

 private:
  std::uint32_t ReadBaudrate() const;

  kx7::RegistryStore& registry_;
  const int portIndex_;
  const RivetwareSerialOptions options_;
  DriverSerialEndpoint endpoint_;
  mutable std::mutex mutex_;
  std::optional<std::string> client_;
  DriverHandleCount handles_;
};

}  // namespace kx7::emu
