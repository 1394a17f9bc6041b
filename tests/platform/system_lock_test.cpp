#include "platform/system_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace kx7 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDevice = "/dev/hidraw3";

class SystemLockInFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx7-lock-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string dir_;
};

TEST(SystemLockName, IsOneSafeFileNameForEveryPath) {
  struct Case {
    std::string path;
    std::string name;
  };
  const Case cases[] = {
      {"/dev/hidraw3", "kx7sdu-_dev_hidraw3.lock"},
      {"/dev/kx7-0", "kx7sdu-_dev_kx7-0.lock"},
      {"sim:usb#vid_0596&pid_0500#1.2", "kx7sdu-sim_usb_vid_0596_pid_0500_1.2.lock"},
      {"", "kx7sdu-.lock"},
      {"../..", "kx7sdu-.._...lock"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemLock::LockFileName(c.path), c.name) << c.path;

  // Paths too long for a file name keep apart by their hash.
  const std::string stem(300, 'a');
  const std::string first = SystemLock::LockFileName(stem + "1");
  const std::string second = SystemLock::LockFileName(stem + "2");
  EXPECT_NE(first, second);
  EXPECT_LT(first.size(), 255u);
  EXPECT_EQ(first.rfind("kx7sdu-aaaa", 0), 0u);
  EXPECT_EQ(first.substr(first.size() - 5), ".lock");
}

TEST(SystemLockFolder, IsTheRuntimeFolderWhenThereIsOne) {
  const char* saved = getenv("XDG_RUNTIME_DIR");
  const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
  char pattern[] = "/tmp/kx7-runtime-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);

  setenv("XDG_RUNTIME_DIR", pattern, 1);
  EXPECT_EQ(SystemLock::DefaultDirectory(), pattern);
  EXPECT_EQ(SystemLock::LockFilePath(kDevice), std::string(pattern) + "/kx7sdu-_dev_hidraw3.lock");
  setenv("XDG_RUNTIME_DIR", "/tmp/kx7-no-such-runtime-folder", 1);
  EXPECT_EQ(SystemLock::DefaultDirectory(), "/tmp");
  setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(SystemLock::DefaultDirectory(), "/tmp");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SystemLock::DefaultDirectory(), "/tmp");

  if (previous) setenv("XDG_RUNTIME_DIR", previous->c_str(), 1);
  rmdir(pattern);
}

TEST_F(SystemLockInFolder, HeldWhileTheObjectLivesAndGoneWithIt) {
  const std::string file = SystemLock::LockFilePath(kDevice, dir_);
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_FALSE(fs::exists(file));  // looking made no file
  {
    SystemLock lock(dir_);
    ASSERT_TRUE(lock.TryLock(kDevice));
    EXPECT_TRUE(lock.Locked());
    EXPECT_EQ(lock.DevicePath(), kDevice);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(SystemLock::IsLockedByOther(kDevice, dir_));
    EXPECT_FALSE(SystemLock::IsLockedByOther("/dev/hidraw4", dir_));

    SystemLock second(dir_);
    EXPECT_FALSE(second.TryLock(kDevice));
    EXPECT_FALSE(second.Locked());
    EXPECT_TRUE(second.TryLock("/dev/hidraw4"));
    // Looking did not take the lock away from its holder.
    EXPECT_TRUE(SystemLock::IsLockedByOther(kDevice, dir_));
  }
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(fs::is_empty(dir_));
  SystemLock again(dir_);
  EXPECT_TRUE(again.TryLock(kDevice));
}

TEST_F(SystemLockInFolder, ALockOfAnotherOpenFileIsSeenAndALeftoverFileIsNot) {
  // flock belongs to the open file, so a second open in this process stands for another copy.
  const std::string file = SystemLock::LockFilePath(kDevice, dir_);
  const int other = open(file.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(other, 0);
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));  // a file nobody holds
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(SystemLock::IsLockedByOther(kDevice, dir_));
  SystemLock lock(dir_);
  EXPECT_FALSE(lock.TryLock(kDevice));
  // The file of a holder that was refused stays for the holder.
  EXPECT_TRUE(fs::exists(file));
  close(other);
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_TRUE(lock.TryLock(kDevice));
}

