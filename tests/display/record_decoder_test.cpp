// Records of the driver and HID links: each type's line in each format, short and unknown
// records, the printf text, the loop counter, the decimation of the signal records, Pause, and the
// Birch2 HID and Maple variants.
#include <gtest/gtest.h>

#include <cstdint>
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

class RecordBuilder {
 public:
  RecordBuilder(std::uint8_t type, std::uint8_t loop, std::size_t size) : bytes_(size, 0) {
    bytes_[0] = type;
    bytes_[1] = loop;
  }
  RecordBuilder& Byte(std::size_t at, std::uint8_t v) {
    bytes_.at(at) = v;
    return *this;
  }
  RecordBuilder& Word(std::size_t at, unsigned v) { return Byte(at, v & 0xFF).Byte(at + 1, (v >> 8) & 0xFF); }
  RecordBuilder& Int24(std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return Byte(at, u & 0xFF).Byte(at + 1, (u >> 8) & 0xFF).Byte(at + 2, (u >> 16) & 0xFF);
  }
  RecordBuilder& Long(std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return Word(at, u & 0xFFFF).Word(at + 2, u >> 16);
  }
  Bytes Build() const { return bytes_; }

 private:
  Bytes bytes_;
};

DecoderSettings Driver(std::uint32_t format = format::kKxs, std::uint32_t controllerType = type::kBirchUsb) {
  DecoderSettings s;
  s.reportFormat = format;
  s.controllerType = controllerType;
  s.linkKind = link::kRivetwareUsb;
  return s;
}

// X 0x4000, Y 0x2000, raw X 8192 + 5, raw Y 8192 - 3, touching, loop counter 7.
Bytes Coords(std::uint8_t type = record::kCoords, std::uint8_t status = 0x40) {
  RecordBuilder r(type, 7, type == record::kCoordsPressure ? 17 : 11);
  r.Byte(2, status).Word(3, 0x4000).Word(5, 0x2000).Word(7, 8197).Word(9, 8189);
  if (type == record::kCoordsPressure) r.Word(11, 1).Word(13, 2).Word(15, 3);
  return r.Build();
}

Bytes RawCorners(std::uint8_t type = record::kRawCorners) {
  RecordBuilder r(type, 1, 35);
  r.Byte(2, 0x2A);
  for (std::size_t at = 3; at <= 31; at += 4) r.Long(at, static_cast<std::int32_t>(at) * 1000 - 10000);
  return r.Build();
}

Bytes RawSignals() {
  RecordBuilder r(record::kRawSignals, 1, 27);
  r.Byte(2, 5).Int24(3, -1).Int24(6, 0x7FFFFF).Int24(9, -0x800000).Int24(12, 1);
  r.Int24(15, 2).Int24(18, 3).Int24(21, -4).Int24(24, 0);
  return r.Build();
}

Bytes Four(std::uint8_t type, std::uint8_t a = 1, std::uint8_t b = 2, std::uint8_t c = 3, std::uint8_t d = 4) {
  return RecordBuilder(type, 9, 6).Byte(2, a).Byte(3, b).Byte(4, c).Byte(5, d).Build();
}

