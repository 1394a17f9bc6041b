// A serial device that is not a device file: an emulated controller in the same process, for
// tests that run in virtual time. `CSerialPort` uses one instead of opening a tty when the port
// directory maps its COM number to a path that is registered in the port's `SerialBackendTable`
// (say "COM3=emulated:COM3", with a backend registered under "emulated:COM3"), so the Port menu,
// the settings and the controller search see an ordinary COM port.
//
// No thread is involved: every call comes from the user-interface thread, with the message loop's
// clock. The port asks the backend when it next has something to do and sets a timer for that
// time; when it fires, the port advances the backend and hands what arrived to the frame through
// the slot's receive buffer, its buffer-free event and the posted message, as its reader thread
// does for a tty. In virtual time a reply thus arrives at the exact millisecond the backend says.
// A backend whose next event changes without a call of the port (a test moved the emulated
// touch) calls WakePort(); the port then asks again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "link/serial/serial_settings.h"
#include "platform/port_directory.h"

namespace kx7 {

class MessageLoop;

// NextEventMs of a backend with nothing to do.
inline constexpr std::uint64_t kNoBackendEvent = std::numeric_limits<std::uint64_t>::max();

enum class ModemLine { kRts, kDtr };

struct ModemStatus {
  bool cts = false;
  bool dsr = false;
};

class SerialBackend {
 public:
  virtual ~SerialBackend() = default;

  // `nowMs` is always the clock of the port's message loop. Open fails when the device is open
  // already (one port at a time, as with a device file) or cannot be opened; what the device sent
  // before the open is not received.
  virtual bool Open(std::uint64_t nowMs) = 0;
  virtual void Close() = 0;

  // The line configuration the device runs with; Configure applies one and returns false when the
  // device rejects it (the previous configuration then stays).
  virtual SerialConfig Config() const = 0;
  virtual bool Configure(const SerialConfig& config, std::uint64_t nowMs) = 0;

  // Takes every byte at once and sends it when it can; false when the device failed.
  virtual bool Write(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) = 0;

  // Brings the device up to `nowMs`: what has arrived by then is queued for reading.
  virtual void Advance(std::uint64_t nowMs) = 0;
  // The time Advance next has something to do, or kNoBackendEvent.
  virtual std::uint64_t NextEventMs() const = 0;

  // The receive queue as of the last Advance.
  virtual std::size_t Queued() const = 0;
  virtual std::size_t Read(std::uint8_t* bytes, std::size_t capacity) = 0;
  virtual void Purge() = 0;
  // The serial::kError* bits seen since the last call.
  virtual std::uint32_t TakeLineErrors() = 0;

  // False only when the device failed to take it.
  virtual bool SetModemLine(ModemLine line, bool on) = 0;
  // CTS and DSR; nothing for a device without modem lines (the frame's flags then stay as they are).
  virtual std::optional<ModemStatus> ModemLines() const { return std::nullopt; }

  // Set by the port while it has the backend open, cleared when it closes.
  void SetWakeUp(std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(wakeMutex_);
    wake_ = std::move(wake);
  }

 protected:
  // NextEventMs changed outside a call of the port: the port asks again soon (it posts itself a
  // message, so this may be called from any thread and from inside the backend's own methods).
  void WakePort() {
    std::lock_guard<std::mutex> guard(wakeMutex_);
    if (wake_) wake_();
  }

 private:
  std::mutex wakeMutex_;
  std::function<void()> wake_;
};

// The backends of one message loop, by the path the port directory gives their COM numbers. It
// does not own them; they must outlive every port that opens them.
class SerialBackendTable {
 public:
  explicit SerialBackendTable(MessageLoop& loop) : loop_(loop) {}

  void Register(const std::string& path, SerialBackend& backend) { backends_[path] = &backend; }
  void Unregister(const std::string& path) { backends_.erase(path); }
  SerialBackend* Find(const std::string& path) const {
    const auto it = backends_.find(path);
    return it == backends_.end() ? nullptr : it->second;
  }
  MessageLoop& Loop() const { return loop_; }

  // Makes `backend` COM `number` of `ports` under the path "in-process:COMn"; false when the
  // directory refuses the number.
  bool Attach(PortDirectory& ports, int number, SerialBackend& backend) {
    const std::string path = "in-process:COM" + std::to_string(number);
    if (!ports.AddOverride("COM" + std::to_string(number) + "=" + path)) return false;
    Register(path, backend);
    return true;
  }

 private:
  MessageLoop& loop_;
  std::map<std::string, SerialBackend*> backends_;
};

}  // namespace kx7
