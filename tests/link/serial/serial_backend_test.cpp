// The port on an in-process backend, in virtual time: no reader thread, no sleeps; what the
// backend receives reaches the frame through the slot's buffer at the millisecond it arrives.
#include "link/serial/serial_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

constexpr int kPortNumber = 3;
constexpr std::uint32_t kGiveUpTimer = 99;
constexpr std::uint32_t kPatienceMs = 60000;  // virtual

// A device behind the backend interface: it answers SOH "Z" CR with SOH "0" CR after a set delay,
// can send data of its own at set times, and remembers each write with the configuration it was
// written under.
class FakeBackend : public SerialBackend {
 public:
  struct Written {
    std::string bytes;
    SerialConfig config;
    std::uint64_t atMs;
  };
  struct Arrival {
    std::uint64_t atMs;
    std::string bytes;
    std::uint32_t errors;
  };

  bool Open(std::uint64_t nowMs) override {
    if (open) return false;
    Advance(nowMs);  // what came before is lost
    open = true;
    ++opens;
    return true;
  }
  void Close() override { open = false; }
  SerialConfig Config() const override { return config; }
  bool Configure(const SerialConfig& wanted, std::uint64_t) override {
    if (wanted.baud > 1000000) return false;
    config = wanted;
    return true;
  }
  bool Write(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override {
    const std::string text(reinterpret_cast<const char*>(bytes), count);
    writes.push_back(Written{text, config, nowMs});
    if (text == "\x01Z\r")
      Schedule(nowMs + replyDelayMs,
               "\x01"
               "0\r");
    return true;
  }
  void Advance(std::uint64_t nowMs) override {
    advancedTo = nowMs;
    while (!arrivals.empty() && arrivals.front().atMs <= nowMs) {
      // A closed port's device talks to nobody.
      if (open) {
        queue.insert(queue.end(), arrivals.front().bytes.begin(), arrivals.front().bytes.end());
        errors |= arrivals.front().errors;
      }
      arrivals.pop_front();
    }
  }
  std::uint64_t NextEventMs() const override { return arrivals.empty() ? kNoBackendEvent : arrivals.front().atMs; }
  std::size_t Queued() const override { return queue.size(); }
  std::size_t Read(std::uint8_t* bytes, std::size_t capacity) override {
    std::size_t n = 0;
    while (n < capacity && !queue.empty()) {
      bytes[n++] = queue.front();
      queue.pop_front();
    }
    return n;
  }
  void Purge() override { queue.clear(); }
  std::uint32_t TakeLineErrors() override { return std::exchange(errors, 0u); }
  bool SetModemLine(ModemLine line, bool on) override {
    (line == ModemLine::kRts ? rts : dtr) = on;
    return true;
  }
  std::optional<ModemStatus> ModemLines() const override { return modem; }

  // Arrivals must be scheduled in time order.
  void Schedule(std::uint64_t atMs, const std::string& bytes, std::uint32_t lineErrors = 0) {
    arrivals.push_back(Arrival{atMs, bytes, lineErrors});
    WakePort();
  }

  bool open = false;
  int opens = 0;
  SerialConfig config;
  std::vector<Written> writes;
  std::deque<Arrival> arrivals;
  std::deque<std::uint8_t> queue;
  std::uint32_t errors = 0;
  std::uint64_t replyDelayMs = 7;
  std::uint64_t advancedTo = 0;
  bool rts = false;
  bool dtr = false;
  std::optional<ModemStatus> modem;
};

struct Block {
  int slot;
  std::string bytes;
  std::uint64_t atMs;
};

struct Notice {
  MessageId message;
  WParam wParam;
  LParam lParam;
  std::uint64_t atMs;
};

// The frame as far as the port sees it: it takes each block out (unless told to hold the buffer)
// and frees the buffer again.
class FakeFrame : public Window, public SerialPortHost {
 public:
  explicit FakeFrame(MessageLoop& loop) : Window(loop) {}

