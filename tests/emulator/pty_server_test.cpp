// The emulator on a pseudo-terminal, end to end in real time: the program's own serial port opens
// the slave through a COM override and talks to a small test device through the server's thread.
#include "pty_server.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "platform/real_time_loop.h"
#include "platform/window.h"

namespace kx7::emu {
namespace {

constexpr int kPortNumber = 240;
constexpr std::uint32_t kPatienceMs = 5000;  // every wait for something that comes ends far sooner
constexpr std::uint32_t kGiveUpTimer = 99;
constexpr std::uint32_t kTickTimer = 98;

const std::string kPing = "\x01Z\r";
const std::string kAck =
    "\x01"
    "0\r";

// Acknowledges SOH "Z" CR; can stream a report every `streamPeriodMs`. Only the server's thread
// touches it.
class PingDevice : public EmulatedDevice {
 public:
  PingDevice(const char* settings, std::uint64_t streamPeriodMs = 0)
      : line_(*ParseLineSettings(settings)), streamPeriodMs_(streamPeriodMs) {}
  LineSettings Line() const override { return line_; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    heard_.append(reinterpret_cast<const char*>(bytes), count);
    if (heard_.size() >= 3 && heard_.compare(heard_.size() - 3, 3, kPing) == 0) output_ += kAck;
    if (heard_.size() > 64) heard_.erase(0, heard_.size() - 3);
  }
  void Advance(std::uint64_t nowMs) override {
    while (streamPeriodMs_ != 0 && nextReportMs_ <= nowMs) {
      output_ += "T,0123,4567\r";
      nextReportMs_ += streamPeriodMs_;
    }
  }
  std::uint64_t NextEventMs() const override { return streamPeriodMs_ != 0 ? nextReportMs_ : kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> bytes(output_.begin(), output_.end());
    output_.clear();
    return bytes;
  }

 private:
  LineSettings line_;
  std::uint64_t streamPeriodMs_;
  std::uint64_t nextReportMs_ = 0;
  std::string heard_;
  std::string output_;
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
      ReceiveBuffer& buffer = buffers[0];
      received.append(reinterpret_cast<const char*>(buffer.bytes.data()), buffer.count.load());
      buffer.bufferFree.Set();
    }
    return 0;
  }

  // Runs the loop until `done` or `patienceMs`; returns done().
  template <typename Done>
  bool RunFor(Done done, std::uint32_t patienceMs = kPatienceMs) {
    gaveUp = false;
    SetTimer(kGiveUpTimer, patienceMs);
    SetTimer(kTickTimer, 5);  // some conditions change without a message
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

class PtyServerTest : public ::testing::Test {
 protected:
  void Serve(const char* deviceSettings, std::uint64_t streamPeriodMs = 0) {
    server = std::make_unique<PtyServer>(std::make_unique<PingDevice>(deviceSettings, streamPeriodMs));
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    ASSERT_EQ(server->SlavePath().rfind("/dev/pts/", 0), 0u) << server->SlavePath();
    ASSERT_TRUE(ports.AddOverride("COM" + std::to_string(kPortNumber) + "=" + server->SlavePath()));
  }
  bool Send(const std::string& text) {
    return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  // Pings and waits for the acknowledgement (or `patienceMs`).
  bool PingAcknowledged(std::uint32_t patienceMs = kPatienceMs) {
    frame.received.clear();
    EXPECT_TRUE(Send(kPing));
    return frame.RunFor([&] { return frame.received.find(kAck) != std::string::npos; }, patienceMs);
  }

  PortDirectory ports;
  RealTimeLoop loop;
  FakeFrame frame{loop};
  CSerialPort port{serial::kControllerSlot, frame, ports};
  std::unique_ptr<PtyServer> server;
};

TEST_F(PtyServerTest, ThePortGetsTheAcknowledgementOfItsPing) {
  Serve("19200,N,8,1");
  ASSERT_TRUE(port.SetSettings("19200,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_TRUE(PingAcknowledged()) << frame.received.size();
  EXPECT_EQ(frame.received, kAck);
}

TEST_F(PtyServerTest, TheServerSeesTheHostsSpeedAndStopBitsButAlwaysEightDataBitsWithoutParity) {
  Serve("9600,N,8,1");
  ASSERT_TRUE(port.SetSettings("57600,E,7,2"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  const std::optional<LineSettings> host = server->HostSettings();
  ASSERT_TRUE(host.has_value());
  EXPECT_EQ(*host, (LineSettings{57600, 'N', 8, 2}));
}

struct MismatchCase {
  const char* device;
  const char* host;
};

class PtyServerMismatch : public PtyServerTest, public ::testing::WithParamInterface<MismatchCase> {};

// The search gives a ping 250 ms; a controller that cannot hear it must stay silent that long.
TEST_P(PtyServerMismatch, TheDeviceDoesNotAnswer) {
  Serve(GetParam().device);
  ASSERT_TRUE(port.SetSettings(GetParam().host));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_FALSE(PingAcknowledged(400));
  EXPECT_EQ(frame.received.find(kAck), std::string::npos);
  // With the device's own settings it answers at once.
  ASSERT_TRUE(port.SetSettings(GetParam().device));
  EXPECT_TRUE(PingAcknowledged());
}

INSTANTIATE_TEST_SUITE_P(Table, PtyServerMismatch,
                         ::testing::Values(MismatchCase{"19200,N,8,1", "9600,N,8,1"},  // speed
                                           MismatchCase{"9600,N,7,2", "9600,N,8,1"},   // stop bits
                                           MismatchCase{"38400,N,8,1", "38400,N,7,2"}));

TEST_F(PtyServerTest, AHostThatClosesAndReopensThePortFindsTheDeviceStillThere) {
  Serve("9600,N,8,1");
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(port.OpenPort(kPortNumber)) << round;
    EXPECT_TRUE(PingAcknowledged()) << round;
    ASSERT_TRUE(port.ClosePort());
  }
}

TEST_F(PtyServerTest, AStreamNobodyReadsIsDroppedAndDoesNotHoldTheServerUp) {
  Serve("115200,N,8,1", 1);
  // Nobody has the port open: the pseudo-terminal fills up and the rest is dropped.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (server->DroppedBytes() == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(server->DroppedBytes(), 0u);
  // A host that opens the port now gets whole, current reports.
  ASSERT_TRUE(port.SetSettings("115200,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  frame.received.clear();
  EXPECT_TRUE(frame.RunFor([&] { return frame.received.find("T,0123,4567\rT,0123,4567\r") != std::string::npos; }));
  const auto start = std::chrono::steady_clock::now();
  server->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  // The host sees the line go away: its reader ends.
  EXPECT_TRUE(frame.RunFor([&] { return !port.IsOpen(); }));
  EXPECT_FALSE(server->Running());
}

TEST(PtyServer, WithoutADeviceThereIsNothingToServe) {
  PtyServer server(nullptr);
  std::string error;
  EXPECT_FALSE(server.Start(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(server.Running());
  server.Stop();
}

}  // namespace
}  // namespace kx7::emu