struct LineCase {
  const char* name;
  Bytes record;
  DecoderSettings settings;
  bool showLoop;
  std::vector<std::string> lines;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class RecordLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(RecordLines, ShowTheirValues) {
  const LineCase& c = GetParam();
  DecoderFixture f;
  f.decoder.Choices().showLoop = c.showLoop;
  f.Record(c.record, c.settings);
  EXPECT_EQ(f.sink.lines, c.lines);
  EXPECT_EQ(f.sink.open, "");
  for (LineEnd reason : f.sink.reasons) EXPECT_EQ(reason, LineEnd::kReportEnd);
}

DecoderSettings FullResolution(DecoderSettings s) {
  s.fullResolution = true;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Types, RecordLines,
    ::testing::Values(
        LineCase{"Coords", Coords(), Driver(), false, {"D 0512 0256"}},
        LineCase{"CoordsFullResolution", Coords(), FullResolution(Driver()), false, {"D 04096 02048"}},
        LineCase{"CoordsUsb1", Coords(), Driver(format::kKxs, type::kUsb1), false, {"D 0511 0255"}},
        LineCase{"CoordsUsb1IgnoresFullResolution", Coords(), FullResolution(Driver(format::kKxs, type::kUsb1)), false,
                 {"D 0511 0255"}},
        LineCase{"CoordsRaw", Coords(), Driver(format::kRawSigned), false, {"D +5, -3"}},
        LineCase{"CoordsRawAtTheMiddle",
                 RecordBuilder(1, 0, 11).Byte(2, 0).Word(7, 8192).Word(9, 0).Build(), Driver(format::kRawSigned),
                 false, {"U +0, -8192"}},
        LineCase{"CoordsHex", Coords(), Driver(format::kHexDump), false, {"D X[4000],Y[2000] uX[2005],uY[1FFD] 07"}},
        LineCase{"CoordsShowLoop", Coords(), Driver(), true, {"[007] D 0512 0256"}},
        LineCase{"CoordsPressure", Coords(record::kCoordsPressure), Driver(), false,
                 {"D 0512 0256  U[0001] A[0002] B[0003]"}},
        LineCase{"CoordsPressureRaw", Coords(record::kCoordsPressure), Driver(format::kRawSigned), false,
                 {"D +5, -3  U[0001] A[0002] B[0003]"}},
        LineCase{"CoordsPressureHex", Coords(record::kCoordsPressure), Driver(format::kHexDump), false,
                 {"D X[4000],Y[2000] uX[2005],uY[1FFD], U[0001], A[0002], B[0003]"}},
        LineCase{"RawCornersUsb1",
                 RecordBuilder(2, 3, 11).Byte(2, 5).Word(3, 1).Word(5, 2).Word(7, 3).Word(9, 1000).Build(),
                 Driver(format::kKxs, type::kUsb1), true, {"[003] Raw   UL001 UR002 LL003 LR1000 Gain5"}},
        LineCase{"RawCornersUsb1InHexDump",
                 RecordBuilder(2, 3, 11).Byte(2, 5).Word(3, 1).Word(5, 2).Word(7, 3).Word(9, 4).Build(),
                 Driver(format::kHexDump, type::kUsb1), false, {"Raw   UL001 UR002 LL003 LR004 Gain5"}},
        LineCase{"RawCorners", RawCorners(), Driver(), false,
                 {"\t -3000\t 5000\t 13000\t 21000\t -7000\t 1000\t 9000\t 17000\t 42"}},
        LineCase{"RawCornersHex", RawCorners(), Driver(format::kHexDump), false,
                 {"FFFFF448\t 00001388\t 000032C8\t 00005208\t FFFFE4A8\t 000003E8\t 00002328\t 00004268\t 2A"}},
        LineCase{"RawSignals", RawSignals(), Driver(), false,
                 {"\t 2147483392\t 00000256\t 00000768\t 00000000\t -0000256\t -2147483648\t 00000512\t -0001024\t 05"}},
        LineCase{"RawSignalsHex", RawSignals(), Driver(format::kHexDump), true,
                 {"[001] 7FFFFF00\t 00000100\t 00000300\t 00000000\t FFFFFF00\t 80000000\t 00000200\t FFFFFC00\t 05"}},
        LineCase{"Strays", Four(record::kStrays, 1, 22, 133, 255), Driver(), false, {"Stray UL001 UR022 LL133 LR255"}},
        LineCase{"CompCorners",
                 RecordBuilder(7, 2, 10).Byte(2, 99).Byte(3, 10).Byte(4, 99).Byte(5, 20).Byte(6, 99).Byte(7, 30)
                     .Byte(8, 99).Byte(9, 40).Build(),
                 Driver(), false, {"Comp  UL010 UR020 LL030 LR040 Sum100"}},
        LineCase{"Pwm", Four(record::kPwm), Driver(), true, {"[009] PWM UL001 UR002 LL003 LR004"}},
        LineCase{"StraysAllGains",
                 [] {
                   RecordBuilder r(9, 4, 22);
                   for (std::size_t i = 2; i < 22; ++i) r.Byte(i, static_cast<std::uint8_t>(i));
                   return r.Build();
                 }(),
                 Driver(), true,
                 {"[004] Stray 0 UL002 UR003 LL004 LR005", "[004] Stray 1 UL006 UR007 LL008 LR009",
                  "[004] Stray 2 UL010 UR011 LL012 LR013", "[004] Stray 3 UL014 UR015 LL016 LR017",
                  "[004] Stray 4 UL018 UR019 LL020 LR021"}},
        LineCase{"Velocity", RecordBuilder(10, 0, 3).Byte(2, 200).Build(), Driver(), false, {" Vel200"}},
        LineCase{"StrayDelta", Four(record::kStrayDelta, 0, 0, 0, 7), Driver(), false, {"Delta UL000 UR000 LL000 LR007"}},
        LineCase{"MapleRaw", RecordBuilder(9, 0, 10).Word(2, 1).Word(4, 2).Word(6, 3).Word(8, 1000).Build(),
                 Driver(format::kKxs, type::kMaple), false, {"RAW LX001 UX002 LY003 UY1000"}},
        LineCase{"Birch2HidStraysAreRawCorners", RawCorners(record::kStrays), Driver(format::kKxs, type::kBirch2Hid),
                 false, {"\t -3000\t 5000\t 13000\t 21000\t -7000\t 1000\t 9000\t 17000\t 42"}},
        LineCase{"UnknownTypeIsShownAsItsBytes", {0x04, 0x01, 0x41}, Driver(), false, {"<04><01><41>"}},
        LineCase{"TypeWithoutALine", {0x06, 0x01}, Driver(), false, {"<06><01>"}},
        LineCase{"OneByte", {0x01}, Driver(), false, {"<01>"}},
        LineCase{"LongerRecordsKeepTheirFields", Concat({Four(record::kPwm), {7, 7, 7}}), Driver(), false,
                 {"PWM UL001 UR002 LL003 LR004"}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(Records, CoordsTouchCharacters) {
  DecoderFixture f;
  for (std::uint8_t status : {0x40, 0x40, 0x00, 0x00, 0x40}) f.Record(Coords(record::kCoords, status), Driver());
  EXPECT_EQ(f.sink.lines,
            (std::vector<std::string>{"D 0512 0256", ". 0512 0256", "U 0512 0256", "U 0512 0256", "D 0512 0256"}));
}

// Every type needs its fields: one byte less is shown as the bytes, never read past the end (the
// sanitizer sees a read past the vector).
TEST(Records, ShortRecordsAreShownAsTheirBytes) {
  struct Need {
    std::uint8_t type;
    std::uint32_t controllerType;
    std::size_t bytes;
  };
  const std::vector<Need> needs = {
      {1, type::kBirchUsb, 11}, {13, type::kBirchUsb, 17}, {2, type::kUsb1, 11},      {2, type::kBirchUsb, 35},
      {3, type::kBirchUsb, 3},  {5, type::kBirchUsb, 6},   {5, type::kBirch2Hid, 35}, {7, type::kBirchUsb, 10},
      {8, type::kBirchUsb, 6},  {9, type::kBirchUsb, 22},  {9, type::kMaple, 10},     {10, type::kBirchUsb, 3},
      {11, type::kBirchUsb, 6}, {19, type::kBirchUsb, 27},
  };
  for (const Need& need : needs) {
    for (std::uint32_t format : {format::kKxs, format::kHexDump, format::kRawSigned}) {
      Bytes shortRecord(need.bytes - 1, 0x01);
      shortRecord[0] = need.type;
      DecoderFixture f;
      f.Record(shortRecord, Driver(format, need.controllerType));
      const char* digits = "0123456789ABCDEF";
      std::string expected = {'<', digits[need.type >> 4], digits[need.type & 15], '>'};
      for (std::size_t i = 1; i < shortRecord.size(); ++i) expected += "<01>";
      EXPECT_EQ(f.sink.All(), std::vector<std::string>{expected}) << int(need.type) << " " << need.controllerType;

      if (need.type == record::kText) continue;  // a text of length 1 needs one more byte
      Bytes fitting(need.bytes, 0x01);
      fitting[0] = need.type;
      DecoderFixture g;
      g.Record(fitting, Driver(format, need.controllerType));
      ASSERT_FALSE(g.sink.pieces.empty()) << int(need.type);
      EXPECT_EQ(g.sink.pieces[0].kind, TextKind::kDecoded) << int(need.type) << " " << need.controllerType;
    }
  }
}

TEST(Records, NothingForAnEmptyRecord) {
  DecoderFixture f;
  f.decoder.DecodeRecord(nullptr, 0, Driver());
  const std::uint8_t one = 1;
  f.decoder.DecodeRecord(&one, 0, Driver());
  EXPECT_TRUE(f.sink.pieces.empty());
  EXPECT_TRUE(f.sink.lines.empty());
}

Bytes TextRecord(std::string_view text, int lengthByte = -1) {
  Bytes record = {record::kText, 0, static_cast<std::uint8_t>(lengthByte < 0 ? text.size() : lengthByte)};
  record.insert(record.end(), text.begin(), text.end());
  return record;
}

TEST(Records, PrintfTextEndsLinesAtItsCarriageReturns) {
  DecoderFixture f;
  f.decoder.Choices().showLoop = true;  // not for text: its lines are the controller's
  f.Record(TextRecord("Boot\r\nok"), Driver());
  f.Record(TextRecord(" 42\r"), Driver());
  f.Record(TextRecord("\nnext\x01"), Driver());
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"Boot", "ok 42"}));
  EXPECT_EQ(f.sink.open, "next<01>");
  for (LineEnd reason : f.sink.reasons) EXPECT_EQ(reason, LineEnd::kCarriageReturn);
}

TEST(Records, PrintfTextStopsAtItsLengthTheRecordAndANul) {
  struct Case {
    Bytes record;
    std::string open;
  };
  const std::vector<Case> cases = {
      {TextRecord("abcdef", 3), "abc"},
      {TextRecord("abc", 200), "abc"},
      {TextRecord(std::string("ab\0cd", 5)), "ab"},
      {TextRecord("", 0), ""},
      {TextRecord(std::string(150, 'x'), 150), std::string(97, 'x')},  // records are at most 100 bytes
  };
  for (const Case& c : cases) {
    DecoderFixture f;
    f.Record(c.record, Driver());
    EXPECT_EQ(f.sink.open, c.open);
    EXPECT_TRUE(f.sink.lines.empty());
  }
}

TEST(Records, LongRecordsAreCutAtOneHundredBytes) {
  Bytes record(150, 0x05);
  record[0] = 0x30;  // no line: every byte is shown, up to the hundredth
  DecoderFixture f;
  f.Record(record, Driver());
  ASSERT_EQ(f.sink.lines.size(), 1u);
  EXPECT_EQ(f.sink.lines[0].size(), 400u);
}

// Decimation: which of a run of records are shown.
struct DecimationCase {
  const char* name;
  int filter;
  bool allowDiffs;
  bool restart;  // Apply before the run
  std::vector<Bytes> records;
  std::vector<bool> shown;
};
void PrintTo(const DecimationCase& c, std::ostream* os) { *os << c.name; }

class Decimation : public ::testing::TestWithParam<DecimationCase> {};

TEST_P(Decimation, ShowsTheChosenRecords) {
  const DecimationCase& c = GetParam();
  DecoderFixture f;
  f.decoder.Choices().filter = c.filter;
  f.decoder.Choices().allowDiffs = c.allowDiffs;
  if (c.restart) f.decoder.RestartDecimation();
  std::vector<bool> shown;
  for (const Bytes& record : c.records) {
    const std::size_t before = f.sink.lines.size();
    f.Record(record, Driver());
    shown.push_back(f.sink.lines.size() > before);
  }
  EXPECT_EQ(shown, c.shown);
}

const Bytes kRaw = RawCorners();
const Bytes kRawOther = RecordBuilder(2, 0, 35).Byte(2, 1).Build();
const Bytes kSignals = RawSignals();
const Bytes kComp = RecordBuilder(7, 0, 10).Byte(3, 1).Build();
const Bytes kStrayA = Four(record::kStrays, 1, 1, 1, 1);
const Bytes kStrayB = Four(record::kStrays, 2, 2, 2, 2);
const Bytes kPwm = Four(record::kPwm);

INSTANTIATE_TEST_SUITE_P(
    Records, Decimation,
    ::testing::Values(
        DecimationCase{"FilterTwo",
                       2,
                       false,
                       false,
                       {kRaw, kRaw, kRaw, kRaw, kRaw, kRaw, kRaw},
                       {true, false, false, true, false, false, true}},
        DecimationCase{"FilterZeroShowsAll", 0, false, false, {kRaw, kRaw, kRaw}, {true, true, true}},
        DecimationCase{"NegativeFilterShowsAll", -3, false, false, {kRaw, kRaw}, {true, true}},
        DecimationCase{
            "ApplyStartsTheCountersAtTheFilter", 2, false, true, {kRaw, kRaw, kRaw, kRaw}, {false, false, true, false}},
        DecimationCase{"ChangesAreDroppedWithoutAllowDiffs",
                       2,
                       false,
                       false,
                       {kRaw, kRawOther, kRaw, kRawOther},
                       {true, false, false, true}},
        DecimationCase{"AllowDiffsShowsChanges",
                       2,
                       true,
                       false,
                       {kRaw, kRaw, kRawOther, kRawOther, kRaw, kRawOther},
                       {true, false, true, false, true, true}},
        DecimationCase{"RawCornersAndSignalsShareACounter",
                       1,
                       false,
                       false,
                       {kRaw, kSignals, kRaw, kSignals},
                       {true, false, true, false}},
        DecimationCase{"CompHasItsOwnCounter",
                       1,
                       false,
                       false,
                       {kRaw, kComp, kRaw, kComp, kRaw, kComp},
                       {true, true, false, false, true, true}},
        DecimationCase{"StraysShowEveryChange",
                       2,
                       false,
                       false,
                       {kStrayA, kStrayB, kStrayA, kStrayA, kStrayA, kStrayA, kStrayA},
                       {true, true, true, true, false, false, true}},
        DecimationCase{
            "StraysDoNotUseTheRawCounter", 1, false, false, {kRaw, kStrayA, kStrayA, kRaw}, {true, true, true, false}},
        DecimationCase{
            "OtherRecordsAreNotDecimated", 5, false, true, {kPwm, kPwm, Coords(), Coords()}, {true, true, true, true}}),
    [](const ::testing::TestParamInfo<DecimationCase>& info) { return std::string(info.param.name); });

TEST(Records, MapleRawSharesTheRawCounter) {
  DecoderFixture f;
  f.decoder.Choices().filter = 1;
  const DecoderSettings maple = Driver(format::kKxs, type::kMaple);
  const Bytes mapleRaw = RecordBuilder(9, 0, 10).Word(2, 1).Build();
  f.Record(mapleRaw, maple);
  f.Record(kRaw, maple);
  f.Record(mapleRaw, maple);
  EXPECT_EQ(f.sink.lines, (std::vector<std::string>{"RAW LX001 UX000 LY000 UY000", "RAW LX001 UX000 LY000 UY000"}));
}

TEST(Records, ClearRestartsTheCounters) {
  DecoderFixture f;
  f.decoder.Choices().filter = 5;
  f.Record(kRaw, Driver());
  f.Record(kRaw, Driver());
  f.decoder.Reset();
  f.Record(kRaw, Driver());
  EXPECT_EQ(f.sink.lines.size(), 2u);
}

TEST(Records, PauseShowsNoRecordsButBytesGoOn) {
  DecoderFixture f;
  f.decoder.Choices().display = false;
  f.Record(Coords(), Driver());
  f.Record(TextRecord("x\r"), Driver());
  f.Feed({0xC0, 0x00, 0x20, 0x00, 0x10}, Driver(format::kKxs, type::kBirch));
  EXPECT_EQ(f.sink.lines, std::vector<std::string>{"D 0512,0256"});
  f.decoder.Choices().display = true;
  f.Record(Coords(), Driver());
  EXPECT_EQ(f.sink.lines.size(), 2u);
}

TEST(Records, Birch2HidCoordsTextAndReport4PassTheDriverFilterFirst) {
  DecoderFixture f;
  std::vector<std::uint8_t> asked;
  f.actions.driverFilter = [&](const std::uint8_t* record, std::size_t) {
    asked.push_back(record[0]);
    return false;
  };
  const DecoderSettings birch2 = Driver(format::kKxs, type::kBirch2Hid);
  f.Record(Coords(), birch2);
  f.Record(TextRecord("held\r"), birch2);
  f.Record({4, 0, 1, 2}, birch2);
  EXPECT_TRUE(f.sink.pieces.empty());
  f.Record(kRaw, birch2);
  f.Record(Four(record::kPwm), birch2);
  EXPECT_EQ(f.sink.lines.size(), 2u);
  f.Record(Coords(), Driver());  // other controllers have no such filter
  EXPECT_EQ(f.sink.lines.size(), 3u);
  EXPECT_EQ(asked, (std::vector<std::uint8_t>{1, 3, 4}));

  f.actions.driverFilter = nullptr;
  f.Record({4, 0, 1, 2}, birch2);
  EXPECT_EQ(f.sink.lines.back(), "<04><00><01><02>");
}

}  // namespace
}  // namespace kx7::test
