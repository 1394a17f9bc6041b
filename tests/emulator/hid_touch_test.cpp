// The touch reports of the emulated HID controllers: each family's report id and layout for a
// placed touch, the lift-off report and the empty report after it, and the hand of a controller
// that touches by itself only once the host has fallen silent.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "emulator/hid_controller.h"
#include "emulator/hid_touch_reports.h"
#include "hid_test_support.h"

namespace kx7::emu {
namespace {

using hid_testing::Cmd;
using hid_testing::QuietOptions;
using hid_testing::VirtualClock;
using hid_testing::Word;

void Place(EmulatedHidController& c, double x, double y, bool down, int contact = 0) {
  c.WithTouches([&](TouchSource& touches) { touches.Place({x, y}, down, contact); });
}

bool AllZeroAfter(const kx7::HidReport& report, std::size_t from) {
  for (std::size_t i = from; i < report.size(); ++i)
    if (report[i] != 0) return false;
  return true;
}

// Where a family's contact lands in its report, for a touch at (1024, 512) of the 2047 screen.
TEST(HidTouchReports, EachFamilyReportsAPlacedTouchInItsLayout) {
  struct Case {
    std::string family;
    std::uint8_t sensorKind;
    std::uint8_t reportId;
    std::size_t length;
    std::size_t statusAt;
    std::uint8_t touching;  // the status byte while touching
    std::uint8_t lifted;    // and in the lift-off report
    std::size_t xAt;
    std::size_t yAt;
    std::uint32_t max;  // the full-scale coordinate
    int countAt;        // -1: no count byte
  };
  const Case cases[] = {
      {"rowan-usb-gen2", 0, 7, 8, 1, 0x03, 0x02, 2, 4, 0x3FFF, -1},
      {"rowan-usb-gen3", 0, 16, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 61},
      {"rowan-usb-gen3", 0, 7, 64, 1, 0x03, 0x02, 2, 4, 0x3FFF, -1},
      {"rowan-usb-gen4", 0, 16, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 61},
      {"larch-usb", 1, 115, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 61},
      {"larch-usb", 2, 118, 64, 1, 0x07, 0x04, 3, 7, 0x7FFF, 61},
      {"larch-usb", 0, 119, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 61},
      {"larch-usb", 3, 116, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 57},
      {"larch-usb-0500", 1, 7, 64, 1, 0x07, 0x04, 3, 5, 0x7FFF, 61},
      {"maple", 0, 7, 16, 2, 0xC0, 0x80, 3, 5, 0xFFFF, -1},
      {"resistive-usb-4wire", 0, 7, 16, 1, 0x03, 0x02, 2, 4, 0x0FFF, -1},
      {"resistive-usb-5wire", 0, 8, 16, 1, 0x03, 0x02, 2, 4, 0x1FFF, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family + " report " + std::to_string(c.reportId));
    VirtualClock clock;
    HidControllerOptions options = QuietOptions(clock);
    if (c.family.rfind("larch", 0) == 0) options.sensorKind = c.sensorKind;
    auto controller = CreateHidController(c.family, options);
    ASSERT_TRUE(controller);

    const auto idle = controller->OnGetFeature(c.reportId, 64);
    ASSERT_TRUE(idle);
    ASSERT_EQ(idle->size(), c.length);
    EXPECT_EQ(idle->at(0), c.reportId);
    if (c.family == "maple")
      EXPECT_EQ(idle->at(2), 0x80) << "the record without a touch";
    else
      EXPECT_TRUE(AllZeroAfter(*idle, 1)) << "a report without a touch";

    Place(*controller, 1024, 512, true);
    const auto touch = controller->OnGetFeature(c.reportId, 64);
    ASSERT_TRUE(touch);
    EXPECT_EQ(touch->at(c.statusAt), c.touching);
    EXPECT_EQ(Word(*touch, c.xAt), std::lround(1024.0 * c.max / 2047.0));
    EXPECT_EQ(Word(*touch, c.yAt), std::lround(512.0 * c.max / 2047.0));
    if (c.countAt >= 0) {
      EXPECT_EQ(touch->at(static_cast<std::size_t>(c.countAt)), 1);
    }

    Place(*controller, 1024, 512, false);
    const auto lift = controller->OnGetFeature(c.reportId, 64);
    ASSERT_TRUE(lift);
    EXPECT_EQ(lift->at(c.statusAt), c.lifted) << "the lift-off";
    if (c.family != "maple") {
      EXPECT_EQ(Word(*lift, c.xAt), Word(*touch, c.xAt)) << "at the last position";
      const auto after = controller->OnGetFeature(c.reportId, 64);
      EXPECT_TRUE(AllZeroAfter(*after, 1)) << "nothing after the lift-off";
    }
  }
}

TEST(HidTouchReports, SeveralContactsFillTheRecordsAndTheScanTimeFollowsTheCount) {
  VirtualClock clock;
  HidControllerOptions options = QuietOptions(clock);
  options.sensorKind = 1;
  auto larch = CreateHidController("larch-usb", options);
  Place(*larch, 100, 200, true, 0);
  Place(*larch, 1800, 1900, true, 3);
  clock.Advance(7);
  const auto report = larch->OnGetFeature(115, 64);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->at(61), 2);
  EXPECT_EQ(Word(*report, 62), (1007u * 10) & 0xFFFF);
  EXPECT_EQ(report->at(1 + 1), 0);
  EXPECT_EQ(report->at(11 + 1), 3) << "the second record, ten bytes on";
  EXPECT_EQ(Word(*report, 11 + 2), std::lround(1800.0 * 32767 / 2047.0));

