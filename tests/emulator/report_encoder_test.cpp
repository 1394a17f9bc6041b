#include "report_encoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>

namespace kx7::emu {
namespace {

// The host's side of the wire, written from how it reads each form, so that the encoders are
// checked against the reading and not against themselves.
int Host14(std::uint8_t low, std::uint8_t high) { return high * 128 + low; }
int Host11(std::uint8_t low, std::uint8_t high) { return high * 16 + (low >> 3); }
int SignExtend(int v, int bits) { return (v & (1 << (bits - 1))) ? v - (1 << bits) : v; }

struct Case {
  const char* name;
  std::function<void(Bytes&)> encode;
  Bytes expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ReportEncoderBytes : public testing::TestWithParam<Case> {};

TEST_P(ReportEncoderBytes, ProducesExactBytes) {
  Bytes out;
  GetParam().encode(out);
  EXPECT_EQ(out, GetParam().expected);
}

Bytes Text(std::uint8_t status, const std::string& text) {
  Bytes b{status};
  b.insert(b.end(), text.begin(), text.end());
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ReportEncoderBytes,
    testing::Values(
        // 4096, 2048: the host reads 0512,0256 (or 04096,02048 at full resolution).
        Case{"TabletTouch",
             [](Bytes& o) {
               AppendTablet(o, {true, false, false}, 4096, 2048);
             },
             {0xC0, 0x00, 0x20, 0x00, 0x10}},
        Case{"TabletNoTouch",
             [](Bytes& o) {
               AppendTablet(o, {false, false, false}, 4096, 2048);
             },
             {0x80, 0x00, 0x20, 0x00, 0x10}},
        Case{"TabletButtonAndPen",
             [](Bytes& o) {
               AppendTablet(o, {true, true, true}, 16383, 0);
             },
             {0xC3, 0x7F, 0x7F, 0x00, 0x00}},
        Case{"TabletClampsNotWraps",
             [](Bytes& o) {
               AppendTablet(o, {true, false, false}, 20000, -5);
             },
             {0xC0, 0x7F, 0x7F, 0x00, 0x00}},
        Case{"TabletZ",
             [](Bytes& o) {
               AppendTabletZ(o, {true, false, false}, 1, 128, 300);
             },
             {0xC0, 0x01, 0x00, 0x00, 0x01, 0x2C, 0x02}},
        Case{"TabletContact",
             [](Bytes& o) {
               AppendTabletContact(o, {true, false, false}, 4096, 2048, 3);
             },
             {0xC0, 0x00, 0x20, 0x00, 0x10, 0x03}},
        Case{"TabletContactStaysSevenBits",
             [](Bytes& o) {
               AppendTabletContact(o, {false, false, false}, 0, 0, 200);
             },
             {0x80, 0x00, 0x00, 0x00, 0x00, 0x7F}},
        // One count below and one above the middle: the host reads D -1,+0.
        Case{"RawSignedAroundMiddle",
             [](Bytes& o) { AppendRawSigned(o, true, 8191, 8193); },
             {0xC0, 0x7F, 0x7F, 0x01, 0x00}},
        Case{
            "RawSignedExtremes", [](Bytes& o) { AppendRawSigned(o, false, 0, 16383); }, {0x80, 0x00, 0x40, 0x7F, 0x3F}},
        Case{"AsciiDecimal", [](Bytes& o) { AppendAscii(o, kAsciiTouchDown, 512, 384, false); },
             Text(0x19, "512,384\r")},
        Case{"AsciiHexadecimal", [](Bytes& o) { AppendAscii(o, kAsciiTouching, 0x3FF, 0x00A, true); },
             Text(0x1C, "3FF,00A\r")},
        Case{"AsciiDecimalClamps", [](Bytes& o) { AppendAscii(o, kAsciiLiftOff, 1500, 7, false); },
             Text(0x18, "999,007\r")},
        Case{"CompactNothingToReport",
             [](Bytes& o) { AppendCompact(o, kCompactArm, 0, 0); },
             {0x17, 0x00, 0x00, 0x00, 0x00}},
        Case{"CompactPoint",
             [](Bytes& o) { AppendCompact(o, kAsciiTouchDown, 1023, 33); },
             {0x19, 0x1F, 0x1F, 0x01, 0x01}},
        Case{"FourChannelFrame",
             [](Bytes& o) {
               AppendFourChannel(o, {0, 1023, 512, 255});
             },
             {0x00, 0x00, 0x43, 0xFF, 0x82, 0x00, 0xC0, 0xFF}},
        Case{"Corner10",
             [](Bytes& o) {
               AppendCorner10(o, {1023, 128, 0, 300});
             },
             {0x80, 0x07, 0x12, 0x00, 0x7F, 0x00, 0x2C}}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(ReportEncoderCornerIq, FirstCornerBytesAndCounter) {
  Bytes out;
  AppendCornerIq(out, {0x12345678, 0, 0, 0}, {-1, 0, 0, 1}, 0x45);
  ASSERT_EQ(out.size(), 41u);
  EXPECT_EQ(out[0], 0x85);  // six bits of the counter under the start bit
  EXPECT_EQ(Bytes(out.begin() + 1, out.begin() + 11),
            (Bytes{0x09, 0x0D, 0x0A, 0x67, 0x08, 0x7F, 0x7F, 0x7F, 0x7F, 0x0F}));
  EXPECT_EQ(Bytes(out.end() - 5, out.end()), (Bytes{0, 0, 0, 0, 1}));  // LR Q is last
}

// No data byte may have bit 7 set in the forms that the host resynchronises on bit 7.
void ExpectOnlyStatusHasBit7(const Bytes& report) {
  ASSERT_FALSE(report.empty());
  EXPECT_TRUE(report[0] & 0x80);
  for (std::size_t k = 1; k < report.size(); ++k) EXPECT_FALSE(report[k] & 0x80) << "byte " << k;
}

TEST(ReportEncoderRoundTrip, TabletFormsThroughTheHostReading) {
  for (int v = 0; v <= 16383; v += 37) {
    const int x = v, y = 16383 - v, z = (v * 7) % 16384;
    Bytes plain, withZ, contact;
    AppendTablet(plain, {true, false, false}, x, y);
    AppendTabletZ(withZ, {true, false, false}, x, y, z);
    AppendTabletContact(contact, {true, false, false}, x, y, v % 10);
    for (const Bytes* r : {&plain, &withZ, &contact}) {
      ExpectOnlyStatusHasBit7(*r);
      EXPECT_EQ(Host14((*r)[1], (*r)[2]), x);
      EXPECT_EQ(Host14((*r)[3], (*r)[4]), y);
      EXPECT_EQ(Host11((*r)[1], (*r)[2]), x >> 3);
      EXPECT_EQ(Host11((*r)[3], (*r)[4]), y >> 3);
    }
    EXPECT_EQ(withZ[5] + withZ[6] * 128, z);
    EXPECT_EQ(contact[5], v % 10);
  }
}

TEST(ReportEncoderRoundTrip, RawSignedThroughBothHostReadings) {
  for (int r = 0; r <= 16383; r += 29) {
    Bytes out;
    AppendRawSigned(out, true, r, 16383 - r);
    ExpectOnlyStatusHasBit7(out);
    // The raw terminal line: signed values around the middle, 11 or 14 bits.
    EXPECT_EQ(SignExtend(Host11(out[1], out[2]), 11), (r >> 3) - 1024);
    EXPECT_EQ(SignExtend(Host14(out[1], out[2]), 14), r - 8192);
    // The calibration windows: back to 0..2047 by adding the middle.
    EXPECT_EQ((Host11(out[1], out[2]) - 1024) & 0x7FF, r >> 3);
    EXPECT_EQ((Host11(out[3], out[4]) - 1024) & 0x7FF, (16383 - r) >> 3);
  }
}

TEST(ReportEncoderRoundTrip, CompactTenBits) {
  for (int v = 0; v <= 1023; ++v) {
    Bytes out;
    AppendCompact(out, kAsciiTouching, v, 1023 - v);
    ASSERT_EQ(out.size(), 5u);
    for (std::size_t k = 1; k < 5; ++k) EXPECT_LT(out[k], 32);
    EXPECT_EQ((out[1] & 0x1F) * 32 + (out[2] & 0x1F), v);
    EXPECT_EQ((out[3] & 0x1F) * 32 + (out[4] & 0x1F), 1023 - v);
  }
}

TEST(ReportEncoderRoundTrip, SignalRecordsWithRandomValues) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> tenBits(0, 1023);
  std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
  for (int n = 0; n < 500; ++n) {
    const std::array<int, 4> v{tenBits(random), tenBits(random), tenBits(random), tenBits(random)};

    Bytes frame;
    AppendFourChannel(frame, v);
    ASSERT_EQ(frame.size(), 8u);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(frame[2 * c] >> 6, c);
      EXPECT_EQ(frame[2 * c] & 0x3C, 0);
      EXPECT_EQ(((frame[2 * c] & 0x03) << 8) | frame[2 * c + 1], v[c]);
    }

    Bytes corners;
    AppendCorner10(corners, v);
    ASSERT_EQ(corners.size(), 7u);
    ExpectOnlyStatusHasBit7(corners);
    const std::uint8_t* b = corners.data();
    EXPECT_EQ(b[4] + (b[1] & 7) * 128, v[0]);         // UL
    EXPECT_EQ(b[5] + ((b[2] >> 4) & 7) * 128, v[1]);  // UR
    EXPECT_EQ(b[3] + ((b[1] >> 4) & 7) * 128, v[2]);  // LL
    EXPECT_EQ(b[6] + (b[2] & 7) * 128, v[3]);         // LR

    const std::array<std::int32_t, 4> i{any(random), any(random), any(random), any(random)};
    const std::array<std::int32_t, 4> q{any(random), any(random), any(random), any(random)};
    Bytes iq;
    AppendCornerIq(iq, i, q, static_cast<std::uint8_t>(n));
    ASSERT_EQ(iq.size(), 41u);
    ExpectOnlyStatusHasBit7(iq);
    for (int c = 0; c < 4; ++c) {
      for (int part = 0; part < 2; ++part) {
        const std::uint8_t* p = iq.data() + 1 + c * 10 + part * 5;
        std::uint32_t value = 0;
        for (int k = 0; k < 4; ++k) value = value * 128 + p[k];
        value = value * 16 + p[4];
        EXPECT_EQ(static_cast<std::int32_t>(value), part == 0 ? i[c] : q[c]);
      }
    }
  }
}

}  // namespace
}  // namespace kx7::emu
