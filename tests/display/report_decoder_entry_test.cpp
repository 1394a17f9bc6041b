// The entry of every received byte: pass-through, the raw log, the choice of decoder by format,
// controller type, link and multi-touch; undecoded text and the hex dump.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "decoder_test_support.h"
#include "display/display_constants.h"
#include "frame/frame_constants.h"

namespace kx7::test {
namespace {

const Bytes kDown = {0xC0, 0x00, 0x20, 0x00, 0x10};

DecoderSettings Settings(std::uint32_t format, std::uint32_t controllerType, int linkKind = 1) {
  DecoderSettings s;
  s.reportFormat = format;
  s.controllerType = controllerType;
  s.linkKind = linkKind;
  return s;
}

struct EntryCase {
  const char* name;
  DecoderSettings settings;
  Bytes bytes;
  std::vector<std::string> all;  // ended lines, then the open one
};
void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

class Entry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(Entry, ChoosesTheDecoder) {
  const EntryCase& c = GetParam();
  DecoderFixture f;
  f.Feed(c.bytes, c.settings);
  EXPECT_EQ(f.sink.All(), c.all);
}

DecoderSettings PassThrough(DecoderSettings s) {
  s.passThrough = true;
  return s;
}
DecoderSettings MultiTouch(DecoderSettings s) {
  s.multiTouch = true;
  return s;
}

// A four-channel frame twice (the first synchronises), a 10-bit corner report, an I/Q report.
const Bytes kTwoFrames = {0x00, 0x01, 0x40, 0x02, 0x80, 0x03, 0xC0, 0x04,
                          0x00, 0x01, 0x40, 0x02, 0x80, 0x03, 0xC0, 0x04};
const Bytes kCorner10 = {0x80, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04};

INSTANTIATE_TEST_SUITE_P(
    Formats, Entry,
    ::testing::Values(
        EntryCase{"KxsOnBirch", Settings(format::kKxs, type::kBirch), kDown, {"D 0512,0256"}},
        EntryCase{"KxsZOnBirch", Settings(format::kKxsZ, type::kBirch), Concat({kDown, {1, 0}}), {"D 0512,0256, 0001"}},
        EntryCase{"KxsOnGenericIsUndecoded", Settings(format::kKxs, type::kGeneric), kDown, {"<C0><00> <00><10>"}},
        EntryCase{"KxsOnAUsbLinkWithoutMultiTouch",
                  Settings(format::kKxs, type::kRowanUsbGen3, link::kHid),
                  kDown,
                  {"D 0512,0256"}},
        EntryCase{"HidReportsOnAUsbLinkWithMultiTouch",
                  MultiTouch(Settings(format::kKxs, type::kRowanUsbGen3, link::kHid)),
                  {0xC0, 0x00, 0x21, 0x11},
                  {"<C0><00>!<11>"}},  // none of them a report id
        EntryCase{"HidReportsOnEveryUsbLink",
                  MultiTouch(Settings(format::kKxs, type::kRowanUsbGen3, link::kRivetwareUsb)),
                  {0x02},
                  {"<02>"}},
        EntryCase{"KxsOnASerialLinkWithMultiTouch",
                  MultiTouch(Settings(format::kKxs, type::kRowanGen3, 3)),
                  Concat({kDown, {7}}),
                  {"D 0512,0256 007"}},
        EntryCase{"KxsOnADriverLinkWithMultiTouch",
                  MultiTouch(Settings(format::kKxs, type::kRowanGen3, link::kRivetwareDriver)),
                  Concat({kDown, {7}}),
                  {"D 0512,0256 007"}},
        EntryCase{"RawSigned", Settings(format::kRawSigned, type::kBirch), {0xC0, 0x7F, 0x7F, 0x01, 0x00}, {"D -1,+0"}},
        EntryCase{"HexDump", Settings(format::kHexDump, type::kGeneric), {0x41, 0x0D}, {"41 0D "}},
        EntryCase{"Undecoded", Settings(format::kUndecoded, type::kBirch), kDown, {"<C0><00> <00><10>"}},
        EntryCase{"UndecodedOfTheMenu", Settings(format::kUndecodedMenu, type::kBirch), kDown, {"<C0><00> <00><10>"}},
        EntryCase{"UnknownFormatIsUndecoded", Settings(12345, type::kBirch), {'A'}, {"A"}},
        EntryCase{"SignalsOfABlock1ChecksumType",
                  Settings(format::kSignals, type::kRowanGen2),
                  kTwoFrames,
                  {"0 0001 4 0002 8 0003 C 0004"}},
        EntryCase{"SignalsOfAUsbBlock1ChecksumType",
                  Settings(format::kSignals, type::kRowanGen4, link::kHid),
                  kTwoFrames,
                  {"0 0001 4 0002 8 0003 C 0004"}},
        EntryCase{"SignalsOfLarchShowNothing", Settings(format::kSignals, type::kLarch), kCorner10, {}},
        EntryCase{"SignalsOfLarchUsbShowNothing", Settings(format::kSignals, type::kLarchUsb), kCorner10, {}},
        EntryCase{"SignalsOfLarchUsb0500ShowNothing", Settings(format::kSignals, type::kLarchUsb0500), kCorner10, {}},
        EntryCase{"SignalsOfHazel3AreTenBitCorners",
                  Settings(format::kSignals, type::kHazel3),
                  kCorner10,
                  {"UL 0002 LL 0001 UR 0003 LR 0004"}},
        EntryCase{"PassThroughShowsBytesUndecoded",
                  PassThrough(Settings(format::kKxs, type::kBirch)),
                  Concat({kDown, Text("ok\r")}),
                  {"<C0><00> <00><10>ok"}},
        EntryCase{
            "PassThroughInHexDump", PassThrough(Settings(format::kHexDump, type::kBirch)), {0x41, 0x80}, {"A<80>"}},
        EntryCase{"PassThroughOfSignalsShowsNothing",
                  PassThrough(Settings(format::kSignals, type::kRowanGen2)),
                  Concat({kTwoFrames, Text("ok\r")}),
                  {}}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

TEST(ReportDecoderEntry, RawLogTakesEveryByteOutsidePassThrough) {
  DecoderFixture f;
  DecoderSettings settings = Settings(format::kKxs, type::kBirch);
  settings.rawLogOpen = true;
  f.Feed(Concat({kDown, {0x0D, 0x0A}}), settings);
  EXPECT_EQ(f.actions.rawLog, Concat({kDown, {0x0D, 0x0A}}));
  settings.passThrough = true;
  f.Feed({0x41}, settings);
  EXPECT_EQ(f.actions.rawLog.size(), kDown.size() + 2);
  settings.passThrough = false;
  settings.rawLogOpen = false;
  f.Feed({0x42}, settings);
  EXPECT_EQ(f.actions.rawLog.size(), kDown.size() + 2);
}

TEST(ReportDecoderEntry, ReportsSurviveAFormatChangeOnlyWithinTheirDecoder) {
  // Switching to the hex dump in the middle of a report and back: the KXS decoder has kept its
  // state, and its report completes with the bytes that arrived after the switch back.
  DecoderFixture f;
  f.Feed({0xC0, 0x00, 0x20}, Settings(format::kKxs, type::kBirch));
  f.Feed({0x41}, Settings(format::kHexDump, type::kBirch));
  f.Feed({0x00, 0x10}, Settings(format::kKxs, type::kBirch));
  EXPECT_EQ(f.sink.All(), (std::vector<std::string>{"41 D 0512,0256"}));
}

TEST(ReportDecoderEntry, ClearRestartsEveryDecoder) {
  DecoderFixture f;
  f.Feed({0xC0, 0x00, 0x20}, Settings(format::kKxs, type::kBirch));
  f.decoder.Reset();
  f.Feed({0x00, 0x10}, Settings(format::kKxs, type::kBirch));
  EXPECT_EQ(f.sink.All(), (std::vector<std::string>{"<00><10>"}));
}

struct UndecodedCase {
  const char* name;
  Bytes bytes;
  bool logOpen;
  std::vector<std::string> lines;
  std::string open;
  int logLinefeeds;
};
void PrintTo(const UndecodedCase& c, std::ostream* os) { *os << c.name; }

class Undecoded : public ::testing::TestWithParam<UndecodedCase> {};

TEST_P(Undecoded, ShowsCharactersAndCodes) {
  const UndecodedCase& c = GetParam();
  DecoderSettings settings = Settings(format::kUndecoded, type::kBirch);
  settings.logOpen = c.logOpen;
  DecoderFixture f;
  f.Feed(c.bytes, settings);
  EXPECT_EQ(f.sink.lines, c.lines);
  EXPECT_EQ(f.sink.open, c.open);
  EXPECT_EQ(f.actions.logLinefeeds, c.logLinefeeds);
  for (const Piece& piece : f.sink.pieces) EXPECT_EQ(piece.kind, TextKind::kUndecoded);
  for (LineEnd reason : f.sink.reasons) EXPECT_EQ(reason, LineEnd::kCarriageReturn);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Undecoded,
    ::testing::Values(
        UndecodedCase{"PrintableRange", {0x1F, 0x20, 0x7E, 0x7F, 0xFF, 0x00}, false, {}, "<1F> ~<7F><FF><00>", 0},
        UndecodedCase{"CarriageReturnEndsTheLine", Text("AB\rC"), false, {"AB"}, "C", 0},
        UndecodedCase{"LineFeedAfterCarriageReturnIsNotShown", Text("AB\r\nC"), false, {"AB"}, "C", 0},
        UndecodedCase{"TheLogGetsItsLineFeed", Text("AB\r\nC"), true, {"AB"}, "C", 1},
        UndecodedCase{"OnlyDirectlyAfter", Text("A\rB\n"), true, {"A"}, "B<0A>", 0},
        UndecodedCase{"ALoneLineFeedIsShown", Text("\n\n"), true, {}, "<0A><0A>", 0},
        UndecodedCase{"SecondLineFeedIsShown", Text("\r\n\n"), true, {""}, "<0A>", 1},
        UndecodedCase{"EmptyLines", Text("\r\r\n\r"), false, {"", "", ""}, "", 0}),
    [](const ::testing::TestParamInfo<UndecodedCase>& info) { return std::string(info.param.name); });

struct HexCase {
  const char* name;
  bool wrapOnBit7;
  bool wrapOnCr;
  std::vector<std::string> lines;
  std::vector<LineEnd> reasons;
  std::string open;
};
void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class HexDump : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexDump, WrapsByItsFlags) {
  const HexCase& c = GetParam();
  DecoderSettings settings = Settings(format::kHexDump, type::kBirch);
  settings.wrapOnBit7 = c.wrapOnBit7;
  settings.wrapOnCr = c.wrapOnCr;
  DecoderFixture f;
  f.Feed({0x41, 0x80, 0x0D, 0x0A, 0xFF, 0x00}, settings);
  EXPECT_EQ(f.sink.lines, c.lines);
  EXPECT_EQ(f.sink.reasons, c.reasons);
  EXPECT_EQ(f.sink.open, c.open);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, HexDump,
    ::testing::Values(
        HexCase{"Both",
                true,
                true,
                {"41 ", "80 0D ", "0A "},
                {LineEnd::kHighBit, LineEnd::kCarriageReturn, LineEnd::kHighBit},
                "FF 00 "},
        HexCase{"Bit7Only", true, false, {"41 ", "80 0D 0A "}, {LineEnd::kHighBit, LineEnd::kHighBit}, "FF 00 "},
        HexCase{"CrOnly", false, true, {"41 80 0D "}, {LineEnd::kCarriageReturn}, "0A FF 00 "},
        HexCase{"Neither", false, false, {}, {}, "41 80 0D 0A FF 00 "}),
    [](const ::testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx7::test
