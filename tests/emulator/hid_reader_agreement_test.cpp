// The emulated controllers' touch and pass-through reports as the program's HID reader takes
// them: the report it chooses to poll is there, a touch becomes the tablet packet or the whole
// multi-contact report, and nothing comes of a report without a touch. The two sides are written
// apart; this is where they must meet.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/hid_controller.h"
#include "hid_test_support.h"
#include "link/hid/hid_reader.h"

namespace kx7::emu {
namespace {

using hid_testing::Cmd;
using hid_testing::QuietOptions;
using hid_testing::VirtualClock;

struct Case {
  std::string family;
  std::uint8_t sensorKind;
  std::uint32_t features;  // what identification sets for this controller
  int multiTouchMode;
  bool tabletPacket;  // the reader makes a 5-byte tablet packet (else it passes the report whole)
};

class ReaderAgreement : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderAgreement, TouchesReachTheReaderAndIdleReportsDoNot) {
  const Case& c = GetParam();
  VirtualClock clock;
  HidControllerOptions options = QuietOptions(clock);
  if (c.family.rfind("larch", 0) == 0) options.sensorKind = c.sensorKind;
  auto controller = CreateHidController(c.family, options);
  ASSERT_TRUE(controller);

  hid::ReaderState state;
  state.type = static_cast<std::uint32_t>(controller->Family().typeId);
  state.features = c.features;
  state.multiTouchMode = c.multiTouchMode;
  state.inputReportLength = controller->Family().inputReportLength;
  const hid::PollChoice poll = hid::ChoosePollReport(state);

  const auto idle = controller->OnGetFeature(poll.id, poll.length);
  ASSERT_TRUE(idle) << "report " << int(poll.id);
  EXPECT_TRUE(hid::ConvertReport(state, *idle).bytes.empty()) << "nothing from a report without a touch";

  controller->WithTouches([](TouchSource& t) { t.Place({1024, 512}, true); });
  const auto touch = controller->OnGetFeature(poll.id, poll.length);
  ASSERT_TRUE(touch);
  const hid::ReaderOutput out = hid::ConvertReport(state, *touch);
  if (c.tabletPacket) {
    ASSERT_EQ(out.bytes.size(), 5u);
    EXPECT_EQ(out.bytes[0], 0xC0);
    const int x14 = out.bytes[1] | (out.bytes[2] << 7);
    const int y14 = out.bytes[3] | (out.bytes[4] << 7);
    EXPECT_NEAR(x14, 1024 * 8, 8);
    EXPECT_NEAR(y14, 512 * 8, 8);
  } else {
    ASSERT_EQ(out.bytes.size(), 64u);
    EXPECT_EQ(out.bytes[0], poll.id);
  }

  controller->WithTouches([](TouchSource& t) { t.Place({1024, 512}, false); });
  const auto lift = controller->OnGetFeature(poll.id, poll.length);
  ASSERT_TRUE(lift);
  const hid::ReaderOutput lifted = hid::ConvertReport(state, *lift);
  ASSERT_FALSE(lifted.bytes.empty()) << "the lift-off reaches the host";
  if (c.tabletPacket) {
    EXPECT_EQ(lifted.bytes[0], 0x80);
  }
  const auto after = controller->OnGetFeature(poll.id, poll.length);
  EXPECT_TRUE(hid::ConvertReport(state, *after).bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Families, ReaderAgreement,
    ::testing::Values(Case{"rowan-usb-gen2", 0, 0, 0, true}, Case{"rowan-usb-gen3", 0, 0x1000, 2, false},
                      Case{"rowan-usb-gen3", 0, 0, 1, true}, Case{"rowan-usb-gen4", 0, 0x1000, 2, false},
                      Case{"larch-usb", 1, 0x2000, 0, false}, Case{"larch-usb", 2, 0x20000, 0, false},
                      Case{"larch-usb", 0, 0x40000, 0, false}, Case{"larch-usb", 3, 0x400000, 0, false},
                      Case{"larch-usb-0500", 1, 0x2000, 0, false}, Case{"resistive-usb-4wire", 0, 0x28, 0, true},
                      Case{"resistive-usb-5wire", 0, 0x08, 0, true}),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name = info.param.family + "_" + std::to_string(info.index);
      for (char& ch : name)
        if (ch == '-') ch = '_';
      return name;
    });

TEST(ReaderAgreementPassThrough, TheSecondProcessorsBytesReachTheByteStream) {
  VirtualClock clock;
  auto controller = CreateHidController("rowan-usb-gen4", QuietOptions(clock));
  ASSERT_TRUE(controller->OnSetFeature(Cmd({5, 0, 0, 8})));
  kx7::HidReport oi(64, 0);
  oi[0] = 9;
  oi[1] = 10;
  oi[2] = 4;
  const std::string text = "\x01OI\r";
  std::copy(text.begin(), text.end(), oi.begin() + 8);
  ASSERT_TRUE(controller->OnSetFeature(oi));
  hid::ReaderState state;
  state.type = 32883;
  state.passThrough = true;
  const hid::PollChoice poll = hid::ChoosePollReport(state);
  const auto answer = controller->OnGetFeature(poll.id, poll.length);
  ASSERT_TRUE(answer);
  const hid::ReaderOutput out = hid::ConvertReport(state, *answer);
  EXPECT_EQ(std::string(out.bytes.begin(), out.bytes.end()), "\x01WZ0401\r");
}

TEST(ReaderAgreementPassThrough, MapleAndBirch2DeliverTheirReportsAsPackets) {
  VirtualClock clock;
  for (const std::string& family : {std::string("maple"), std::string("birch2-hid")}) {
    SCOPED_TRACE(family);
    auto controller = CreateHidController(family, QuietOptions(clock));
    hid::ReaderState state;
    state.type = static_cast<std::uint32_t>(controller->Family().typeId);
    state.birch2Stream = family == "birch2-hid";
    state.inputReportLength = controller->Family().inputReportLength;
    if (state.birch2Stream) {
      ASSERT_TRUE(controller->OnSetFeature(hid_testing::Bytes(8, {16, 16, 2})));
    }
    const hid::PollChoice poll = hid::ChoosePollReport(state);
    const auto report = controller->OnGetFeature(poll.id, poll.length);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->size(), poll.length);
    const hid::ReaderOutput out = hid::ConvertReport(state, *report);
    EXPECT_EQ(out.kind, DeliveryKind::kPacket);
    EXPECT_EQ(out.bytes, *report);
    // The fallback of the Birch2 HID reader is always there.
    if (state.birch2Stream) {
      EXPECT_TRUE(controller->OnGetFeature(hid::Birch2Fallback().id, hid::Birch2Fallback().length));
    }
  }
}

}  // namespace
}  // namespace kx7::emu
