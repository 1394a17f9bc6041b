// Multi-touch HID input reports on the USB links: the five contact layouts, frames spread over
// several reports, dropped reports, pen reports and the bytes between reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "decoder_test_support.h"
#include "display/display_constants.h"
#include "frame/frame_constants.h"

namespace kx7::test {
namespace {

// The layouts as the controllers send them.
struct Layout {
  const char* name;
  std::uint32_t features;
  int slots;
  int size;
  int yOffset;
  int countOffset;
  int scanOffset;  // -1: not shown
};
void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }
const Layout kLayouts[] = {
    {"Features20000", 0x20000, 4, 15, 6, 61, 62},
    {"Features2000", 0x2000, 6, 10, 4, 61, 62},
    {"Features400000", 0x400000, 7, 8, 4, 57, 58},
    {"Features40000", 0x40000, 10, 6, 4, 61, 62},
    {"NoFeature", 0, 10, 6, 4, 61, -1},
};
const Layout& kHybrid = kLayouts[1];
const Layout& kEveryReport = kLayouts[3];
const Layout& kPlain = kLayouts[4];

struct Contact {
  int slot;
  std::uint8_t status;
  std::uint8_t id;
  std::uint16_t x, y;
};

constexpr std::uint8_t kDown = 0x07;      // valid, tip, in range
constexpr std::uint8_t kHovering = 0x04;  // valid only

void PutWord(Bytes& report, int at, unsigned value) {
  report[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value & 0xFF);
  report[static_cast<std::size_t>(at + 1)] = static_cast<std::uint8_t>(value >> 8);
}

Bytes Report(const Layout& layout, int count, const std::vector<Contact>& contacts, unsigned scan = 4660,
             std::uint8_t id = 1) {
  Bytes report(64, 0);
  report[0] = id;
  for (const Contact& c : contacts) {
    const int at = 1 + c.slot * layout.size;
    report[static_cast<std::size_t>(at)] = c.status;
    report[static_cast<std::size_t>(at + 1)] = c.id;
    PutWord(report, at + 2, c.x);
    PutWord(report, at + layout.yOffset, c.y);
  }
  report[static_cast<std::size_t>(layout.countOffset)] = static_cast<std::uint8_t>(count);
  PutWord(report, layout.scanOffset >= 0 ? layout.scanOffset : 62, scan);
  return report;
}

DecoderSettings Hid(std::uint32_t features) {
  DecoderSettings s;
  s.reportFormat = format::kKxs;
  s.controllerType = type::kRowanUsbGen3;
  s.controllerFeatures = features | feature::kMultiContact;
  s.linkKind = link::kHid;
  s.multiTouch = true;
  return s;
}

std::string Scan(const Layout& layout, unsigned scan) {
  return layout.scanOffset >= 0 ? " " + std::to_string(scan) : "";
}

class HidLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(HidLayouts, ShowAFrameInOneReport) {
  const Layout& layout = GetParam();
  DecoderFixture f;
  f.Feed(Report(layout, 2, {{0, kDown, 3, 0x123, 0x456}, {2, kHovering, 12, 0xABC, 0x7}}, 999), Hid(layout.features));
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"3D.123.456 12U.ABC.007 " + Scan(layout, 999)});
  EXPECT_EQ(f.sink.open, "");
  for (const Piece& piece : f.sink.pieces) EXPECT_EQ(piece.contacts, 2);
}

TEST_P(HidLayouts, LeaveOutInvalidSlotsAndContactsPastTheCount) {
  const Layout& layout = GetParam();
  DecoderFixture f;
  // Slot 0 has an id but no valid status; slots 1 and 3 are valid, but the count is 1.
  f.Feed(Report(layout, 1, {{0, 0x00, 5, 1, 1}, {1, kDown, 6, 2, 2}, {3, kDown, 7, 3, 3}}), Hid(layout.features));
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"6D.002.002 " + Scan(layout, 4660)});
}

TEST_P(HidLayouts, DropReportsCountingMoreThan100) {
  const Layout& layout = GetParam();
  DecoderFixture f;
  f.Feed(Report(layout, 101, {{0, kDown, 1, 1, 1}}), Hid(layout.features));
  EXPECT_TRUE(f.sink.All().empty());
  f.Feed(Report(layout, 100, {{0, kDown, 1, 1, 1}}), Hid(layout.features));
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"1D.001.001 "});
}