TEST_F(SystemLockInFolder, UnlockMoveAndRelockGiveUpOnlyWhatIsHeld) {
  SystemLock lock(dir_);
  ASSERT_TRUE(lock.TryLock(kDevice));
  // Locking another path gives up the first.
  ASSERT_TRUE(lock.TryLock("/dev/hidraw5"));
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_TRUE(SystemLock::IsLockedByOther("/dev/hidraw5", dir_));

  SystemLock moved(std::move(lock));
  EXPECT_FALSE(lock.Locked());  // a moved-from lock holds nothing and can be used again
  EXPECT_TRUE(moved.Locked());
  lock.Unlock();
  EXPECT_TRUE(SystemLock::IsLockedByOther("/dev/hidraw5", dir_));

  SystemLock target(dir_);
  ASSERT_TRUE(target.TryLock(kDevice));
  target = std::move(moved);
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_TRUE(SystemLock::IsLockedByOther("/dev/hidraw5", dir_));
  target.Unlock();
  EXPECT_FALSE(target.Locked());
  EXPECT_FALSE(SystemLock::IsLockedByOther("/dev/hidraw5", dir_));
}

TEST_F(SystemLockInFolder, AFolderThatIsNotThereLocksNothing) {
  SystemLock lock(dir_ + "/missing");
  EXPECT_FALSE(lock.TryLock(kDevice));
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_ + "/missing"));
}

// A second copy of the program in a child process: it takes the lock, tells the parent through a
// pipe, and holds it until the parent writes back or kills it.
class LockingChild {
 public:
  LockingChild(const std::string& dir, const char* device) {
    int toParent[2];
    int toChild[2];
    if (pipe(toParent) != 0 || pipe(toChild) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(toParent[0]);
      close(toChild[1]);
      SystemLock lock(dir);
      const char result = lock.TryLock(device) ? 'L' : 'F';
      if (write(toParent[1], &result, 1) != 1) _exit(2);
      char go;
      const bool told = read(toChild[0], &go, 1) == 1;
      lock.Unlock();
      _exit(told ? 0 : 3);
    }
    close(toParent[1]);
    close(toChild[0]);
    fromChild_ = toParent[0];
    toChild_ = toChild[1];
  }
  ~LockingChild() {
    if (toChild_ >= 0) close(toChild_);
    if (fromChild_ >= 0) close(fromChild_);
    if (pid_ > 0) Wait();
  }

  // 'L' when the child holds the lock, 'F' when it could not take it.
  char Result() {
    char result = 0;
    if (read(fromChild_, &result, 1) != 1) return 0;
    return result;
  }
  int Release() {
    const char go = 'g';
    if (write(toChild_, &go, 1) != 1) return -1;
    return Wait();
  }
  int Kill() {
    kill(pid_, SIGKILL);
    return Wait();
  }

 private:
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

  pid_t pid_ = -1;
  int fromChild_ = -1;
  int toChild_ = -1;
};

TEST_F(SystemLockInFolder, ASecondProcessSeesTheLockUntilItIsReleased) {
  LockingChild child(dir_, kDevice);
  ASSERT_EQ(child.Result(), 'L');
  EXPECT_TRUE(SystemLock::IsLockedByOther(kDevice, dir_));
  SystemLock lock(dir_);
  EXPECT_FALSE(lock.TryLock(kDevice));
  const int status = child.Release();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  EXPECT_TRUE(lock.TryLock(kDevice));

  // Now the child is the second copy and is refused.
  LockingChild refused(dir_, kDevice);
  EXPECT_EQ(refused.Result(), 'F');
  refused.Release();
}

TEST_F(SystemLockInFolder, AProcessThatDiesWithoutLettingGoLeavesNoLock) {
  LockingChild child(dir_, kDevice);
  ASSERT_EQ(child.Result(), 'L');
  const int status = child.Kill();
  EXPECT_TRUE(WIFSIGNALED(status));
  // Its file stays behind, but nobody holds it.
  EXPECT_TRUE(fs::exists(SystemLock::LockFilePath(kDevice, dir_)));
  EXPECT_FALSE(SystemLock::IsLockedByOther(kDevice, dir_));
  SystemLock lock(dir_);
  EXPECT_TRUE(lock.TryLock(kDevice));
}

}  // namespace
}  // namespace kx7