  ReceiveBuffer& Buffer(int slot) override { return buffers[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return flags; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override { Post(message, wParam, lParam); }
  void RestartLineErrorTimer() override { ++timerRestarts; }
  void OnOpenTimedOut() override {}

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override {
    if (message == wm::kTimer && wParam == kGiveUpTimer) {
      gaveUp = true;
    } else if (message >= serial::kReceivedMessage && message < serial::ReceivedMessage(serial::kSlotCount)) {
      const int slot = static_cast<int>(message - serial::kReceivedMessage);
      ++messages;
      if (holdBuffer) return 0;
      TakeBlock(slot);
    } else if (message == serial::kOverrunMessage || message == serial::kOverflowMessage) {
      notices.push_back(Notice{message, wParam, lParam, Loop().Now()});
    }
    return 0;
  }

  void TakeBlock(int slot) {
    ReceiveBuffer& buffer = Buffer(slot);
    blocks.push_back(Block{slot, std::string(reinterpret_cast<const char*>(buffer.bytes.data()), buffer.count.load()),
                           Loop().Now()});
    buffer.bufferFree.Set();
  }

  std::string Received(int slot = 0) const {
    std::string all;
    for (const Block& block : blocks)
      if (block.slot == slot) all += block.bytes;
    return all;
  }

  // Runs the loop until `done` or kPatienceMs of virtual time.
  template <typename Done>
  bool RunUntil(Done done) {
    gaveUp = false;
    SetTimer(kGiveUpTimer, kPatienceMs);
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
  std::vector<Block> blocks;
  std::vector<Notice> notices;
  int messages = 0;
  int timerRestarts = 0;
  bool holdBuffer = false;
  bool gaveUp = false;
};

bool WriteText(CSerialPort& port, const std::string& text) {
  return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

class SerialBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(table.Attach(ports, kPortNumber, backend));
    port.UseBackends(&table);
  }

  VirtualTimeLoop loop;
  FakeFrame frame{loop};
  PortDirectory ports;
  SerialBackendTable table{loop};
  FakeBackend backend;
  CSerialPort port{serial::kControllerSlot, frame, ports};
};

TEST_F(SerialBackendTest, AReplyArrivesThroughTheReceivePathInVirtualTime) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(ports.PathOf(kPortNumber), "in-process:COM3");
  loop.Advance(100);
  ASSERT_TRUE(WriteText(port, "\x01Z\r"));
  ASSERT_TRUE(frame.RunUntil([&] {
    return frame.Received() ==
           "\x01"
           "0\r";
  })) << frame.Received();
  ASSERT_EQ(frame.blocks.size(), 1u);
  EXPECT_EQ(frame.blocks[0].atMs, 107u);  // the backend's delay, to the millisecond
  EXPECT_EQ(port.BytesTaken(), 3u);
}

TEST_F(SerialBackendTest, WritesReachTheBackendWithThePortsCurrentSettings) {
  ASSERT_TRUE(port.SetSettings("19200,e,7,2"));
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  ASSERT_TRUE(WriteText(port, "UV\r"));
  // Letters and stop bits the text leaves open keep what the device runs with.
  ASSERT_TRUE(port.SetSettings("4800,X,8,3"));
  ASSERT_TRUE(WriteText(port, "Z"));
  ASSERT_EQ(backend.writes.size(), 2u);
  const SerialConfig& first = backend.writes[0].config;
  EXPECT_EQ(backend.writes[0].bytes, "UV\r");
  EXPECT_EQ(first.baud, 19200);
  EXPECT_EQ(first.parity, SerialParity::kEven);
  EXPECT_TRUE(first.parityCheck);
  EXPECT_EQ(first.dataBits, 7);
  EXPECT_EQ(first.stopBits, 2);
  const SerialConfig& second = backend.writes[1].config;
  EXPECT_EQ(second.baud, 4800);
  EXPECT_EQ(second.parity, SerialParity::kEven);
  EXPECT_EQ(second.dataBits, 8);
  EXPECT_EQ(second.stopBits, 2);
  EXPECT_EQ(port.CurrentWriteTimeouts(), (WriteTimeouts{2, 200}));
  EXPECT_EQ(port.DeviceConfig(), backend.config);
  // The modem lines go to the backend too.
  EXPECT_TRUE(backend.dtr);
  EXPECT_FALSE(backend.rts);
  EXPECT_TRUE(port.SetRts(true));
  EXPECT_TRUE(backend.rts);

  // A configuration the device rejects fails and leaves the device as it was.
  EXPECT_FALSE(port.SetSettings("2000000,N,8,1"));
  EXPECT_EQ(backend.config.baud, 4800);
  EXPECT_FALSE(port.SetSettings("fast please"));
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialBackendTest, ASettingTheDeviceRejectsMakesTheOpenFailAndFreesTheDevice) {
  ASSERT_TRUE(port.SetSettings("2000000,N,8,1"));
  EXPECT_FALSE(port.OpenPort(kPortNumber));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(backend.open);
  EXPECT_FALSE(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1));
}

TEST_F(SerialBackendTest, TheBackendBelongsToOnePortAtATime) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  CSerialPort other(1, frame, ports);
  other.UseBackends(&table);
  EXPECT_FALSE(other.OpenPort(kPortNumber));
  EXPECT_FALSE(port.OpenPort(kPortNumber));  // already open: fails without touching it
  EXPECT_TRUE(port.IsOpen());
  EXPECT_TRUE(port.ClosePort());
  EXPECT_FALSE(backend.open);
  EXPECT_TRUE(other.OpenPort(kPortNumber));
  // Slot 1 posts its own message.
  backend.Schedule(loop.Now() + 5, "0123456789\r");
  ASSERT_TRUE(frame.RunUntil([&] { return frame.Received(1) == "0123456789\r"; }));
  EXPECT_TRUE(frame.Received(0).empty());
}

TEST_F(SerialBackendTest, WithoutTheTableThePathIsOpenedAsAFileAndFails) {
  CSerialPort plain(serial::kControllerSlot, frame, ports);
  EXPECT_FALSE(plain.OpenPort(kPortNumber));
  EXPECT_EQ(backend.opens, 0);
}

