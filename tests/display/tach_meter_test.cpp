// The rate meter on virtual time: the rate over the ring at each piece, the fall after 200 ms
// without pieces, Reset, and the terminal feeding it only while it is shown.
#include "display/tach_meter.h"

#include <gtest/gtest.h>

#include <vector>

#include "display/terminal_commands.h"
#include "display_frame_fixture.h"
#include "frame/messages.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace kx7 {
namespace {

// `count` times `stepMs` apart from `from`.
std::vector<std::uint64_t> Every(std::uint64_t stepMs, int count, std::uint64_t from = 0) {
  std::vector<std::uint64_t> times;
  for (int i = 0; i < count; ++i) times.push_back(from + stepMs * static_cast<std::uint64_t>(i));
  return times;
}

class TachMeterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(meter_.Open()); }
  // Pieces at the given times, each delivered when the clock reaches it.
  void Pieces(const std::vector<std::uint64_t>& times, int contacts = 0) {
    for (const std::uint64_t ms : times) {
      loop_.Advance(ms - loop_.Now());
      loop_.Post(meter_.Id(), msg::kTachCount, static_cast<WParam>(ms), contacts);
      loop_.RunPending();
    }
  }

  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  TachMeter meter_{loop_, ui_};
};

TEST_F(TachMeterTest, OpensAsTheModelessTachDialogShowingNothingYet) {
  ASSERT_EQ(ui_.Opened().size(), 1u);
  EXPECT_EQ(ui_.Opened()[0].placement.kind, PlacementKind::kModelessDialog);
  EXPECT_EQ(ui_.Opened()[0].placement.title, "Tach");
  EXPECT_EQ(meter_.RateText(), "0 PPS");
  EXPECT_EQ(meter_.ContactsText(), "");
}

struct RateCase {
  const char* name;
  std::vector<std::uint64_t> times;
  const char* rate;
  std::size_t ring;
};

class TachRates : public TachMeterTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(TachRates, PiecesInTheRingOverTheSecondsSinceTheOldest) {
  Pieces(GetParam().times);
  EXPECT_EQ(meter_.RateText(), GetParam().rate);
  EXPECT_EQ(meter_.PiecesInRing(), GetParam().ring);
}