INSTANTIATE_TEST_SUITE_P(Features, HidLayouts, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST(HidReports, AHybridFrameStaysOpenUntilItsLastContact) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kHybrid.features);
  f.Feed(Report(kHybrid, 3, {{0, kDown, 1, 0x10, 0x20}, {1, kDown, 2, 0x30, 0x40}}), settings);
  EXPECT_TRUE(f.sink.lines.empty());
  EXPECT_EQ(f.sink.open, "1D.010.020 2D.030.040 ");
  f.Feed(Report(kHybrid, 0, {{0, kDown, 3, 0x50, 0x60}}, 77), settings);
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"1D.010.020 2D.030.040 3D.050.060  77"});
  EXPECT_EQ(f.sink.open, "");
}

TEST(HidReports, TheEveryReportLayoutEndsTheLineAfterEachReportOfAFrame) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kEveryReport.features);
  f.Feed(Report(kEveryReport, 3, {{0, kDown, 1, 0x10, 0x20}, {1, kDown, 2, 0x30, 0x40}}), settings);
  f.Feed(Report(kEveryReport, 0, {{0, kHovering, 3, 0x50, 0x60}}, 77), settings);
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"1D.010.020 2D.030.040 ", "3U.050.060  77"}));
}

TEST(HidReports, ANewFrameEndsTheLineOfAnUnfinishedOne) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kHybrid.features);
  f.Feed(Report(kHybrid, 3, {{0, kDown, 1, 1, 1}}), settings);
  f.Feed(Report(kHybrid, 1, {{0, kDown, 2, 2, 2}}, 5), settings);
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"1D.001.001 ", "2D.002.002  5"}));
}

TEST(HidReports, AReportCountingZeroOutsideAFrameShowsNothing) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kHybrid.features);
  f.Feed(Report(kHybrid, 0, {{0, kDown, 1, 1, 1}}), settings);
  f.Feed(Report(kHybrid, 1, {{0, kDown, 2, 2, 2}}, 5), settings);
  f.Feed(Report(kHybrid, 0, {{0, kDown, 3, 3, 3}}), settings);
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"2D.002.002  5"});
}

TEST(HidReports, AFrameWithoutValidContactsWaits) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kHybrid.features);
  f.Feed(Report(kHybrid, 1, {}), settings);
  EXPECT_TRUE(f.sink.All().empty());
  f.Feed(Report(kHybrid, 0, {{5, kDown, 9, 9, 9}}, 3), settings);
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"9D.009.009  3"});
}

TEST(HidReports, PalmBitAddsPOnlyInItsLayout) {
  for (const Layout& layout : kLayouts) {
    DecoderFixture f;
    f.Feed(Report(layout, 1, {{0, kDown | 0x10, 1, 1, 1}}), Hid(layout.features));
    const std::string expected = (layout.features == 0x2000 ? "1D.001.001P " : "1D.001.001 ") + Scan(layout, 4660);
    EXPECT_EQ(f.sink.All(), std::vector<std::string>{expected}) << layout.name;
  }
}

TEST(HidReports, TheFirstFeatureBitInOrderChoosesTheLayout) {
  DecoderFixture f;
  // 0x20000 before 0x2000: the record is 15 bytes and Y sits at 6.
  f.Feed(Report(kLayouts[0], 1, {{1, kDown, 4, 0x111, 0x222}}), Hid(0x20000 | 0x2000 | 0x40000));
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"4D.111.222  4660"});
}

TEST(HidReports, CoordinatesWiderThanThreeDigitsShowInFull) {
  DecoderFixture f;
  f.Feed(Report(kPlain, 1, {{0, kDown, 255, 0xFFFF, 0x1000}}), Hid(0));
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"255D.FFFF.1000 "});
}

