// A lock on one device for the whole system, so that a second copy of the program leaves a
// controller alone that the first one has open. It is a file in the user's runtime folder (or
// /tmp) named from the device path and held with flock while the object lives; the system drops
// it when the process ends, however it ends.
#pragma once

#include <string>

namespace kx7 {

class SystemLock {
 public:
  // `directory` holds the lock files; empty takes DefaultDirectory().
  explicit SystemLock(std::string directory = {});
  SystemLock(const SystemLock&) = delete;
  SystemLock& operator=(const SystemLock&) = delete;
  SystemLock(SystemLock&& other) noexcept;
  SystemLock& operator=(SystemLock&& other) noexcept;
  ~SystemLock();

  // Takes the lock of `devicePath`, giving up one held before. False when someone else holds it
  // (another copy of the program, or another SystemLock) or the file cannot be made.
  bool TryLock(const std::string& devicePath);
  // Gives the lock up and deletes its file.
  void Unlock();
  bool Locked() const { return fd_ >= 0; }
  const std::string& DevicePath() const { return devicePath_; }

  // True while anyone holds the lock of `devicePath`; looking takes nothing and makes no file.
  static bool IsLockedByOther(const std::string& devicePath, const std::string& directory = {});

  // $XDG_RUNTIME_DIR when it names a folder, /tmp otherwise.
  static std::string DefaultDirectory();
  // "kx7sdu-" and the path with every character but letters, digits, '.' and '-' as '_', then
  // ".lock"; a path too long for a file name is cut and a hash of the whole path appended.
  static std::string LockFileName(const std::string& devicePath);
  static std::string LockFilePath(const std::string& devicePath, const std::string& directory = {});

 private:
  std::string directory_;
  std::string devicePath_;
  std::string filePath_;
  int fd_ = -1;
};

}  // namespace kx7
