#include "log/replay.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "log/log_constants.h"
#include "log/log_fixture.h"

namespace kx7 {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReadHexByteTest, TakesPairsOfAdjacentDigitsAndDropsTheRest) {
  const struct {
    const char* text;
    Bytes expected;
  } cases[] = {
      {"D0 1F 0D", {0xD0, 0x1F, 0x0D}},
      {"A B", {}},
      {"ABCD", {0xAB, 0xCD}},
      {"ABC D", {0xAB}},
      {"1 23", {0x23}},
      {"d0,1f;0d\r\n", {0xD0, 0x1F, 0x0D}},
      {"<0A>zz<FF>", {0x0A, 0xFF}},
      {"G1 0g 9", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    Bytes read;
    while (const auto byte = ReadHexByte(in)) read.push_back(*byte);
    EXPECT_EQ(read, c.expected) << c.text;
  }
}

class ReplayTest : public LogFixture {
 protected:
  void SetUp() override {
    LogFixture::SetUp();
    listener_ = std::make_unique<ByteRecorder>(loop_);
    frame_->SetListener(slot::kTerminal, listener_->Id());
  }
  void TearDown() override {
    frame_->ClearListener(slot::kTerminal);
    listener_.reset();
    LogFixture::TearDown();
  }

  // Command 33055 with the file it asks for.
  ReplayWindow* OpenReplay(std::optional<std::string> path) {
    ui_.ExpectFile(path);
    if (!Command(cmd::kReplayLog)) return nullptr;
    return log_->Replay();
  }

  void Press(ReplayWindow& replay, WParam button) {
    replay.Post(wm::kCommand, button);
    loop_.RunPending();
  }

  const Bytes& Received() const { return listener_->bytes; }

