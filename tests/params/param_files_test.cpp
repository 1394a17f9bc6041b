// The parameter files as the program writes and reads them: byte-exact layouts, the Default
// Params CRC and length checks, and the strict readers that take a file whole or not at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/block6_file.h"
#include "params/block8_file.h"
#include "params/block_q_file.h"
#include "params/cal_data_file.h"
#include "params/default_param_file.h"
#include "params/eep_file.h"
#include "params/hex_block_file.h"
#include "params/params_constants.h"

namespace kx7 {
namespace {

std::vector<std::uint8_t> Words(const std::vector<std::uint16_t>& words) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint16_t w : words) {
    bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  return bytes;
}

// A Default Params file: length, header word, name, four header words, parameters, CRC.
std::vector<std::uint8_t> DatFile(const std::string& name, std::size_t parameterWords, bool goodCrc = true) {
  std::vector<std::uint8_t> bytes = Words({0, 0x1234, static_cast<std::uint16_t>(name.size())});
  bytes.insert(bytes.end(), name.begin(), name.end());
  const std::vector<std::uint8_t> fixed = Words({0x0A0B, 0x0C0D, 0x0E0F, 0x1011});
  bytes.insert(bytes.end(), fixed.begin(), fixed.end());
  for (std::size_t i = 0; i < parameterWords; ++i) {
    const std::vector<std::uint8_t> w = Words({static_cast<std::uint16_t>(0x100 + i)});
    bytes.insert(bytes.end(), w.begin(), w.end());
  }
  bytes.insert(bytes.end(), {0, 0});
  bytes[0] = static_cast<std::uint8_t>(bytes.size() & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(bytes.size() >> 8);
  const std::uint16_t crc = ParamFileCrc(bytes.data(), bytes.size());
  bytes[bytes.size() - 2] = static_cast<std::uint8_t>((goodCrc ? crc : crc ^ 0x5555) & 0xFF);
  bytes[bytes.size() - 1] = static_cast<std::uint8_t>((goodCrc ? crc : crc ^ 0x5555) >> 8);
  return bytes;
}

DefaultParamFile Read(const std::vector<std::uint8_t>& bytes) { return ReadDefaultParamFile(bytes.data(), bytes.size()); }

TEST(DefaultParamFileTest, CrcAndXorVectors) {
  // The CRC covers the words before the last one (the CRC's place); a length below 3 gives 0.
  const std::vector<std::uint8_t> one = Words({0x0001, 0xFFFF});
  EXPECT_EQ(ParamFileCrc(one.data(), one.size()), 0x1B98);
  const std::vector<std::uint8_t> two = Words({0x0012, 0x0034, 0xFFFF});
  EXPECT_EQ(ParamFileCrc(two.data(), two.size()), 0xA8D4);
  EXPECT_EQ(ParamFileCrc(two.data(), 2), 0);
  // The XOR leaves out the first two words and takes the stored CRC in.
  const std::vector<std::uint8_t> words = Words({0x1111, 0x2222, 0x0F00, 0x00F0, 0x1001});
  EXPECT_EQ(ParamFileXor(words.data(), words.size()), 0x0F00 ^ 0x00F0 ^ 0x1001);
}

TEST(DefaultParamFileTest, LengthFieldsThatDoNotLieWithinTheFileAreNeverSendable) {
  const std::vector<std::uint8_t> good = DatFile("KX7-PANEL1", 4);
  const auto withLength = [&](std::uint16_t length, std::size_t keep) {
    std::vector<std::uint8_t> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep));
    bytes[0] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(length >> 8);
    return bytes;
  };
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool sendable;
    std::vector<std::string> warnings;
  } cases[] = {
      {"a whole file", good, true, {}},
      {"longer than the file", withLength(static_cast<std::uint16_t>(good.size() + 2), good.size()), false,
       {text::kFileLengthError}},
      {"odd", withLength(static_cast<std::uint16_t>(good.size() - 1), good.size()), false, {text::kFileLengthError}},
      {"below 16", withLength(14, good.size()), false, {text::kFileLengthError}},
      {"smaller than its name", withLength(20, good.size()), false, {text::kFileLengthError}},
      {"one byte", std::vector<std::uint8_t>{0x10}, false, {text::kFileLengthError}},
      {"empty", {}, false, {text::kFileLengthError}},
  };
  for (const auto& c : cases) {
    const DefaultParamFile file = Read(c.bytes);
    EXPECT_EQ(file.sendable, c.sendable) << c.what;
    EXPECT_EQ(file.warnings, c.warnings) << c.what;
    EXPECT_EQ(file.Valid(), c.sendable && c.warnings.empty()) << c.what;
    if (!c.sendable) {
      EXPECT_TRUE(file.SentBytes().empty()) << c.what;
    }
  }
}

