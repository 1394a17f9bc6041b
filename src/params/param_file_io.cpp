#include "params/param_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kx7 {

std::optional<std::string> ReadParamFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  while (bytes.size() < limit) {
    const std::size_t want = std::min(sizeof chunk, limit - bytes.size());
    const ssize_t got = ::read(fd, chunk, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
}

bool WriteParamFile(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = true;
  for (std::size_t at = 0; at < bytes.size() && written;) {
    const ssize_t put = ::write(fd, bytes.data() + at, bytes.size() - at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      written = false;
    else
      at += static_cast<std::size_t>(put);
  }
  // The file gets the permissions a newly created one would have.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (written) written = ::fchmod(fd, 0666 & ~mask) == 0;
  if (written) written = ::fsync(fd) == 0;
  if (::close(fd) != 0) written = false;
  if (written) written = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace kx7
