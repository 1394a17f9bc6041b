// A device "\\.\RvTouchDevice<N>" of the KX7 driver: one listed controller. Every device answers
// the list request with all the driver's controllers, the two record requests for its own
// controller (input: its 32-bit number; another number is refused), and takes (1) or gives back
// (0) its controller with 0x1AA030 (output 4 bytes: the state now). A controller that another
// program holds cannot be taken. The last handle's close gives it back.
//
// What goes through the file reads and writes depends on the controller: its byte stream (serial),
// USB vendor requests (Birch USB) or HID class requests (HID); the subclasses say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "driver_handle_count.h"
#include "driver_kx7_list.h"
#include "platform/driver_device.h"

namespace kx7::emu {

class Kx7DriverDevice : public kx7::SimulatedDriver {
 public:
  Kx7DriverDevice(std::shared_ptr<const Kx7ControllerList> list, std::uint16_t number);

  bool OnOpen() final;
  void OnClose() final;
  void OnRemoved() final;
  kx7::DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) final;

  std::uint16_t Number() const { return number_; }
  bool Taken() const;

 protected:
  // Requests other than the driver's own; the default refuses them.
  virtual kx7::DriverResult ControllerRequest(std::uint32_t code, std::span<const std::uint8_t> input,
                                              std::size_t outputCapacity);
  // A handle closed (`last`: it was the last one), or the device went away.
  virtual void HandleClosed(bool /*last*/) {}
  virtual void Removed() {}

 private:
  kx7::DriverResult TakeRequest(std::span<const std::uint8_t> input, std::size_t outputCapacity);
  kx7::DriverResult RecordRequest(std::uint32_t code, std::span<const std::uint8_t> input,
                                  std::size_t outputCapacity) const;

  const std::shared_ptr<const Kx7ControllerList> list_;
  const std::uint16_t number_;
  mutable std::mutex mutex_;
  DriverHandleCount handles_;
  bool taken_ = false;
};

}  // namespace kx7::emu