TEST(DefaultParamFileTest, WarningsLeaveTheFileSendableAndTheStoredBytesAlone) {
  const std::vector<std::uint8_t> bad = DatFile("KX7-PANEL1", 4, false);
  const DefaultParamFile file = Read(bad);
  ASSERT_TRUE(file.sendable);
  ASSERT_EQ(file.warnings.size(), 1u);
  char expected[64];
  std::snprintf(expected, sizeof expected, "CRC Error.  calc=%04X file=%04X", file.crc, file.storedCrc);
  EXPECT_EQ(file.warnings[0], expected);
  EXPECT_EQ(file.SentBytes(), bad) << "sent as stored, the wrong CRC included";

  // Bytes after the length field's end: a warning, and only L bytes are checked and sent.
  std::vector<std::uint8_t> trailing = DatFile("KX7-PANEL1", 4);
  const std::size_t length = trailing.size();
  trailing.insert(trailing.end(), {0xDE, 0xAD});
  const DefaultParamFile longer = Read(trailing);
  EXPECT_TRUE(longer.sendable);
  EXPECT_EQ(longer.warnings, std::vector<std::string>{text::kFileLengthError});
  EXPECT_EQ(longer.SentBytes().size(), length);
  EXPECT_EQ(longer.crc, longer.storedCrc);
  EXPECT_EQ(longer.parameterWords, 4u);
}

TEST(DefaultParamFileTest, ThePanelTypeIsShownByItsFirst128Characters) {
  const std::string name(150, 'P');
  const DefaultParamFile file = Read(DatFile(name, 1));
  ASSERT_TRUE(file.panelType);
  EXPECT_EQ(*file.panelType, std::string(128, 'P'));
  EXPECT_TRUE(file.Valid());
}

TEST(HexBlockFileTest, WritesTwoDigitsAndABlankAByte) {
  EXPECT_EQ(WriteHexBlockFile({0x00, 0xAB, 0x7F}), "00 AB 7F ");
  EXPECT_EQ(WriteHexBlockFile({}), "");
}

TEST(HexBlockFileTest, Block1AndLarchFilesTakeTheirLengthFromTheFile) {
  const struct {
    const char* text;
    std::size_t bytes;
    const char* error;
  } cases[] = {
      {"01 02 03 ", 3, ""},
      {"01 02 03", 3, ""},
      {"01 02 03 \r\n\t", 3, ""},
      {"0a Bc", 2, ""},
      {"01\t02\n03", 3, ""},
      {"", 0, "Short"},
      {" \r\n", 0, "Short"},
      {"01 0", 1, "Short"},
      {"01 02 0", 2, "Short"},
      {"01 0G 03", 1, "Digit"},
      {"01-02 03", 0, "Separator"},
      {"01 023", 1, "Separator"},
  };
  for (const auto& c : cases) {
    for (const HexBlockKind kind : {HexBlockKind::kBlock1, HexBlockKind::kLarchBlock7}) {
      const HexBlockFileCheck file = ReadHexBlockFile(c.text, kind);
      EXPECT_EQ(file.error, c.error) << c.text;
      EXPECT_EQ(file.bytes.size(), c.bytes) << c.text;
    }
  }
}