  auto resistive = CreateHidController("resistive-usb-4wire", QuietOptions(clock));
  Place(*resistive, 0, 0, true, 0);
  Place(*resistive, 2047, 2047, true, 1);
  const auto two = resistive->OnGetFeature(7, 16);
  EXPECT_EQ(two->at(1), 0x03);
  EXPECT_EQ(two->at(6), 0x03) << "the second record";
  EXPECT_EQ(Word(*two, 7), 0x0FFF);
  EXPECT_EQ(Word(*two, 9), 0x0FFF);
}

TEST(HidTouchReports, ResistiveRawReportInTheRawModes) {
  VirtualClock clock;
  auto c = CreateHidController("resistive-usb-5wire", QuietOptions(clock));
  Place(*c, 2047, 0, true);
  EXPECT_EQ(c->OnGetFeature(9, 64)->at(7), 0) << "no pass-through bytes outside the raw modes";
  ASSERT_TRUE(c->OnSetFeature(Cmd({5, 0, 0, 4})));
  const auto raw = c->OnGetFeature(9, 64);
  ASSERT_TRUE(raw);
  EXPECT_EQ(Word(*raw, 1), 0x0FFF);
  EXPECT_EQ(Word(*raw, 3), 0);
  EXPECT_NE(Word(*raw, 5), 0) << "pressure while touched";
  EXPECT_EQ(raw->at(7), 1);
}

// The hand keeps off while the host talks; the polls of touch reports do not count as talking.
TEST(HidTouchReports, OwnTouchesAppearOnlyAfterTheHostFellSilent) {
  VirtualClock clock;
  HidControllerOptions options;
  options.clock = clock.Function();
  options.handsOffMs = 3000;
  auto c = CreateHidController("rowan-usb-gen3", options);
  const auto touched = [&] {
    const auto report = c->OnGetFeature(16, 64);
    return report && report->at(61) != 0;
  };
  // Nothing before the host has spoken at all, however long it polls.
  for (int step = 0; step < 1000; ++step) {
    clock.Advance(10);
    ASSERT_FALSE(touched()) << "at " << *clock.now;
  }
  // The host identifies the controller every half second for ten seconds: no touch in between.
  std::uint64_t lastTalk = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(c->OnGetFeature(4, 16));
    lastTalk = *clock.now;
    for (int step = 0; step < 50; ++step) {
      clock.Advance(10);
      ASSERT_FALSE(touched()) << "at " << *clock.now;
    }
  }
  // Silence: a stroke comes within a few seconds of the hands-off time.
  bool seen = false;
  while (!seen && *clock.now < lastTalk + 20000) {
    clock.Advance(10);
    seen = touched();
    if (seen) {
      EXPECT_GE(*clock.now, lastTalk + 3000);
    }
  }
  EXPECT_TRUE(seen);
  // The host speaks again: the hand lifts at once (one lift-off report), and keeps off.
  ASSERT_TRUE(c->OnGetFeature(6, 8));
  const auto lift = c->OnGetFeature(16, 64);
  ASSERT_TRUE(lift);
  EXPECT_NE(lift->at(61), 0);
  EXPECT_EQ(lift->at(1) & 0x03, 0) << "a lift-off";
  clock.Advance(100);
  EXPECT_FALSE(touched());
}

