#include "platform/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace kx7 {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting whether the close went well (it may report a failed write).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::optional<FileBytes> ReadFileBytes(const std::string& path, std::size_t most) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  FileBytes result;
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    const ssize_t got = ::read(file.Get(), chunk.data(), chunk.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    const std::size_t room = most - result.bytes.size();
    if (static_cast<std::size_t>(got) > room) {
      result.bytes.append(chunk.data(), room);
      result.tooLarge = true;
      break;
    }
    result.bytes.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return result;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::string temporary = path + ".XXXXXX";
  FileDescriptor file(::mkstemp(temporary.data()));
  if (file.Get() < 0) return false;
  bool written = true;
  for (std::size_t at = 0; at < bytes.size() && written;) {
    const ssize_t put = ::write(file.Get(), bytes.data() + at, bytes.size() - at);
    if (put < 0 && errno == EINTR) continue;
    written = put > 0;
    if (written) at += static_cast<std::size_t>(put);
  }
  // A new file is readable by all, as a file the program creates with fopen would be under the
  // usual umask, not private as mkstemp makes it.
  written = written && ::fchmod(file.Get(), 0644) == 0 && ::fsync(file.Get()) == 0;
  written = file.Close() && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace kx7
