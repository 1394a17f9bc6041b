#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace kx7 {

PtyPair::~PtyPair() {
  if (slaveKeeper_ >= 0) close(slaveKeeper_);
  if (master_ >= 0) close(master_);
}

bool PtyPair::Open() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
  const char* name = ptsname(master_);
  if (name == nullptr) return false;
  slavePath_ = name;
  slaveKeeper_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveKeeper_ >= 0) {
    termios raw{};
    if (tcgetattr(slaveKeeper_, &raw) == 0) {
      cfmakeraw(&raw);
      tcsetattr(slaveKeeper_, TCSANOW, &raw);
    }
  }
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  return slaveKeeper_ >= 0;
}

bool PtyPair::WriteMaster(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (done < bytes.size() && std::chrono::steady_clock::now() < end) {
    const ssize_t written = write(master_, bytes.data() + done, bytes.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else {
      pollfd fd{master_, POLLOUT, 0};
      poll(&fd, 1, 10);
    }
  }
  return done == bytes.size();
}

std::vector<std::uint8_t> PtyPair::ReadMaster(std::size_t count, int timeoutMs) {
  std::vector<std::uint8_t> bytes;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (bytes.size() < count && std::chrono::steady_clock::now() < end) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, 10) <= 0) continue;
    std::uint8_t chunk[4096];
    const ssize_t got = read(master_, chunk, sizeof chunk);
    if (got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

}  // namespace kx7
