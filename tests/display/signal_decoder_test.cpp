// The raw signed reports, the four-channel stream and the corner signal reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "decoder_test_support.h"
#include "display/display_constants.h"
#include "report_encoder.h"

namespace kx7::test {
namespace {

DecoderSettings Raw(bool fullResolution = false) {
  DecoderSettings s;
  s.reportFormat = format::kRawSigned;
  s.controllerType = type::kBirch;
  s.linkKind = 1;
  s.fullResolution = fullResolution;
  return s;
}

DecoderSettings Signals(std::uint32_t controllerType) {
  DecoderSettings s;
  s.reportFormat = format::kSignals;
  s.controllerType = controllerType;
  s.linkKind = 1;
  return s;
}

struct RawCase {
  const char* name;
  Bytes bytes;
  bool fullResolution;
  std::vector<std::string> all;
};
void PrintTo(const RawCase& c, std::ostream* os) { *os << c.name; }

class RawSigned : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawSigned, ShowsSignedCoordinates) {
  const RawCase& c = GetParam();
  DecoderFixture f;
  f.Feed(c.bytes, Raw(c.fullResolution));
  EXPECT_EQ(f.sink.All(), c.all);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, RawSigned,
    ::testing::Values(RawCase{"MinusOneAndZero", {0xC0, 0x7F, 0x7F, 0x01, 0x00}, false, {"D -1,+0"}},
                      RawCase{"FourteenBits", {0xC0, 0x7F, 0x7F, 0x01, 0x00}, true, {"D -1,+1"}},
                      RawCase{"ElevenBitLimits", {0xC0, 0x78, 0x3F, 0x00, 0x40}, false, {"D +1023,-1024"}},
                      RawCase{"FourteenBitLimits", {0xC0, 0x7F, 0x3F, 0x00, 0x40}, true, {"D +8191,-8192"}},
                      RawCase{"DownThenSpaceThenUpAlways",
                              {0xC0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0x80, 0, 0, 0, 0},
                              false,
                              {"D +0,+0", "  +0,+0", "U +0,+0", "U +0,+0"}},
                      RawCase{
                          "StatusInTheMiddleRestarts", {0xC0, 0x08, 0x80, 0x08, 0x00, 0x10, 0x00}, false, {"U +1,+2"}},
                      RawCase{"ByteOutsideAReportIsUndecoded", {0x41, 0x0D, 0x0A, 0x05}, false, {"A", "<05>"}}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

// Every raw value the controller can send comes back as its signed count.
TEST(RawSigned, RoundTripsTheControllersForm) {
  for (int raw : {0, 1, 7, 8, 4095, 8191, 8192, 8199, 12000, 16383}) {
    emu::Bytes bytes;
    emu::AppendRawSigned(bytes, true, raw, 16383 - raw);
    DecoderFixture eleven, fourteen;
    eleven.Feed(bytes, Raw(false));
    fourteen.Feed(bytes, Raw(true));
    auto line = [](int x, int y) {
      return std::string("D ") + (x >= 0 ? "+" : "") + std::to_string(x) + "," + (y >= 0 ? "+" : "") +
             std::to_string(y);
    };
    const int x = raw - 8192, y = 16383 - raw - 8192;
    // Eleven bits are the fourteen without the three lowest, rounded down like a shift.
    EXPECT_EQ(eleven.sink.lines, std::vector<std::string>{line(x >> 3, y >> 3)}) << raw;
    EXPECT_EQ(fourteen.sink.lines, std::vector<std::string>{line(x, y)}) << raw;
  }
}

TEST(FourChannel, SynchronisesOnTheFirstFrameThenShowsEveryFrame) {
  emu::Bytes stream;
  emu::AppendFourChannel(stream, {1, 2, 3, 4});
  emu::AppendFourChannel(stream, {0, 1023, 512, 255});
  emu::AppendFourChannel(stream, {1000, 100, 10, 1});
  DecoderFixture f;
  f.Feed(stream, Signals(type::kRowanGen3));
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"0 0000 4 1023 8 0512 C 0255", "0 1000 4 0100 8 0010 C 0001"}));
  EXPECT_EQ(f.sink.open, "");
}

TEST(FourChannel, AStreamJoinedInTheMiddleOfAFrameShowsNoError) {
  emu::Bytes stream;
  for (int i = 0; i < 4; ++i) emu::AppendFourChannel(stream, {i, i + 1, i + 2, i + 3});
  for (std::size_t skip = 1; skip < 8; ++skip) {
    DecoderFixture f;
    f.Feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(skip), stream.end()), Signals(type::kRowanGen3));
    ASSERT_FALSE(f.sink.lines.empty()) << skip;
    for (const std::string& line : f.sink.lines) EXPECT_NE(line, "E") << skip;
    EXPECT_EQ(f.sink.lines.back(), "0 0003 4 0004 8 0005 C 0006") << skip;
  }
}