// The frame owns the buffer until it sets the buffer-free event: the next block waits for it.
TEST_F(SerialBackendTest, TheNextBlockWaitsUntilTheFrameFreesTheBuffer) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  frame.holdBuffer = true;
  std::string big;
  for (int i = 0; i < 10000; ++i) big.push_back(static_cast<char>('a' + i % 26));
  backend.Schedule(10, big);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.messages == 1; }));
  loop.Advance(500);
  EXPECT_EQ(frame.messages, 1);  // no second block while the buffer is held
  EXPECT_FALSE(frame.buffers[0].bufferFree.IsSet());
  frame.holdBuffer = false;
  frame.TakeBlock(0);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.Received().size() == big.size(); }));
  EXPECT_EQ(frame.Received(), big);
  EXPECT_EQ(frame.blocks.size(), 3u);  // 4096 + 4096 + 1808
  for (const Block& block : frame.blocks) EXPECT_LE(block.bytes.size(), kReceiveBufferSize);
}

TEST_F(SerialBackendTest, WhatArrivesWhileClosedOrBeforeAPurgeIsLost) {
  backend.Schedule(5, "before open");
  loop.Advance(10);
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  backend.Schedule(20, "open");
  loop.Advance(30);
  frame.holdBuffer = true;  // the block waits in the buffer, the rest in the backend's queue
  backend.Schedule(40, "kept");
  backend.Schedule(41, "dropped");
  loop.Advance(50);
  port.Purge();
  frame.TakeBlock(0);
  frame.holdBuffer = false;
  backend.Schedule(60, "after");
  ASSERT_TRUE(frame.RunUntil([&] { return frame.Received().find("after") != std::string::npos; }));
  EXPECT_EQ(frame.Received(), "openkeptafter");
}

TEST_F(SerialBackendTest, DiscardInputDropsWhatArrives) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  frame.flags.discardInput.store(1);
  backend.Schedule(5, "AAAA");
  ASSERT_TRUE(frame.RunUntil([&] { return port.BytesTaken() == 4; }));
  EXPECT_EQ(frame.messages, 0);
  frame.flags.discardInput.store(0);
  backend.Schedule(loop.Now() + 5, "CCCC");
  ASSERT_TRUE(frame.RunUntil([&] { return frame.Received() == "CCCC"; }));
}

TEST_F(SerialBackendTest, LineErrorsRaiseTheFlagsAndAreKept) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  backend.Schedule(5, "\x81", serial::kErrorFraming | serial::kErrorParity);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.Received() == "\x81"; }));
  EXPECT_EQ(frame.flags.framingError.load(), 1);
  EXPECT_EQ(frame.flags.parityError.load(), 1);
  EXPECT_EQ(frame.timerRestarts, 1);
  EXPECT_EQ(port.LineErrors(), serial::kErrorFraming | serial::kErrorParity);
  // LineStatus takes errors too and tells what waits.
  frame.holdBuffer = true;
  backend.Schedule(loop.Now() + 1, "x");
  backend.Schedule(loop.Now() + 2, "yz", serial::kErrorOverflow);
  loop.Advance(3);
  EXPECT_EQ(port.LineStatus(), 2u);
  EXPECT_EQ(port.LineErrors() & serial::kErrorOverflow, serial::kErrorOverflow);
  // Reopening clears them.
  port.ClosePort();
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_EQ(port.LineErrors(), 0u);
}

// The notification cool-down counts a millisecond as a pass, as an idle reader does: the text is
// cleared 1000 ms after it was shown, with nothing else going on.
TEST_F(SerialBackendTest, AnOverrunIsShownOnceAndClearedAfterTheCoolDown) {
  backend.modem = ModemStatus{true, false};
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  EXPECT_EQ(frame.flags.cts.load(), 1);
  EXPECT_EQ(frame.flags.dsr.load(), 0);
  backend.Schedule(5, "a", serial::kErrorOverrun);
  backend.Schedule(300, "b", serial::kErrorOverrun);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.notices.size() == 2; }));
  EXPECT_EQ(frame.notices[0].message, serial::kOverrunMessage);
  EXPECT_EQ(frame.notices[0].wParam, serial::kErrorOverrun);
  EXPECT_EQ(frame.notices[0].atMs, 5u);
  EXPECT_EQ(frame.notices[1].message, serial::kOverflowMessage);
  EXPECT_EQ(frame.notices[1].wParam, 0u);
  EXPECT_EQ(frame.notices[1].lParam, 0);
  EXPECT_EQ(frame.notices[1].atMs, 1005u);
  EXPECT_EQ(frame.Received(), "ab");
}

TEST_F(SerialBackendTest, DataOfTheDevicesOwnArrivesWithoutAnyWrite) {
  ASSERT_TRUE(port.OpenPort(kPortNumber));
  backend.Schedule(250, "T1");
  backend.Schedule(500, "T2");
  ASSERT_TRUE(frame.RunUntil([&] { return frame.blocks.size() == 2; }));
  EXPECT_EQ(frame.blocks[0].atMs, 250u);
  EXPECT_EQ(frame.blocks[1].atMs, 500u);
  EXPECT_EQ(backend.advancedTo, 500u);
}

}  // namespace
}  // namespace kx7
