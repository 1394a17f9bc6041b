#include "link/serial/serial_port.h"

// The kernel's termios (termios2 carries free baud rates); it must not meet <termios.h> here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "link/serial/serial_constants.h"
#include "platform/message_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kErrorBackOffMs = 10;

bool ReadTermios(int fd, termios2& attributes) { return ioctl(fd, TCGETS2, &attributes) == 0; }

TermiosFields FieldsOf(const termios2& attributes) {
  TermiosFields fields;
  fields.iflag = attributes.c_iflag;
  fields.oflag = attributes.c_oflag;
  fields.cflag = attributes.c_cflag;
  fields.lflag = attributes.c_lflag;
  fields.ispeed = attributes.c_ispeed;
  fields.ospeed = attributes.c_ospeed;
  fields.vmin = attributes.c_cc[VMIN];
  fields.vtime = attributes.c_cc[VTIME];
  return fields;
}

void StoreFields(const TermiosFields& fields, termios2& attributes) {
  attributes.c_iflag = fields.iflag;
  attributes.c_oflag = fields.oflag;
  attributes.c_cflag = fields.cflag;
  attributes.c_lflag = fields.lflag;
  attributes.c_ispeed = fields.ispeed;
  attributes.c_ospeed = fields.ospeed;
  attributes.c_cc[VMIN] = fields.vmin;
  attributes.c_cc[VTIME] = fields.vtime;
}

// A tty without the ioctl (a pseudo-terminal has no modem lines and no error counters).
bool NotSupported(int error) { return error == ENOTTY || error == EINVAL; }

bool ReadCounts(int fd, LineErrorCounts& counts) {
  serial_icounter_struct icount{};
  if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counts.framing = static_cast<std::uint32_t>(icount.frame);
  counts.parity = static_cast<std::uint32_t>(icount.parity);
  counts.overrun = static_cast<std::uint32_t>(icount.overrun);
  counts.bufferOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
  return true;
}

void DiscardInput(int fd) { ioctl(fd, TCFLSH, TCIFLUSH); }

// Timed against the wall clock: the library's steady-clock path takes the mutex through a call
// that thread checkers do not follow, and a clock step only stretches or shortens this one wait.
bool TryLockFor(std::timed_mutex& mutex, std::uint32_t ms) {
  return mutex.try_lock_until(std::chrono::system_clock::now() + std::chrono::milliseconds(ms));
}

}  // namespace

