// Serves an emulated device on a pseudo-terminal: the program (or anything else) opens the slave
// side like a serial port; a thread on the master side feeds what the host writes to the device
// through the line model and writes back what the device sends.
//
// The host's settings are read from the slave's terminal attributes (the master's ioctls act on
// the slave). A pseudo-terminal keeps the speed and the stop bits it is given but always runs with
// 8 data bits and no parity, so the line here sees only speed and stop bits (see serial_line.h):
// the device answers when both match its own, and framing-exact behaviour is for the in-process
// backend.
//
// The server holds a slave descriptor of its own, so that a host that closes the port and opens it
// again does not hang the line up; while no host listens, what the device sends piles up in the
// pseudo-terminal until it is full and is then dropped, as on a wire nobody reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "emulated_device.h"
#include "line_settings.h"

namespace kx7::emu {

class PtyServer {
 public:
  explicit PtyServer(std::unique_ptr<EmulatedDevice> device);
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;
  ~PtyServer();

  // Opens the pseudo-terminal and starts serving; false (with the reason in `error`) when the
  // system gives no pseudo-terminal or no thread.
  bool Start(std::string* error = nullptr);
  // Ends the serving thread and closes the pseudo-terminal; a host that has the slave open then
  // sees a hang-up. Safe to call more than once.
  void Stop();

  bool Running() const { return thread_.joinable(); }
  // "/dev/pts/N"; empty before Start.
  const std::string& SlavePath() const { return slavePath_; }

  // The host's settings as the pseudo-terminal reports them (8,N whatever was set); nothing when
  // not running or the attributes cannot be read.
  std::optional<LineSettings> HostSettings() const;
  // Bytes of the device's that found no room in the pseudo-terminal.
  std::uint64_t DroppedBytes() const { return dropped_.load(); }
  // The device served; only to be touched while the server does not run.
  EmulatedDevice& Device() { return *device_; }

 private:
  void Serve();
  // Writes what the device sent; drops what the pseudo-terminal has no room for.
  void WriteToHost(const std::vector<std::uint8_t>& bytes);

  std::unique_ptr<EmulatedDevice> device_;
  int master_ = -1;
  int slaveKeeper_ = -1;
  int stopFd_ = -1;
  std::string slavePath_;
  std::thread thread_;
  std::atomic<std::uint64_t> dropped_{0};
};

// What `--emulate FAMILY[,SETTINGS]` starts: a running server for a device of `family` with its
// own `settings` (empty: the family's). Nothing when the family or the settings are unknown
// (`badUsage` true) or there is no pseudo-terminal; `error` then says why in a line to print.
// With `feed` the controller's touches come from it; `prepare` may change the device before it is
// served (a kept state loaded into it).
std::unique_ptr<PtyServer> StartEmulator(const std::string& family, const std::string& settings, std::string& error,
                                         bool& badUsage, std::shared_ptr<TouchFeed> feed = nullptr,
                                         const std::function<bool(EmulatedDevice&, std::string&)>& prepare = {});

}  // namespace kx7::emu
