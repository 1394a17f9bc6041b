// A program run as a child process with its standard output on a pipe: the end-to-end tests and
// benchmarks start kx7emu (and others) this way.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace kx7::testing {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // A process still running gets `endSignal` and is waited for.
  ~ChildProcess();

  // `quietStderr`: its standard error goes to /dev/null.
  bool Start(const std::string& program, const std::vector<std::string>& arguments, bool quietStderr = false);
  // Standard output up to the first line end (without it), or everything until it closes, within
  // `patienceMs`.
  std::string ReadLine(int patienceMs, bool wholeOutput = false);
  void Signal(int number) const;
  // The exit code, or -1 when it did not end normally within `patienceMs`.
  int Wait(int patienceMs);
  bool Running() const { return pid_ > 0; }

  int endSignal = SIGKILL;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// kx7emu serving one controller until the object goes; the pseudo-terminal's path is the first
// line it prints.
class EmulatorProcess {
 public:
  EmulatorProcess() { process_.endSignal = SIGTERM; }
  bool Start(const std::string& program, const std::vector<std::string>& arguments);
  const std::string& Path() const { return path_; }
  ChildProcess& Process() { return process_; }

 private:
  ChildProcess process_;
  std::string path_;
};

}  // namespace kx7::testing
