// The real kx7sdu as a child process, offscreen, in a folder of its own: started with arguments
// (its standard output to a file when asked), waited for, and killed if it is still running when
// the test ends.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace kx7::testing {

namespace fs = std::filesystem;

class Kx7sduProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
      if (c == '/') c = '-';
    folder_ = fs::temp_directory_path() / ("kx7sdu-smoke-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    fs::remove_all(folder_);
  }

  void Start(const std::vector<std::string>& arguments, const fs::path& output = {}) {
    const std::string program = std::string(KX7_BINARY_DIR) + "/gui/kx7sdu";
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (chdir(folder_.c_str()) != 0) _exit(126);
      if (!output.empty() && !freopen(output.c_str(), "w", stdout)) _exit(126);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }

  // Waits for the process to end; returns its exit status, or -1 when it is still running.
  int WaitForExit(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  bool WaitForFile(const fs::path& path, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (fs::exists(path) && fs::file_size(path) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  std::vector<std::uint8_t> Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path folder_;
  pid_t pid_ = -1;
};

}  // namespace kx7::testing