INSTANTIATE_TEST_SUITE_P(Cases, TachRates,
                         ::testing::Values(
                             // Eleven pieces over 100 ms.
                             RateCase{"TenMsApart", Every(10, 11), "110 PPS", 11},
                             // 3 / 0.007 s = 428.57: rounded, not cut.
                             RateCase{"Rounded", {5, 8, 12}, "429 PPS", 3},
                             // One piece has no span yet: nothing to divide by.
                             RateCase{"OnePiece", {40}, "0 PPS", 1},
                             RateCase{"SameMillisecond", {40, 40, 40}, "0 PPS", 3},
                             // The ring keeps the last 1000: 1000 pieces over 999 ms.
                             RateCase{"RingFull", Every(1, 1500, 1), "1001 PPS", 1000}),
                         [](const ::testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

TEST_F(TachMeterTest, ShowsTheLastNonZeroContactCount) {
  Pieces({10}, 3);
  EXPECT_EQ(meter_.ContactsText(), "3");
  Pieces({20}, 0);
  EXPECT_EQ(meter_.ContactsText(), "3") << "a piece without a count leaves the shown one";
  Pieces({30}, 2);
  EXPECT_EQ(meter_.ContactsText(), "2");
}

TEST_F(TachMeterTest, AfterTwoHundredQuietMillisecondsTheRateHalvesUntilZero) {
  Pieces(Every(10, 11), 2);  // 110 PPS, the last piece at 100 ms
  loop_.Advance(199);
  EXPECT_EQ(meter_.RateText(), "110 PPS") << "not yet 200 ms since the last piece";
  EXPECT_EQ(meter_.ContactsText(), "2");
  loop_.Advance(1);
  EXPECT_EQ(meter_.RateText(), "55 PPS");
  EXPECT_EQ(meter_.ContactsText(), "");
  EXPECT_EQ(meter_.PiecesInRing(), 0u);
  const std::vector<const char*> falling = {"27 PPS", "13 PPS", "6 PPS", "3 PPS", "1 PPS", "0 PPS"};
  for (const char* rate : falling) {
    loop_.Advance(200);
    EXPECT_EQ(meter_.RateText(), rate);
  }
  EXPECT_FALSE(loop_.HasTimer(meter_.Id(), TachMeter::kIdleTimer)) << "nothing left to fall";
}

TEST_F(TachMeterTest, EachPieceRestartsTheQuietTime) {
  Pieces({0, 150, 300, 450});
  EXPECT_EQ(meter_.RateText(), "9 PPS");  // 4 / 0.45 s
  loop_.Advance(199);
  EXPECT_EQ(meter_.RateText(), "9 PPS");
  loop_.Advance(1);
  EXPECT_EQ(meter_.RateText(), "4 PPS");
  // After the fall the ring starts again from the next piece.
  Pieces({loop_.Now() + 10, loop_.Now() + 20});
  EXPECT_EQ(meter_.PiecesInRing(), 2u);
  EXPECT_EQ(meter_.RateText(), "200 PPS");
}

TEST_F(TachMeterTest, ResetClearsEverything) {
  Pieces(Every(10, 11), 4);
  loop_.Post(meter_.Id(), wm::kCommand, TachMeter::kResetButton);
  loop_.RunPending();
  EXPECT_EQ(meter_.RateText(), "0 PPS");
  EXPECT_EQ(meter_.ContactsText(), "");
  EXPECT_EQ(meter_.PiecesInRing(), 0u);
  EXPECT_FALSE(loop_.HasTimer(meter_.Id(), TachMeter::kIdleTimer));
  Pieces({loop_.Now() + 5});
  EXPECT_EQ(meter_.RateText(), "0 PPS") << "the old pieces are gone from the ring";
}

TEST_F(TachMeterTest, ClosedItTakesNoPiecesAndReopensEmpty) {
  Pieces(Every(10, 11));
  loop_.Post(meter_.Id(), wm::kClose);
  loop_.RunPending();
  EXPECT_FALSE(meter_.Shown());
  EXPECT_EQ(ui_.Closed(), std::vector<WindowId>{meter_.Id()});
  EXPECT_FALSE(loop_.HasTimer(meter_.Id(), TachMeter::kIdleTimer));
  Pieces({200, 210});
  ASSERT_TRUE(meter_.Open());
  EXPECT_EQ(meter_.RateText(), "0 PPS");
  EXPECT_EQ(meter_.PiecesInRing(), 0u);
}

class TachFromTerminalTest : public testing::DisplayFrameTest {
 protected:
  void SetUp() override {
    DisplayFrameTest::SetUp();
    InstallTerminalCommands(*frame_);
  }
};

TEST_F(TachFromTerminalTest, TheTerminalFeedsItsDecodedPiecesWhileTheTachIsOpen) {
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kTach).enabled) << "no terminal yet";
  CTerminalWnd& terminal = OpenTerminal();
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kTach).enabled);
  const std::vector<std::uint8_t> report = {0xC0, 0x00, 0x20, 0x00, 0x10};
  Receive(report);
  loop_.RunPending();
  frame_->OnCommand(cmd::kTach);
  TachMeter& tach = terminal.Tach();
  ASSERT_TRUE(tach.Shown());
  EXPECT_EQ(ui_.Opened().back().window, tach.Id());
  EXPECT_EQ(tach.PiecesInRing(), 0u) << "nothing counted while it was closed";
  for (int i = 0; i < 5; ++i) {
    loop_.Advance(10);
    Receive(report);
    loop_.RunPending();
  }
  EXPECT_EQ(tach.PiecesInRing(), 5u);
  EXPECT_EQ(tach.RateText(), "125 PPS");  // 5 over 40 ms
  // Typed keys are not decoded pieces.
  frame_->settings.Options.LoopbackSentChars = 0;
  frame_->settings.Options.FullDuplex = 0;
  terminal.OnChar('a');
  loop_.RunPending();
  EXPECT_EQ(tach.PiecesInRing(), 5u);
  // Closing the terminal closes its Tach.
  loop_.Send(terminal.Id(), wm::kClose);
  EXPECT_FALSE(tach.Shown());
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kTach).enabled);
  loop_.RunPending();
}

}  // namespace
}  // namespace kx7
