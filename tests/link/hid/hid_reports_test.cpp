#include "controller/controller_types.h"
#include "link/hid/hid_reports.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <vector>


namespace kx7::hid {
namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList Counting(std::size_t count, std::uint8_t first = 0x10) {
  ByteList bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

// A report of `length` zero bytes with the given leading bytes.
ByteList Expect(std::size_t length, std::initializer_list<std::uint8_t> head) {
  ByteList bytes(length, 0);
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

struct BuilderCase {
  const char* name;
  HidReport built;
  ByteList expected;
};

void PrintTo(const BuilderCase& c, std::ostream* out) { *out << c.name; }

class BuilderTest : public ::testing::TestWithParam<BuilderCase> {};

TEST_P(BuilderTest, GivesTheExactBytes) { EXPECT_EQ(GetParam().built, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Generic, BuilderTest,
    ::testing::Values(BuilderCase{"SetParamIndex", SetParamIndex(6, 1, 0x0234),
                                  Expect(8, {3, 2, 0, 0, 6, 1, 0x34, 0x02})},
                      BuilderCase{"SetHidModeMulti", SetHidMode(true), Expect(8, {3, 3, 2})},
                      BuilderCase{"SetHidModeSingle", SetHidMode(false), Expect(8, {3, 3, 0})},
                      BuilderCase{"Calibrate", Calibrate(33), Expect(8, {3, 4, 33})},
                      BuilderCase{"AsyncEnable", AsyncEnable(type::kLarchUsb, 8), Expect(8, {3, 5, 0, 0, 8})},
                      BuilderCase{"AsyncEnableMaple6", AsyncEnable(type::kMaple, 6), Expect(8, {3, 5, 0, 1})},
                      BuilderCase{"AsyncEnableMaple7", AsyncEnable(type::kMaple, 7), Expect(8, {3, 5, 1, 1})},
                      BuilderCase{"AsyncEnableMapleOther", AsyncEnable(type::kMaple, 8), {}},
                      BuilderCase{"SoftReset", Reset(reset::kSoft), Expect(8, {3, 7, 1})},
                      BuilderCase{"RebootAlt", Reset(reset::kRebootAlt), Expect(8, {3, 7, 6})},
                      BuilderCase{"ResetZero", Reset(0), {}}, BuilderCase{"ResetSeven", Reset(7), {}},
                      BuilderCase{"RestoreDefaults", RestoreDefaults(), Expect(8, {3, 8})},
                      BuilderCase{"PassThroughByte", PassThroughByte('Z'), Expect(8, {3, 9, 'Z'})},
                      BuilderCase{"RebootEep", RebootEep(), Expect(8, {3, 11, 2})},
                      BuilderCase{"WatchdogOff", WatchdogOff(), Expect(8, {3, 14, 2})},
                      BuilderCase{"DiagPins", SetDiagPins(0xA5), Expect(8, {3, 15, 0xA5})},
                      BuilderCase{"PenAndFinger", PenFinger(true, true), Expect(8, {3, 20, 0})},
                      BuilderCase{"FingerOnly", PenFinger(false, true), Expect(8, {3, 20, 1})},
                      BuilderCase{"PenOnly", PenFinger(true, false), Expect(8, {3, 20, 2})},
                      BuilderCase{"NeitherKeepsFinger", PenFinger(false, false), Expect(8, {3, 20, 1})},
                      BuilderCase{"TabletMode", ModeSwitch(false), Expect(8, {17, 0})},
                      BuilderCase{"HidMode", ModeSwitch(true), Expect(8, {17, 2})},
                      BuilderCase{"SetParamTooLong", SetParam(1, Counting(65)), {}},
                      BuilderCase{"PassThroughTooLong", PassThroughBytes(Counting(57)), {}},
                      BuilderCase{"BigBlockShort", SetBigBlock(Counting(511)), {}},
                      BuilderCase{"BigBlockLong", SetBigBlock(Counting(513)), {}}));

INSTANTIATE_TEST_SUITE_P(
    Birch2, BuilderTest,
    ::testing::Values(
        BuilderCase{"AsyncEnable", Birch2AsyncEnable(2, 5), Expect(8, {16, 16, 2, 5})},
        BuilderCase{"Calibrate", Birch2Calibrate(3), Expect(8, {16, 17, 3})},
        BuilderCase{"SoftReset", Birch2Reset(reset::kSoft), Expect(8, {16, 18, 1})},
        BuilderCase{"RebootEep", Birch2Reset(reset::kRebootEep), Expect(8, {16, 18, 5})},
        BuilderCase{"NoRebootAlt", Birch2Reset(reset::kRebootAlt), {}},
        BuilderCase{"RestoreDefaults", Birch2RestoreDefaults(1, 2), Expect(8, {16, 19, 1, 2})},
        BuilderCase{"Command20", Birch2Command20(7, 8, 0x1234), Expect(8, {16, 20, 7, 8, 0x34, 0x12})},
        BuilderCase{"Command21", Birch2Command21(4, 5), Expect(8, {16, 21, 4, 5})},
        BuilderCase{"SetParamIndex", Birch2SetParamIndex(10, 4230, 10), Expect(8, {16, 22, 10, 0, 0x86, 0x10, 10})},
        BuilderCase{"SetParamIndexFull", Birch2SetParamIndex(9, 0, 64), Expect(8, {16, 22, 9, 0, 0, 0, 64})},
        BuilderCase{"SetParamIndexTooLong", Birch2SetParamIndex(9, 0, 65), {}},
        BuilderCase{"Command23", Birch2Command23(1, 9), Expect(8, {16, 23, 1, 9})},
        BuilderCase{"SetParamTooLong", Birch2SetParam(7, 0, Counting(65)), {}}));

TEST(SetParam, CarriesTheBlockAfterTheHeader) {
  const ByteList data = Counting(26);
  const HidReport report = SetParam(1, data);
  ASSERT_EQ(report.size(), 72u);
  EXPECT_EQ(ByteList(report.begin(), report.begin() + 8), Expect(8, {5, 1, 0, 0, 1, 0, 26, 0}));
  EXPECT_EQ(ByteList(report.begin() + 8, report.begin() + 34), data);
  EXPECT_EQ(ByteList(report.begin() + 34, report.end()), ByteList(38, 0));
  // A full 64-byte block fills the report exactly.
  const HidReport full = SetParam(6, Counting(64));
  ASSERT_EQ(full.size(), 72u);
  EXPECT_EQ(full[6], 64);
  EXPECT_EQ(full[71], static_cast<std::uint8_t>(0x10 + 63));
}

TEST(Birch2SetParam, CarriesSubBlockAddressAndLength) {
  const ByteList data = Counting(12);
  const HidReport report = Birch2SetParam(22, 0x0102, data);
  ASSERT_EQ(report.size(), 72u);
  EXPECT_EQ(ByteList(report.begin(), report.begin() + 8), Expect(8, {32, 32, 22, 0, 0x02, 0x01, 12, 0}));
  EXPECT_EQ(ByteList(report.begin() + 8, report.begin() + 20), data);
  EXPECT_EQ(report[20], 0);
}

TEST(SetBigBlock, CarriesAll512Bytes) {
  ByteList data(512);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const HidReport report = SetBigBlock(data);
  ASSERT_EQ(report.size(), 520u);
  EXPECT_EQ(ByteList(report.begin(), report.begin() + 8), Expect(8, {15, 12, 0, 0, 0, 0, 0x00, 0x02}));
  EXPECT_EQ(ByteList(report.begin() + 8, report.end()), data);
}

TEST(PassThrough, PiecesOfAtMost56) {
  const ByteList data = Counting(120);
  const std::vector<HidReport> pieces = PassThroughPieces(data);
  ASSERT_EQ(pieces.size(), 3u);
  const std::size_t sizes[] = {56, 56, 8};
  std::size_t at = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    ASSERT_EQ(pieces[i].size(), 64u);
    EXPECT_EQ(pieces[i][0], 9);
    EXPECT_EQ(pieces[i][1], 10);
    EXPECT_EQ(pieces[i][2], sizes[i]);
    EXPECT_EQ(ByteList(pieces[i].begin() + 8, pieces[i].begin() + 8 + static_cast<long>(sizes[i])),
              ByteList(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + sizes[i])));
    at += sizes[i];
  }
  EXPECT_TRUE(PassThroughPieces({}).empty());
  EXPECT_EQ(PassThroughPieces(Counting(56)).size(), 1u);
}

TEST(Birch2PenFinger, BothInOneReportOtherwiseTwo) {
  EXPECT_EQ(Birch2PenFinger(true, true), std::vector<HidReport>{Expect(8, {16, 24, 1, 3})});
  EXPECT_EQ(Birch2PenFinger(true, false),
            (std::vector<HidReport>{Expect(8, {16, 24, 1, 2}), Expect(8, {16, 24, 0, 1})}));
  EXPECT_EQ(Birch2PenFinger(false, true),
            (std::vector<HidReport>{Expect(8, {16, 24, 0, 2}), Expect(8, {16, 24, 1, 1})}));
}

struct NameCase {
  std::uint32_t type;
  ByteList report;
  std::optional<std::string> name;
};

void PrintTo(const NameCase& c, std::ostream* out) {
  *out << c.type << " report " << int(c.report.size() > 0 ? c.report[0] : -1) << " code "
       << int(c.report.size() > 1 ? c.report[1] : -1);
}

class CommandLogNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CommandLogNameTest, NamesTheCommand) {
  EXPECT_EQ(CommandLogName(GetParam().type, GetParam().report), GetParam().name);
}

constexpr std::uint32_t kLarch = type::kLarchUsb;
constexpr std::uint32_t kBirch2 = type::kBirch2Hid;

INSTANTIATE_TEST_SUITE_P(
    All, CommandLogNameTest,
    ::testing::Values(
        NameCase{kLarch, SetParam(1, Counting(4)), "SET_PARAM"},
        NameCase{kLarch, SetParamIndex(1, 0, 26), "SET_PARAM_INDEX"},
        NameCase{kLarch, SetHidMode(true), "SET_HID_MODE"}, NameCase{kLarch, Calibrate(1), "CALIBRATE"},
        NameCase{type::kMaple, AsyncEnable(type::kMaple, 7), "ASYNC_ENABLE"}, NameCase{kLarch, Reset(1), "SOFT RESET"},
        NameCase{kLarch, Reset(2), "HARD RESET"}, NameCase{kLarch, Reset(3), "REBOOT ROM"},
        NameCase{kLarch, Reset(4), ""}, NameCase{kLarch, Reset(5), "REBOOT EEP"},
        NameCase{kLarch, Reset(6), "REBOOT ALT"}, NameCase{kLarch, Expect(8, {3, 7, 9}), "SET_REPORT_7"},
        NameCase{kLarch, RestoreDefaults(), "RESTORE_DEFAULTS"}, NameCase{kLarch, PassThroughByte(1), std::nullopt},
        NameCase{kLarch, PassThroughBytes(Counting(3)), std::nullopt}, NameCase{kLarch, RebootEep(), "REBOOT_EEP"},
        NameCase{kLarch, SetBigBlock(ByteList(512)), "SET_BIGBLOCK"},
        NameCase{kLarch, WatchdogOff(), "SET_WATCHDOG_OFF"}, NameCase{kLarch, SetDiagPins(1), "SET_DIAG_PINS"},
        NameCase{kLarch, PenFinger(true, true), "SET_REPORT_20"}, NameCase{kLarch, Expect(8, {3, 99}), "SET_REPORT_99"},
        // The mode switch is named by its code like every other report.
        NameCase{kLarch, ModeSwitch(false), "SET_REPORT_0"}, NameCase{kLarch, ModeSwitch(true), "SET_PARAM_INDEX"},
        NameCase{type::kTouchInputFirst, Reset(1), "SET_REPORT"},
        NameCase{type::kTouchInputLast, PassThroughByte(1), "SET_REPORT"},
        NameCase{kBirch2, Birch2AsyncEnable(2, 0), "ASYNC_ENABLE"}, NameCase{kBirch2, Birch2Calibrate(1), "CALIBRATE"},
        NameCase{kBirch2, Birch2Reset(1), "SOFT RESET"}, NameCase{kBirch2, Birch2Reset(2), "HARD RESET"},
        NameCase{kBirch2, Birch2Reset(3), "REBOOT ROM"}, NameCase{kBirch2, Birch2Reset(4), "REBOOT RAM"},
        NameCase{kBirch2, Birch2Reset(5), "REBOOT EEP"}, NameCase{kBirch2, Expect(8, {16, 18, 6}), "SET_REPORT_18"},
        NameCase{kBirch2, Birch2RestoreDefaults(0, 0), "RESTORE_DEFAULTS"},
        NameCase{kBirch2, Birch2Command20(0, 0, 0), "SET_REPORT_20"},
        NameCase{kBirch2, Birch2Command21(0, 0), "SET_REPORT_21"},
        NameCase{kBirch2, Birch2SetParamIndex(17, 0, 26), "SET_PARAM_INDEX"},
        NameCase{kBirch2, Birch2Command23(0, 0), "SET_REPORT_23"},
        NameCase{kBirch2, Birch2PenFinger(true, true)[0], "SET_REPORT_24"},
        NameCase{kBirch2, Birch2SetParam(17, 0, Counting(4)), "SET_PARAM"},
        // Birch2 has no pass-through commands: its code 9 is logged.
        NameCase{kBirch2, Expect(8, {16, 9}), "SET_REPORT_9"}, NameCase{kLarch, ByteList{3}, std::nullopt}));

TEST(AnswerLogName, NamesByControllerAndReport) {
  const struct {
    std::uint32_t type;
    std::uint8_t id;
    const char* name;
  } cases[] = {{kLarch, 4, "GET_CONTROLLER_ID"},    {kLarch, 5, "GET_PARAM"},
               {kLarch, 6, "GET_STATUS"},           {kLarch, 15, "GET_BIGBLOCK"},
               {kLarch, 17, "GET_REPORT_17"},       {kLarch, 18, "GET_REPORT_18"},
               {kLarch, 116, "GET_REPORT_116"},     {kLarch, 129, "GET_REPORT_129"},
               {kBirch2, 32, "GET_PARAM"},          {kBirch2, 128, "GET_STATUS"},
               {kBirch2, 129, "GET_CONTROLLER_ID"}, {kBirch2, 144, "GET_STRAYS"},
               {kBirch2, 16, "GET_REPORT_16"},      {kBirch2, 4, "GET_REPORT_4"}};
  for (const auto& c : cases) EXPECT_EQ(AnswerLogName(c.type, c.id), c.name) << c.type << " " << int(c.id);
}

TEST(HexLines, EightToALine) {
  EXPECT_EQ(HexLines({}), "");
  EXPECT_EQ(HexLines(ByteList{0x0A}), "0A\r");
  EXPECT_EQ(HexLines(ByteList{0, 1, 2, 3, 4, 5, 6, 0xFF}), "00 01 02 03 04 05 06 FF\r");
  EXPECT_EQ(HexLines(ByteList{0, 1, 2, 3, 4, 5, 6, 7, 0xab}), "00 01 02 03 04 05 06 07\rAB\r");
}

TEST(CommandLogText, HeaderOnlyForPlainCommands) {
  EXPECT_EQ(CommandLogText(kLarch, Reset(reset::kSoft)), "SOFT RESET\r03 07 01 00 00 00 00 00\r");
  EXPECT_EQ(CommandLogText(kLarch, Reset(reset::kRebootRam)), "\r03 07 04 00 00 00 00 00\r");
  EXPECT_EQ(CommandLogText(kLarch, PassThroughByte('A')), "");
  // The length field of SET_PARAM_INDEX asks for bytes; it carries none.
  EXPECT_EQ(CommandLogText(kLarch, SetParamIndex(8, 0, 512)), "SET_PARAM_INDEX\r03 02 00 00 08 00 00 02\r");
}

TEST(CommandLogText, BlockCommandsShowTheirPayload) {
  EXPECT_EQ(CommandLogText(kLarch, SetParam(5, ByteList{0xDE, 0xAD, 0xBE, 0xEF})),
            "SET_PARAM\r05 01 00 00 05 00 04 00\rDE AD BE EF\r");
  EXPECT_EQ(CommandLogText(kBirch2, Birch2SetParam(48, 0, ByteList{1, 2, 3, 4, 5, 6, 7, 8, 9})),
            "SET_PARAM\r20 20 30 00 00 00 09 00\r01 02 03 04 05 06 07 08\r09\r");
  const HidReport big = SetBigBlock(ByteList(512, 0x11));
  EXPECT_EQ(LoggedCommandBytes(kLarch, big), 520u);
  const std::string text = CommandLogText(kLarch, big);
  EXPECT_EQ(text.substr(0, 13), "SET_BIGBLOCK\r");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1 + 65);
}

