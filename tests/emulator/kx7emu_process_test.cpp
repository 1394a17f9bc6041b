// The kx7emu program itself: started as a process, it prints its pseudo-terminal, answers the
// program's serial port there, and ends cleanly on SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulated_device.h"
#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "platform/real_time_loop.h"
#include "platform/window.h"

extern char** environ;

namespace kx7::emu {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPatienceMs = 10000;  // every wait ends far sooner when things work
constexpr std::uint32_t kGiveUpTimer = 99;
constexpr std::uint32_t kTickTimer = 98;
constexpr int kPortNumber = 241;
const std::string kProgram = KX7_BINARY_DIR "/emulator/kx7emu";

// kx7emu as a child process with its standard output on a pipe.
class EmulatorProcess {
 public:
  ~EmulatorProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  bool Start(const std::vector<std::string>& arguments) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> all = {kProgram};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, kProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
    if (spawned != 0) pid_ = -1;
    return spawned == 0;
  }

  // Standard output up to the first line end, or everything until it closes, within the time.
  std::string ReadLine(bool wholeOutput = false) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
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

  void Signal(int number) { kill(pid_, number); }

  // The exit code, or -1 when the process did not end normally within the time.
  int Wait() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (Clock::now() < deadline) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

class FakeFrame : public Window, public SerialPortHost {
 public:
  explicit FakeFrame(MessageLoop& loop) : Window(loop) {}
  ReceiveBuffer& Buffer(int slot) override { return buffers[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return flags; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override {
    Loop().Post(Id(), message, wParam, lParam);
  }
  void RestartLineErrorTimer() override {}
  void OnOpenTimedOut() override {}
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == wm::kTimer && wParam == kGiveUpTimer) gaveUp = true;
    if (message == serial::ReceivedMessage(serial::kControllerSlot)) {
      received.append(reinterpret_cast<const char*>(buffers[0].bytes.data()), buffers[0].count.load());
      buffers[0].bufferFree.Set();
    }
    return 0;
  }
  template <typename Done>
  bool RunFor(Done done) {
    gaveUp = false;
    SetTimer(kGiveUpTimer, kPatienceMs);
    SetTimer(kTickTimer, 5);
    bool result = false;
    Loop().RunUntil([&] {
      result = done();
      return result || gaveUp;
    });
    KillTimer(kGiveUpTimer);
    KillTimer(kTickTimer);
    return result;
  }

  std::array<ReceiveBuffer, serial::kSlotCount> buffers;
  LinkFlags flags;
  std::string received;
  bool gaveUp = false;
};

TEST(Kx7emuProcess, ServesCedarGen4UntilSigterm) {
  const std::unique_ptr<EmulatedDevice> reference = CreateDevice("cedar-gen4");
  if (!reference) GTEST_SKIP() << "the device factory makes no cedar-gen4 yet";
  EmulatorProcess emulator;
  ASSERT_TRUE(emulator.Start({"--family", "cedar-gen4"}));
  const std::string path = emulator.ReadLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "first line: \"" << path << "\"";

  PortDirectory ports;
  ASSERT_TRUE(ports.AddOverride("COM" + std::to_string(kPortNumber) + "=" + path));
  RealTimeLoop loop;
  FakeFrame frame(loop);
  CSerialPort port(serial::kControllerSlot, frame, ports);
  ASSERT_TRUE(port.SetSettings(reference->Line().ToString()));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  const std::string ping = "\x01Z\r";
  ASSERT_TRUE(port.Write(reinterpret_cast<const std::uint8_t*>(ping.data()), ping.size()));
  EXPECT_TRUE(frame.RunFor([&] {
    return frame.received.find(
               "\x01"
               "0\r") != std::string::npos;
  })) << frame.received.size()
      << " bytes";

  emulator.Signal(SIGTERM);
  EXPECT_EQ(emulator.Wait(), 0);
  // The line is gone with it.
  EXPECT_TRUE(frame.RunFor([&] { return !port.IsOpen(); }));
}

struct UsageCase {
  std::vector<std::string> arguments;
  int exitCode;
  std::vector<std::string> inOutput;
};

class Kx7emuUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Kx7emuUsage, EndsWithItsExitCodeAndSaysWhatItShould) {
  const UsageCase& c = GetParam();
  EmulatorProcess emulator;
  ASSERT_TRUE(emulator.Start(c.arguments));
  const std::string output = emulator.ReadLine(true);
  EXPECT_EQ(emulator.Wait(), c.exitCode);
  for (const std::string& text : c.inOutput) EXPECT_NE(output.find(text), std::string::npos) << text << "\n" << output;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Kx7emuUsage,
    ::testing::Values(UsageCase{{"--list"}, 0, {"cedar-gen4\n", "silent\n", "echo\n"}},
                      UsageCase{{"--help"}, 0, {"--family", "--settings", "--no-touch", "speed and stop bits"}},
                      UsageCase{{"--family", "no-such-family"}, 2, {}},
                      UsageCase{{"--family", "echo", "--settings", "19200,Q,8,1"}, 2, {}},
                      UsageCase{{"--settings"}, 2, {}}, UsageCase{{"--bogus"}, 2, {}}));

}  // namespace
}  // namespace kx7::emu
