// The port against a real pseudo-terminal: the test holds the master side, the port opens the
// slave through a COM override, and its reader thread hands blocks to a frame on a real-time loop.
#include "link/serial/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "link/serial/serial_constants.h"
#include "platform/real_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPortNumber = 250;
constexpr std::uint32_t kPatience = 5000;  // ms; every wait below ends far sooner when things work
constexpr std::uint32_t kGiveUpTimer = 99;
// Some conditions change without a message (the reader ending); this tick re-checks them.
constexpr std::uint32_t kTickTimer = 98;

// The master side of a pseudo-terminal pair.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name) slavePath_ = name;
  }
  ~PseudoTerminal() { CloseMaster(); }

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool Write(const std::string& bytes) {
    return Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  bool Write(const std::uint8_t* bytes, std::size_t count) {
    std::size_t sent = 0;
    while (sent < count) {
      const ssize_t n = ::write(master_, bytes + sent, count - sent);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads until `count` bytes came or `timeoutMs` passed.
  std::string Read(std::size_t count, int timeoutMs) {
    std::string bytes;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd readable{master_, POLLIN, 0};
      if (::poll(&readable, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(master_, chunk, sizeof chunk);
      if (n <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
  }

  // True when the slave side is closed (the master then reads end of file or EIO).
  bool SlaveClosed(int timeoutMs) {
    pollfd readable{master_, POLLIN, 0};
    if (::poll(&readable, 1, timeoutMs) <= 0) return false;
    return (readable.revents & POLLHUP) != 0;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// The frame as far as the port sees it: it copies each block out and frees the buffer again.
class FakeFrame : public Window, public SerialPortHost {
 public:
  explicit FakeFrame(MessageLoop& loop) : Window(loop) {}

  ReceiveBuffer& Buffer(int slot) override { return buffers[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return flags; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override {
    Loop().Post(Id(), message, wParam, lParam);
  }
  void RestartLineErrorTimer() override { ++timerRestarts; }
  void OnOpenTimedOut() override { ++openTimeouts; }

  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == wm::kTimer && wParam == kGiveUpTimer) {
      gaveUp = true;
      return 0;
    }
    if (message < serial::kReceivedMessage || message >= serial::ReceivedMessage(serial::kSlotCount)) return 0;
    const int slot = static_cast<int>(message - serial::kReceivedMessage);
    ++blocks[static_cast<std::size_t>(slot)];
    if (!freeBuffers) return 0;
    ReceiveBuffer& buffer = Buffer(slot);
    const std::uint32_t count = buffer.count.load();
    largestBlock = std::max(largestBlock, count);
    received[static_cast<std::size_t>(slot)].append(reinterpret_cast<const char*>(buffer.bytes.data()), count);
    buffer.bufferFree.Set();
    return 0;
  }

  // Runs the loop until `done` or kPatience ms; returns done().
  template <typename Done>
  bool RunFor(Done done, std::uint32_t patienceMs = kPatience) {
    gaveUp = false;
    SetTimer(kGiveUpTimer, patienceMs);
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
  std::array<std::string, serial::kSlotCount> received;
  std::array<int, serial::kSlotCount> blocks{};
  std::uint32_t largestBlock = 0;
  bool freeBuffers = true;
  bool gaveUp = false;
  std::atomic<int> timerRestarts{0};
  std::atomic<int> openTimeouts{0};
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(ports.AddOverride("COM" + std::to_string(kPortNumber) + "=" + pty.SlavePath()));
  }

  PseudoTerminal pty;
  PortDirectory ports;
  RealTimeLoop loop;
  FakeFrame frame{loop};
  CSerialPort port{serial::kControllerSlot, frame, ports};
};

TEST_F(SerialPortTest, BytesFromTheDeviceReachTheFrame) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.Number(), kPortNumber);
  ASSERT_TRUE(pty.Write("T,1234,5678\r"));
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0] == "T,1234,5678\r"; })) << frame.received[0];
  EXPECT_GE(frame.blocks[0], 1);
  // Every byte value passes untouched (no CR translation, no stripping, no flow control).
  std::string all;
  for (int value = 0; value < 256; ++value) all.push_back(static_cast<char>(value));
  frame.received[0].clear();
  ASSERT_TRUE(pty.Write(all));
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0].size() >= all.size(); }));
  EXPECT_EQ(frame.received[0], all);
  // A pseudo-terminal has no error counters: no errors, and nothing to report.
  EXPECT_EQ(port.LineErrors(), 0u);
  EXPECT_EQ(frame.timerRestarts.load(), 0);
}

