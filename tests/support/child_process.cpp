#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace kx7::testing {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, endSignal);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments, bool quietStderr) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  if (quietStderr) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> all = {program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  out_ = pipeFds[0];
  if (spawned != 0) pid_ = -1;
  return spawned == 0;
}

std::string ChildProcess::ReadLine(int patienceMs, bool wholeOutput) {
  std::string text;
  const auto deadline = Clock::now() + std::chrono::milliseconds(patienceMs);
  while (wholeOutput || text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd readable{out_, POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[256];
    const ssize_t got = read(out_, chunk, sizeof chunk);
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  if (!wholeOutput && text.find('\n') != std::string::npos) text.resize(text.find('\n'));
  return text;
}

void ChildProcess::Signal(int number) const {
  if (pid_ > 0) kill(pid_, number);
}

int ChildProcess::Wait(int patienceMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(patienceMs);
  while (pid_ > 0 && Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

bool EmulatorProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  // Its line about the pseudo-terminal's framing is for people.
  if (!process_.Start(program, arguments, true)) return false;
  path_ = process_.ReadLine(10000);
  return path_.rfind("/dev/", 0) == 0;
}

}  // namespace kx7::testing
