#include "platform/system_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kx7 {

namespace {

constexpr const char* kPrefix = "kx7sdu-";
constexpr const char* kSuffix = ".lock";
// Well below NAME_MAX (255) with the prefix, the hash and the suffix.
constexpr std::size_t kLongestName = 200;

std::string Resolve(const std::string& directory) {
  return directory.empty() ? SystemLock::DefaultDirectory() : directory;
}

bool IsDirectory(const char* path) {
  struct stat info {};
  return path != nullptr && *path != 0 && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// FNV-1a: short, and stable between copies of the program, which is all the name needs.
std::uint64_t Hash(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

int OpenNoInterrupt(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SameFile(int fd, const std::string& path) {
  struct stat held {};
  struct stat named {};
  if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0) return false;
  return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

SystemLock::SystemLock(std::string directory) : directory_(Resolve(directory)) {}

SystemLock::SystemLock(SystemLock&& other) noexcept
    : directory_(std::move(other.directory_)),
      devicePath_(std::move(other.devicePath_)),
      filePath_(std::move(other.filePath_)),
      fd_(std::exchange(other.fd_, -1)) {}

SystemLock& SystemLock::operator=(SystemLock&& other) noexcept {
  if (this != &other) {
    Unlock();
    directory_ = std::move(other.directory_);
    devicePath_ = std::move(other.devicePath_);
    filePath_ = std::move(other.filePath_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SystemLock::~SystemLock() { Unlock(); }

bool SystemLock::TryLock(const std::string& devicePath) {
  Unlock();
  const std::string path = LockFilePath(devicePath, directory_);
  // The holder deletes the file when it lets go, so the file we opened may be gone by the time we
  // hold it, and a third copy could then make and lock a new one. Holding counts only when the
  // file we hold is still the one under the name; otherwise open again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd = OpenNoInterrupt(path.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0) return false;
    int result;
    do {
      result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      close(fd);
      return false;
    }
    if (SameFile(fd, path)) {
      fd_ = fd;
      devicePath_ = devicePath;
      filePath_ = path;
      return true;
    }
    close(fd);
  }
  return false;
}

void SystemLock::Unlock() {
  if (fd_ < 0) return;
  // Deleted while still held, so no one can lock the old file and believe it is the current one.
  unlink(filePath_.c_str());
  close(fd_);
  fd_ = -1;
  devicePath_.clear();
  filePath_.clear();
}

bool SystemLock::IsLockedByOther(const std::string& devicePath, const std::string& directory) {
  const std::string path = LockFilePath(devicePath, directory);
  const int fd = OpenNoInterrupt(path.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;  // no file: nobody holds it
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  const bool held = result != 0 && errno == EWOULDBLOCK;
  // Closing drops the lock we may just have taken; the file stays, as it may be someone's who is
  // about to lock it.
  close(fd);
  return held;
}

std::string SystemLock::DefaultDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return IsDirectory(runtime) ? std::string(runtime) : std::string("/tmp");
}

std::string SystemLock::LockFileName(const std::string& devicePath) {
  std::string name;
  name.reserve(devicePath.size());
  for (const char c : devicePath) {
    const bool keep =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    name.push_back(keep ? c : '_');
  }
  if (name.size() > kLongestName) {
    char hash[24];
    std::snprintf(hash, sizeof hash, "-%016llx", static_cast<unsigned long long>(Hash(devicePath)));
    name.resize(kLongestName);
    name += hash;
  }
  return kPrefix + name + kSuffix;
}

std::string SystemLock::LockFilePath(const std::string& devicePath, const std::string& directory) {
  return Resolve(directory) + "/" + LockFileName(devicePath);
}

}  // namespace kx7