// The reader of a backend: a window on the backend table's loop whose timer comes due when the
// backend has something to do (or, while the frame still holds the buffer, a pass later). Each
// pass is what a reader pass does with a tty: line errors and their notifications, the modem
// lines, and one block handed to the frame once its buffer is free.
class CSerialPort::BackendPump : public Window {
 public:
  BackendPump(CSerialPort& port, MessageLoop& loop) : Window(loop), port_(port), lastPassMs_(loop.Now()) {
    port_.backend_->SetWakeUp([&loop, id = Id()] { loop.Post(id, kWakeMessage); });
  }
  ~BackendPump() override { port_.backend_->SetWakeUp(nullptr); }

  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if ((message == wm::kTimer && wParam == kTimerId) || message == kWakeMessage) Pass();
    return 0;
  }

  void Pass() {
    SerialBackend& backend = *port_.backend_;
    const std::uint64_t now = Loop().Now();
    backend.Advance(now);
    const std::uint32_t errors = backend.TakeLineErrors() & serial::kErrorMask;
    if (errors != 0) port_.lineErrors_.fetch_or(errors);
    std::size_t queued = backend.Queued();
    LinkFlags& flags = port_.host_.Flags();
    const bool controller = port_.slot_ == serial::kControllerSlot;
    if (controller) {
      // The time since the last pass counts as that many idle passes, as for a sleeping reader.
      if (now > lastPassMs_ + 1) {
        monitor_.SkipIdlePasses(static_cast<int>(std::min<std::uint64_t>(now - lastPassMs_ - 1, INT_MAX)));
      }
      const LinePassActions actions = monitor_.Pass(errors, static_cast<std::uint32_t>(queued));
      // Reading a backend's modem lines costs nothing: every pass does it.
      if (const std::optional<ModemStatus> lines = backend.ModemLines()) {
        flags.cts.store(lines->cts ? 1 : 0);
        flags.dsr.store(lines->dsr ? 1 : 0);
      }
      if (actions.framingError) flags.framingError.store(1);
      if (actions.parityError) flags.parityError.store(1);
      if (actions.RestartLineErrorTimer()) port_.host_.RestartLineErrorTimer();
      if (actions.notification) {
        port_.host_.PostToFrame(actions.notification->message, actions.notification->wParam,
                                actions.notification->lParam);
      }
    }
    lastPassMs_ = now;

    bool again = false;
    ReceiveBuffer& buffer = port_.host_.Buffer(port_.slot_);
    if (queued > 0 && flags.discardInput.load() != 0) {
      std::array<std::uint8_t, serial::kMaxReadPerPass> dropped;
      while (queued > 0) {
        const std::size_t got = backend.Read(dropped.data(), dropped.size());
        if (got == 0) break;
        port_.bytesTaken_.fetch_add(got);
        queued = backend.Queued();
      }
    } else if (queued > 0 && buffer.bufferFree.IsSet()) {
      const std::size_t got = backend.Read(buffer.bytes.data(), buffer.bytes.size());
      if (got > 0) {
        buffer.count.store(static_cast<std::uint32_t>(got));
        buffer.bufferFree.Reset();
        port_.host_.PostToFrame(serial::ReceivedMessage(port_.slot_), 0, 0);
        port_.bytesTaken_.fetch_add(got);
      }
      again = backend.Queued() > 0;
    } else if (queued > 0) {
      again = true;  // the frame has not taken the last block yet
    }

    std::uint64_t next = backend.NextEventMs();
    if (again) next = std::min(next, now + serial::kIdlePassMs);
    if (controller && monitor_.CoolDown() > 0) {
      next = std::min(next, now + static_cast<std::uint64_t>(monitor_.IdlePassesUntilDue()) * serial::kIdlePassMs);
    }
    if (next == kNoBackendEvent) {
      KillTimer(kTimerId);
    } else {
      const std::uint64_t wait = next > now ? next - now : 1;
      SetTimer(kTimerId, static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, UINT32_MAX)));
    }
  }

 private:
  static constexpr std::uint32_t kTimerId = 1;
  // The pump's own window gets only these two; the number is private to it.
  static constexpr MessageId kWakeMessage = wm::kUser;
  CSerialPort& port_;
  LineErrorMonitor monitor_;
  std::uint64_t lastPassMs_;
};

CSerialPort::CSerialPort(int slot, SerialPortHost& host, const PortDirectory& ports)
    : slot_(slot), host_(host), ports_(ports), settings_(serial::kDefaultSettings) {
  SerialConfig config;
  ApplySettingsString(settings_, config);
  writeTimeouts_ = config.writeTimeouts;
}

CSerialPort::~CSerialPort() { ClosePort(); }

bool CSerialPort::IsOpen() const { return backend_ != nullptr || (fd_ >= 0 && readerRunning_.load()); }

bool CSerialPort::OpenPort(int number) {
  if (IsOpen()) return false;
  // A reader that ended on its own left the device open; close it before opening anew.
  CloseDevice();
  lineErrors_.store(0);
  FreeBuffer();
  number_ = number;

  const std::optional<std::string> path = ports_.PathOf(number);
  if (!path) return false;
  if (backends_ != nullptr) {
    if (SerialBackend* backend = backends_->Find(*path)) return OpenBackend(*backend);
  }
  // Non-blocking: opening must not wait for carrier, and reads return at once.
  const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A device that does not answer its open (a USB converter that hangs) is the one failure
    // that also drops the current link.
    if (errno == ETIMEDOUT) host_.OnOpenTimedOut();
    return false;
  }
  // The lock keeps out other copies of this program even when they run as root, where TIOCEXCL
  // does not; TIOCEXCL keeps out everyone else who does not ask for a lock.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  ioctl(fd, TIOCEXCL);
  fd_ = fd;

  DiscardInput(fd_);
  if (!ApplySettings()) {
    CloseDevice();
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(countersMutex_);
    countersSupported_ = ReadCounts(fd_, previousCounts_);
  }
  if (!StartReader()) {
    CloseDevice();
    return false;
  }
  return true;
}

bool CSerialPort::OpenBackend(SerialBackend& backend) {
  MessageLoop& loop = backends_->Loop();
  if (!backend.Open(loop.Now())) return false;
  backend_ = &backend;
  pump_ = std::make_unique<BackendPump>(*this, loop);
  backend.Purge();
  if (!ApplySettings()) {
    CloseDevice();
    return false;
  }
  pump_->Pass();
  return true;
}

bool CSerialPort::ClosePort() {
  StopReader();
  CloseDevice();
  // Set after the reader is gone, so that no block of the closed port is posted behind the close.
  FreeBuffer();
  return true;
}