TEST(CommandLogText, NeverReadsPastTheReport) {
  // A length field larger than what follows: only the bytes that are there.
  ByteList report = Expect(12, {5, 1, 0, 0, 1, 0, 0xFF, 0xFF});
  EXPECT_EQ(LoggedCommandBytes(kLarch, report), 12u);
  EXPECT_EQ(LoggedCommandBytes(kLarch, ByteList{5, 1, 0}), 3u);
  EXPECT_EQ(LoggedCommandBytes(kLarch, ByteList{}), 0u);
  EXPECT_EQ(CommandLogText(kLarch, ByteList{3, 8}), "RESTORE_DEFAULTS\r03 08\r");
  // Birch2's code 1 carries nothing.
  EXPECT_EQ(LoggedCommandBytes(kBirch2, SetParam(1, Counting(20))), 8u);
}

TEST(SendResultText, OkOrTheErrorOnItsLine) {
  EXPECT_EQ(SendResultText(true, "ignored"), "OK\r");
  EXPECT_EQ(SendResultText(false, "Broken pipe"), "Broken pipe\r");
  EXPECT_EQ(SendResultText(false, "The device is not connected.\r\n"), "The device is not connected.\r");
}

TEST(FetchLogText, AnswerBytesOrTheFailure) {
  EXPECT_EQ(FetchLogText(kLarch, 6, std::nullopt), "GET_STATUS\rHID GetFeature failed\r");
  EXPECT_EQ(FetchLogText(kLarch, 18, ByteList{18, 10, 0}), "GET_REPORT_18\r12 0A 00\rOK\r");
  ByteList param = Expect(72, {5, 1, 0, 0, 1, 0, 2, 0, 0xAA, 0xBB, 0xCC});
  EXPECT_EQ(FetchLogText(kLarch, 5, param), "GET_PARAM\r05 01 00 00 01 00 02 00\rAA BB\rOK\r");
  ByteList status = Expect(20, {128, 1, 2, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(FetchLogText(kBirch2, 128, status), "GET_STATUS\r80 01 02 04 05 06 07 08\rOK\r");
}

TEST(AnswerFor, IdsAndLengthsPerType) {
  const struct {
    std::uint32_t type;
    Answer answer;
    std::optional<AnswerReport> report;
  } cases[] = {
      {type::kRowanUsbGen3, Answer::kControllerId, AnswerReport{4, 16}},
      {type::kLarchUsb0500, Answer::kControllerId, AnswerReport{4, 24}},
      {type::kLarchUsb, Answer::kControllerId, AnswerReport{4, 24}},
      {type::kMaple, Answer::kControllerId, AnswerReport{4, 16}},
      {kLarch, Answer::kParam, AnswerReport{5, 72}},
      {kLarch, Answer::kStatus, AnswerReport{6, 8}},
      {kLarch, Answer::kBigBlock, AnswerReport{15, 520}},
      {kLarch, Answer::kPointerMode, AnswerReport{17, 3}},
      {kLarch, Answer::kMaxContacts, AnswerReport{18, 3}},
      {type::kTouchInputFirst, Answer::kTouchInputMaxContacts, AnswerReport{116, 8}},
      {kLarch, Answer::kStrays, std::nullopt},
      {kLarch, Answer::kCommandAnswer, std::nullopt},
      {kBirch2, Answer::kControllerId, AnswerReport{129, 26}},
      {kBirch2, Answer::kParam, AnswerReport{32, 72}},
      {kBirch2, Answer::kStatus, AnswerReport{128, 20}},
      {kBirch2, Answer::kStrays, AnswerReport{144, 40}},
      {kBirch2, Answer::kCommandAnswer, AnswerReport{16, 8}},
      {kBirch2, Answer::kBigBlock, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnswerFor(c.type, c.answer), c.report) << c.type << " " << static_cast<int>(c.answer);
  }
}

ByteList LarchRecord() {
  ByteList r = Counting(24, 0x40);
  r[0] = 4;
  r[1] = 'L';
  r[2] = '0';
  r[3] = 2;
  r[4] = 0x15;
  r[5] = 0x88;
  r[6] = 0x34;
  r[7] = 0x12;
  r[8] = 0x40;
  r[9] = 0x00;
  for (std::size_t i = 10; i <= 17; ++i) r[i] = static_cast<std::uint8_t>('A' + i - 10);
  r[19] = 4;
  r[20] = 2;
  r[22] = 0x78;
  r[23] = 0x56;
  return r;
}

TEST(ControllerIdRecord, LarchRecordWholly) {
  const auto record = ParseControllerIdRecord(kLarch, LarchRecord());
  ASSERT_TRUE(record);
  EXPECT_EQ(record->reportId, 4);
  EXPECT_EQ(record->typeLetters[0], 'L');
  EXPECT_EQ(record->typeLetters[1], '0');
  EXPECT_EQ(record->versionMajor, 2);
  EXPECT_EQ(record->versionMinor, 0x15);
  EXPECT_EQ(record->flags, 0x88);
  EXPECT_EQ(record->partNumber, 0x1234);
  EXPECT_EQ(record->maxParamWrite, 64);
  EXPECT_TRUE(record->larch);
  EXPECT_EQ(record->modelCode, 4);
  EXPECT_EQ(record->sensorKind, 2);
  EXPECT_EQ(record->secondPartNumber, 0x5678);
  const struct {
    int block;
    std::optional<char> letter;
  } letters[] = {{1, 'A'}, {2, 'B'}, {3, std::nullopt}, {4, std::nullopt}, {5, 'E'},
                 {6, 'F'}, {7, 'G'}, {8, 'H'},          {9, std::nullopt}};
  for (const auto& l : letters) EXPECT_EQ(BlockStatusLetter(kLarch, *record, l.block), l.letter) << l.block;
}

TEST(ControllerIdRecord, ShortRecordsFail) {
  const ByteList larch = LarchRecord();
  EXPECT_FALSE(ParseControllerIdRecord(kLarch, ByteList(larch.begin(), larch.begin() + 23)));
  EXPECT_FALSE(ParseControllerIdRecord(type::kLarchUsb0500, ByteList(larch.begin(), larch.begin() + 16)));
  EXPECT_FALSE(ParseControllerIdRecord(type::kMaple, ByteList(larch.begin(), larch.begin() + 15)));
  EXPECT_FALSE(ParseControllerIdRecord(type::kMaple, ByteList{}));
}

TEST(ControllerIdRecord, SixteenBytesOnOtherTypesAndNothingPastThem) {
  // The record ends at byte 15 on the other types; what follows is not taken in.
  const ByteList bytes = LarchRecord();
  const auto record = ParseControllerIdRecord(type::kMaple, std::span(bytes).first(16));
  ASSERT_TRUE(record);
  EXPECT_FALSE(record->larch);
  EXPECT_EQ(record->modelCode, 0);
  EXPECT_EQ(record->secondPartNumber, 0);
  EXPECT_EQ(record->bytes[16], 0);
  EXPECT_EQ(BlockStatusLetter(type::kMaple, *record, 3), 'C');
  EXPECT_EQ(BlockStatusLetter(type::kMaple, *record, 7), 'B');  // Block7 shares Block2's letter
  EXPECT_EQ(BlockStatusLetter(type::kMaple, *record, 8), '\0');
  EXPECT_EQ(BlockStatusLetter(type::kRowanUsbGen3, *record, 3), std::nullopt);
  // A longer answer is read only as far as the record goes.
  const auto fromLonger = ParseControllerIdRecord(type::kMaple, bytes);
  ASSERT_TRUE(fromLonger);
  EXPECT_EQ(fromLonger->bytes[16], 0);
}

TEST(Birch2IdentityRecord, AllFields) {
  ByteList b = Counting(26, 0x30);
  b[0] = 129;
  b[1] = 'B';
  b[2] = '2';
  b[3] = 1;
  b[4] = 7;
  b[5] = 0x19;
  b[6] = 0xCD;
  b[7] = 0xAB;
  b[8] = 0x3C;
  b[9] = 0x01;
  b[18] = 0x04;
  b[19] = 0x03;
  b[20] = 0x02;
  b[21] = 0x01;
  b[22] = 3;
  b[23] = 1;
  const auto record = ParseBirch2IdentityRecord(b);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->reportId, 129);
  EXPECT_EQ(record->typeLetters[0], 'B');
  EXPECT_EQ(record->typeLetters[1], '2');
  EXPECT_EQ(record->versionMajor, 1);
  EXPECT_EQ(record->versionMinor, 7);
  EXPECT_EQ(record->flags, 0x19);
  EXPECT_EQ(record->cstPartNumber, 0xABCD);
  EXPECT_EQ(record->maxParamWrite, 0x13C);
  EXPECT_EQ(record->cdePartNumber, 0x01020304u);
  EXPECT_TRUE(record->revC);
  EXPECT_EQ(record->bytes[25], b[25]);
  // REVC takes both bytes.
  for (const auto& [b22, b23] : {std::pair<int, int>{3, 0}, {0, 1}, {1, 3}}) {
    b[22] = static_cast<std::uint8_t>(b22);
    b[23] = static_cast<std::uint8_t>(b23);
    EXPECT_FALSE(ParseBirch2IdentityRecord(b)->revC) << b22 << " " << b23;
  }
  EXPECT_FALSE(ParseBirch2IdentityRecord(std::span(b).first(25)));
  EXPECT_FALSE(ParseBirch2IdentityRecord({}));
}

TEST(HidBlockLength, PerBlockAndType) {
  const struct {
    std::uint32_t type;
    int block;
    std::uint8_t model;
    std::optional<std::size_t> length;
  } cases[] = {
      {type::kMaple, 1, 0, 26},
      {type::kMaple, 2, 0, 50},
      {type::kMaple, 3, 0, 12},
      {type::kRowanUsbGen3, 3, 0, {}},
      {type::kRowanUsbGen3, 4, 0, {}},
      {kBirch2, 4, 0, 60},
      {type::kMaple, 5, 0, 4},
      {type::kMaple, 6, 0, 12},
      {kLarch, 6, 0, 26},
      {kLarch, 6, 4, 64},
      {type::kLarchUsb0500, 6, 4, 64},
      {type::kMaple, 6, 4, 12},
      {type::kMaple, 7, 0, 10},
      {kLarch, 7, 0, 21},
      {kLarch, 8, 0, 512},
      {kLarch, 81, 0, 512},
      {kLarch, 83, 0, 512},
      {kLarch, 84, 0, 8},
      {kLarch, 9, 0, 1},
      {kLarch, 10, 0, 1},
      {kLarch, 99, 0, 2},
      {kLarch, 101, 0, 64},
      {kLarch, 102, 0, 64},
      {kLarch, 0, 0, {}},
      {kLarch, 11, 0, {}},
      {kLarch, 85, 0, {}},
      {kLarch, 100, 0, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HidBlockLength(c.type, c.block, c.model), c.length) << c.type << " block " << c.block;
  }
}

TEST(Birch2SubBlock, ForTheBlocksItHas) {
  EXPECT_EQ(Birch2SubBlock(1), 17);
  EXPECT_EQ(Birch2SubBlock(2), 18);
  EXPECT_EQ(Birch2SubBlock(4), 20);
  EXPECT_EQ(Birch2SubBlock(5), 48);
  EXPECT_EQ(Birch2SubBlock(6), 22);
  EXPECT_EQ(Birch2SubBlock(3), std::nullopt);
  EXPECT_EQ(Birch2SubBlock(7), std::nullopt);
}

TEST(SwapBytePairs, OddLastByteStays) {
  ByteList bytes{1, 2, 3, 4, 5};
  SwapBytePairs(bytes);
  EXPECT_EQ(bytes, (ByteList{2, 1, 4, 3, 5}));
  ByteList none;
  SwapBytePairs(none);
  EXPECT_TRUE(none.empty());
}

ByteList Swapped(ByteList bytes, std::size_t count) {
  SwapBytePairs(std::span(bytes).first(count));
  return bytes;
}

TEST(Birch2Blocks, ToTheController) {
  const ByteList block1 = Counting(26);
  EXPECT_EQ(Birch2BlockToController(1, block1), Swapped(block1, 26));
  const ByteList block2 = Counting(50);
  EXPECT_EQ(Birch2BlockToController(2, block2), Swapped(block2, 50));
  const ByteList block5 = Counting(4);
  EXPECT_EQ(Birch2BlockToController(5, block5), block5);
  // Block4 is swapped whole and then its first 50 bytes once more: only the last ten move.
  const ByteList block4 = Counting(60);
  ByteList expected4 = block4;
  SwapBytePairs(std::span(expected4).subspan(50));
  const ByteList caller4 = block4;
  EXPECT_EQ(Birch2BlockToController(4, caller4), expected4);
  // The caller's block keeps its order, so a second write sends the same bytes.
  EXPECT_EQ(caller4, block4);
  EXPECT_EQ(Birch2BlockToController(4, caller4), expected4);
  // An odd length does not move its last byte out of the block.
  EXPECT_EQ(Birch2BlockToController(6, ByteList{1, 2, 3}), (ByteList{2, 1, 3}));
}

TEST(Birch2Blocks, FromTheController) {
  const ByteList block2 = Counting(50);
  EXPECT_EQ(Birch2BlockFromController(2, Swapped(block2, 50)), block2);
  const ByteList block1 = Counting(26);
  EXPECT_EQ(Birch2BlockFromController(1, block1), block1);
  EXPECT_EQ(Birch2BlockFromController(4, Counting(60)), Counting(60));
}

}  // namespace
}  // namespace kx7::hid
