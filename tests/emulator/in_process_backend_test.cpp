// An emulated device as the program's COM port, in virtual time: CSerialPort on the in-process
// backend, with the whole framing model between them.
#include "in_process_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "link/serial/serial_settings.h"
#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7::emu {
namespace {

constexpr int kPortNumber = 1;
constexpr std::uint32_t kGiveUpTimer = 99;

// Acknowledges SOH "Z" CR, remembers what it heard, and streams a report every `streamPeriodMs`
// when asked to.
class PingDevice : public EmulatedDevice {
 public:
  explicit PingDevice(const char* settings) : line(*ParseLineSettings(settings)) {}
  LineSettings Line() const override { return line; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    heard.append(reinterpret_cast<const char*>(bytes), count);
    if (heard.size() >= 3 && heard.compare(heard.size() - 3, 3, "\x01Z\r") == 0)
      output +=
          "\x01"
          "0\r";
  }
  void Advance(std::uint64_t nowMs) override {
    while (streamPeriodMs != 0 && nextReportMs <= nowMs) {
      output += "T,0123,4567\r";
      nextReportMs += streamPeriodMs;
    }
  }
  std::uint64_t NextEventMs() const override { return streamPeriodMs != 0 ? nextReportMs : kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> bytes(output.begin(), output.end());
    output.clear();
    return bytes;
  }

  LineSettings line;
  std::string heard;
  std::string output;
  std::uint64_t streamPeriodMs = 0;
  std::uint64_t nextReportMs = 0;
};

class FakeFrame : public Window, public SerialPortHost {
 public:
  explicit FakeFrame(MessageLoop& loop) : Window(loop) {}

  ReceiveBuffer& Buffer(int slot) override { return buffers[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return flags; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override { Post(message, wParam, lParam); }
  void RestartLineErrorTimer() override {}
  void OnOpenTimedOut() override {}

  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == wm::kTimer && wParam == kGiveUpTimer) gaveUp = true;
    if (message == serial::ReceivedMessage(serial::kControllerSlot) && !holdBuffer) {
      ReceiveBuffer& buffer = buffers[0];
      received.append(reinterpret_cast<const char*>(buffer.bytes.data()), buffer.count.load());
      buffer.bufferFree.Set();
    }
    return 0;
  }

  // Runs the loop until `done` or `patienceMs` of virtual time; returns done().
  template <typename Done>
  bool RunFor(std::uint32_t patienceMs, Done done) {
    gaveUp = false;
    SetTimer(kGiveUpTimer, patienceMs);
    bool result = false;
    Loop().RunUntil([&] {
      result = done();
      return result || gaveUp;
    });
    KillTimer(kGiveUpTimer);
    return result;
  }

