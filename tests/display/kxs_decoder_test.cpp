// The KXS tablet reports: the touch characters, the coordinate forms, Z and contact numbers, the
// control bytes between reports, the 5-bit alternate form and the poll byte.
#include "display/kxs_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "decoder_test_support.h"
#include "display/display_constants.h"
#include "report_encoder.h"

namespace kx7::test {
namespace {

DecoderSettings Birch() {
  DecoderSettings s;
  s.reportFormat = format::kKxs;
  s.controllerType = type::kBirch;
  s.linkKind = 1;
  return s;
}

const Bytes kDown = {0xC0, 0x00, 0x20, 0x00, 0x10};  // X14 4096, Y14 2048
const Bytes kUp = {0x80, 0x00, 0x20, 0x00, 0x10};

struct Case {
  const char* name;
  Bytes bytes;
  std::function<void(DecoderSettings&)> change;
  std::vector<std::string> lines;
  std::string open;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class KxsCases : public ::testing::TestWithParam<Case> {};

TEST_P(KxsCases, ShowTheirLines) {
  const Case& c = GetParam();
  DecoderSettings settings = Birch();
  if (c.change) c.change(settings);
  DecoderFixture f;
  f.Feed(c.bytes, settings);
  EXPECT_EQ(f.sink.lines, c.lines);
  EXPECT_EQ(f.sink.open, c.open);
}

const auto kFullResolution = [](DecoderSettings& s) { s.fullResolution = true; };
const auto kMultiTouch = [](DecoderSettings& s) { s.multiTouch = true; };
const auto kZFormat = [](DecoderSettings& s) { s.reportFormat = format::kKxsZ; };

INSTANTIATE_TEST_SUITE_P(
    Reports, KxsCases,
    ::testing::Values(
        Case{"DownTouchingUpNone",
             Concat({kDown, kDown, kUp, kUp}),
             {},
             {"D 0512,0256", ". 0512,0256", "U 0512,0256", "  0512,0256"},
             ""},
        Case{"FullResolution", kDown, kFullResolution, {"D 04096,02048"}, ""},
        Case{"ElevenBitsDropTheLowThreeBits", {0xC0, 0x7F, 0x7F, 0x07, 0x01}, {}, {"D 2047,0016"}, ""},
        Case{"FourteenBitsAtTheTop", {0xC0, 0x7F, 0x7F, 0x7F, 0x7F}, kFullResolution, {"D 16383,16383"}, ""},
        Case{"Button", {0xC2, 0x00, 0x20, 0x00, 0x10}, {}, {"D 0512,0256 B"}, ""},
        Case{"SecondFlagIsNotShown", {0xC1, 0x00, 0x20, 0x00, 0x10}, {}, {"D 0512,0256"}, ""},
        // 0x85 restarts the report: it is the status of the one that completes (no touch after a touch).
        Case{"StatusInTheMiddleRestarts", {0xC0, 0x00, 0x20, 0x85, 0x00, 0x20, 0x00, 0x10}, {}, {"U 0512,0256"}, ""},
        Case{"IncompleteReportShowsNothing", {0xC0, 0x00, 0x20, 0x00}, {}, {}, ""},
        Case{"ZForm", {0xC0, 0x00, 0x20, 0x00, 0x10, 0x05, 0x01}, kZFormat, {"D 0512,0256, 0133"}, ""},
        Case{"ZFormFullResolutionAndButton",
             {0xC2, 0x00, 0x20, 0x00, 0x10, 0x7F, 0x7F},
             [](DecoderSettings& s) {
               s.reportFormat = format::kKxsZ;
               s.fullResolution = true;
             },
             {"D 04096,02048, 16383 B"},
             ""},
        Case{"ContactNumber", {0xC0, 0x00, 0x20, 0x00, 0x10, 0x03}, kMultiTouch, {"D 0512,0256 003"}, ""},
        Case{"ContactNumberFullResolutionNoButton",
             {0xC2, 0x00, 0x20, 0x00, 0x10, 0x7F},
             [](DecoderSettings& s) {
               s.multiTouch = true;
               s.fullResolution = true;
             },
             {"D 04096,02048 127"},
             ""},
        Case{"ContactNumberWinsOverZ",
             {0xC0, 0x00, 0x20, 0x00, 0x10, 0x03, 0x40},
             [](DecoderSettings& s) {
               s.multiTouch = true;
               s.reportFormat = format::kKxsZ;
             },
             {"D 0512,0256 003"},
             "@"},
        Case{"CarriageReturnEndsTheLine", Text("ab\rc"), {}, {"ab"}, "c"},
        Case{"LineFeedAfterCarriageReturnIsNotShown", Text("a\r\nb\n"), {}, {"a"}, "b<0A>"},
        Case{"DownUpMarkers", Bytes{0x19, '1', 0x0D, 0x1C, '2', 0x0D, 0x18, '3', 0x0D}, {}, {"D 1", "  2", "U 3"}, ""},
        Case{"OtherBytesUndecoded", {0x05, 0x7F, 'A'}, {}, {}, "<05><7F>A"},
        Case{"AlternateForm",
             Concat({{0x17, 0, 0, 0, 0},        // armed, nothing to report
                     {0x19, 1, 2, 3, 4},        // down at 34,100
                     {0x1C, 0x3F, 0x3F, 0, 1},  // the low five bits only
                     {0x18, 0, 0, 0, 0},        // lift-off disarms
                     {0x19}}),                  // and 0x19 is the marker again
             {},
             {"D 0034,0100", "  1023,0001", "U 0000,0000"},
             "D "},
        Case{"ArmedReportAwayFromZeroDisarms", {0x17, 0, 1, 0, 0, 0x19}, {}, {}, "D "},
        Case{"AnyOtherByteDisarms", {0x17, 0, 0, 0, 0, 'A', 0x19}, {}, {}, "AD "},
        Case{"StatusByteEndsTheAlternateForm", Concat({{0x17, 0, 0}, kDown}), {}, {"D 0512,0256"}, ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(KxsDecoder, ReportsEndAsReportsAndCarriageReturnsTheSameWay) {
  DecoderFixture f;
  f.Feed(Concat({kDown, Text("\r")}), Birch());
  EXPECT_EQ(f.sink.reasons, (std::vector<LineEnd>{LineEnd::kReportEnd, LineEnd::kReportEnd}));
}

TEST(KxsDecoder, AClearForgetsThePreviousTouch) {
  DecoderFixture f;
  f.Feed(kDown, Birch());
  f.decoder.Reset();
  f.Feed(kDown, Birch());
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"D 0512,0256", "D 0512,0256"}));
}

struct PollCase {
  const char* name;
  Bytes bytes;
  std::function<void(DecoderSettings&)> change;
  int polls;
};
void PrintTo(const PollCase& c, std::ostream* os) { *os << c.name; }

class KxsPoll : public ::testing::TestWithParam<PollCase> {};

TEST_P(KxsPoll, SendsOnePollByteAfterEachCompleteReport) {
  const PollCase& c = GetParam();
  DecoderSettings settings = Birch();
  settings.pollMode = true;
  if (c.change) c.change(settings);
  DecoderFixture f;
  f.Feed(c.bytes, settings);
  EXPECT_EQ(f.actions.pollBytes, c.polls);
}

INSTANTIATE_TEST_SUITE_P(
    PollMode, KxsPoll,
    ::testing::Values(PollCase{"Tablet", Concat({kDown, kDown, kUp}), {}, 3},
                      PollCase{"Incomplete", {0xC0, 0x00, 0x20, 0x00}, {}, 0},
                      PollCase{"Restarted", {0xC0, 0x00, 0x85, 0x00, 0x20, 0x00, 0x10}, {}, 1},
                      PollCase{"Z", {0xC0, 0x00, 0x20, 0x00, 0x10, 0x05, 0x01}, kZFormat, 1},
                      PollCase{"ContactNumberSendsNone", {0xC0, 0x00, 0x20, 0x00, 0x10, 0x03}, kMultiTouch, 0},
                      PollCase{"AlternateArmedAtZero", {0x17, 0, 0, 0, 0}, {}, 1},
                      PollCase{"AlternateArmedElsewhere", {0x17, 0, 1, 0, 0}, {}, 0},
                      PollCase{"AlternatePoint", {0x17, 0, 0, 0, 0, 0x19, 1, 2, 3, 4}, {}, 2}),
    [](const ::testing::TestParamInfo<PollCase>& info) { return std::string(info.param.name); });

TEST(KxsDecoder, NoPollByteWithPollModeOff) {
  DecoderFixture f;
  f.Feed(Concat({kDown, {0x17, 0, 0, 0, 0}}), Birch());
  EXPECT_EQ(f.actions.pollBytes, 0);
}

// Birch USB forwarding a second processor sends four more bytes after each report. The entry
// shows every pass-through byte undecoded, so the decoder is driven on its own here.
TEST(KxsDecoder, BirchUsbInPassThroughSkipsFourBytesAfterAReport) {
  struct Variant {
    std::uint32_t type;
    std::uint32_t features;
    bool passThrough;
    std::vector<std::string> lines;
    std::string open;
  };
  const Bytes stream = Concat({kDown, {0x01, 0x02, 0x03, 0x04}, kDown, {0x41}});
  const std::vector<Variant> variants = {
      {type::kBirchUsb, feature::kHaptic, true, {"D 0512,0256", ". 0512,0256"}, ""},  // 0x41 is the first skipped
      {type::kBirchUsbRom, feature::kHaptic, true, {"D 0512,0256", ". 0512,0256"}, ""},
      {type::kBirchUsb, 0, true, {"D 0512,0256", "<01><02><03><04>. 0512,0256"}, "A"},
      {type::kBirchUsb, feature::kHaptic, false, {"D 0512,0256", "<01><02><03><04>. 0512,0256"}, "A"},
      {type::kBirch, feature::kHaptic, true, {"D 0512,0256", "<01><02><03><04>. 0512,0256"}, "A"},
  };
  for (const Variant& v : variants) {
    RecordingSink sink;
    RecordingActions actions;
    DecoderContext context{sink, actions};
    UndecodedDecoder undecoded(context);
    KxsDecoder kxs(context, undecoded);
    DecoderSettings settings = Birch();
    settings.controllerType = v.type;
    settings.controllerFeatures = v.features;
    settings.passThrough = v.passThrough;
    for (std::uint8_t byte : stream) {
      undecoded.StartByte();
      kxs.Decode(byte, settings);
    }
    EXPECT_EQ(sink.lines, v.lines) << v.type << " " << v.features << " " << v.passThrough;
    EXPECT_EQ(sink.open, v.open) << v.type << " " << v.features << " " << v.passThrough;
  }
}

TEST(KxsDecoder, AStatusByteEndsTheBirchUsbSkip) {
  RecordingSink sink;
  RecordingActions actions;
  DecoderContext context{sink, actions};
  UndecodedDecoder undecoded(context);
  KxsDecoder kxs(context, undecoded);
  DecoderSettings settings = Birch();
  settings.controllerType = type::kBirchUsb;
  settings.controllerFeatures = feature::kHaptic;
  settings.passThrough = true;
  for (std::uint8_t byte : Concat({kDown, {0x01}, kUp})) kxs.Decode(byte, settings);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"D 0512,0256", "U 0512,0256"}));
}