TEST(HidReports, OnlyKnownReportIdsStartAReport) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kPlain.features);
  f.Feed(Concat({{0x02, 'A', 0x0D}, Report(kPlain, 1, {{0, kDown, 1, 1, 1}}, 0, 119)}), settings);
  EXPECT_EQ(f.sink.All(), (std::vector<std::string>{"<02>A", "1D.001.001 "}));
  for (std::uint8_t id : {1, 7, 16, 19, 20, 22, 23, 32, 115, 116, 118, 119}) {
    DecoderFixture g;
    g.Feed(Report(kPlain, 1, {{0, kDown, 1, 1, 1}}, 0, id), settings);
    EXPECT_EQ(g.sink.All(), std::vector<std::string>{"1D.001.001 "}) << int(id);
  }
  for (std::uint8_t id : {0, 2, 8, 17, 117, 120, 0xC0}) {
    DecoderFixture g;
    g.Feed({id}, settings);
    EXPECT_EQ(g.sink.pieces.size(), 1u) << int(id);
    EXPECT_EQ(g.sink.pieces[0].kind, TextKind::kUndecoded) << int(id);
  }
}

TEST(HidReports, IdBytesInsideAReportAreData) {
  DecoderFixture f;
  Bytes report = Report(kPlain, 1, {{0, kDown, 1, 1, 1}});
  report[30] = 0x02;
  report[31] = 0x0D;
  f.Feed(Concat({report, {0x0D}}), Hid(kPlain.features));
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"1D.001.001 ", ""}));
}

TEST(HidReports, ClearDropsAHalfCollectedReport) {
  DecoderFixture f;
  const Bytes report = Report(kPlain, 1, {{0, kDown, 1, 1, 1}});
  f.Feed(Bytes(report.begin(), report.begin() + 20), Hid(0));
  f.decoder.Reset();
  f.Feed(report, Hid(0));
  EXPECT_EQ(f.sink.All(), std::vector<std::string>{"1D.001.001 "});
}

Bytes PenReport(std::uint8_t flags, unsigned x, unsigned y, unsigned pressure, unsigned tilt, int twist,
                unsigned scan) {
  Bytes report(64, 0);
  report[0] = 1;
  report[1] = flags;
  PutWord(report, 2, pressure);
  PutWord(report, 4, tilt);
  PutWord(report, 6, static_cast<unsigned>(twist) & 0xFFFF);
  PutWord(report, 8, x);
  PutWord(report, 10, y);
  PutWord(report, 62, scan);
  report[61] = 1;  // a count byte that a contact report would have
  return report;
}

TEST(HidReports, PenReportsOfThePlainAndEveryReportLayouts) {
  struct PenCase {
    std::uint8_t flags;
    int twist;
    std::string line;
  };
  const std::vector<PenCase> cases = {
      {0x81, -350, "PenD.234.345.(1234,45,-3) 999"},
      {0x80, 99, "PenU.234.345.(1234,45,00) 999"},
      {0x89, 0, "PenD.234.345.(1234,45,00) 999 BARREL"},
      {0x90, -32768, "PenU.234.345.(1234,45,-327) 999 ERASER"},
      {0x99, 32767, "PenD.234.345.(1234,45,327) 999 BARREL ERASER"},
  };
  for (const Layout* layout : {&kPlain, &kEveryReport}) {
    for (const PenCase& c : cases) {
      DecoderFixture f;
      f.Feed(PenReport(c.flags, 0x234, 0x345, 1234, 4567, c.twist, 999), Hid(layout->features));
      EXPECT_EQ(f.sink.All(), std::vector<std::string>{c.line}) << layout->name << " " << int(c.flags);
    }
  }
}

TEST(HidReports, Bit7OfByte1IsNoPenInTheOtherLayouts) {
  DecoderFixture f;
  f.Feed(PenReport(0x85, 0x234, 0x345, 1234, 4567, 0, 999), Hid(kHybrid.features));
  // Byte 1 is a contact status there: 0x85 is valid, without tip; byte 2 is its id.
  ASSERT_EQ(f.sink.lines.size(), 1u);
  EXPECT_EQ(f.sink.lines[0].rfind("210U.", 0), 0u) << f.sink.lines[0];
}

TEST(HidReports, APenReportEndsAnUnfinishedContactLine) {
  DecoderFixture f;
  const DecoderSettings settings = Hid(kPlain.features);
  f.Feed(Report(kPlain, 2, {{0, kDown, 1, 1, 1}}), settings);
  f.Feed(PenReport(0x81, 1, 2, 3, 400, 500, 6), settings);
  EXPECT_EQ(f.sink.All(), (std::vector<std::string>{"1D.001.001 ", "PenD.001.002.(0003,04,05) 6"}));
}

}  // namespace
}  // namespace kx7::test