  std::array<ReceiveBuffer, serial::kSlotCount> buffers;
  LinkFlags flags;
  std::string received;
  bool holdBuffer = false;
  bool gaveUp = false;
};

const std::string kPing = "\x01Z\r";
const std::string kAck =
    "\x01"
    "0\r";

class InProcessBackendTest : public ::testing::Test {
 protected:
  void Attach(EmulatedDevice& device) {
    backend = std::make_unique<InProcessSerialBackend>(device);
    ASSERT_TRUE(table.Attach(ports, kPortNumber, *backend));
    port.UseBackends(&table);
  }
  bool Send(const std::string& text) {
    return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  // One ping with the 250 ms the controller search gives it; what came back.
  std::string Ping() {
    frame.received.clear();
    EXPECT_TRUE(Send(kPing));
    frame.RunFor(250, [&] { return frame.received.size() >= 3; });
    return frame.received;
  }

  VirtualTimeLoop loop;
  FakeFrame frame{loop};
  PortDirectory ports;
  SerialBackendTable table{loop};
  std::unique_ptr<InProcessSerialBackend> backend;
  CSerialPort port{serial::kControllerSlot, frame, ports};
};

TEST_F(InProcessBackendTest, APingIsAcknowledgedAtTheMillisecondTheWireDelivers) {
  PingDevice device("19200,N,8,1");
  Attach(device);
  ASSERT_TRUE(port.SetSettings("19200,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  loop.Advance(10);
  EXPECT_EQ(Ping(), kAck);
  // Three characters out and three back at 0.52 ms each, each arrival rounded up to the
  // millisecond: the command is in at 12 ms and the reply at 14.
  EXPECT_EQ(loop.Now(), 14u);
  EXPECT_EQ(device.heard, kPing);
  EXPECT_EQ(port.LineErrors(), 0u);
}

// What the controller search meets: a 7-bit controller with mark parity answers the "N,8,1"
// entry with bit 7 set on every byte; after the switch to "N,7,2" the answers are clean.
TEST_F(InProcessBackendTest, AMarkParityControllerAnswersWithTheHighBitUntilThePortSwitchesToSevenBits) {
  PingDevice device("9600,M,7,1");
  Attach(device);
  ASSERT_TRUE(port.SetSettings("9600,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_EQ(Ping(), "\x81\xB0\x8D");
  EXPECT_EQ(port.LineErrors(), 0u);  // nothing wrong to a host at 8,N
  ASSERT_TRUE(port.SetSettings(WithFraming(port.Settings(), "N,7,2")));
  EXPECT_EQ(port.Settings(), "9600,N,7,2");
  EXPECT_EQ(Ping(), kAck);
  EXPECT_EQ(port.LineErrors(), 0u);
}

TEST_F(InProcessBackendTest, ParityTheHostChecksShowsAsALineError) {
  PingDevice device("9600,N,8,1");
  Attach(device);
  ASSERT_TRUE(port.SetSettings("9600,E,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  // The controller reads the host's parity bit as its stop bit and answers. The host reads the
  // controller's stop bit as its parity bit, which is wrong for the even count of ones in '0'.
  EXPECT_EQ(Ping(), kAck);
  EXPECT_EQ(port.LineErrors() & serial::kErrorParity, serial::kErrorParity);
  EXPECT_EQ(frame.flags.parityError.load(), 1);
}

TEST_F(InProcessBackendTest, AtAnotherSpeedTheControllerStaysSilent) {
  PingDevice device("19200,N,8,1");
  Attach(device);
  ASSERT_TRUE(port.SetSettings("9600,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_EQ(Ping(), "");
  EXPECT_FALSE(device.heard.empty());
  EXPECT_EQ(device.heard.find(kPing), std::string::npos);
}

TEST_F(InProcessBackendTest, WhatTheDeviceSendsWhileThePortIsClosedIsLost) {
  PingDevice device("9600,N,8,1");
  device.streamPeriodMs = 100;
  Attach(device);
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  ASSERT_TRUE(frame.RunFor(1000, [&] { return frame.received.size() >= 12; }));
  EXPECT_EQ(frame.received.substr(0, 12), "T,0123,4567\r");
  port.ClosePort();
  loop.Advance(10000);
  frame.received.clear();
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  // Nothing of the hundred reports sent meanwhile arrives; the next ones do.
  ASSERT_TRUE(frame.RunFor(1000, [&] { return frame.received.size() >= 24; }));
  EXPECT_EQ(frame.received.substr(0, 24), "T,0123,4567\rT,0123,4567\r");
}

TEST_F(InProcessBackendTest, AStreamTheFrameDoesNotTakeOverflowsTheDriversQueue) {
  PingDevice device("115200,N,8,1");
  device.streamPeriodMs = 1;
  Attach(device);
  ASSERT_TRUE(port.SetSettings("115200,N,8,1"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  frame.holdBuffer = true;
  loop.Advance(3000);
  EXPECT_EQ(port.LineErrors() & serial::kErrorOverflow, serial::kErrorOverflow);
  EXPECT_EQ(port.LineStatus(), InProcessSerialBackend::kReceiveQueueBytes);
}

TEST_F(InProcessBackendTest, TheModemLinesReachTheBackend) {
  PingDevice device("9600,N,8,1");
  Attach(device);
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_TRUE(backend->Dtr());
  EXPECT_FALSE(backend->Rts());
  ASSERT_TRUE(port.SetRts(true));
  ASSERT_TRUE(port.SetDtr(false));
  EXPECT_TRUE(backend->Rts());
  EXPECT_FALSE(backend->Dtr());
}

TEST_F(InProcessBackendTest, TheRealCedarGen4AnswersThePing) {
  std::unique_ptr<EmulatedDevice> device = CreateDevice("cedar-gen4");
  if (!device) GTEST_SKIP() << "the device factory has no cedar-gen4 yet";
  Attach(*device);
  ASSERT_TRUE(port.SetSettings(device->Line().ToString()));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  std::string reply = Ping();
  // Touch reports may come before the answer; the answer is what follows the last CR before it.
  EXPECT_NE(reply.find(kAck), std::string::npos) << reply;
}

}  // namespace
}  // namespace kx7::emu
