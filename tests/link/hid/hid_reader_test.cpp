#include "controller/controller_types.h"
#include "link/hid/hid_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace kx7::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Report(std::size_t length, std::initializer_list<std::pair<std::size_t, std::uint8_t>> at) {
  Bytes report(length, 0);
  for (const auto& [index, value] : at) report[index] = value;
  return report;
}

ReaderState Of(std::uint32_t type, std::uint32_t features = 0) {
  ReaderState state;
  state.type = type;
  state.features = features;
  state.inputReportLength = 64;
  return state;
}

struct ChoiceCase {
  const char* name;
  ReaderState state;
  PollChoice expected;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.name; }

class PollChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(PollChoiceTest, ReportByTypeAndMode) { EXPECT_EQ(ChoosePollReport(GetParam().state), GetParam().expected); }

ReaderState With(ReaderState state, void (*change)(ReaderState&)) {
  change(state);
  return state;
}

INSTANTIATE_TEST_SUITE_P(
    Choices, PollChoiceTest,
    ::testing::Values(
        ChoiceCase{"RowanTouch", Of(type::kRowanUsbGen2), {7, 64}},
        ChoiceCase{"PassThrough", With(Of(type::kRowanGen4), [](ReaderState& s) { s.passThrough = true; }), {9, 64}},
        ChoiceCase{"RawMode", With(Of(type::kMaple), [](ReaderState& s) { s.raw = true; }), {9, 64}},
        ChoiceCase{"Gen4MultiContact",
                   With(Of(type::kRowanGen4, feature::kMultiContact), [](ReaderState& s) { s.multiTouchMode = 2; }),
                   {16, 64}},
        ChoiceCase{"Gen3MultiContactFlagOnly", Of(type::kRowanUsbGen3, feature::kMultiContact), {7, 64}},
        ChoiceCase{"LarchSensor2", Of(type::kLarchUsb, feature::kLarchSensor2), {118, 64}},
        ChoiceCase{"LarchSensor0", Of(type::kLarchUsb, feature::kLarchSensor0), {119, 64}},
        ChoiceCase{"LarchSensor3", Of(type::kLarchUsb, feature::kLarchSensor3), {116, 64}},
        ChoiceCase{"LarchSensor1", Of(type::kLarchUsb, feature::kLarchSensor1), {115, 64}},
        ChoiceCase{"Larch0500", With(Of(type::kLarchUsb0500), [](ReaderState& s) { s.inputReportLength = 9; }), {7, 64}},
        ChoiceCase{"KxHidResistive", With(Of(type::kResistive5WireUsb), [](ReaderState& s) { s.kxHid = true; }), {7, 8}},
        ChoiceCase{"KxHidOther", With(Of(type::kMaple), [](ReaderState& s) { s.kxHid = true; }), {7, 64}},
        // Through the KX7 driver only the length changes, never the report.
        ChoiceCase{"KxHidLarch", With(Of(type::kLarchUsb, feature::kLarchSensor2), [](ReaderState& s) { s.kxHid = true; }),
                   {118, 64}},
        ChoiceCase{"KxHidPassThrough",
                   With(Of(type::kResistive4WireUsb), [](ReaderState& s) { s.kxHid = s.passThrough = true; }), {9, 64}},
        ChoiceCase{"Birch2Idle", Of(type::kBirch2Hid), {3, 17}},
        ChoiceCase{"Birch2Stream", With(Of(type::kBirch2Hid), [](ReaderState& s) { s.birch2Stream = true; }), {5, 35}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConvertCase {
  const char* name;
  ReaderState state;
  Bytes report;
  DeliveryKind kind;
  Bytes expected;
};

void PrintTo(const ConvertCase& c, std::ostream* out) { *out << c.name; }

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, ReportBecomesStreamOrPacket) {
  const ConvertCase& c = GetParam();
  const ReaderOutput out = ConvertReport(c.state, c.report);
  EXPECT_EQ(out.bytes, c.expected);
  if (!c.expected.empty()) {
    EXPECT_EQ(out.kind, c.kind);
  }
}

const Bytes kTouch64 = Report(64, {{0, 16}, {1, 0x07}, {2, 1}, {3, 0x34}, {4, 0x02}, {61, 1}});
const Bytes kLiftless64 = Report(64, {{0, 16}});

INSTANTIATE_TEST_SUITE_P(
    Conversions, ConvertTest,
    ::testing::Values(
        // Up to 56 pass-through bytes from byte 8, however many byte 7 claims.
        ConvertCase{"PassThroughBytes", Of(type::kRowanGen4), Report(64, {{0, 9}, {7, 2}, {8, 'O'}, {9, 'K'}}),
                    DeliveryKind::kBytes, Bytes{'O', 'K'}},
        ConvertCase{"PassThroughCountClamped", Of(type::kRowanGen4), Report(12, {{0, 9}, {7, 200}, {8, 1}}),
                    DeliveryKind::kBytes, Bytes{1, 0, 0, 0}},
        // Resistive: 12-bit (report 7) and 13-bit (report 8) to the 14-bit packet, 0xC0 touching,
        // 0x80 lifting; a record without a contact adds nothing.
        ConvertCase{"Resistive12Bit", Of(type::kResistive4WireUsb),
                    Report(16, {{0, 7}, {1, 3}, {2, 0xFF}, {3, 0x0F}, {6, 2}, {7, 0x00}, {8, 0x01}}),
                    DeliveryKind::kBytes, Bytes{0xC0, 0x7C, 0x7F, 0, 0, 0x80, 0, 0x08, 0, 0}},
        ConvertCase{"Resistive13Bit", Of(type::kResistive5WireUsb), Report(16, {{0, 8}, {1, 3}, {2, 0xFF}, {3, 0x1F}}),
                    DeliveryKind::kBytes, Bytes{0xC0, 0x7E, 0x7F, 0, 0}},
        ConvertCase{"ResistiveNothing", Of(type::kResistive5WireUsb), Report(16, {{0, 7}, {1, 1}}), DeliveryKind::kBytes,
                    Bytes{}},
        ConvertCase{"ResistiveRawText", Of(type::kResistive4WireUsb),
                    Report(64, {{0, 9}, {1, 0x34}, {2, 0x12}, {3, 0x01}, {5, 0xFF}, {6, 0xFF}, {7, 0xA}, {8, 0xB}}),
                    DeliveryKind::kBytes,
                    [] {
                      const std::string text = "X= 1234 Y= 0001 Z= FFFF N= 0A 0B\r";
                      return Bytes(text.begin(), text.end());
                    }()},
        ConvertCase{"RowanSingleTouch", Of(type::kRowanUsbGen2), Report(8, {{0, 7}, {1, 3}, {2, 0x81}, {3, 0x00}, {4, 0x00}, {5, 0x01}}),
                    DeliveryKind::kBytes, Bytes{0xC0, 0x01, 0x01, 0x00, 0x02}},
        ConvertCase{"RowanLift", Of(type::kRowanUsbGen2), Report(8, {{0, 1}, {1, 2}}), DeliveryKind::kBytes,
                    Bytes{0x80, 0, 0, 0, 0}},
        ConvertCase{"RowanNoContact", Of(type::kRowanUsbGen2), Report(8, {{0, 7}, {1, 1}}), DeliveryKind::kBytes, Bytes{}},
        ConvertCase{"MultiContactPassedWhole", Of(type::kRowanGen4), kTouch64, DeliveryKind::kBytes, kTouch64},
        ConvertCase{"MultiContactEmpty", Of(type::kRowanGen4), kLiftless64, DeliveryKind::kBytes, Bytes{}},
        ConvertCase{"MultiContactShort", Of(type::kRowanGen4), Bytes(kTouch64.begin(), kTouch64.begin() + 40),
                    DeliveryKind::kBytes, Bytes{}},
        ConvertCase{"MaplePacket", Of(type::kMaple), Report(8, {{0, 7}, {1, 5}}), DeliveryKind::kPacket,
                    Report(8, {{0, 7}, {1, 5}})},
        ConvertCase{"Birch2StreamPacket", Of(type::kBirch2Hid), Report(35, {{0, 5}, {3, 9}}), DeliveryKind::kPacket,
                    Report(35, {{0, 5}, {3, 9}})},
        ConvertCase{"HexDumpRaw", With(Of(type::kRowanGen4), [](ReaderState& s) { s.hexDump = true; }), kLiftless64,
                    DeliveryKind::kBytes, kLiftless64}),
    [](const auto& info) { return std::string(info.param.name); });

// The valid test of each contact layout: the Larch sensors mark a contact by a non-zero status
// (4 x 15) or by status bit 2 (the others); the count byte alone also shows one.
TEST(ShowsContact, EachLayoutsValidRule) {
  EXPECT_TRUE(ShowsContact(feature::kLarchSensor2, Report(64, {{16, 1}})));   // second 15-byte slot
  EXPECT_FALSE(ShowsContact(feature::kLarchSensor1, Report(64, {{11, 0x03}})));  // no valid bit
  EXPECT_TRUE(ShowsContact(feature::kLarchSensor1, Report(64, {{11, 0x04}})));
  EXPECT_TRUE(ShowsContact(feature::kLarchSensor3, Report(64, {{57, 2}})));   // the 7 x 8 layout's count
  EXPECT_FALSE(ShowsContact(feature::kLarchSensor3, Report(64, {{61, 2}})));
  EXPECT_FALSE(ShowsContact(0, Report(3, {{0, 16}})));                      // short: nothing past the end
}

}  // namespace
}  // namespace kx7::hid