void CSerialPort::CloseDevice() {
  StopReader();
  if (backend_ != nullptr) {
    pump_.reset();
    backend_->Close();
    backend_ = nullptr;
  }
  if (fd_ < 0) return;
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also releases the lock
  fd_ = -1;
}

bool CSerialPort::SetSettings(const std::string& text) {
  settings_ = text;
  if (!DeviceOpen()) return true;
  return ApplySettings();
}

bool CSerialPort::SetRts(bool on) {
  rts_ = on;
  return !DeviceOpen() || ApplyModemLine(TIOCM_RTS, on);
}

bool CSerialPort::SetDtr(bool on) {
  dtr_ = on;
  return !DeviceOpen() || ApplyModemLine(TIOCM_DTR, on);
}

bool CSerialPort::ApplyModemLine(int line, bool on) {
  if (backend_ != nullptr) return backend_->SetModemLine(line == TIOCM_RTS ? ModemLine::kRts : ModemLine::kDtr, on);
  int bits = line;
  if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
  return NotSupported(errno);
}

bool CSerialPort::ApplySettings() {
  if (backend_ != nullptr) {
    SerialConfig config = backend_->Config();
    if (!ApplySettingsString(settings_, config)) return false;
    if (!backend_->Configure(config, pump_->Loop().Now())) return false;
    if (!ApplyModemLine(TIOCM_DTR, dtr_) || !ApplyModemLine(TIOCM_RTS, rts_)) return false;
    writeTimeouts_ = config.writeTimeouts;
    return true;
  }
  termios2 attributes{};
  if (!ReadTermios(fd_, attributes)) return false;
  TermiosFields fields = FieldsOf(attributes);
  // Letters and stop bits the text leaves open keep what the device has.
  SerialConfig config = DecodeTermios(fields).value_or(SerialConfig{});
  if (!ApplySettingsString(settings_, config)) return false;
  EncodeTermios(config, fields);
  StoreFields(fields, attributes);
  if (ioctl(fd_, TCSETS2, &attributes) != 0) return false;

  // The kernel takes any rate and reports the one the UART can make; a rate it cannot come close
  // to is a rejected setting.
  termios2 applied{};
  if (!ReadTermios(fd_, applied)) return false;
  const std::optional<SerialConfig> actual = DecodeTermios(FieldsOf(applied));
  if (!actual) return false;
  const long difference = std::labs(static_cast<long>(actual->baud) - config.baud);
  if (difference * 100 > static_cast<long>(config.baud) * serial::kBaudTolerancePercent) return false;

  if (!ApplyModemLine(TIOCM_DTR, dtr_) || !ApplyModemLine(TIOCM_RTS, rts_)) return false;
  writeTimeouts_ = config.writeTimeouts;
  return true;
}

std::optional<SerialConfig> CSerialPort::DeviceConfig() const {
  if (backend_ != nullptr) return backend_->Config();
  if (fd_ < 0) return std::nullopt;
  termios2 attributes{};
  if (!ReadTermios(fd_, attributes)) return std::nullopt;
  return DecodeTermios(FieldsOf(attributes));
}

bool CSerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
  if (!DeviceOpen()) return false;
  if (count == 0) return true;
  if (bytes == nullptr) return false;
  if (backend_ != nullptr) {
    const bool written = backend_->Write(bytes, count, pump_->Loop().Now());
    // The backend now has something on the way; the pump wakes for it.
    pump_->Pass();
    return written;
  }
  if (!TryLockFor(accessLock_, serial::kAccessLockWaitMs)) return false;
  std::unique_lock<std::timed_mutex> lock(accessLock_, std::adopt_lock);

  const auto deadline = Clock::now() + std::chrono::milliseconds(writeTimeouts_.TotalMs(count));
  std::size_t sent = 0;
  while (sent < count) {
    const ssize_t written = ::write(fd_, bytes + sent, count - sent);
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd writable{fd_, POLLOUT, 0};
    const int ready = ::poll(&writable, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && (writable.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
  }
  return true;
}

void CSerialPort::WaitUntilSent() {
  if (fd_ >= 0) ioctl(fd_, TCSBRK, 1);
}

void CSerialPort::Purge() {
  if (backend_ != nullptr) {
    backend_->Advance(pump_->Loop().Now());
    backend_->Purge();
  }
  if (fd_ >= 0) DiscardInput(fd_);
}

std::uint32_t CSerialPort::LineStatus() {
  if (backend_ != nullptr) {
    backend_->Advance(pump_->Loop().Now());
    const std::uint32_t errors = backend_->TakeLineErrors() & serial::kErrorMask;
    if (errors != 0) lineErrors_.fetch_or(errors);
    return static_cast<std::uint32_t>(backend_->Queued());
  }
  if (fd_ < 0) return 0;
  std::uint32_t errors = 0;
  std::uint32_t queued = 0;
  QueryLine(fd_, errors, queued);
  return queued;
}

void CSerialPort::QueryLine(int fd, std::uint32_t& errors, std::uint32_t& queued) {
  errors = 0;
  queued = 0;
  {
    std::lock_guard<std::mutex> guard(countersMutex_);
    LineErrorCounts now;
    if (countersSupported_ && ReadCounts(fd, now)) {
      errors = ErrorBitsBetween(previousCounts_, now);
      previousCounts_ = now;
    }
  }
  if (errors != 0) lineErrors_.fetch_or(errors & serial::kErrorMask);
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0) queued = static_cast<std::uint32_t>(waiting);
}