TEST(HexBlockFileTest, Block2AndBlock4FilesHoldTheirFixedCount) {
  std::string spaced50;
  for (int i = 0; i < 50; ++i) spaced50 += WriteHexBlockFile({static_cast<std::uint8_t>(i)});
  std::string packed50;
  for (int i = 0; i < 50; ++i) packed50 += spaced50.substr(3 * static_cast<std::size_t>(i), 2);
  std::string spaced60 = spaced50 + WriteHexBlockFile(std::vector<std::uint8_t>(10, 0xEE));
  const struct {
    const char* what;
    std::string text;
    HexBlockKind kind;
    bool packed;
    const char* error;
  } cases[] = {
      {"50 spaced", spaced50, HexBlockKind::kBlock2, false, ""},
      {"the last separator and what follows are not looked at", spaced50.substr(0, 149) + "xyz", HexBlockKind::kBlock2,
       false, ""},
      {"100 digits without blanks", packed50, HexBlockKind::kBlock2, true, ""},
      {"99 digits", packed50.substr(0, 99), HexBlockKind::kBlock2, true, "Short"},
      {"49 groups", spaced50.substr(0, 147), HexBlockKind::kBlock2, false, "Short"},
      {"60 spaced", spaced60, HexBlockKind::kBlock4, false, ""},
      {"50 groups for Block4", spaced50, HexBlockKind::kBlock4, false, "Short"},
      {"a comma between", "00,01 " + spaced60.substr(6), HexBlockKind::kBlock4, false, "Separator"},
  };
  for (const auto& c : cases) {
    const HexBlockFileCheck file = ReadHexBlockFile(c.text, c.kind);
    EXPECT_EQ(file.error, c.error) << c.what;
    EXPECT_EQ(file.packed, c.packed) << c.what;
    if (file.Valid()) {
      ASSERT_EQ(file.bytes.size(), c.kind == HexBlockKind::kBlock2 ? 50u : 60u) << c.what;
      EXPECT_EQ(file.bytes[49], 49) << c.what;
    }
  }
}

TEST(HexBlockFileTest, TheRowanCheckWordOfABlock1) {
  std::vector<std::uint8_t> block = Words({0x1234, 0x00FF, 0x1234 ^ 0x00FF});
  EXPECT_TRUE(Block1CheckWordOf(block).Ok());
  block[0] ^= 1;
  const Block1CheckWord word = Block1CheckWordOf(block);
  EXPECT_FALSE(word.Ok());
  EXPECT_EQ(word.computed, 0x1235 ^ 0x00FF);
  // A 30-byte block: 14 words, the check word in bytes 28 and 29.
  std::vector<std::uint8_t> thirty(30, 0);
  thirty[4] = 0x77;
  thirty[28] = 0x77;
  EXPECT_TRUE(Block1CheckWordOf(thirty).Ok());
}

TEST(BlockQFileTest, OnlyTheParametersTheControllerKnows) {
  EXPECT_EQ(WriteBlockQFile({{1, 0x00010004}}), "BlockQ_Rev_A\r\nQ001 00010004\r\n")
      << "every Q3nn answered \"?\"";
  EXPECT_EQ(WriteBlockQFile({{369, 0xABCDEF01}, {300, 0x100}, {1, 7}}),
            "BlockQ_Rev_A\r\nQ300 00000100\r\nQ369 ABCDEF01\r\nQ001 00000007\r\n");
  EXPECT_EQ(WriteBlockQFile({}), "BlockQ_Rev_A\r\n");
}

TEST(BlockQFileTest, ReadingChecksEveryLine) {
  const struct {
    const char* text;
    std::size_t parameters;
    const char* error;
  } cases[] = {
      {"BlockQ_Rev_A\r\nQ300 00000100\r\nQ301 0000abcd\nQ001 00000001\r\n", 3, ""},
      {"BlockQ_Rev_A", 0, ""},
      {"", 0, "Header"},
      {"BlockQ_Rev_B\r\n", 0, "Header"},
      {"BlockQ_Rev_A\r\nQ301 00000000\r\nQ300 00000000\r\n", 1, "Line"},
      {"BlockQ_Rev_A\r\nQ001 00000000\r\nQ300 00000000\r\n", 1, "Line"},
      {"BlockQ_Rev_A\r\nQ370 00000000\r\n", 0, "Line"},
      {"BlockQ_Rev_A\r\nQ300 0000000\r\n", 0, "Line"},
      {"BlockQ_Rev_A\r\nQ300 0000000G\r\n", 0, "Line"},
      {"BlockQ_Rev_A\r\n\r\nQ300 00000000\r\n", 0, "Line"},
  };
  for (const auto& c : cases) {
    const BlockQFileCheck file = ReadBlockQFile(c.text);
    EXPECT_EQ(file.error, c.error) << c.text;
    EXPECT_EQ(file.parameters.size(), c.parameters) << c.text;
  }
}

