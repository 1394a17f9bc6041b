// The decision list that turns the identity replies into a controller type, its features and its
// type text, and the way the frame keeps those replies.
#include "proto/identity_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "controller/controller_types.h"
#include "proto/proto_constants.h"

namespace kx7 {
namespace {

// A reply as the controller sends it: SOH, the text, CR. An empty text is no reply at all.
ReplyBytes Reply(const std::string& text) {
  if (text.empty()) return {};
  ReplyBytes bytes{kSoh};
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.push_back(kCr);
  return bytes;
}

ReplyBytes Raw(const std::string& bytes) { return ReplyBytes(bytes.begin(), bytes.end()); }

// The texts of the replies to OI, UV, UT, OS, NM and "-OI", in that order; leave out the tail that
// did not answer.
struct Answers {
  Answers(std::string oiText = "", std::string uvText = "", std::string utText = "", std::string osText = "",
          std::string nmText = "", std::string minusOiText = "")
      : oi(std::move(oiText)),
        uv(std::move(uvText)),
        ut(std::move(utText)),
        os(std::move(osText)),
        nm(std::move(nmText)),
        minusOi(std::move(minusOiText)) {}
  std::string oi, uv, ut, os, nm, minusOi;
};

IdentityReplies Received(const Answers& a) {
  IdentityReplies r;
  r.oi = Reply(a.oi);
  r.uv = Reply(a.uv);
  r.ut = Reply(a.ut);
  r.os = Reply(a.os);
  r.nm = Reply(a.nm);
  r.minusOi = Reply(a.minusOi);
  return r;
}

// What the identifier does: keep the replies, then decide on what it kept.
IdentityDecision Decide(const IdentityReplies& received) { return DecideIdentity(StoredIdentityReplies(received)); }

struct DecisionCase {
  const char* name;
  Answers answers;
  std::uint32_t type;
  std::uint32_t features;
  const char* typeText;
};

class DecisionTest : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(DecisionTest, TypeFeaturesAndText) {
  const DecisionCase& c = GetParam();
  const IdentityDecision d = Decide(Received(c.answers));
  EXPECT_EQ(d.type, c.type);
  EXPECT_EQ(d.features, c.features) << std::hex << d.features;
  EXPECT_EQ(d.typeText, c.typeText);
}

// UV and UT are SOH, eight characters, CR: two letters, four model letters, the status pair.
INSTANTIATE_TEST_SUITE_P(
    Families, DecisionTest,
    ::testing::Values(
        DecisionCase{"NothingAnswers", {}, type::kGeneric, 0, ""},
        DecisionCase{"UnknownLetters", {"ZZ1234", "ZZ000000", "ZZ000000", "00", "ZZ", "ZZ1234"}, type::kGeneric, 0, ""},
        // Linden boards: OEM by the OI digits or by an "O" among UV characters 3 to 6. They pass
        // the Birch test first; the Linden rule replaces what it said.
        DecisionCase{"LindenOem30630", {"A30630", "QM000000"}, type::kHawthorn, 0, "OEM Linden "},
        DecisionCase{"LindenOem30660", {"A30660", "QM000000"}, type::kHawthorn, 0, "OEM Linden "},
        DecisionCase{"LindenOem30670", {"A30670", "QM000000"}, type::kHawthorn, 0, "OEM Linden "},
        DecisionCase{"LindenOwn30640", {"A30640", "QM000000"}, type::kHazel3, 0, "Hazel3 Linden "},
        DecisionCase{"LindenOwnLastDigitDiffers", {"A30631", "QM000000"}, type::kHazel3, 0, "Hazel3 Linden "},
        DecisionCase{"LindenOemByOFirst", {"A30640", "QMO00000"}, type::kHawthorn, 0, "OEM Linden "},
        DecisionCase{"LindenOemByOLast", {"A30640", "QM000O00"}, type::kHawthorn, 0, "OEM Linden "},
        DecisionCase{"LindenOInStatusPairDoesNotCount", {"A30640", "QM0000O0"}, type::kHazel3, 0, "Hazel3 Linden "},
        DecisionCase{"LindenQuinceApac", {"A30640", "QMPA0000"}, type::kHazel3, 0x3, "Hazel3 Linden Quince APAC "},
        DecisionCase{"LindenOemQuinceApac", {"A30630", "QMPA0000"}, type::kHawthorn, 0x3, "OEM Linden Quince APAC "},
        DecisionCase{
            "LindenLettersInAnyOrder", {"A12345", "QM0RAP00"}, type::kHazel3, 0xB, "Hazel3 Linden Quince APAC RES "},
        DecisionCase{"LindenRepeatedLetterOnce", {"A12345", "QMPP0000"}, type::kHazel3, 0x1, "Hazel3 Linden Quince "},
        DecisionCase{
            "LindenLetterInStatusPairDoesNotCount", {"A12345", "QM0000PA"}, type::kHazel3, 0, "Hazel3 Linden "},
        DecisionCase{"LindenOnBirchHapticLosesBirchFeatures",
                     {"A30630", "QM000000", "", "", "", "HA1234"},
                     type::kHawthorn,
                     0,
                     "OEM Linden "},
        // Poplar boards: OI digits of their own, the "O" still in UV, the letters in UT.
        DecisionCase{"PoplarOem10630", {"Q10630", "", "QM000000"}, type::kHawthorn, 0, "OEM Poplar "},
        DecisionCase{"PoplarOem10670", {"Q10670", "", "QM000000"}, type::kHawthorn, 0, "OEM Poplar "},
        DecisionCase{"PoplarOwn", {"Q10640", "", "QM000000"}, type::kHazel3, 0, "Hazel3 Poplar "},
        DecisionCase{"PoplarLindenDigitsAreNotOem", {"Q30630", "", "QM000000"}, type::kHazel3, 0, "Hazel3 Poplar "},
        DecisionCase{"PoplarOemByOInUv", {"Q10640", "12O45600", "QM000000"}, type::kHawthorn, 0, "OEM Poplar "},
        DecisionCase{"PoplarOInUtDoesNotCount", {"Q10640", "", "QMO00000"}, type::kHazel3, 0, "Hazel3 Poplar "},
        DecisionCase{
            "PoplarLettersFromUt", {"Q10630", "", "QMPAR000"}, type::kHawthorn, 0xB, "OEM Poplar Quince APAC RES "},
        DecisionCase{
            "PoplarLettersInUvIgnored", {"Q10640", "12PAR600", "QM000000"}, type::kHazel3, 0, "Hazel3 Poplar "},
        DecisionCase{"PoplarNeedsQmInUt", {"Q10630", "QM000000", "12000000"}, type::kGeneric, 0, ""},
        // Birch, haptic Birch, Birch PEN and the Aspen4 of the other branch.
        DecisionCase{"BirchA0", {"A01234"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"BirchA3", {"A31234"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"NotBirchA2", {"A21234"}, type::kGeneric, 0, ""},
        DecisionCase{"BirchByNm", {"X01234", "", "", "", "BZ123"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"BirchByNmWithoutOi", {"", "", "", "", "BZ"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"NotBirchByNmOneLetter", {"", "", "", "", "B"}, type::kGeneric, 0, ""},
        DecisionCase{"BirchHaptic", {"A01234", "", "", "", "", "HA1234"}, type::kBirch, 0x510, "Birch2 HAP "},
        DecisionCase{"BirchHapticNeedsEightBytes", {"A01234", "", "", "", "", "HA12"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"BirchPen", {"P51234", "", "", "", "BZ5"}, type::kBirchPen, 0x14, "Birch2 Alder (Aspen5)"},
        DecisionCase{"BirchPenNotHaptic",
                     {"P51234", "", "", "", "BZ5", "HA1234"},
                     type::kBirchPen,
                     0x14,
                     "Birch2 Alder (Aspen5)"},
        DecisionCase{"Aspen4", {"P41234"}, type::kAspen4, 0x4, "Aspen4 "},
        DecisionCase{"Aspen4WithOtherName", {"P41234", "", "", "", "XY"}, type::kAspen4, 0x4, "Aspen4 "},
        // Hazel2D answers OI and OS only; it passes the Birch test too.
        DecisionCase{"Hazel2d", {"A30512", "", "", "12"}, type::kHazel2d, 0, ""},
        DecisionCase{"Hazel2dNeedsNoUv", {"A30512", "AB000000", "", "12"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"Hazel2dNeedsNoUt", {"A30512", "", "AB000000", "12"}, type::kBirch, 0x10, "Birch2 "},
        DecisionCase{"Hazel2dNeedsFourByteOs", {"A30512", "", "", "123"}, type::kBirch, 0x10, "Birch2 "},
        // Larch.
        DecisionCase{"LarchAd", {"AD1234"}, type::kLarch, 0, "MULTITOUCH"},
        DecisionCase{"LarchDf", {"DF1234"}, type::kLarch, 0x800, "MULTITOUCH"},
        // Cedar.
        DecisionCase{"CedarGen2", {"OS1234", "12345600"}, type::kRowanGen2, 0, "Cedar GEN2"},
        DecisionCase{"CedarGen3", {"OS1234", "12345600", "B1234500"}, type::kRowanGen3, 0, "Cedar GEN3"},
        DecisionCase{"CedarGen4", {"WZ1234", "12345600"}, type::kCedarGen4, 0, "Cedar GEN4"},
        // Juniper and the serial resistive boards.
        DecisionCase{"Juniper", {"KX1234", "", "KXR12300"}, type::kJuniper, 0x8, "RES "},
        DecisionCase{"JuniperNeedsKxr", {"KX1234", "", "KXQ12300"}, type::kGeneric, 0, ""},
        DecisionCase{"Resistive4Wire", {"YZ1234", "", "YZR40000"}, type::kResistive4Wire, 0x28, "RES "},
        DecisionCase{"Resistive5Wire", {"YZ1234", "", "YZR50000"}, type::kResistive5Wire, 0x8, "RES "},
        DecisionCase{"ResistiveUnknownWireCount", {"YZ1234", "", "YZR60000"}, type::kGeneric, 0, ""},
        DecisionCase{
            "ResistiveUnknownWireCountKeepsBirch", {"YZ1234", "", "YZR60000", "", "BZ"}, type::kBirch, 0x10, "Birch2 "},
        // The Birch loader.
        DecisionCase{"BirchRom", {"X12345", "", "MF123400"}, type::kBirchRom, 0x10, "Birch2 ROM "},
        DecisionCase{"BirchRomRevC", {"X12349", "", "MF123400"}, type::kBirchRom, 0x50, "Birch2 ROM REVC "},
        DecisionCase{
            "BirchRomRevCOnlyInLastOiCharacter", {"X92345", "", "MF123400"}, type::kBirchRom, 0x10, "Birch2 ROM "},
        // A later rule replaces the loader's decision, and with it its flag words.
        DecisionCase{"BirchRomThenAspen4", {"P12349", "", "MF123400"}, type::kAspen4, 0x4, "Aspen4 "}),
    [](const ::testing::TestParamInfo<DecisionCase>& info) { return std::string(info.param.name); });

TEST(IdentityDecision, ReplyOfWrongLengthCountsAsNone) {
  // An OI reply of seven characters is no OI reply: nothing in it reaches the decision.
  IdentityReplies r = Received({"A012345"});
  EXPECT_EQ(Decide(r).type, type::kGeneric);
  // A UV reply of seven characters is zeroed, so the Hazel2D test sees no UV.
  r = Received({"A30512", "AB00000", "", "12"});
  EXPECT_EQ(Decide(r).type, type::kHazel2d);
  // A UT reply of nine characters is no Birch loader.
  r = Received({"X12349", "", "MF1234000"});
  EXPECT_EQ(Decide(r).type, type::kGeneric);
}

TEST(IdentityDecision, ShortRepliesReadAsZeroBeyondTheirEnd) {
  IdentityReplies r;
  r.nm =
      Raw("\x01"
          "B");  // cut after one character
  r.os = Raw("\x01");
  r.minusOi = Raw("H");
  EXPECT_EQ(Decide(r).type, type::kGeneric);
  // A stored reply that skipped the keeping step still cannot be read past its end.
  IdentityReplies unkept;
  unkept.oi =
      Raw("\x01"
          "A");
  unkept.uv =
      Raw("\x01"
          "Q");
  unkept.ut =
      Raw("\x01"
          "M");
  unkept.nm = Raw("\x01");
  const IdentityDecision d = DecideIdentity(unkept);
  EXPECT_EQ(d.type, type::kGeneric);
  EXPECT_EQ(d.statusPair, "00");
}

TEST(IdentityDecision, PenModeAutoOnlyForPenControllers) {
  EXPECT_TRUE(Decide(Received({"P41234"})).penModeAuto);
  EXPECT_TRUE(Decide(Received({"P51234", "", "", "", "BZ5"})).penModeAuto);
  EXPECT_FALSE(Decide(Received({"A01234"})).penModeAuto);
  EXPECT_FALSE(Decide(Received({})).penModeAuto);
}

struct CedarCase {
  const char* name;
  Answers answers;
  CedarGeneration generation;
  const char* optionParameter;
};

class CedarTest : public ::testing::TestWithParam<CedarCase> {};

TEST_P(CedarTest, GenerationAndOptionParameter) {
  const CedarCase& c = GetParam();
  const IdentityDecision d = Decide(Received(c.answers));
  EXPECT_EQ(d.cedar, c.generation);
  EXPECT_EQ(d.optionParameter, c.optionParameter);
}

INSTANTIATE_TEST_SUITE_P(
    Generations, CedarTest,
    ::testing::Values(CedarCase{"Gen2", {"OS1234"}, CedarGeneration::kGen2, ""},
                      CedarCase{"Gen2WithOtherUt", {"OS1234", "", "C1234500"}, CedarGeneration::kGen2, ""},
                      CedarCase{"Gen3", {"OS1234", "", "B1234500"}, CedarGeneration::kGen3, "Q354"},
                      CedarCase{"Gen4", {"WZ1234"}, CedarGeneration::kGen4, "Q303"},
                      CedarCase{"NotCedar", {"A01234"}, CedarGeneration::kNone, ""},
                      CedarCase{"NotCedarOsLater", {"XOS123"}, CedarGeneration::kNone, ""}),
    [](const ::testing::TestParamInfo<CedarCase>& info) { return std::string(info.param.name); });

struct RomFlagsCase {
  const char* name;
  std::string os;  // the whole OS reply, SOH and CR included
  const char* errorWords;
};

class BirchRomFlagsTest : public ::testing::TestWithParam<RomFlagsCase> {};

TEST_P(BirchRomFlagsTest, OsFlagsGiveErrorWords) {
  IdentityReplies r = Received({"X12345", "", "MF123400"});
  r.os = Raw(GetParam().os);
  const IdentityDecision d = Decide(r);
  ASSERT_EQ(d.type, type::kBirchRom);
  EXPECT_EQ(d.errorWords, GetParam().errorWords);
}

// OS[1] bits 0, 1, 3 are DATA, PROG, FORMAT; OS[2] bit 1 is EEPROM.
INSTANTIATE_TEST_SUITE_P(OsReplies, BirchRomFlagsTest,
                         ::testing::Values(RomFlagsCase{"AllClear",
                                                        "\x01"
                                                        "00\r",
                                                        ""},
                                           RomFlagsCase{"Data",
                                                        "\x01"
                                                        "10\r",
                                                        "DATA "},
                                           RomFlagsCase{"Prog",
                                                        "\x01"
                                                        "20\r",
                                                        "PROG "},
                                           RomFlagsCase{"Format",
                                                        "\x01"
                                                        "80\r",
                                                        "FORMAT "},
                                           RomFlagsCase{"Eeprom",
                                                        "\x01"
                                                        "02\r",
                                                        "EEPROM "},
                                           RomFlagsCase{"OtherBitsIgnored",
                                                        "\x01"
                                                        "\x04"
                                                        "\x05"
                                                        "\r",
                                                        ""},
                                           RomFlagsCase{"All",
                                                        "\x01"
                                                        "+2\r",
                                                        "EEPROM DATA PROG FORMAT "},
                                           RomFlagsCase{"ThreeBytesNoFlags",
                                                        "\x01"
                                                        "+\r",
                                                        ""},
                                           RomFlagsCase{"FiveBytesNoFlags",
                                                        "\x01"
                                                        "+22\r",
                                                        ""},
                                           RomFlagsCase{"NoReply", "", ""}),
                         [](const ::testing::TestParamInfo<RomFlagsCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(IdentityDecision, OtherRulesPutNoErrorWords) {
  // A Birch answering like the loader in UT is a Birch in the end: the loader's words go with it.
  IdentityReplies r = Received({"A01239", "", "MF123400", "+2"});
  const IdentityDecision d = Decide(r);
  EXPECT_EQ(d.type, type::kBirch);
  EXPECT_EQ(d.errorWords, "");
  EXPECT_EQ(Decide(Received({"OS1234", "", "B1234500", "+2"})).errorWords, "");
}

struct StatusPairCase {
  const char* name;
  Answers answers;
  const char* pair;
};

class StatusPairTest : public ::testing::TestWithParam<StatusPairCase> {};

TEST_P(StatusPairTest, TakenFromUvThenUt) {
  EXPECT_EQ(Decide(Received(GetParam().answers)).statusPair, GetParam().pair);
}

INSTANTIATE_TEST_SUITE_P(Replies, StatusPairTest,
                         ::testing::Values(StatusPairCase{"Neither", {"OS1234"}, "00"},
                                           StatusPairCase{"UvOnly", {"OS1234", "1234563F"}, "3F"},
                                           StatusPairCase{"UtReplacesUv", {"OS1234", "1234563F", "B123450A"}, "0A"},
                                           StatusPairCase{"UtOnly", {"OS1234", "", "B1234508"}, "08"},
                                           StatusPairCase{"ShortUvIgnored", {"OS1234", "123453F"}, "00"},
                                           StatusPairCase{"LongUtIgnored", {"OS1234", "1234563F", "B123450A0"}, "3F"}),
                         [](const ::testing::TestParamInfo<StatusPairCase>& info) {
                           return std::string(info.param.name);
                         });

struct StatusValueCase {
  std::string pair;
  std::uint32_t value;
};

TEST(StatusPairValue, TwoHexDigitsOrZero) {
  const StatusValueCase cases[] = {
      {"0A", 10},
      {"00", 0},
      {"08", 8},
      {"FF", 255},
      {"ff", 255},
      {"7e", 0x7E},
      {"0G", 0},
      {"G0", 0},
      {"8 ", 0},
      {" 8", 0},
      {"-1", 0},
      {"+F", 0},
      {"A", 0},
      {"0A0", 0},
      {"", 0},
      {"x1", 0},
      {std::string(2, '\0'), 0},
  };
  for (const StatusValueCase& c : cases) EXPECT_EQ(StatusPairValue(c.pair), c.value) << '"' << c.pair << '"';
}

struct KeepCase {
  const char* name;
  ReplyBytes IdentityReplies::*field;
  std::size_t length;
  bool kept;
};

class StoredRepliesTest : public ::testing::TestWithParam<KeepCase> {};

TEST_P(StoredRepliesTest, WrongLengthsBecomeTwentyZeros) {
  const KeepCase& c = GetParam();
  IdentityReplies received;
  ReplyBytes reply(c.length, 'x');
  if (!reply.empty()) {
    reply.front() = kSoh;
    reply.back() = kCr;
  }
  received.*c.field = reply;
  const IdentityReplies stored = StoredIdentityReplies(received);
  if (c.kept)
    EXPECT_EQ(stored.*c.field, reply);
  else
    EXPECT_EQ(stored.*c.field, ReplyBytes(20, 0));
  // Keeping what was kept changes nothing.
  EXPECT_EQ(StoredIdentityReplies(stored).*c.field, stored.*c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, StoredRepliesTest,
    ::testing::Values(KeepCase{"Oi8", &IdentityReplies::oi, 8, true}, KeepCase{"Oi7", &IdentityReplies::oi, 7, false},
                      KeepCase{"Oi9", &IdentityReplies::oi, 9, false}, KeepCase{"Oi0", &IdentityReplies::oi, 0, false},
                      KeepCase{"Oi20", &IdentityReplies::oi, 20, false},
                      KeepCase{"Uv10", &IdentityReplies::uv, 10, true}, KeepCase{"Uv9", &IdentityReplies::uv, 9, false},
                      KeepCase{"Uv11", &IdentityReplies::uv, 11, false},
                      KeepCase{"Uv0", &IdentityReplies::uv, 0, false}, KeepCase{"Ut10", &IdentityReplies::ut, 10, true},
                      KeepCase{"Ut8", &IdentityReplies::ut, 8, false}, KeepCase{"Ut0", &IdentityReplies::ut, 0, false},
                      KeepCase{"Gf2", &IdentityReplies::gf, 2, false}, KeepCase{"Gf0", &IdentityReplies::gf, 0, false},
                      KeepCase{"Gf3", &IdentityReplies::gf, 3, true}, KeepCase{"Gf51", &IdentityReplies::gf, 51, true},
                      KeepCase{"Os0", &IdentityReplies::os, 0, true}, KeepCase{"Os2", &IdentityReplies::os, 2, true},
                      KeepCase{"Os4", &IdentityReplies::os, 4, true}, KeepCase{"Nm0", &IdentityReplies::nm, 0, true},
                      KeepCase{"Nm3", &IdentityReplies::nm, 3, true},
                      KeepCase{"Nm100", &IdentityReplies::nm, 100, true},
                      KeepCase{"MinusOi0", &IdentityReplies::minusOi, 0, true},
                      KeepCase{"MinusOi5", &IdentityReplies::minusOi, 5, true}),
    [](const ::testing::TestParamInfo<KeepCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx7