bool CSerialPort::StartReader() {
  if (reader_.joinable()) return true;
  const int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd < 0) return false;
  stopEvent_.Reset();
  readerFinished_.Reset();
  FreeBuffer();
  readerRunning_.store(true);
  stopFd_ = stopFd;
  const int fd = fd_;
  try {
    if (slot_ == serial::kControllerSlot) {
      reader_ = std::thread([this, fd, stopFd] { ControllerReader(fd, stopFd); });
    } else {
      reader_ = std::thread([this, fd, stopFd] { PortReader(fd, stopFd); });
    }
  } catch (const std::system_error&) {
    // No thread could be made (resource limits): the port stays closed.
    readerRunning_.store(false);
    ::close(stopFd_);
    stopFd_ = -1;
    return false;
  }
  return true;
}

void CSerialPort::StopReader() {
  if (!reader_.joinable()) return;
  stopEvent_.Set();
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stopFd_, &one, sizeof one);
  readerFinished_.Wait(serial::kReaderStopWaitMs);
  // Every wait of the reader is bounded and watches the stop request, so it ends well within the
  // wait above; joining still, rather than leaving a thread that uses this object behind.
  reader_.join();
  ::close(stopFd_);
  stopFd_ = -1;
}

CSerialPort::IdleResult CSerialPort::WaitIdle(int fd, int stopFd, int timeoutMs) {
  std::array<pollfd, 2> watched{{{fd, POLLIN, 0}, {stopFd, POLLIN, 0}}};
  const int ready = ::poll(watched.data(), watched.size(), timeoutMs);
  if (ready <= 0) return IdleResult::kReady;
  if (watched[1].revents != 0) return IdleResult::kStop;
  if ((watched[0].revents & (POLLHUP | POLLNVAL)) != 0) return IdleResult::kHangUp;
  if ((watched[0].revents & (POLLERR | POLLIN)) == POLLERR) {
    // An error condition without bytes keeps poll returning at once; wait a little instead of
    // spinning.
    ::poll(&watched[1], 1, std::min(timeoutMs, kErrorBackOffMs));
    if (watched[1].revents != 0) return IdleResult::kStop;
  }
  return IdleResult::kReady;
}

bool CSerialPort::WaitForStop(int stopFd, int timeoutMs) {
  pollfd stop{stopFd, POLLIN, 0};
  return ::poll(&stop, 1, timeoutMs) > 0;
}

bool CSerialPort::LockForPass() {
  while (!stopEvent_.IsSet()) {
    if (TryLockFor(accessLock_, serial::kReaderLockStepMs)) return true;
  }
  return false;
}

bool CSerialPort::HandOff(const std::uint8_t* bytes, std::size_t count) {
  ReceiveBuffer& buffer = host_.Buffer(slot_);
  // The lock is not held here: the frame may take its time, and writes go on meanwhile.
  for (;;) {
    const int which = Event::WaitAny({&stopEvent_, &buffer.bufferFree}, serial::kBufferFreeStepMs);
    if (which == 0) return false;
    if (which == 1) break;
  }
  std::memcpy(buffer.bytes.data(), bytes, count);
  buffer.count.store(static_cast<std::uint32_t>(count));
  buffer.bufferFree.Reset();
  host_.PostToFrame(serial::ReceivedMessage(slot_), 0, 0);
  return true;
}

void CSerialPort::ReadModemLines(int fd) {
  int status = 0;
  if (ioctl(fd, TIOCMGET, &status) != 0) return;
  LinkFlags& flags = host_.Flags();
  flags.cts.store((status & TIOCM_CTS) ? 1 : 0);
  flags.dsr.store((status & TIOCM_DSR) ? 1 : 0);
}

