// The command channel against emulated controllers on an in-process serial port: waits and their
// time-outs, the busy channel, blocks with the Rowan/Cedar checksum, parameters, and pass-through
// with DLE stuffing as it reaches the wire.
#include <gtest/gtest.h>

#include <deque>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "emulator/family_profile.h"
#include "protocol_fixture.h"
#include "proto/proto_constants.h"

namespace kx7 {
namespace {

using testing::ProtocolTest;
using testing::Text;

// A controller that acknowledges every frame and keeps every byte it got; "MPD" moves it to
// 115200 as the real ones do. For looking at exactly what went out on the wire.
class RecordingController : public emu::EmulatedDevice {
 public:
  emu::LineSettings Line() const override { return line_; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    for (std::size_t i = 0; i < count; ++i) {
      received.push_back(bytes[i]);
      if (bytes[i] == 0x01) frame_.clear();
      else if (bytes[i] == '\r') {
        out_.insert(out_.end(), {0x01, '0', '\r'});
        if (frame_ == "MPD") switchAfterOutput_ = true;
        frame_.clear();
      } else {
        frame_ += static_cast<char>(bytes[i]);
      }
    }
  }
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return emu::kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> out(out_.begin(), out_.end());
    out_.clear();
    if (switchAfterOutput_) {
      line_.baud = 115200;
      switchAfterOutput_ = false;
    }
    return out;
  }
  std::vector<std::uint8_t> received;