TEST(FourChannel, ATagOutOfOrderShowsEAndSynchronisesAgain) {
  emu::Bytes stream;
  emu::AppendFourChannel(stream, {1, 2, 3, 4});  // synchronises
  emu::AppendFourChannel(stream, {5, 6, 7, 8});
  emu::AppendFourChannel(stream, {9, 9, 9, 9});
  stream.erase(stream.end() - 4, stream.end() - 2);  // channel 2 of the third frame lost
  emu::AppendFourChannel(stream, {10, 11, 12, 13});  // synchronises again
  emu::AppendFourChannel(stream, {14, 15, 16, 17});
  DecoderFixture f;
  f.Feed(stream, Signals(type::kCedarGen4));
  EXPECT_EQ(f.sink.lines,
            (std::vector<std::string>{"0 0005 4 0006 8 0007 C 0008", "E", "0 0014 4 0015 8 0016 C 0017"}));
}

TEST(FourChannel, ClearSynchronisesAgain) {
  emu::Bytes frame;
  emu::AppendFourChannel(frame, {1, 2, 3, 4});
  DecoderFixture f;
  f.Feed(Concat({frame, frame}), Signals(type::kRowanGen2));
  f.decoder.Reset();
  f.Feed(frame, Signals(type::kRowanGen2));
  EXPECT_EQ(f.sink.lines.size(), 1u);
}

TEST(Corner, TenBitCornersOfHazel3AndHawthorn) {
  for (std::uint32_t controller : {type::kHazel3, type::kHawthorn}) {
    emu::Bytes bytes;
    emu::AppendCorner10(bytes, {1023, 0, 513, 127});  // UL, UR, LL, LR
    emu::AppendCorner10(bytes, {128, 256, 384, 1000});
    DecoderFixture f;
    f.Feed(bytes, Signals(controller));
    EXPECT_EQ(f.sink.lines,
              (std::vector<std::string>{"UL 1023 LL 0513 UR 0000 LR 0127", "UL 0128 LL 0384 UR 0256 LR 1000"}))
        << controller;
  }
}

TEST(Corner, TenBitReportWithBit6SkipsFiveMoreBytes) {
  emu::Bytes bytes;
  emu::AppendCorner10(bytes, {1, 2, 3, 4});
  bytes[0] = 0xC0;
  bytes.insert(bytes.end(), {0x11, 0x22, 0x33, 0x44, 0x55});
  bytes.push_back('A');  // no report: shown as it is
  DecoderFixture f;
  f.Feed(bytes, Signals(type::kHazel3));
  EXPECT_EQ(f.sink.All(), (std::vector<std::string>{"UL 0001 LL 0003 UR 0002 LR 0004", "A"}));
}

TEST(Corner, IqCornersAreSigned32BitValues) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  emu::Bytes bytes;
  emu::AppendCornerIq(bytes, {0, -1, kMax, kMin}, {123456789, -123456789, 16, 15}, 5);
  DecoderFixture f;
  f.Feed(bytes, Signals(type::kBirch));
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"UL I:0000000000 Q:0123456789  UR I:-000000001 Q:-123456789  "
                                                   "LL I:2147483647 Q:0000000016  LR I:-2147483648 Q:0000000015"});
}

TEST(Corner, IqFifthByteAboveFourBitsRunsOffTheTop) {
  // Five bytes of 0x7F: 28 bits of ones times 16 plus 127 wraps to 0xFFFFFFFF + 112.
  Bytes bytes = {0x80};
  for (int i = 0; i < 40; ++i) bytes.push_back(0x7F);
  DecoderFixture f;
  f.Feed(bytes, Signals(type::kBirch));
  ASSERT_EQ(f.sink.lines.size(), 1u);
  EXPECT_EQ(f.sink.lines[0].substr(0, 21), "UL I:0000000111 Q:000");
}

TEST(Corner, AStatusByteRestartsAnIqReport) {
  emu::Bytes bytes = {0x80, 1, 2, 3};
  emu::AppendCornerIq(bytes, {1, 2, 3, 4}, {5, 6, 7, 8}, 0);
  DecoderFixture f;
  f.Feed(bytes, Signals(type::kJuniper));
  ASSERT_EQ(f.sink.lines.size(), 1u);
  EXPECT_EQ(f.sink.lines[0].substr(0, 28), "UL I:0000000001 Q:0000000005");
}

TEST(Corner, BytesOutsideAReportAreUndecoded) {
  DecoderFixture f;
  f.Feed(Text("ok\r"), Signals(type::kBirch));
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"ok"});
}

}  // namespace
}  // namespace kx7::test
