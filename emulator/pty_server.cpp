#include "pty_server.h"

// The kernel's termios (termios2 carries free baud rates); it must not meet <termios.h> here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "serial_line.h"

namespace kx7::emu {
namespace {

constexpr std::size_t kReadChunk = 4096;
// The longest the thread sleeps without a reason; it only bounds how late a missed wake-up is seen.
constexpr int kMaxIdleMs = 1000;
// After a hang-up or error on the master (nothing should cause one while the keeper is open)
// the thread waits this long instead of spinning.
constexpr int kErrorBackOffMs = 10;

struct SpeedCode {
  unsigned code;
  int baud;
};

constexpr std::array<SpeedCode, 30> kSpeedCodes = {{
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
}};

std::optional<LineSettings> DecodeAttributes(const termios2& attributes) {
  LineSettings settings;
  const unsigned code = attributes.c_cflag & CBAUD;
  if (code == BOTHER) {
    settings.baud = static_cast<int>(attributes.c_ospeed);
  } else {
    settings.baud = 0;
    for (const SpeedCode& entry : kSpeedCodes)
      if (entry.code == code) settings.baud = entry.baud;
  }
  if (settings.baud <= 0) return std::nullopt;
  switch (attributes.c_cflag & CSIZE) {
    case CS5:
      settings.dataBits = 5;
      break;
    case CS6:
      settings.dataBits = 6;
      break;
    case CS7:
      settings.dataBits = 7;
      break;
    default:
      settings.dataBits = 8;
      break;
  }
  if ((attributes.c_cflag & PARENB) == 0) {
    settings.parity = 'N';
  } else if ((attributes.c_cflag & CMSPAR) != 0) {
    settings.parity = (attributes.c_cflag & PARODD) != 0 ? 'M' : 'S';
  } else {
    settings.parity = (attributes.c_cflag & PARODD) != 0 ? 'O' : 'E';
  }
  settings.stopBits = (attributes.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return settings;
}

// Nothing the device sends may come back as input: no echo, no line editing, no translation.
void MakeRaw(int fd) {
  termios2 attributes{};
  if (ioctl(fd, TCGETS2, &attributes) != 0) return;
  attributes.c_iflag = 0;
  attributes.c_oflag = 0;
  attributes.c_lflag = 0;
  attributes.c_cflag = (attributes.c_cflag & ~static_cast<unsigned>(CSIZE | PARENB | CRTSCTS)) | CS8 | CREAD | CLOCAL;
  attributes.c_cc[VMIN] = 0;
  attributes.c_cc[VTIME] = 0;
  ioctl(fd, TCSETS2, &attributes);
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why + ": " + std::strerror(errno);
  return false;
}

}  // namespace

PtyServer::PtyServer(std::unique_ptr<EmulatedDevice> device) : device_(std::move(device)) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start(std::string* error) {
  if (Running()) return true;
  if (!device_) {
    if (error) *error = "no device to serve";
    return false;
  }
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return Fail(error, "no pseudo-terminal");
  char name[128] = {};
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    const bool failed = Fail(error, "the pseudo-terminal cannot be unlocked");
    Stop();
    return failed;
  }
  slavePath_ = name;
  slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveKeeper_ < 0) {
    const bool failed = Fail(error, "cannot open " + slavePath_);
    Stop();
    return failed;
  }
  MakeRaw(slaveKeeper_);
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd_ < 0) {
    const bool failed = Fail(error, "no event descriptor");
    Stop();
    return failed;
  }
  try {
    thread_ = std::thread([this] { Serve(); });
  } catch (const std::system_error&) {
    if (error) *error = "no thread";
    Stop();
    return false;
  }
  return true;
}

void PtyServer::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  for (int* fd : {&stopFd_, &slaveKeeper_, &master_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::optional<LineSettings> PtyServer::HostSettings() const {
  if (master_ < 0) return std::nullopt;
  termios2 attributes{};
  // On the master these act on the slave's attributes: the host's.
  if (ioctl(master_, TCGETS2, &attributes) != 0) return std::nullopt;
  return DecodeAttributes(attributes);
}

void PtyServer::WriteToHost(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  dropped_ += bytes.size() - sent;
}

void PtyServer::Serve() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // The line runs in microseconds: at 9600 baud a character takes 1.04 ms, and a reply that
  // waited for the next whole millisecond would add a millisecond to every turn of an exchange.
  const auto nowUs = [&] {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
  };
  SerialLine line(*device_, HostFraming::kSpeedAndStopBitsOnly, kMicrosecondTickNs);
  LineSettings host = HostSettings().value_or(device_->Line());
  std::vector<std::uint8_t> chunk(kReadChunk);
  for (;;) {
    const std::uint64_t now = nowUs();
    host = HostSettings().value_or(host);
    WriteToHost(line.HostRead(host, now));
    const std::uint64_t next = line.NextEventMs();
    std::uint64_t waitUs = static_cast<std::uint64_t>(kMaxIdleMs) * 1000;
    if (next != kNever) waitUs = next <= now ? 0 : std::min<std::uint64_t>(next - now, waitUs);
    const timespec timeout{static_cast<time_t>(waitUs / 1'000'000), static_cast<long>((waitUs % 1'000'000) * 1000)};

    std::array<pollfd, 2> watched{{{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}}};
    const int ready = ::ppoll(watched.data(), watched.size(), &timeout, nullptr);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (watched[1].revents != 0) break;
    if ((watched[0].revents & POLLIN) != 0) {
      const ssize_t got = ::read(master_, chunk.data(), chunk.size());
      if (got > 0) {
        host = HostSettings().value_or(host);
        line.HostWrite(chunk.data(), static_cast<std::size_t>(got), host, nowUs());
      }
    } else if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      ::poll(&watched[1], 1, kErrorBackOffMs);
      if (watched[1].revents != 0) break;
    }
  }
}

std::unique_ptr<PtyServer> StartEmulator(const std::string& family, const std::string& settings, std::string& error,
                                         bool& badUsage, std::shared_ptr<TouchFeed> feed,
                                         const std::function<bool(EmulatedDevice&, std::string&)>& prepare) {
  badUsage = true;
  const std::vector<std::string>& families = FamilyNames();
  if (std::find(families.begin(), families.end(), family) == families.end()) {
    std::string known;
    for (const std::string& name : families) known += (known.empty() ? "" : ", ") + name;
    error = "no emulated family \"" + family + "\" (there are " + known + ")";
    return nullptr;
  }
  if (!settings.empty() && !ParseLineSettings(settings)) {
    error = "\"" + settings + "\" is not BAUD,PARITY,DATABITS,STOPBITS";
    return nullptr;
  }
  std::unique_ptr<EmulatedDevice> device = CreateDevice(family, settings, true, std::move(feed));
  if (!device) {
    error = "this build cannot make a \"" + family + "\" device";
    return nullptr;
  }
  badUsage = false;
  if (prepare && !prepare(*device, error)) return nullptr;
  auto server = std::make_unique<PtyServer>(std::move(device));
  if (!server->Start(&error)) return nullptr;
  return server;
}

}  // namespace kx7::emu
