// An emulated device as a serial port of the program's own, in the same process: `CSerialPort`
// opens it through a `SerialBackendTable` instead of a tty, and the host side gets the whole
// framing model of `SerialLine` (speed, data bits, parity, stop bits, line errors), which a
// pseudo-terminal cannot carry. Everything runs on the caller's clock, so tests in virtual time
// see a reply at the millisecond the wire delivers it.
//
// This is the one place where the emulator meets the program: it implements the core's backend
// interface and uses nothing else of the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "emulated_device.h"
#include "link/serial/serial_backend.h"
#include "serial_line.h"

namespace kx7::emu {

class InProcessSerialBackend : public kx7::SerialBackend {
 public:
  // The host's receive queue, as a driver's buffer: what arrives beyond it is lost and counted as
  // a receive-queue overflow.
  static constexpr std::size_t kReceiveQueueBytes = 16384;

  explicit InProcessSerialBackend(EmulatedDevice& device);
  explicit InProcessSerialBackend(std::unique_ptr<EmulatedDevice> device);

  EmulatedDevice& Device() const { return device_; }
  SerialLine& Wire() { return line_; }
  // The host side's settings as the line model sees them.
  LineSettings HostSettings() const;

  // Something changed the device outside the port's calls (a test placed a touch): the port
  // asks for the next event again.
  void DeviceChanged() { WakePort(); }

  bool Open(std::uint64_t nowMs) override;
  void Close() override;
  kx7::SerialConfig Config() const override { return config_; }
  bool Configure(const kx7::SerialConfig& config, std::uint64_t nowMs) override;
  bool Write(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override;
  void Advance(std::uint64_t nowMs) override;
  std::uint64_t NextEventMs() const override;
  std::size_t Queued() const override { return received_.size(); }
  std::size_t Read(std::uint8_t* bytes, std::size_t capacity) override;
  void Purge() override { received_.clear(); }
  std::uint32_t TakeLineErrors() override;
  bool SetModemLine(kx7::ModemLine line, bool on) override;

  bool Rts() const { return rts_; }
  bool Dtr() const { return dtr_; }

 private:
  std::unique_ptr<EmulatedDevice> owned_;
  EmulatedDevice& device_;
  SerialLine line_;
  kx7::SerialConfig config_;
  bool open_ = false;
  std::deque<std::uint8_t> received_;
  std::uint32_t errors_ = 0;
  bool rts_ = false;
  bool dtr_ = false;
};

}  // namespace kx7::emu