TEST_F(SerialPortTest, AStreamOfManyBuffersArrivesCompleteAndInOrder) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  std::string stream;
  for (int i = 0; i < 60000; ++i) stream.push_back(static_cast<char>((i * 7 + i / 251) & 0xFF));
  std::thread writer([&] { EXPECT_TRUE(pty.Write(stream)); });
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0].size() >= stream.size(); }));
  writer.join();
  EXPECT_EQ(frame.received[0].size(), stream.size());
  EXPECT_TRUE(frame.received[0] == stream);
  EXPECT_LE(frame.largestBlock, kReceiveBufferSize);
  EXPECT_GE(frame.blocks[0], static_cast<int>(stream.size() / kReceiveBufferSize));
}

// A UART hands its bytes on a few at a time; the reader gathers such a trickle, and nothing of it
// may be lost or reordered on the way.
TEST_F(SerialPortTest, ATrickleOfSmallPiecesArrivesCompleteAndInOrder) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  std::string stream;
  for (int i = 0; i < 2400; ++i) stream.push_back(static_cast<char>('A' + i % 26));
  std::thread writer([&] {
    for (std::size_t at = 0; at < stream.size(); at += 8) {
      EXPECT_TRUE(pty.Write(stream.substr(at, 8)));
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0].size() >= stream.size(); }));
  writer.join();
  EXPECT_EQ(frame.received[0], stream);
}

TEST_F(SerialPortTest, OtherSlotsPostTheirOwnMessage) {
  CSerialPort scanner(1, frame, ports);
  ASSERT_TRUE(scanner.OpenPort(kPortNumber));
  ASSERT_TRUE(pty.Write("0123456789\r"));
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[1] == "0123456789\r"; })) << frame.received[1];
  EXPECT_GE(frame.blocks[1], 1);
  EXPECT_EQ(frame.blocks[0], 0);
  EXPECT_TRUE(frame.received[0].empty());
}

TEST_F(SerialPortTest, WritesReachTheDevice) {
  EXPECT_FALSE(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1));  // closed
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  const std::string command = "UV\r";
  EXPECT_TRUE(port.Write(reinterpret_cast<const std::uint8_t*>(command.data()), command.size()));
  EXPECT_EQ(pty.Read(command.size(), kPatience), command);
  EXPECT_TRUE(port.Write(nullptr, 0));
}

// The device never takes its bytes: the write must give up after its time-out, not hang.
TEST_F(SerialPortTest, AWriteTheDeviceDoesNotTakeTimesOut) {
  ASSERT_TRUE(port.SetSettings("115200,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  const WriteTimeouts timeouts = port.CurrentWriteTimeouts();
  EXPECT_EQ(timeouts, (WriteTimeouts{1, 100}));
  const std::vector<std::uint8_t> chunk(1024, 0x55);
  bool timedOut = false;
  Clock::duration lastCall{};
  // The pseudo-terminal buffers some tens of kilobytes before it refuses more.
  for (int i = 0; i < 2000 && !timedOut; ++i) {
    const auto start = Clock::now();
    timedOut = !port.Write(chunk.data(), chunk.size());
    lastCall = Clock::now() - start;
  }
  ASSERT_TRUE(timedOut);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(lastCall).count();
  EXPECT_LE(ms, static_cast<long long>(timeouts.TotalMs(chunk.size())) + 1000);
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, OpeningAnOpenPortFailsWithoutTouchingIt) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  PortDirectory& directory = ports;
  ASSERT_TRUE(directory.AddOverride("COM251=/dev/null"));
  EXPECT_FALSE(port.OpenPort(kPortNumber));
  EXPECT_FALSE(port.OpenPort(251));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.Number(), kPortNumber);
  ASSERT_TRUE(pty.Write("still here"));
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0] == "still here"; })) << frame.received[0];
}

TEST_F(SerialPortTest, TheDeviceBelongsToOnePortAtATime) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  CSerialPort other(2, frame, ports);
  EXPECT_FALSE(other.OpenPort(kPortNumber));
  EXPECT_FALSE(other.IsOpen());
  EXPECT_TRUE(port.ClosePort());
  EXPECT_TRUE(other.OpenPort(kPortNumber));
}

