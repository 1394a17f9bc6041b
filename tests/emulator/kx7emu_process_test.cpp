// The kx7emu program itself: started as a process, it prints its pseudo-terminal, answers the
// program's serial port there, and ends cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "emulated_device.h"
#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "platform/real_time_loop.h"
#include "platform/window.h"
#include "support/child_process.h"

namespace kx7::emu {
namespace {

constexpr int kPatienceMs = 10000;  // every wait ends far sooner when things work
constexpr std::uint32_t kGiveUpTimer = 99;
constexpr std::uint32_t kTickTimer = 98;
constexpr int kPortNumber = 241;
const std::string kProgram = KX7_BINARY_DIR "/emulator/kx7emu";

// kx7emu as a child process with its standard output on a pipe.
class EmulatorProcess : public kx7::testing::ChildProcess {
 public:
  bool Start(const std::vector<std::string>& arguments) { return ChildProcess::Start(kProgram, arguments); }
  std::string ReadLine(bool wholeOutput = false) { return ChildProcess::ReadLine(kPatienceMs, wholeOutput); }
  int Wait() { return ChildProcess::Wait(kPatienceMs); }
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
