#include "touch_report_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

namespace kx7::emu {
namespace {

// A report as the host's tablet decoder reads it.
struct Report {
  bool touching = false;
  bool button = false;
  bool pen = false;
  int x14 = 0, y14 = 0;
  std::vector<std::uint8_t> extra;  // contact number, or Z low and high
  int X11() const { return x14 >> 3; }
  int Y11() const { return y14 >> 3; }
};

// Splits the stream at bytes with bit 7 set, as the host does, and reads each binary report.
std::vector<Report> Reports(const Bytes& bytes, std::size_t expectedLength) {
  std::vector<Report> reports;
  std::size_t k = 0;
  while (k < bytes.size()) {
    EXPECT_TRUE(bytes[k] & 0x80) << "byte " << k << " does not start a report";
    std::size_t end = k + 1;
    while (end < bytes.size() && !(bytes[end] & 0x80)) ++end;
    EXPECT_EQ(end - k, expectedLength) << "report at byte " << k;
    if (end - k >= 5) {
      Report r;
      r.touching = bytes[k] & 0x40;
      r.button = bytes[k] & 0x02;
      r.pen = bytes[k] & 0x01;
      r.x14 = bytes[k + 2] * 128 + bytes[k + 1];
      r.y14 = bytes[k + 4] * 128 + bytes[k + 3];
      r.extra.assign(bytes.begin() + k + 5, bytes.begin() + end);
      reports.push_back(r);
    }
    k = end;
  }
  return reports;
}

Bytes AdvanceTo(TouchReportGenerator& g, std::uint64_t from, std::uint64_t to, std::uint64_t step = 1) {
  Bytes out;
  for (std::uint64_t t = from; t <= to; t += step) g.Advance(t, out);
  return out;
}

// No touches but the test's own, and a straight sensor: the factory calibration leaves the bow in.
TouchReportConfig Quiet() {
  TouchReportConfig c;
  c.autoStroke = false;
  c.sensor.nonlinearity = 0;
  return c;
}

// A touch held by a robot from `down` to `up`.
void Hold(TouchReportGenerator& g, ScreenPoint p, std::uint64_t down, std::uint64_t up, int contact = 0) {
  g.Touches().Place(p, true, contact, down);
  g.Touches().Place(p, false, contact, up);
}

int Touching(const std::vector<Report>& reports) {
  int n = 0;
  for (const Report& r : reports) n += r.touching;
  return n;
}

// ---- Commands -------------------------------------------------------------------------------

struct CommandCase {
  const char* command;
  std::function<void(TouchReportConfig&)> family;
  CommandResult result;
  ReportFormat format;
  ReportMode mode;
  TouchKinds kinds;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.command; }

class TouchReportCommands : public testing::TestWithParam<CommandCase> {};

TEST_P(TouchReportCommands, AnswerAndResultingState) {
  const CommandCase& c = GetParam();
  TouchReportConfig config = Quiet();
  if (c.family) c.family(config);
  TouchReportGenerator g(config);
  EXPECT_EQ(g.OnCommand(c.command), c.result);
  EXPECT_EQ(g.Format(), c.format);
  EXPECT_EQ(g.Mode(), c.mode);
  EXPECT_EQ(g.Kinds(), c.kinds);
}

const auto kAny = [](TouchReportConfig&) {};
const auto kZ = [](TouchReportConfig& c) { c.supportsZ = true; };
const auto kPen = [](TouchReportConfig& c) { c.supportsPen = true; };
const auto kNoRaw = [](TouchReportConfig& c) { c.supportsRaw = false; };
const auto kNoSignals = [](TouchReportConfig& c) { c.signals = SignalFormat::kNone; };
const auto kRawAtPowerOn = [](TouchReportConfig& c) { c.powerOnFormat = ReportFormat::kRaw; };

using F = ReportFormat;
using M = ReportMode;
using K = TouchKinds;
constexpr auto kAck = CommandResult::kAck;
constexpr auto kRefuse = CommandResult::kRefuse;
constexpr auto kNotMine = CommandResult::kNotMine;

INSTANTIATE_TEST_SUITE_P(
    Mnemonics, TouchReportCommands,
    testing::Values(CommandCase{"FT", kRawAtPowerOn, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"TL1", kRawAtPowerOn, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"TL3", kRawAtPowerOn, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"FD", kAny, kAck, F::kAsciiDecimal, M::kStream, K::kPenAndFinger},
                    CommandCase{"FH", kAny, kAck, F::kAsciiHex, M::kStream, K::kPenAndFinger},
                    CommandCase{"CR", kAny, kAck, F::kRaw, M::kStream, K::kPenAndFinger},
                    CommandCase{"CR", kNoRaw, kRefuse, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"FR", kAny, kAck, F::kSignals, M::kStream, K::kPenAndFinger},
                    CommandCase{"FRD", kAny, kAck, F::kSignalsCompensated, M::kStream, K::kPenAndFinger},
                    CommandCase{"FR", kNoSignals, kRefuse, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"MZ", kZ, kAck, F::kTablet, M::kZ, K::kPenAndFinger},
                    CommandCase{"MZ", kAny, kRefuse, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"MS", kAny, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"MT", kAny, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"PO", kPen, kAck, F::kTablet, M::kStream, K::kPenOnly},
                    CommandCase{"PO", kAny, kRefuse, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"PF", kPen, kAck, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"FO", kAny, kAck, F::kTablet, M::kStream, K::kFingerOnly},
                    // The default-map download and everything else belong to the interpreter.
                    CommandCase{"FE", kAny, kNotMine, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"Z", kAny, kNotMine, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"MPD", kAny, kNotMine, F::kTablet, M::kStream, K::kPenAndFinger},
                    CommandCase{"ft", kAny, kNotMine, F::kTablet, M::kStream, K::kPenAndFinger}));

TEST(TouchReportCommands, CalibrationCommandsAreAcknowledgedAndStartARun) {
  for (const char* command : {"CX", "C3", "CN"}) {
    TouchReportGenerator g(Quiet());
    EXPECT_EQ(g.OnCommand(command), kAck) << command;
    EXPECT_TRUE(g.Calibrating()) << command;
    EXPECT_EQ(g.OnCommand("FT"), kAck);
    EXPECT_FALSE(g.Calibrating()) << "a format command ends the run";
  }
}

// ---- Streaming ------------------------------------------------------------------------------

TEST(TouchReportStream, ReportsAtTheRateWhileTouchedAndOnceAtLiftOff) {
  TouchReportGenerator g(Quiet());
  Hold(g, {700, 500}, 100, 600);
  const auto reports = Reports(AdvanceTo(g, 0, 1000), 5);
  ASSERT_EQ(reports.size(), 51u);
  EXPECT_EQ(Touching(reports), 50);  // 100, 110, ..., 590
  EXPECT_FALSE(reports.back().touching);
  for (const Report& r : reports) {
    EXPECT_NEAR(r.X11(), 700, 4);
    EXPECT_NEAR(r.Y11(), 2047 - 500, 4);  // the tablet's y runs up the screen
  }
}

TEST(TouchReportStream, SameBytesWhateverTheAdvanceSteps) {
  TouchReportGenerator fine(Quiet()), coarse(Quiet());
  for (TouchReportGenerator* g : {&fine, &coarse}) {
    Hold(*g, {1500, 300}, 50, 333);
  }
  Bytes once;
  coarse.Advance(0, once);  // the first Advance is where the controller's clock starts
  coarse.Advance(1000, once);
  EXPECT_EQ(AdvanceTo(fine, 0, 1000, 3), once);
}

TEST(TouchReportStream, RateIsConfigurable) {
  TouchReportConfig config = Quiet();
  config.reportIntervalMs = 25;
  TouchReportGenerator g(config);
  Hold(g, {1000, 1000}, 0, 500);
  EXPECT_EQ(Touching(Reports(AdvanceTo(g, 0, 1000), 5)), 20);
}

TEST(TouchReportStream, NextEventIsTheNextReport) {
  TouchReportGenerator g(Quiet());
  Hold(g, {1000, 1000}, 200, 260);
  Bytes out;
  g.Advance(0, out);
  EXPECT_EQ(g.NextEventMs(), 200u);
  g.Advance(200, out);
  EXPECT_EQ(g.NextEventMs(), 210u);
  g.Advance(265, out);
  EXPECT_EQ(g.NextEventMs(), kNever);  // nothing down, nothing to come
  EXPECT_EQ(Touching(Reports(out, 5)), 6);
}

TEST(TouchReportStream, NewcomersSeeTheRandomStroke) {
  TouchReportGenerator g;  // defaults: the controller touches by itself
  const auto reports = Reports(AdvanceTo(g, 0, 10000, 10), 5);
  int downs = 0, ups = 0;
  bool was = false;
  for (const Report& r : reports) {
    downs += r.touching && !was;
    ups += !r.touching && was;
    was = r.touching;
  }
  EXPECT_GE(downs, 2);
  EXPECT_GE(ups, 2);
  EXPECT_GT(reports.size(), 300u);
}

TEST(TouchReportStream, QuietSuppressesAndDoesNotCatchUp) {
  TouchReportGenerator g(Quiet());
  Hold(g, {1000, 1000}, 0, 10000);
  Bytes before = AdvanceTo(g, 0, 100);
  g.SetQuiet(true);
  EXPECT_EQ(g.NextEventMs(), kNever);
  EXPECT_TRUE(AdvanceTo(g, 101, 600).empty());
  g.SetQuiet(false);
  Bytes at600;
  g.Advance(600, at600);
  EXPECT_EQ(Reports(at600, 5).size(), 1u);  // one report now, not the fifty it missed
  EXPECT_EQ(g.NextEventMs(), 610u);
  EXPECT_EQ(Reports(before, 5).size(), 11u);
}

TEST(TouchReportStream, ZModeUsesTheSevenByteForm) {
  TouchReportConfig config = Quiet();
  config.supportsZ = true;
  TouchReportGenerator g(config);
  ASSERT_EQ(g.OnCommand("MZ"), kAck);
  g.Touches().PlaceContact(Contact{0, {400, 400}, 0.5}, true, 0);
  g.Touches().Place({400, 400}, false, 0, 100);
  const auto reports = Reports(AdvanceTo(g, 0, 200), 7);
  ASSERT_EQ(reports.size(), 11u);
  for (const Report& r : reports) {
    ASSERT_EQ(r.extra.size(), 2u);
    EXPECT_EQ(r.extra[0] + r.extra[1] * 128, 128);  // half pressure, on a scale of 255
  }
  ASSERT_EQ(g.OnCommand("MS"), kAck);
  Hold(g, {400, 400}, 300, 350);
  EXPECT_EQ(Reports(AdvanceTo(g, 201, 400), 5).size(), 6u);
}

TEST(TouchReportStream, DownUpModeSendsOnlyTouchDownAndLiftOff) {
  TouchReportGenerator g(Quiet());
  ASSERT_TRUE(g.SetMode(ReportMode::kDownUp));
  Hold(g, {300, 1700}, 100, 900);
  Hold(g, {300, 1700}, 100, 900);
  const auto reports = Reports(AdvanceTo(g, 0, 1000), 5);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_TRUE(reports[0].touching);
  EXPECT_FALSE(reports[1].touching);
  EXPECT_NEAR(reports[1].X11(), 300, 4);
}

TEST(TouchReportStream, MultiTouchNumbersEachContactAndLiftsThemOneByOne) {
  TouchReportConfig config = Quiet();
  config.contacts = 4;
  TouchReportGenerator g(config);
  Hold(g, {500, 500}, 0, 100, 0);
  Hold(g, {1500, 1500}, 0, 50, 2);
  const auto reports = Reports(AdvanceTo(g, 0, 200), 6);
  // Slots 0..40: both; slot 50: contact 0 and the lift-off of 2; slots 60..90: contact 0; then its lift-off.
  ASSERT_EQ(reports.size(), 5u * 2 + 2 + 4 + 1);
  EXPECT_EQ(reports[0].extra, (std::vector<std::uint8_t>{0}));
  EXPECT_EQ(reports[1].extra, (std::vector<std::uint8_t>{2}));
  EXPECT_NEAR(reports[1].X11(), 1500, 4);
  EXPECT_TRUE(reports[10].touching);
  EXPECT_FALSE(reports[11].touching);
  EXPECT_EQ(reports[11].extra, (std::vector<std::uint8_t>{2}));
  EXPECT_FALSE(reports.back().touching);
  EXPECT_EQ(reports.back().extra, (std::vector<std::uint8_t>{0}));
}

TEST(TouchReportStream, PenOnlyHidesFingersAndMarksPens) {
  TouchReportConfig config = Quiet();
  config.supportsPen = true;
  TouchReportGenerator g(config);
  ASSERT_EQ(g.OnCommand("PO"), kAck);
  Hold(g, {500, 500}, 0, 100);  // a finger
  EXPECT_TRUE(AdvanceTo(g, 0, 200).empty());
  g.Touches().PlaceContact(Contact{0, {500, 500}, 0.5, true, true}, true, 300);
  g.Touches().Place({500, 500}, false, 0, 320);
  const auto reports = Reports(AdvanceTo(g, 201, 400), 5);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_TRUE(reports[0].pen);
  EXPECT_TRUE(reports[0].button);
}

TEST(TouchReportStream, ResetGoesBackToTheTabletStream) {
  TouchReportConfig config = Quiet();
  config.supportsZ = true;
  TouchReportGenerator g(config);
  g.OnCommand("CR");
  g.OnCommand("MZ");
  g.OnPollByte(5);
  g.Reset(10);
  EXPECT_EQ(g.Format(), ReportFormat::kTablet);
  EXPECT_EQ(g.Mode(), ReportMode::kStream);
  EXPECT_FALSE(g.PollMode());
  Hold(g, {100, 100}, 20, 60);
  EXPECT_EQ(Reports(AdvanceTo(g, 10, 100), 5).size(), 5u);
}

// ---- Poll mode ------------------------------------------------------------------------------

TEST(TouchReportPoll, OneReportPerPollByte) {
  TouchReportGenerator g(Quiet());
  Hold(g, {800, 800}, 0, 5000);
  Bytes out;
  g.OnPollByte(0);
  EXPECT_TRUE(g.PollMode());
  for (std::uint64_t t = 0; t <= 500; ++t) {
    if (t == 100 || t == 250 || t == 251 || t == 400) g.OnPollByte(t);
    g.Advance(t, out);
  }
  // The answers to 250 and 251 keep the report interval between them.
  EXPECT_EQ(Reports(out, 5).size(), 5u);
}

TEST(TouchReportPoll, AnIdlePollWaitsForTheTouch) {
  TouchReportGenerator g(Quiet());
  Hold(g, {800, 800}, 300, 5000);
  Bytes out;
  g.OnPollByte(0);
  g.Advance(0, out);
  EXPECT_EQ(g.NextEventMs(), 300u);
  g.Advance(299, out);
  EXPECT_TRUE(out.empty());
  g.Advance(300, out);
  EXPECT_EQ(Reports(out, 5).size(), 1u);
}

TEST(TouchReportPoll, CompactFormAnswersNothingToReport) {
  TouchReportConfig config = Quiet();
  config.powerOnFormat = ReportFormat::kCompact;
  TouchReportGenerator g(config);
  Bytes out;
  g.OnPollByte(0);
  g.Advance(0, out);
  EXPECT_EQ(out, (Bytes{0x17, 0, 0, 0, 0}));
}

TEST(TouchReportPoll, StreamingResumesWhenTheHostStopsPolling) {
  TouchReportGenerator g(Quiet());
  Hold(g, {800, 800}, 0, 5000);
  Bytes polled;
  g.OnPollByte(0);
  g.Advance(0, polled);
  EXPECT_EQ(g.NextEventMs(), TouchReportGenerator::kPollHoldMs);
  Bytes more = AdvanceTo(g, 1, 999);
  EXPECT_TRUE(more.empty());
  Bytes streamed = AdvanceTo(g, 1000, 1095);
  EXPECT_FALSE(g.PollMode());
  EXPECT_EQ(Reports(streamed, 5).size(), 10u);
}

// ---- The other touch formats ----------------------------------------------------------------

TEST(TouchReportFormats, AsciiDecimalAndHexadecimal) {
  for (bool hex : {false, true}) {
    TouchReportConfig config = Quiet();
    config.sensor.noiseSigma = 0;
    TouchReportGenerator g(config);
    ASSERT_EQ(g.OnCommand(hex ? "FH" : "FD"), kAck);
    Hold(g, {1024, 1024}, 0, 20);
    const Bytes out = AdvanceTo(g, 0, 100);
    // Centre of the screen: x 1024 and, counted from the bottom, y 1023 screen units, that is
    // tablet 8192 and 8184: decimal 8192 * 999 / 16383 = 499.5 -> 500 and 499.0 -> 499;
    // hexadecimal 8192 >> 4 = 0x200 and 8184 >> 4 = 0x1FF.
    const std::string point = hex ? "200,1FF\r" : "500,499\r";
    Bytes expected;
    for (std::uint8_t status : {0x19, 0x1C, 0x18}) {
      expected.push_back(status);
      expected.insert(expected.end(), point.begin(), point.end());
    }
    EXPECT_EQ(out, expected) << (hex ? "hex" : "decimal");
  }
}

TEST(TouchReportFormats, CompactArmsOncePerTouch) {
  TouchReportConfig config = Quiet();
  config.sensor.noiseSigma = 0;
  config.powerOnFormat = ReportFormat::kCompact;
  TouchReportGenerator g(config);
  Hold(g, {0, 2047}, 0, 20);
  const Bytes out = AdvanceTo(g, 0, 100);
  EXPECT_EQ(out, (Bytes{0x17, 0, 0, 0, 0, 0x19, 0, 0, 0, 0, 0x1C, 0, 0, 0, 0, 0x18, 0, 0, 0, 0}));
}

TEST(TouchReportFormats, RawReportsCarryTheSensorsOwnCoordinates) {
  TouchReportConfig config = Quiet();
  config.sensor.clock = 9;
  TouchReportGenerator g(config);
  ASSERT_EQ(g.OnCommand("CR"), kAck);
  ASSERT_TRUE(g.SetMode(ReportMode::kDownUp));  // raw reports stream regardless
  Hold(g, {256, 1790}, 0, 300);
  const Bytes out = AdvanceTo(g, 0, 400);
  const auto reports = Reports(out, 5);
  ASSERT_EQ(reports.size(), 31u);
  const RawPoint expected = g.Sensor().RawNoiseless({256, 1790});
  for (const Report& r : reports) {
    // The calibration windows' reading: 11-bit signed around the middle, moved back to 0..2047.
    const int x = (r.X11() - 1024) & 0x7FF, y = (r.Y11() - 1024) & 0x7FF;
    EXPECT_NEAR(x, expected.x, 5);
    EXPECT_NEAR(y, expected.y, 5);
  }
  EXPECT_FALSE(reports.back().touching);
  EXPECT_GT(expected.x, 1022);  // clock 9: the lower-left target is in the upper half of both axes
  EXPECT_GT(expected.y, 1022);
}

// ---- Signal streams -------------------------------------------------------------------------

TEST(TouchReportSignals, StreamWithoutTouchAtTheSignalRate) {
  TouchReportConfig config = Quiet();
  config.signalIntervalMs = 20;
  TouchReportGenerator g(config);
  ASSERT_EQ(g.OnCommand("FR"), kAck);
  const Bytes out = AdvanceTo(g, 0, 999);
  ASSERT_EQ(out.size(), 50u * 41);
  for (std::size_t k = 0; k < out.size(); k += 41) {
    EXPECT_EQ(out[k] & 0xC0, 0x80);
    EXPECT_EQ(out[k] & 0x3F, (k / 41) % 64);  // the sample counter
  }
}

std::int32_t IqValue(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int k = 0; k < 4; ++k) v = v * 128 + p[k];
  return static_cast<std::int32_t>(v * 16 + p[4]);
}

TEST(TouchReportSignals, CompensatedIqIsTheTouchAlone) {
  TouchReportGenerator g(Quiet());
  ASSERT_EQ(g.OnCommand("FRD"), kAck);
  Bytes idle;
  g.Advance(0, idle);
  ASSERT_EQ(idle.size(), 41u);
  for (int c = 0; c < 4; ++c) EXPECT_LT(std::abs(IqValue(&idle[1 + 10 * c])), 20000);  // noise only
  g.Touches().Place({100, 100}, true);  // near the upper-left corner (clock 3)
  Bytes touched;
  g.Advance(10, touched);
  ASSERT_EQ(touched.size(), 41u);
  const std::int32_t ul = IqValue(&touched[1]), lr = IqValue(&touched[31]);
  EXPECT_GT(ul, 100000);
  EXPECT_GT(ul, lr + 100000);
}

TEST(TouchReportSignals, FourChannelAndCornerFamilies) {
  TouchReportConfig four = Quiet();
  four.signals = SignalFormat::kFourChannel;
  TouchReportGenerator g4(four);
  g4.OnCommand("FR");
  const Bytes frames = AdvanceTo(g4, 0, 99);
  ASSERT_EQ(frames.size(), 10u * 8);
  for (std::size_t k = 0; k < frames.size(); k += 2) EXPECT_EQ(frames[k] >> 6, static_cast<int>((k / 2) % 4));

  TouchReportConfig corners = Quiet();
  corners.signals = SignalFormat::kCorner10;
  TouchReportGenerator g10(corners);
  g10.OnCommand("FR");
  EXPECT_EQ(AdvanceTo(g10, 0, 99).size(), 10u * 7);
}

// ---- Controller-side calibration ------------------------------------------------------------

Bytes Replies(const std::string& statuses) {
  Bytes b;
  for (char s : statuses) b.insert(b.end(), {0x01, static_cast<std::uint8_t>(s), 0x0D});
  return b;
}

// After calibration a touch at the centre and one near a corner must be reported where they are.
void ExpectCalibrated(TouchReportGenerator& g, std::uint64_t at) {
  g.Touches().SetNone();
  AdvanceTo(g, at - 100, at - 1);  // the lift-off of whatever was touching
  Hold(g, {1024, 1024}, at, at + 10);
  const auto centre = Reports(AdvanceTo(g, at, at + 50), 5);
  ASSERT_FALSE(centre.empty());
  EXPECT_NEAR(centre[0].X11(), 1024, 6);
  EXPECT_NEAR(centre[0].Y11(), 1023, 6);
  Hold(g, {300, 1800}, at + 100, at + 110);
  const auto corner = Reports(AdvanceTo(g, at + 51, at + 200), 5);
  ASSERT_FALSE(corner.empty());
  EXPECT_NEAR(corner[0].X11(), 300, 8);
  EXPECT_NEAR(corner[0].Y11(), 2047 - 1800, 8);
}

struct CalibrationCase {
  const char* command;
  int clock;
  bool startSwapped;  // a stored calibration with the wrong swap
  std::string replies;
};

void PrintTo(const CalibrationCase& c, std::ostream* os) { *os << c.command << " clock " << c.clock; }

class TouchReportCalibration : public testing::TestWithParam<CalibrationCase> {};

TEST_P(TouchReportCalibration, TheAutomaticUserCompletesTheRun) {
  const CalibrationCase& c = GetParam();
  TouchReportConfig config;  // the random stroke is on: it taps the targets
  config.sensor.clock = c.clock;
  config.sensor.nonlinearity = 0;
  TouchReportGenerator g(config);
  // A calibration that is wrong in offset, gain and flips; the swap is right unless asked not to be.
  Calibration wrong = g.Sensor().GetCalibration();
  wrong.xLow += 150;
  wrong.yHigh -= 200;
  wrong.orientation.flipX = !wrong.orientation.flipX;
  if (c.startSwapped) wrong.orientation.swapXY = !wrong.orientation.swapXY;
  g.Sensor().SetCalibration(wrong);

  AdvanceTo(g, 0, 700, 10);  // whatever the stroke is doing
  ASSERT_EQ(g.OnCommand(c.command), kAck);
  Bytes out;
  for (std::uint64_t t = 701; t <= 20000 && g.Calibrating(); t += 10) g.Advance(t, out);
  EXPECT_FALSE(g.Calibrating());
  EXPECT_EQ(out, Replies(c.replies));  // progress replies only: no touch reports during the run
  ExpectCalibrated(g, 20000);
}

INSTANTIATE_TEST_SUITE_P(Runs, TouchReportCalibration,
                         testing::Values(CalibrationCase{"CX", 3, false, "11"}, CalibrationCase{"CX", 9, false, "11"},
                                         CalibrationCase{"CX", 6, false, "11"}, CalibrationCase{"CN", 12, false, "11"},
                                         CalibrationCase{"C3", 6, true, "111"},
                                         CalibrationCase{"C3", 12, true, "111"}));

TEST(TouchReportCalibration, TwoTargetsKeepTheStoredSwap) {
  TouchReportConfig config;
  config.sensor.clock = 6;
  TouchReportGenerator g(config);
  Calibration wrong = g.Sensor().GetCalibration();
  wrong.orientation.swapXY = false;
  g.Sensor().SetCalibration(wrong);
  g.OnCommand("CX");
  AdvanceTo(g, 0, 10000, 10);
  EXPECT_FALSE(g.Sensor().GetCalibration().orientation.swapXY);
}

TEST(TouchReportCalibration, ShortOrMisplacedTouchesAreTouchedAgain) {
  TouchReportGenerator g(Quiet());
  ASSERT_EQ(g.OnCommand("CX"), kAck);
  Bytes out;
  Hold(g, {256, 1792}, 100, 150);  // five samples: too short
  out = AdvanceTo(g, 0, 300);
  EXPECT_EQ(out, Replies("2"));
  Hold(g, {256, 1792}, 400, 800);
  out = AdvanceTo(g, 301, 900);
  EXPECT_EQ(out, Replies("1"));
  Hold(g, {300, 1700}, 1000, 1400);  // the second target, but hardly away from the first
  out = AdvanceTo(g, 901, 1500);
  EXPECT_EQ(out, Replies("2"));
  EXPECT_TRUE(g.Calibrating());
  Hold(g, {1792, 256}, 1600, 2000);
  out = AdvanceTo(g, 1501, 2100);
  EXPECT_EQ(out, Replies("1"));
  EXPECT_FALSE(g.Calibrating());
  ExpectCalibrated(g, 3000);
}

TEST(TouchReportCalibration, ResetAbandonsTheRun) {
  TouchReportGenerator g;
  const Calibration before = g.Sensor().GetCalibration();
  g.OnCommand("CX");
  AdvanceTo(g, 0, 1500, 10);  // the first target done
  g.Reset(1500);
  EXPECT_FALSE(g.Calibrating());
  EXPECT_EQ(g.Sensor().GetCalibration().xLow, before.xLow);
  EXPECT_EQ(g.Touches().AutoTarget(), std::nullopt);
}

}  // namespace
}  // namespace kx7::emu