  std::unique_ptr<ByteRecorder> listener_;
};

TEST_F(ReplayTest, RunsChunkByChunkThenStopsAndRewinds) {
  ReplayWindow* replay = OpenReplay(Write("dump.log", "D0 1F 0D"));
  ASSERT_NE(replay, nullptr) << ui_.Report();
  replay->SetRateMs(10);
  replay->SetChunkSize(2);
  Press(*replay, replay_button::kRun);
  EXPECT_TRUE(replay->Running());
  EXPECT_TRUE(Received().empty());

  loop_.Advance(10);
  EXPECT_EQ(Received(), (Bytes{0xD0, 0x1F}));
  EXPECT_TRUE(replay->Running());
  loop_.Advance(10);
  EXPECT_EQ(Received(), (Bytes{0xD0, 0x1F, 0x0D}));
  EXPECT_FALSE(replay->Running());
  EXPECT_FALSE(loop_.HasTimer(replay->Id(), kReplayTimer));

  // Rewound: the next run starts at the first byte again.
  loop_.Advance(1000);
  EXPECT_EQ(Received().size(), 3u);
  Press(*replay, replay_button::kRun);
  loop_.Advance(10);
  EXPECT_EQ(Received(), (Bytes{0xD0, 0x1F, 0x0D, 0xD0, 0x1F}));
}

TEST_F(ReplayTest, LoneDigitsDispatchNothing) {
  ReplayWindow* replay = OpenReplay(Write("lone.log", "A B"));
  ASSERT_NE(replay, nullptr);
  Press(*replay, replay_button::kRun);
  loop_.Advance(100);
  EXPECT_TRUE(Received().empty());
  EXPECT_FALSE(replay->Running());
}

TEST_F(ReplayTest, SingleStepAndRewind) {
  ReplayWindow* replay = OpenReplay(Write("step.log", "01 02 03"));
  ASSERT_NE(replay, nullptr);
  replay->SetChunkSize(1);
  Press(*replay, replay_button::kSingleStep);
  Press(*replay, replay_button::kSingleStep);
  EXPECT_EQ(Received(), (Bytes{0x01, 0x02}));
  Press(*replay, replay_button::kRewind);
  Press(*replay, replay_button::kSingleStep);
  EXPECT_EQ(Received(), (Bytes{0x01, 0x02, 0x01}));
  EXPECT_FALSE(replay->Running());
  // A step past the end rewinds too.
  replay->SetChunkSize(5);
  Press(*replay, replay_button::kSingleStep);
  Press(*replay, replay_button::kSingleStep);
  EXPECT_EQ(Received(), (Bytes{0x01, 0x02, 0x01, 0x02, 0x03, 0x01, 0x02, 0x03}));
}

TEST_F(ReplayTest, StopHoldsThePlace) {
  ReplayWindow* replay = OpenReplay(Write("stop.log", "01 02 03 04"));
  ASSERT_NE(replay, nullptr);
  replay->SetChunkSize(1);
  Press(*replay, replay_button::kRun);
  loop_.Advance(1);
  Press(*replay, replay_button::kStop);
  EXPECT_FALSE(replay->Running());
  EXPECT_FALSE(loop_.HasTimer(replay->Id(), kReplayTimer));
  loop_.Advance(100);
  EXPECT_EQ(Received(), Bytes{0x01});
  Press(*replay, replay_button::kRun);
  loop_.Advance(1);
  EXPECT_EQ(Received(), (Bytes{0x01, 0x02}));
}

TEST_F(ReplayTest, ButtonsAreEnabledByState) {
  struct Enabled {
    bool run, step, rewind, stop, newFile, quit, values;
    bool operator==(const Enabled&) const = default;
  };
  const auto state = [](const ReplayWindow& r) {
    return Enabled{r.RunEnabled(),     r.SingleStepEnabled(), r.RewindEnabled(), r.StopEnabled(),
                   r.NewFileEnabled(), r.QuitEnabled(),       r.ValuesEnabled()};
  };
  ReplayWindow* replay = OpenReplay(std::nullopt);
  ASSERT_NE(replay, nullptr);
  EXPECT_EQ(state(*replay), (Enabled{false, false, false, false, true, true, true})) << "no file";
  // Disabled buttons do nothing.
  Press(*replay, replay_button::kRun);
  EXPECT_FALSE(replay->Running());

  ui_.ExpectFile(Write("enable.log", "01 02 03"));
  Press(*replay, replay_button::kNewFile);
  EXPECT_EQ(state(*replay), (Enabled{true, true, true, false, true, true, true})) << "idle with a file";

  Press(*replay, replay_button::kRun);
  EXPECT_EQ(state(*replay), (Enabled{false, false, false, true, false, false, false})) << "running";
  Press(*replay, replay_button::kNewFile);
  Press(*replay, replay_button::kQuit);
  EXPECT_TRUE(replay->Running());
  EXPECT_TRUE(replay->FileOpen());
  EXPECT_EQ(ui_.Asked().size(), 2u);
}

TEST_F(ReplayTest, TheTitleNamesTheOpenFile) {
  ReplayWindow* replay = OpenReplay(std::nullopt);
  ASSERT_NE(replay, nullptr);
  // The dialog opens without a file too.
  ASSERT_EQ(ui_.Opened().size(), 1u);
  EXPECT_EQ(ui_.Opened()[0].placement.kind, PlacementKind::kModelessDialog);
  EXPECT_EQ(ui_.Opened()[0].placement.title, "Replay");
  EXPECT_EQ(replay->Title(), "Replay");
  const FileDialogRequest& request = ui_.Asked().front().file;
  EXPECT_EQ(request.filter, "Log Files (*.log)|*.log|All Files (*.*)|*.*||");
  EXPECT_FALSE(request.save);

  ui_.ExpectFile(Write("named.log", "00"));
  Press(*replay, replay_button::kNewFile);
  EXPECT_EQ(replay->Title(), "Replay - named.log");

  // New File closes the file first; a file that cannot be opened is reported.
  ui_.ExpectFile(PathOf("missing.log"));
  ui_.ExpectMessage("Failed to open file!", Answer::kOk);
  Press(*replay, replay_button::kNewFile);
  EXPECT_EQ(replay->Title(), "Replay");
  EXPECT_FALSE(replay->FileOpen());
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

TEST_F(ReplayTest, OnlyOneAtATimeAndQuitOrClosingEndsIt) {
  const std::string path = Write("one.log", "01 02");
  ReplayWindow* replay = OpenReplay(path);
  ASSERT_NE(replay, nullptr);
  const WindowId first = replay->Id();
  // A second command brings the same dialog forward without asking again.
  ASSERT_TRUE(Command(cmd::kReplayLog));
  EXPECT_EQ(log_->Replay(), replay);
  ASSERT_EQ(ui_.Opened().size(), 2u);
  EXPECT_EQ(ui_.Opened()[1].window, first);
  EXPECT_EQ(ui_.Asked().size(), 1u);

  Press(*replay, replay_button::kQuit);
  EXPECT_EQ(ui_.Closed(), std::vector<WindowId>{first});
  EXPECT_EQ(log_->Replay(), nullptr);
  EXPECT_EQ(loop_.Find(first), nullptr);

  // Closing by the frame works while running, and stops the timer first.
  replay = OpenReplay(path);
  ASSERT_NE(replay, nullptr);
  EXPECT_NE(replay->Id(), first);
  const WindowId second = replay->Id();
  Press(*replay, replay_button::kRun);
  replay->Post(wm::kClose);
  loop_.RunPending();
  EXPECT_EQ(loop_.Find(second), nullptr);
  EXPECT_FALSE(loop_.HasTimer(second, kReplayTimer));
  loop_.Advance(100);
  EXPECT_TRUE(Received().empty());
}

TEST_F(ReplayTest, RateAndChunkStayInRange) {
  ReplayWindow* replay = OpenReplay(std::nullopt);
  ASSERT_NE(replay, nullptr);
  EXPECT_EQ(replay->RateMs(), 1);
  EXPECT_EQ(replay->ChunkSize(), 5);
  const struct {
    int rate, chunk, expectedRate, expectedChunk;
  } cases[] = {{0, 0, 1, 1}, {-5, -3, 1, 1}, {250, 64, 250, 64}, {1 << 30, 1 << 30, 3600000, 65536}};
  for (const auto& c : cases) {
    replay->SetRateMs(c.rate);
    replay->SetChunkSize(c.chunk);
    EXPECT_EQ(replay->RateMs(), c.expectedRate) << c.rate;
    EXPECT_EQ(replay->ChunkSize(), c.expectedChunk) << c.chunk;
  }
}

TEST_F(ReplayTest, AListenerThatClosesTheDialogEndsTheChunk) {
  ReplayWindow* replay = OpenReplay(Write("close.log", "01 02 03 04"));
  ASSERT_NE(replay, nullptr);
  const WindowId id = replay->Id();
  struct Closer : Window {
    Closer(MessageLoop& loop, WindowId target) : Window(loop), target(target) {}
    LResult OnMessage(MessageId message, WParam wParam, LParam) override {
      if (message != msg::kListenerByte) return 0;
      seen.push_back(static_cast<std::uint8_t>(wParam));
      Loop().Send(target, wm::kClose);
      return 0;
    }
    WindowId target;
    Bytes seen;
  } closer(loop_, id);
  frame_->SetListener(slot::kScope, closer.Id());
  Press(*replay, replay_button::kSingleStep);
  EXPECT_EQ(closer.seen, Bytes{0x01});
  EXPECT_EQ(loop_.Find(id), nullptr);
  frame_->ClearListener(slot::kScope);
}

}  // namespace
}  // namespace kx7