std::string Line(const char* form, char character, int a, int b, int c = 0) {
  char text[64];
  std::snprintf(text, sizeof text, form, character, a, b, c);
  return text;
}

// The forms the controllers send come back with their values.
TEST(KxsDecoder, RoundTripsTheControllersForms) {
  const std::vector<std::pair<int, int>> points = {{0, 0}, {7, 8}, {127, 128}, {4095, 12000}, {16383, 16383}};
  for (const auto& [x, y] : points) {
    emu::Bytes tablet, z, contact;
    emu::AppendTablet(tablet, {true, true, true}, x, y);
    emu::AppendTablet(tablet, {false, false, false}, y, x);
    emu::AppendTabletZ(z, {true, false, false}, x, y, x ^ y);
    emu::AppendTabletContact(contact, {true, false, false}, x, y, 9);

    DecoderFixture eleven, fourteen, withZ, multi;
    DecoderSettings settings = Birch();
    eleven.Feed(tablet, settings);
    settings.fullResolution = true;
    fourteen.Feed(tablet, settings);
    settings.reportFormat = format::kKxsZ;
    withZ.Feed(z, settings);
    settings.reportFormat = format::kKxs;
    settings.multiTouch = true;
    multi.Feed(contact, settings);

    EXPECT_EQ(eleven.sink.lines, (std::vector<std::string>{Line("%c %04d,%04d B", 'D', x >> 3, y >> 3),
                                                           Line("%c %04d,%04d", 'U', y >> 3, x >> 3)}));
    EXPECT_EQ(fourteen.sink.lines,
              (std::vector<std::string>{Line("%c %05d,%05d B", 'D', x, y), Line("%c %05d,%05d", 'U', y, x)}));
    EXPECT_EQ(withZ.sink.lines, std::vector<std::string>{Line("%c %05d,%05d, %04d", 'D', x, y, x ^ y)});
    EXPECT_EQ(multi.sink.lines, std::vector<std::string>{Line("%c %05d,%05d %03d", 'D', x, y, 9)});
  }
}

TEST(KxsDecoder, RoundTripsTheAsciiAndCompactForms) {
  emu::Bytes bytes;
  emu::AppendAscii(bytes, emu::kAsciiTouchDown, 12, 345, false);
  emu::AppendAscii(bytes, emu::kAsciiTouching, 0x3FF, 0, true);
  emu::AppendAscii(bytes, emu::kAsciiLiftOff, 999, 999, false);
  emu::AppendCompact(bytes, emu::kCompactArm, 0, 0);
  emu::AppendCompact(bytes, emu::kAsciiTouchDown, 1023, 0);
  emu::AppendCompact(bytes, emu::kAsciiTouching, 512, 511);
  emu::AppendCompact(bytes, emu::kAsciiLiftOff, 31, 32);
  DecoderFixture f;
  DecoderSettings settings = Birch();
  settings.pollMode = true;
  f.Feed(bytes, settings);
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"D 012,345", "  3FF,000", "U 999,999", "D 1023,0000", "  0512,0511",
                                                    "U 0031,0032"}));
  EXPECT_EQ(f.actions.pollBytes, 4);  // the armed report at 0,0 asks for the next one too
}

}  // namespace
}  // namespace kx7::test