TEST_F(SerialPortTest, SettingsAreStoredWhileClosedAndAppliedWhenOpen) {
  EXPECT_EQ(port.Settings(), "9600,N,8,1");
  EXPECT_TRUE(port.SetSettings("19200,E,7,2"));
  EXPECT_EQ(port.Settings(), "19200,E,7,2");
  EXPECT_FALSE(port.DeviceConfig().has_value());
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  auto device = port.DeviceConfig();
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->baud, 19200);
  EXPECT_EQ(device->stopBits, 2);  // a pseudo-terminal keeps speed and stop bits, not parity or size

  // A rate without a speed code of its own; the unknown letter and stop bits keep the device's.
  EXPECT_TRUE(port.SetSettings("28800,X,8,3"));
  device = port.DeviceConfig();
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->baud, 28800);
  EXPECT_EQ(device->stopBits, 2);

  EXPECT_TRUE(port.SetSettings("1200,N,8,1"));
  EXPECT_EQ(port.CurrentWriteTimeouts(), (WriteTimeouts{8, 800}));

  // A text that is no line configuration fails and leaves the device as it was.
  EXPECT_FALSE(port.SetSettings("fast please"));
  EXPECT_EQ(port.Settings(), "fast please");
  device = port.DeviceConfig();
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->baud, 1200);
  EXPECT_TRUE(port.IsOpen());

  // Stored while closed, it makes the next open fail and leaves the device free.
  port.ClosePort();
  EXPECT_TRUE(port.SetSettings("fast please"));
  EXPECT_FALSE(port.OpenPort(kPortNumber));
  EXPECT_FALSE(port.IsOpen());
  CSerialPort other(1, frame, ports);
  EXPECT_TRUE(other.OpenPort(kPortNumber));
}

TEST_F(SerialPortTest, ModemLineSettingsSurviveAPseudoTerminal) {
  EXPECT_TRUE(port.SetRts(true));
  EXPECT_TRUE(port.SetDtr(false));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_TRUE(port.Rts());
  EXPECT_FALSE(port.Dtr());
  // No modem lines to set: still a success.
  EXPECT_TRUE(port.SetRts(false));
  EXPECT_TRUE(port.SetDtr(true));
}

TEST_F(SerialPortTest, ClosingStopsTheReaderPromptlyEvenWhenTheFrameHoldsTheBuffer) {
  frame.freeBuffers = false;
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  ASSERT_TRUE(pty.Write("first"));
  ASSERT_TRUE(frame.RunFor([&] { return frame.blocks[0] == 1; }));
  // The reader now waits for a buffer the frame does not free.
  ASSERT_TRUE(pty.Write("second"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = Clock::now();
  EXPECT_TRUE(port.ClosePort());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(frame.buffers[0].bufferFree.IsSet());
  EXPECT_TRUE(pty.SlaveClosed(kPatience));
  // Closed: settings only stored, writes refused, nothing waiting.
  EXPECT_TRUE(port.SetSettings("9600,N,8,1"));
  EXPECT_EQ(port.LineStatus(), 0u);
  EXPECT_TRUE(port.ClosePort());
}

TEST_F(SerialPortTest, DiscardInputDropsWhatArrives) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  frame.flags.discardInput.store(1);
  ASSERT_TRUE(pty.Write("AAAA"));
  ASSERT_TRUE(frame.RunFor([&] { return port.BytesTaken() == 4; }));
  EXPECT_EQ(frame.blocks[0], 0);
  frame.flags.discardInput.store(0);
  ASSERT_TRUE(pty.Write("CCCC"));
  EXPECT_TRUE(frame.RunFor([&] { return frame.received[0] == "CCCC"; })) << frame.received[0];
  EXPECT_TRUE(frame.RunFor([&] { return port.BytesTaken() == 8; }));
}

TEST_F(SerialPortTest, TheReaderEndsWhenTheDeviceGoesAway) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  pty.CloseMaster();
  EXPECT_TRUE(frame.RunFor([&] { return !port.IsOpen(); }));
  EXPECT_FALSE(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1));
  EXPECT_TRUE(port.ClosePort());
}

TEST(SerialPortOpen, FailsForNumbersWithoutADeviceAndForDevicesThatAreNoPort) {
  RealTimeLoop loop;
  FakeFrame frame(loop);
  PortDirectory ports;
  char file[] = "/tmp/kx7-not-a-port-XXXXXX";
  const int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(ports.AddOverride("COM7=/nonexistent/ttyUSB9"));
  ASSERT_TRUE(ports.AddOverride(std::string("COM8=") + file));
  CSerialPort port(serial::kControllerSlot, frame, ports);
  frame.buffers[0].bufferFree.Reset();
  EXPECT_FALSE(port.OpenPort(6));
  EXPECT_TRUE(frame.buffers[0].bufferFree.IsSet());  // set at every open
  EXPECT_FALSE(port.OpenPort(7));
  EXPECT_FALSE(port.OpenPort(8));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Number(), 8);
  EXPECT_EQ(frame.openTimeouts.load(), 0);
  ::unlink(file);
}

}  // namespace
}  // namespace kx7
