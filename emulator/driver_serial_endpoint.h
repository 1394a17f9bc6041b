// The serial side of a touch driver: the UART through which the driver talks to a serial
// controller (any `EmulatedDevice`), with the controller's clock, the bytes that came from it and
// are not yet read, and the readers that wait for some.
//
// The driver talks at its own speed (the port's "Baudrate" on the Rivetware driver) with the
// controller's framing. When the speeds differ, each character goes through the same line model as
// a real wire (`ReceiveCharacter`): the controller hears garbage or nothing, and the driver reads
// garbage of the replies. A speed of 0 follows the controller's own speed, as the KX7 driver does.
//
// Thread-safe. A read waits (in real time) at most as long as it is told, looking at the
// controller again every few milliseconds, so a controller on a virtual clock that someone else
// moves is seen too; `Wake` ends the waits going on (a handle closed), `Shutdown` ends them and
// every later one at once (the device was removed).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "emulated_device.h"

namespace kx7::emu {

class DriverSerialEndpoint {
 public:
  // `clockMs` empty: the steady clock.
  DriverSerialEndpoint(std::unique_ptr<EmulatedDevice> device, std::function<std::uint64_t()> clockMs,
                       std::uint32_t driverBaud);
  DriverSerialEndpoint(const DriverSerialEndpoint&) = delete;
  DriverSerialEndpoint& operator=(const DriverSerialEndpoint&) = delete;

  void SetDriverBaud(std::uint32_t baud);
  std::uint32_t DriverBaud() const;

  // Bytes for the controller.
  void Send(std::span<const std::uint8_t> bytes);
  // At most `capacity` bytes from the controller, waiting at most `waitMs` for the first.
  std::vector<std::uint8_t> Take(std::size_t capacity, int waitMs);
  // Drops what came and was not read.
  void Purge();

  void Wake();
  void Shutdown();
  // For tests: waits until `count` readers are waiting (false when `limit` passed first).
  bool AwaitWaitingReaders(std::size_t count, std::chrono::milliseconds limit);

  // Something on the controller's side changed (a test placed a touch): readers look again.
  template <typename Change>
  void WithDevice(Change change) {
    {
      std::lock_guard lock(mutex_);
      change(*device_);
    }
    dataCondition_.notify_all();
  }

 private:
  void PumpLocked();

  const std::unique_ptr<EmulatedDevice> device_;
  const std::function<std::uint64_t()> clockMs_;
  mutable std::mutex mutex_;
  std::condition_variable dataCondition_;
  std::condition_variable waitingCondition_;
  std::uint32_t driverBaud_ = 0;
  std::deque<std::uint8_t> received_;
  std::uint64_t wakeGeneration_ = 0;
  std::size_t waiting_ = 0;
  bool shutdown_ = false;
};

}  // namespace kx7::emu