TEST(Block6FileTest, WritesTheHeaderAndANamedLineAByte) {
  const std::vector<std::uint8_t> block = {143, 2, 12};
  EXPECT_EQ(WriteBlock6File(block, {"CPT0CN reg", ""}, 'A'), "00 03 A\r\nCPT0CN reg 143\r\n 2\r\n. 12\r\n");
  EXPECT_EQ(WriteBlock6File(std::vector<std::uint8_t>(300, 1), {}, 0).substr(0, 9), "01 2C ?\r\n");
}

TEST(Block6FileTest, NamesMayHoldBlanksOrBeEmpty) {
  const Block6FileCheck file =
      ReadBlock6File("00 04 B\r\nsuspend delay 12\r\n 7\r\nCoord for null axis  255\r\n3\r\nignored 1\r\n");
  ASSERT_TRUE(file.Valid()) << file.error;
  EXPECT_EQ(file.status, 'B');
  EXPECT_EQ(file.names, (std::vector<std::string>{"suspend delay", "", "Coord for null axis ", ""}));
  EXPECT_EQ(file.values, (std::vector<std::uint8_t>{12, 7, 255, 3}));
}

TEST(Block6FileTest, DamagedFilesSayWhere) {
  const struct {
    const char* text;
    std::size_t lines;
    const char* error;
  } cases[] = {
      {"", 0, "UnexpectedEOF"},
      {"00 02 A\r\nx 1\r\n", 1, "UnexpectedEOF"},
      {"00 02\r\nx 1\r\ny 2\r\n", 0, "Header"},
      {"0 02 A\r\n", 0, "Header"},
      {"00 02  \r\n", 0, "Header"},
      {"00 02 A\r\nx 256\r\ny 2\r\n", 0, "Value"},
      {"00 02 A\r\nx 1\r\ny 0x2\r\n", 1, "Value"},
      {"00 02 A\r\nx 1\r\ny \r\n", 1, "Value"},
      {"00 02 A\r\nx -1\r\ny 2\r\n", 0, "Value"},
  };
  for (const auto& c : cases) {
    const Block6FileCheck file = ReadBlock6File(c.text);
    EXPECT_EQ(file.error, c.error) << c.text;
    EXPECT_EQ(file.values.size(), c.lines) << c.text;
  }
}

TEST(Block8FileTest, TwoHundredFiftySixDecimalLines) {
  std::vector<std::uint16_t> values(256);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::uint16_t>(i * 257);
  const std::string text = WriteBlock8File(values);
  EXPECT_EQ(text.substr(0, 12), "0\r\n257\r\n514\r");
  const Block8FileCheck back = ReadBlock8File(text + "more\r\n");
  EXPECT_TRUE(back.Valid()) << "lines after the 256th are not read";
  EXPECT_EQ(back.values, values);
  EXPECT_EQ(Block8Values(Block8Bytes(values)), values);
  EXPECT_EQ(Block8Bytes({0x1234}), (std::vector<std::uint8_t>{0x34, 0x12}));

  const struct {
    std::string text;
    std::size_t read;
    const char* error;
  } damaged[] = {
      {std::string("  12\t\r\n") + text.substr(text.find('\n') + 1), 256, ""},
      {text.substr(0, text.rfind("\r\n", text.size() - 3) + 2), 255, "UnexpectedEOF"},
      {"65536\r\n" + text, 0, "Value"},
      {"1 2\r\n" + text, 0, "Value"},
      {"\r\n" + text, 0, "Value"},
  };
  for (const auto& c : damaged) {
    const Block8FileCheck file = ReadBlock8File(c.text);
    EXPECT_EQ(file.error, c.error) << c.text.substr(0, 12);
    EXPECT_EQ(file.values.size(), c.read) << c.text.substr(0, 12);
  }
}

