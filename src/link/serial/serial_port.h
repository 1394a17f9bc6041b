// One of the frame's six serial ports (slot 0 the controller link, 1 the barcode scanner, 2 the
// robot, 3 to 5 the monitor tool): opens COM N through the port directory, applies its settings
// string and runs one reader thread that hands received blocks to the frame through the slot's
// receive buffer, its buffer-free event and a posted message.
//
// All calls come from the user-interface thread; the reader only fills its slot's buffer, sets the
// shared line flags and posts.
//
// A COM number whose path is registered in the port's SerialBackendTable opens that backend
// instead of a device file; then no reader thread runs and a timer on the table's message loop
// moves the received bytes (see serial_backend.h).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "link/serial/line_error_monitor.h"
#include "link/serial/serial_backend.h"
#include "link/serial/serial_constants.h"
#include "link/serial/serial_port_host.h"
#include "link/serial/serial_settings.h"
#include "platform/event.h"
#include "platform/port_directory.h"

namespace kx7 {

class CSerialPort {
 public:
  // `ports` maps COM numbers to devices and must outlive the port object.
  CSerialPort(int slot, SerialPortHost& host, const PortDirectory& ports);
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;
  ~CSerialPort();

  // The backends this port may open instead of device files; null for none. Must outlive the
  // port; takes effect at the next open.
  void UseBackends(const SerialBackendTable* backends) { backends_ = backends; }

  // Opens COM `number` for this program alone (other openers are locked out), discards what was
  // queued, applies the settings string and starts the reader. Fails, without touching anything,
  // when the port is already open; fails when the number has no device, the device cannot be
  // opened or locked, or it rejects the settings.
  bool OpenPort(int number);
  // Stops the reader (waiting at most 5000 ms for it) and closes the device. Always succeeds.
  bool ClosePort();

  // Stores "%d,%c,%d,%d" and, when the port is open, applies it; false when the text is not a
  // line configuration or the device rejects it. On a closed port it only stores and succeeds.
  bool SetSettings(const std::string& text);
  // Store the line setting and, when the port is open, apply it at once. False only when the
  // device failed to take it; a device without modem lines (a pseudo-terminal) counts as taking it.
  bool SetRts(bool on);
  bool SetDtr(bool on);

  // Blocking write, bounded by the write time-outs of the settings (constant plus multiplier per
  // byte). False when the port is closed, the access lock is not free within 5000 ms, the device
  // fails or the time-out passes before every byte is out.
  bool Write(const std::uint8_t* bytes, std::size_t count);
  // Discards what is queued for reading.
  void Purge();
  // Waits until what was written has left the device (an in-process backend keeps written bytes
  // on its own line, in the settings they were sent with, and needs no wait).
  void WaitUntilSent();
  // Takes the line errors seen since the last query into the accumulated line errors and returns
  // the number of bytes waiting; 0 when closed.
  std::uint32_t LineStatus();
  // The device is open and its reader runs (a reader ends by itself when the device goes away).
  bool IsOpen() const;

  int Slot() const { return slot_; }
  int Number() const { return number_; }
  const std::string& Settings() const { return settings_; }
  bool Rts() const { return rts_; }
  bool Dtr() const { return dtr_; }
  // Bytes the reader has taken from the device since construction, counted once they were handed
  // to the frame or dropped for the discard-input flag.
  std::uint64_t BytesTaken() const { return bytesTaken_.load(); }
  // The serial::kError* bits seen since the port was opened.
  std::uint32_t LineErrors() const { return lineErrors_.load(); }
  WriteTimeouts CurrentWriteTimeouts() const { return writeTimeouts_; }
  // What the device reports it runs with now; nothing when closed. A pseudo-terminal always
  // reports 8 data bits without parity, whatever was set.
  std::optional<SerialConfig> DeviceConfig() const;

 private:
  enum class IdleResult { kReady, kStop, kHangUp };
  // Moves a backend's bytes to the frame on the loop's thread (serial_port.cpp).
  class BackendPump;

  bool DeviceOpen() const { return fd_ >= 0 || backend_ != nullptr; }
  bool OpenBackend(SerialBackend& backend);

  bool ApplySettings();
  bool ApplyModemLine(int line, bool on);
  // False when no thread could be started.
  bool StartReader();
  void StopReader();
  void CloseDevice();

  void ControllerReader(int fd, int stopFd);
  void PortReader(int fd, int stopFd);
  // Waits for bytes, the stop request or at most `timeoutMs`.
  IdleResult WaitIdle(int fd, int stopFd, int timeoutMs);
  // Sleeps `timeoutMs`; true when the stop request came meanwhile.
  static bool WaitForStop(int stopFd, int timeoutMs);
  // Takes the access lock unless a stop is requested first.
  bool LockForPass();
  // The line errors since the last query (also added to the accumulated ones) and the bytes
  // waiting; a failed query counts as none.
  void FreeBuffer();
  void QueryLine(int fd, std::uint32_t& errors, std::uint32_t& queued);
  // Reads min(queued, block size) bytes; false when the device was hung up or failed.
  bool ReadQueued(int fd, std::uint32_t queued, bool hungUp, std::array<std::uint8_t, serial::kMaxReadPerPass>& block,
                  std::size_t& got);
  // Hands a block to the frame once its buffer is free; false when a stop came first.
  bool HandOff(const std::uint8_t* bytes, std::size_t count);
  void ReadModemLines(int fd);

  const int slot_;
  SerialPortHost& host_;
  const PortDirectory& ports_;

  int number_ = 0;
  std::string settings_;
  bool rts_ = false;
  bool dtr_ = true;
  WriteTimeouts writeTimeouts_;

  int fd_ = -1;
  int stopFd_ = -1;
  std::thread reader_;
  Event stopEvent_;
  Event readerFinished_;
  std::atomic<bool> readerRunning_{false};
  std::timed_mutex accessLock_;
  std::atomic<std::uint32_t> lineErrors_{0};
  std::atomic<std::uint64_t> bytesTaken_{0};

  std::mutex countersMutex_;
  bool countersSupported_ = false;
  LineErrorCounts previousCounts_;

  const SerialBackendTable* backends_ = nullptr;
  SerialBackend* backend_ = nullptr;  // open instead of fd_
  std::unique_ptr<BackendPump> pump_;
};

}  // namespace kx7