void CSerialPort::ControllerReader(int fd, int stopFd) {
  // The receive queue was discarded by OpenPort before this thread started; discarding it here
  // again would drop bytes that arrived after OpenPort returned.
  LineErrorMonitor monitor;
  std::array<std::uint8_t, serial::kMaxReadPerPass> block;
  bool hungUp = false;
  Clock::time_point lastBlock{};
  for (;;) {
    if (!LockForPass()) break;
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    QueryLine(fd, errors, queued);

    const LinePassActions actions = monitor.Pass(errors, queued);
    if (actions.readModemLines) ReadModemLines(fd);
    LinkFlags& flags = host_.Flags();
    if (actions.framingError) flags.framingError.store(1);
    if (actions.parityError) flags.parityError.store(1);
    if (actions.RestartLineErrorTimer()) host_.RestartLineErrorTimer();
    if (actions.notification) {
      host_.PostToFrame(actions.notification->message, actions.notification->wParam, actions.notification->lParam);
    }

    std::size_t got = 0;
    const bool failed = !ReadQueued(fd, queued, hungUp, block, got);
    accessLock_.unlock();
    if (failed) break;

    if (got > 0) {
      if (flags.discardInput.load() == 0 && !HandOff(block.data(), got)) break;
      bytesTaken_.fetch_add(got);
      // A stream that trickles in small pieces (a UART's FIFO, one interrupt each) would cost a
      // wake-up of this thread and of the frame per piece; gather it for a moment instead. A
      // lone report, after a quiet line, is still read the moment it arrives.
      const auto now = Clock::now();
      const bool trickling =
          got < serial::kSmallBlock && now - lastBlock < std::chrono::milliseconds(serial::kStreamGapMs);
      lastBlock = now;
      if (trickling) {
        if (WaitForStop(stopFd, serial::kGatherMs)) break;
        monitor.SkipIdlePasses(serial::kGatherMs / serial::kIdlePassMs - 1);
      }
      continue;
    }
    const int passes = std::min(monitor.IdlePassesUntilDue(), serial::kMaxIdleWaitMs / serial::kIdlePassMs);
    const auto sleepStart = Clock::now();
    const IdleResult idle = WaitIdle(fd, stopFd, passes * serial::kIdlePassMs);
    if (idle == IdleResult::kStop) break;
    if (idle == IdleResult::kHangUp) hungUp = true;
    const auto slept = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sleepStart).count();
    // The pass that follows is one of them.
    monitor.SkipIdlePasses(static_cast<int>(slept / serial::kIdlePassMs) - 1);
  }
  readerRunning_.store(false);
  readerFinished_.Set();
}

bool CSerialPort::ReadQueued(int fd, std::uint32_t queued, bool hungUp, std::array<std::uint8_t, serial::kMaxReadPerPass>& block,
                             std::size_t& got) {
  got = 0;
  if (queued == 0) return !hungUp;
  const ssize_t read = ::read(fd, block.data(), std::min<std::size_t>(queued, block.size()));
  if (read > 0) {
    got = static_cast<std::size_t>(read);
    return true;
  }
  // End of file on a tty: it was hung up.
  return read < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void CSerialPort::FreeBuffer() {
  // A block the old reader posted before the close must not reach the listeners of the next
  // link: the frame finds an empty buffer and only frees it again.
  host_.Buffer(slot_).count = 0;
  host_.Buffer(slot_).bufferFree.Set();
}

void CSerialPort::PortReader(int fd, int stopFd) {
  std::array<std::uint8_t, serial::kMaxReadPerPass> block;
  bool hungUp = false;
  for (;;) {
    // Nothing here counts passes: the reader sleeps until bytes come or it is stopped.
    const IdleResult idle = WaitIdle(fd, stopFd, serial::kMaxIdleWaitMs);
    if (idle == IdleResult::kStop) break;
    if (idle == IdleResult::kHangUp) hungUp = true;
    if (!LockForPass()) break;
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    QueryLine(fd, errors, queued);
    std::size_t got = 0;
    const bool failed = !ReadQueued(fd, queued, hungUp, block, got);
    accessLock_.unlock();
    if (failed) break;
    if (got > 0) {
      if (host_.Flags().discardInput.load() == 0 && !HandOff(block.data(), got)) break;
      bytesTaken_.fetch_add(got);
    }
  }
  readerRunning_.store(false);
  readerFinished_.Set();
}

}  // namespace kx7