TEST(CalDataFileTest, SevenWordsFromBlock1) {
  std::vector<std::uint8_t> block1(30, 0);
  for (std::size_t i = 0; i < block1.size(); ++i) block1[i] = static_cast<std::uint8_t>(0x10 + i);
  const std::string text = WriteCalDataFile(block1);
  EXPECT_EQ(text, "1110\r\n1312\r\n1514\r\n1716\r\n2625\r\n2827\r\n0024\r\n");
  const CalDataFileCheck back = ReadCalDataFile(text);
  ASSERT_TRUE(back.Valid());
  EXPECT_EQ(back.block1Bytes.at(0), 0x10);
  EXPECT_EQ(back.block1Bytes.at(24), 0x28);
  EXPECT_EQ(back.block1Bytes.at(20), 0x24);
  EXPECT_EQ(back.block1Bytes.size(), 13u);

  const struct {
    std::string text;
    const char* error;
  } damaged[] = {
      {text + "0000\r\n", "Line"},
      {text.substr(0, 30), "UnexpectedEOF"},
      {"111G\r\n" + text.substr(6), "Line"},
      {text.substr(0, 36) + "0100\r\n", "Value"},
  };
  for (const auto& c : damaged) EXPECT_EQ(ReadCalDataFile(c.text).error, c.error) << c.text;
}

TEST(EepFileTest, WritingLeavesOutTheLinearizationAndZeroesSelfParamValid) {
  Block7Table table;
  ASSERT_TRUE(table.SetValue16(eep::kSelfParamValid, 0x0102));
  ASSERT_TRUE(table.SetValue16(eep::kThreshHyst, 0xBEEF));
  const std::string text = WriteEepFile(table);
  EXPECT_EQ(text.substr(0, 33), "%\r\n% kx7sdu generated eep file\r\n%");
  EXPECT_NE(text.find("7\t006A\tBE\t%\tThreshHyst\r\n7\t006B\tEF\t%\t\r\n"), std::string::npos);
  EXPECT_NE(text.find("7\t0362\t0\t%\tSelfParam.Valid\r\n7\t0363\t0\t%\t\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\t0200\t"), std::string::npos);
  EXPECT_EQ(table.Value16(eep::kSelfParamValid), 0x0102u) << "the table keeps its values";

  const EepFileCheck back = ReadEepFile(text);
  ASSERT_TRUE(back.Valid()) << back.error;
  EXPECT_EQ(back.count, 474u - 128u);
  EXPECT_EQ(back.table.Value16(eep::kThreshHyst), 0xBEEFu);
  EXPECT_EQ(back.table.Value16(eep::kSelfParamValid), 0u);
  EXPECT_FALSE(back.table.FindRow(eep::kScreenOrientation)) << "the file leaves the linearization out";
}

TEST(EepFileTest, ReadingFillsTheTableInOrder) {
  std::string many = "%\r\n";
  for (int i = 0; i < 476; ++i) many += "7\t0001\t2\t%\tX\r\n";
  const struct {
    const char* what;
    std::string text;
    std::optional<std::size_t> count;
    std::size_t ignored;
    const char* error;
  } cases[] = {
      {"comments and a short line take nothing", "% a\r\n%\r\n7\t12\r\n7\t0044\t3f\t%\tJust.NoiseThresh\r\n", 1, 0, ""},
      {"the name may be missing", "%\n7\t0010\t5\n", 1, 0, ""},
      {"values are kept modulo 0x10000", "%\n7 1FFFF 12345 % LongerNameThanThirtyCharactersIsCut\n", 1, 0, ""},
      {"a 475th parameter line is ignored", many, 474, 2, ""},
      {"no percent first", "7\t0000\t1\t%\tA\r\n", std::nullopt, 0, "InvalidFile"},
      {"empty", "", std::nullopt, 0, "InvalidFile"},
      {"a line of another kind takes its entry", "%\r\n8\t0000\t1\t%\tA\r\n", 1, 0, "Line"},
      {"a line without a value", "%\r\n7\t0000\t\t%\r\n", 1, 0, "Line"},
  };
  for (const auto& c : cases) {
    const EepFileCheck file = ReadEepFile(c.text);
    EXPECT_EQ(file.error, c.error) << c.what;
    EXPECT_EQ(file.count, c.count) << c.what;
    EXPECT_EQ(file.ignored, c.ignored) << c.what;
  }
  const EepFileCheck parsed = ReadEepFile("%\n7 1FFFF 12345 % LongerNameThanThirtyCharactersIsCut\n");
  EXPECT_EQ(parsed.table.Rows()[0].address, 0xFFFF);
  EXPECT_EQ(parsed.table.Rows()[0].value, 0x2345);
  EXPECT_EQ(parsed.table.Rows()[0].name, "LongerNameThanThirtyCharacters");
  EXPECT_TRUE(parsed.table.Rows()[0].pending);
}

}  // namespace
}  // namespace kx7