// The controller-side calibration as the host follows it in the status record.
TEST(HidCalibration, TargetsTakenByTouchesThatLastAdvanceTheStatus) {
  VirtualClock clock;
  auto c = CreateHidController("rowan-usb-gen2", QuietOptions(clock));
  const auto status = [&] { return c->OnGetFeature(6, 8)->at(2); };
  EXPECT_FALSE(c->OnSetFeature(Cmd({4, 9}))) << "no such calibration";
  EXPECT_FALSE(c->OnSetFeature(Cmd({4, 5}))) << "nothing to step";
  ASSERT_TRUE(c->OnSetFeature(Cmd({4, 3})));
  EXPECT_TRUE(c->Calibrating());
  EXPECT_EQ(status(), 1);
  const auto tap = [&](double x, double y, std::uint64_t ms) {
    Place(*c, x, y, true);
    status();  // polled while down
    clock.Advance(ms);
    status();
    Place(*c, x, y, false);
    clock.Advance(100);
    return status();
  };
  EXPECT_EQ(tap(256, 1792, 100), 1) << "too short a touch is not taken";
  EXPECT_EQ(tap(256, 1792, 400), 2);
  EXPECT_EQ(tap(1792, 256, 400), 6);
  EXPECT_EQ(tap(256, 256, 400), 3);
  EXPECT_FALSE(c->Calibrating());
  EXPECT_EQ(c->CalibrationTouches().size(), 3u);
  EXPECT_EQ(status(), 3) << "the idle controller's done";

  // The Birch2 HID shows it in status byte 3 and is ready (4) again afterwards; a reset ends it.
  auto birch2 = CreateHidController("birch2-hid", QuietOptions(clock));
  ASSERT_TRUE(birch2->OnSetFeature(hid_testing::Bytes(8, {16, 17, 1})));
  EXPECT_EQ(birch2->OnGetFeature(128, 20)->at(3), 1);
  ASSERT_TRUE(birch2->OnSetFeature(hid_testing::Bytes(8, {16, 18, 1})));
  EXPECT_EQ(birch2->OnGetFeature(128, 20)->at(3), 4);
}

TEST(HidCalibration, SteppedByTheHostAndFinishedByTheControllersOwnHand) {
  VirtualClock clock;
  auto stepped = CreateHidController("larch-usb", QuietOptions(clock));
  ASSERT_TRUE(stepped->OnSetFeature(Cmd({4, 4})));
  std::vector<std::uint8_t> seen{stepped->OnGetFeature(6, 8)->at(2)};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(stepped->OnSetFeature(Cmd({4, 5})));
    seen.push_back(stepped->OnGetFeature(6, 8)->at(2));
  }
  EXPECT_EQ(seen, (std::vector<std::uint8_t>{1, 2, 6, 3}));

  // The hand taps the targets while the host polls the status every 100 ms.
  HidControllerOptions options;
  options.clock = clock.Function();
  auto c = CreateHidController("maple", options);
  ASSERT_TRUE(c->OnSetFeature(Cmd({4, 1})));
  std::vector<std::uint8_t> states;
  for (int tick = 0; tick < 300 && (states.empty() || states.back() != 3); ++tick) {
    clock.Advance(100);
    const std::uint8_t state = c->OnGetFeature(6, 8)->at(2);
    if (states.empty() || states.back() != state) states.push_back(state);
  }
  EXPECT_EQ(states, (std::vector<std::uint8_t>{1, 2, 3}));
  const auto touches = c->CalibrationTouches();
  ASSERT_EQ(touches.size(), 2u);
  EXPECT_NEAR(touches[0].x, 256, 40);
  EXPECT_NEAR(touches[0].y, 1792, 40);
  EXPECT_NEAR(touches[1].x, 1792, 40);
}

TEST(HidTouchReports, EncoderKeepsToItsRecordsAndPadsToTheDeviceLength) {
  std::vector<HidTouchPoint> many;
  for (int i = 0; i < 20; ++i) many.push_back({i, 10.0 * i, 20.0 * i, true});
  const auto report = EncodeTouchReport(HidTouchLayout::kMulti7x8, 116, many, 0x1234, 0, 64);
  ASSERT_EQ(report.size(), 64u);
  EXPECT_EQ(report[57], 7);
  EXPECT_EQ(Word(report, 58), 0x1234);
  EXPECT_EQ(report[1 + 6 * 8 + 1], 6) << "the last record";
  const auto tablet = EncodeTouchReport(HidTouchLayout::kTablet, 7, many, 0, 0, 16);
  EXPECT_EQ(tablet.size(), 16u);
  EXPECT_EQ(ScaleCoordinate(-5, HidTouchLayout::kTablet, 7), 0);
  EXPECT_EQ(ScaleCoordinate(5000, HidTouchLayout::kTablet, 7), 0x3FFF);
}

}  // namespace
}  // namespace kx7::emu