 private:
  emu::LineSettings line_;
  std::string frame_;
  std::deque<std::uint8_t> out_;
  bool switchAfterOutput_ = false;
};

class CommandChannelTest : public ProtocolTest {};

TEST_F(CommandChannelTest, AcknowledgedPingAndTheTimeOutOfASilentLine) {
  Attach(1, "cedar-gen4");
  Attach(2, "silent");
  ASSERT_TRUE(Open(1));
  Channel().SendCommand("Z");
  EXPECT_TRUE(Channel().WaitOk());
  Frame().CloseLink();
  ASSERT_TRUE(Open(2));
  const std::uint64_t start = loop_.Now();
  Channel().SendCommand("Z");
  EXPECT_EQ(Text(Channel().Transact(3, reply::kLongWait)), "\r") << "what arrived plus one CR";
  EXPECT_EQ(loop_.Now() - start, 5000u) << "the long wait of a serial link";
  EXPECT_FALSE(Channel().ReplyBusy());
}

TEST_F(CommandChannelTest, ASecondTransactOnABusyChannelGetsNothingAndLeavesTheFirstAlone) {
  Attach(1, "cedar-gen4");
  ASSERT_TRUE(Open(1));
  Channel().SendCommand("OI");
  Channel().BeginReply(kNoWindow, 0, 8, reply::kShortWait);
  EXPECT_TRUE(Channel().Transact(3, 0).empty());
  loop_.RunUntil([&] { return !Channel().ReplyBusy(); });
  EXPECT_EQ(Text(Channel().Reply()).substr(0, 3), "\x01WZ");
}

TEST_F(CommandChannelTest, TheNotifiedWindowHearsOfCompletionAndOfTheTimeOut) {
  Attach(2, "silent");
  ASSERT_TRUE(Open(2));
  struct Listener : Window {
    using Window::Window;
    LResult OnMessage(MessageId message, WParam wParam, LParam) override {
      heard.push_back({message, wParam});
      return 0;
    }
    std::vector<std::pair<MessageId, WParam>> heard;
  } listener(loop_);
  Channel().BeginReply(listener.Id(), 0x8123, 3, reply::kShortWait);
  loop_.RunUntil([&] { return !listener.heard.empty(); });
  ASSERT_EQ(listener.heard.size(), 1u);
  EXPECT_EQ(listener.heard[0], (std::pair<MessageId, WParam>{0x8123, 0x8123}));
  EXPECT_EQ(Text(Channel().Reply()), "\r");
}

TEST_F(CommandChannelTest, Block1RoundTripKeepsTheChecksumRight) {
  Attach(1, "cedar-gen3");
  ASSERT_TRUE(Open(1));
  Frame().ControllerType = type::kRowanGen3;
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(Channel().ReadBlock(1, block)) << ui_.Report();
  ASSERT_GE(block.size(), 4u);
  std::vector<std::uint8_t> changed = block;
  changed[0] ^= 0x5A;
  ASSERT_TRUE(Channel().WriteBlock(1, changed)) << ui_.Report();
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(Channel().ReadBlock(1, back));
  EXPECT_EQ(back, changed) << "the written block, its checksum included";
  EXPECT_NE(back, block);
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

// A 512-byte block is 1031 characters on the wire: over a second at 9600 baud and over eight at
// 1200, longer than the reply time-out of a serial link. The read waits for all of it.
TEST_F(CommandChannelTest, ABlockReadWaitsAsLongAsTheBlockTakesOnTheWire) {
  const struct {
    int port;
    const char* settings;
    std::uint64_t leastMs;
  } cases[] = {{3, "9600,N,8,1", 1000}, {4, "1200,N,8,1", 8000}, {5, "19200,N,8,1", 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    Attach(c.port, "cedar-gen4", c.settings);
    Frame().CloseLink();
    ASSERT_TRUE(Open(c.port, c.settings));
    Frame().ControllerType = type::kCedarGen4;
    const std::uint64_t start = loop_.Now();
    ASSERT_TRUE(Channel().ReadBlock(8)) << ui_.Report();
    EXPECT_EQ(Frame().blocks.Bytes(8).size(), 512u);
    EXPECT_EQ(Frame().blocks.Status(8), 'A');
    EXPECT_GE(loop_.Now() - start, c.leastMs);
    EXPECT_LT(loop_.Now() - start, c.leastMs * 2 + 1000) << "done when the block is in, not at a time-out";
  }
  // A controller that sends nothing is still given up on.
  Attach(6, "silent");
  Frame().CloseLink();
  ASSERT_TRUE(Open(6));
  const std::uint64_t start = loop_.Now();
  EXPECT_FALSE(Channel().ReadBlock(8));
  EXPECT_LE(loop_.Now() - start, 300u + 1000u + Channel().BlockWireMs(8));
  EXPECT_EQ(Channel().BlockWireMs(8), 1074u) << "1031 characters of 10 bits at 9600 baud";
}

TEST_F(CommandChannelTest, Block5ThroughQ002AndW002) {
  Attach(1, "birch");
  ASSERT_TRUE(Open(1));
  Frame().ControllerType = type::kBirch;
  std::vector<std::uint8_t> serial = {0x12, 0xAB, 0x00, 0x7F};
  ASSERT_TRUE(Channel().WriteBlock(5, serial)) << ui_.Report();
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(Channel().ReadBlock(5, back));
  EXPECT_EQ(back, serial);
}

TEST_F(CommandChannelTest, FailedReadsAndWritesSaySo) {
  Attach(2, "silent");
  ASSERT_TRUE(Open(2));
  std::vector<std::uint8_t> block{1, 2, 3, 4};
  EXPECT_FALSE(Channel().ReadBlock(2, block));
  EXPECT_FALSE(Channel().WriteBlock(2, block));
  EXPECT_FALSE(Channel().ReadBlock(5, block));
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{text::kBlockReadFailed, text::kWriteFailed,
                                                          text::kBlockReadFailed}));
  EXPECT_EQ(block, (std::vector<std::uint8_t>{1, 2, 3, 4})) << "a failed read leaves the caller's block alone";
}

TEST_F(CommandChannelTest, BlockStatusOtherThanAIsRefusedUnlessGenericOrHazel2d) {
  emu::ControllerOptions options;
  options.statusLetter = 'C';
  Attach(1, emu::EmulatedController::ForFamily("juniper", options));
  ASSERT_TRUE(Open(1));
  std::vector<std::uint8_t> block;
  Frame().ControllerType = type::kJuniper;
  EXPECT_FALSE(Channel().ReadBlock(1, block));
  Frame().ControllerType = type::kGeneric;
  EXPECT_TRUE(Channel().ReadBlock(1, block));
  EXPECT_EQ(Channel().LastBlockStatus(), 'C');
}

TEST_F(CommandChannelTest, NumberedParametersWriteAndReadBack) {
  Attach(1, "cedar-gen4");
  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(Channel().WriteParameter(310, 0x1234, 16));
  EXPECT_EQ(Channel().QueryParameter(310), 0x1234u);
  EXPECT_FALSE(Channel().QueryParameter(999).has_value()) << "an unknown parameter answers \"?\"";
}

TEST_F(CommandChannelTest, PassThroughStuffsDleOnTheWireAndLeavesWithDleEot) {
  auto device = std::make_unique<RecordingController>();
  RecordingController& recorder = *device;
  Attach(1, std::move(device));
  ASSERT_TRUE(Open(1));
  Frame().ControllerType = type::kRowanGen3;
  ASSERT_TRUE(Channel().EnterPassThrough('D'));
  EXPECT_TRUE(Frame().passThrough);
  EXPECT_EQ(Frame().settings.MainPortSettings, "115200,N,8,1");
  EXPECT_EQ(Frame().LinkText(), "PassThru COM1 115200,N,8,1");
  recorder.received.clear();
  const std::uint8_t bytes[] = {0x10, 0x41};
  Channel().SendBytes(bytes, 2);
  Channel().ExitPassThrough();
  loop_.Advance(10);
  EXPECT_EQ(recorder.received, (std::vector<std::uint8_t>{0x10, 0x10, 0x41, 0x10, 0x04}));
  EXPECT_FALSE(Frame().passThrough);
  EXPECT_EQ(Frame().settings.MainPortSettings, "9600,N,8,1");
}

TEST_F(CommandChannelTest, AReplyLongerThanAPieceIsSentWhole) {
  auto device = std::make_unique<RecordingController>();
  RecordingController& recorder = *device;
  Attach(1, std::move(device));
  ASSERT_TRUE(Open(1));
  const std::string text(300, 'A');
  Channel().SendCommand(text);
  loop_.Advance(2000);
  EXPECT_EQ(Text(recorder.received), "\x01" + text + "\r");
}

TEST(BlockChecksum, ThirtyBytesXorFourteenWordsAgainstBytes28And29) {
  std::vector<std::uint8_t> block(30, 0);
  block[0] = 0x34;
  block[1] = 0x12;
  block[26] = 0x01;
  block[27] = 0x80;
  EXPECT_FALSE(BlockChecksum(block, 30));
  EXPECT_EQ(block[28], 0x35);
  EXPECT_EQ(block[29], 0x92);
  EXPECT_TRUE(BlockChecksum(block, 30));
  std::vector<std::uint8_t> tiny{1};
  EXPECT_FALSE(BlockChecksum(tiny, 1)) << "too short to hold a checksum";
}

}  // namespace
}  // namespace kx7
