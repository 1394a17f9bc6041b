// The command interpreter of an emulated controller, driven from the host's end of the wire.
#include "emulator/controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "controller_test_support.h"
#include "emulator/parameter_store.h"

namespace kx7::emu {
namespace {

using testing::AsText;
using testing::Command;
using testing::Drain;
using testing::kOk;
using testing::kRefusal;
using testing::kUnknown;
using testing::Reply;
using testing::SendRaw;

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text;
}

// The block of a "GP"n reply: SOH status CR pairs CR SOH "0" CR.
std::vector<std::uint8_t> BlockOf(const std::string& reply, char* status = nullptr) {
  if (reply.size() < 6 || reply.size() % 2 == 0 || reply[0] != '\x01' || reply[2] != '\r' ||
      reply.compare(reply.size() - 4, 4,
                    "\r\x01"
                    "0\r") != 0)
    return {};
  if (status) *status = reply[1];
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 3; i + 1 < reply.size() - 4; i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(reply.substr(i, 2), nullptr, 16)));
  return bytes;
}

class ControllerTest : public ::testing::Test {
 protected:
  void Make(const std::string& family, const ControllerOptions& options = {}) {
    controller_ = EmulatedController::ForFamily(family, options);
    ASSERT_TRUE(controller_);
  }
  std::string Cmd(const std::string& text) { return Command(*controller_, text, now_ += 10); }
  std::string Raw(const std::string& bytes) {
    SendRaw(*controller_, bytes, now_ += 10);
    return Drain(*controller_, now_);
  }
  std::string Later(std::uint64_t ms) { return Drain(*controller_, now_ += ms); }
  // "SP"n, then the data line; both replies.
  std::pair<std::string, std::string> WriteBlock(int number, const std::string& dataLine) {
    const std::string first = Cmd("SP" + std::string(1, static_cast<char>('0' + number)));
    return {first, Raw(dataLine + "\r")};
  }
  std::vector<std::uint8_t> ReadBlock(int number) {
    return BlockOf(Cmd("GP" + std::string(1, static_cast<char>('0' + number))));
  }

  std::unique_ptr<EmulatedController> controller_;
  std::uint64_t now_ = 1000;
};

// ---- framing ----

TEST_F(ControllerTest, FramedCommandsAreAnsweredAndOtherBytesIgnored) {
  Make("cedar-gen4");
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(Raw("Z\r"), "") << "no SOH, no command";
  EXPECT_EQ(Raw("noise\x02\x7F\r"), "");
  EXPECT_EQ(Raw("\x01Z"), "") << "nothing before the CR";
  EXPECT_EQ(Raw("\r"), kOk) << "a command may arrive in pieces";
  EXPECT_EQ(Raw("\x01GARBAGE\x01Z\r"), kOk) << "a SOH starts the command afresh";
}

TEST_F(ControllerTest, MalformedCommandsAreRefused) {
  Make("birch");
  for (const char* text : {"", "ZZ", "z", "GP", "GP0", "GPX", "GP11", "SP", "Q12", "Q12A", "W1", "OI1", "MPD"})
    EXPECT_EQ(Cmd(text), kRefusal) << '"' << text << '"';
}

TEST_F(ControllerTest, OverlongFrameIsRefusedOnceAndTheNextCommandWorks) {
  Make("larch");
  std::string frame = "\x01" + std::string(EmulatedController::kFrameLimit + 1, 'A');
  EXPECT_EQ(Raw(frame), kRefusal);
  EXPECT_EQ(Raw(std::string(5000, 'B') + "\r"), "") << "the rest of the frame is dropped up to its CR";
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(Raw("\x01" + std::string(EmulatedController::kFrameLimit, 'A') + "\r"), kRefusal)
      << "a frame at the limit is still a command, just an unknown one";
}

// ---- identity extras ----

TEST_F(ControllerTest, PanelIdIsALineOfItsOwnThenTheAcknowledgement) {
  Make("cedar-gen3");
  const std::string reply = Cmd("ID");
  ASSERT_GE(reply.size(), 4u);
  EXPECT_EQ(reply, *controller_->Identity().panelId + "\r" + kOk);
  EXPECT_EQ(std::count(reply.begin(), reply.end(), '\r'), 2);
}

TEST_F(ControllerTest, TextParametersAndScreenRc) {
  Make("resistive-5wire");
  EXPECT_EQ(Cmd("QRC"), Reply("0030"));
  EXPECT_EQ(Cmd("Q101"), kUnknown);
  Make("cedar-gen2");
  EXPECT_EQ(Cmd("QRC"), kUnknown);
  for (const char* command : {"Q101", "Q102"}) {
    const std::string reply = Cmd(command);
    EXPECT_GE(reply.size(), 2u);
    EXPECT_LE(reply.size(), 64u);
    EXPECT_EQ(reply.front(), '\x01');
    EXPECT_EQ(reply.find('\r'), reply.size() - 1);
  }
}

// ---- blocks ----

TEST_F(ControllerTest, EveryBlockOfEveryFamilyRoundTrips) {
  for (const std::string& family : ControllerFamilyNames()) {
    Make(family);
    const FamilyProfile& profile = controller_->Profile();
    for (int number = 1; number <= 10; ++number) {
      SCOPED_TRACE(family + " block " + std::to_string(number));
      const int length = profile.blockLengths[static_cast<std::size_t>(number)];
      if (length == 0) {
        EXPECT_EQ(Cmd("GP" + std::string(1, static_cast<char>('0' + number))), kRefusal);
        continue;
      }
      std::vector<std::uint8_t> block(static_cast<std::size_t>(length));
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 13 + number));
      if (number == 1 && profile.block1Checksum) StoreBlockChecksum(block);
      if (number == 1 && profile.commByte.offset >= 0)
        block[static_cast<std::size_t>(profile.commByte.offset)] =
            (*controller_->Parameters().Block(1))[static_cast<std::size_t>(profile.commByte.offset)];
      const auto [first, second] = WriteBlock(number, HexOf(block));
      EXPECT_EQ(first, std::string("\x01") + profile.statusLetter + "\r");
      EXPECT_EQ(second, kOk);
      if (number == 3 && profile.straysRecord) continue;  // read back as the stray record
      char status = 0;
      EXPECT_EQ(BlockOf(Cmd("GP" + std::string(1, static_cast<char>('0' + number))), &status), block);
      EXPECT_EQ(status, profile.statusLetter);
    }
  }
}

TEST_F(ControllerTest, CedarBlock1CarriesItsChecksumAndRefusesABadOne) {
  Make("cedar-gen2");
  const std::vector<std::uint8_t> factory = ReadBlock(1);
  ASSERT_EQ(factory.size(), 30u);
  EXPECT_TRUE(BlockChecksumValid(factory));

  std::vector<std::uint8_t> edited = factory;
  edited[3] ^= 0x40;  // the check word now disagrees
  EXPECT_EQ(WriteBlock(1, HexOf(edited)).second, kRefusal);
  EXPECT_EQ(ReadBlock(1), factory) << "a refused block is not stored";

  StoreBlockChecksum(edited);
  EXPECT_EQ(WriteBlock(1, HexOf(edited)).second, kOk);
  EXPECT_EQ(ReadBlock(1), edited);
}

TEST_F(ControllerTest, NonCedarBlock1IsStoredWithoutAChecksum) {
  Make("larch");
  std::vector<std::uint8_t> block(30, 0x11);
  EXPECT_EQ(WriteBlock(1, HexOf(block)).second, kOk);
  EXPECT_EQ(ReadBlock(1), block);
}

TEST_F(ControllerTest, BadBlockDataLinesAreRefusedAndTheBlockKept) {
  Make("aspen4");
  const std::vector<std::uint8_t> before = ReadBlock(2);
  const std::string good = HexOf(std::vector<std::uint8_t>(50, 0x42));
  std::string badChar = good;
  badChar[17] = 'G';
  for (const std::string& line : {badChar, good.substr(0, 98), good + "00", good.substr(0, 99), std::string()}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(WriteBlock(2, line).second, kRefusal);
    EXPECT_EQ(ReadBlock(2), before);
  }
  EXPECT_EQ(WriteBlock(2, std::string(200, '4')).second, kRefusal) << "a line past the block's length";
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(WriteBlock(2, "0a" + good.substr(2)).second, kOk) << "lower-case digits are digits";
}

TEST_F(ControllerTest, AbandonedBlockWriteLeavesTheBlockAlone) {
  Make("juniper");
  const std::vector<std::uint8_t> before = ReadBlock(1);
  EXPECT_EQ(Cmd("SP1"), Reply("A"));
  EXPECT_EQ(Cmd("Z"), kOk) << "a new command ends the data wait";
  EXPECT_EQ(ReadBlock(1), before);
}

TEST_F(ControllerTest, BlockFiveThroughQ002AndW002) {
  Make("birch-pen");
  EXPECT_EQ(Cmd("Q002"), Reply("0001E240"));
  EXPECT_EQ(Cmd("W002"), kOk);
  for (char digit : std::string("DEADBEEF")) EXPECT_EQ(Raw(std::string(1, digit)), "");
  EXPECT_EQ(Raw("\r"), kOk);
  EXPECT_EQ(Cmd("Q002"), Reply("DEADBEEF"));
  EXPECT_EQ(ReadBlock(5), (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));

  EXPECT_EQ(Cmd("W002"), kOk);
  EXPECT_EQ(Raw("1234567\r"), kRefusal) << "seven digits are not four bytes";
  EXPECT_EQ(Cmd("W002"), kOk);
  EXPECT_EQ(Raw("1234567X\r"), kRefusal);
  EXPECT_EQ(Cmd("Q002"), Reply("DEADBEEF"));
}

TEST_F(ControllerTest, BirchStraysRecordIsTheFixedLengthReply) {
  Make("birch");
  const std::string reply = Cmd("GP3");
  ASSERT_EQ(reply.size(), 47u);
  EXPECT_EQ(reply.substr(0, 3), Reply("A"));
  EXPECT_EQ(reply.substr(43), "\r" + kOk);
  // UL I is 1200: four 7-bit groups and a 4-bit remainder, most significant first.
  const std::string ul = reply.substr(3, 5);
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 7 | static_cast<std::uint8_t>(ul[static_cast<std::size_t>(i)]);
  value = value << 4 | static_cast<std::uint8_t>(ul[4]);
  EXPECT_EQ(value, 1200u);
  for (char c : reply.substr(3, 40)) EXPECT_EQ(c & 0x80, 0);
}

TEST_F(ControllerTest, RestoreDefaultsPutsTheFactoryBlocksBack) {
  Make("hazel3-poplar");
  const std::vector<std::uint8_t> factory = ReadBlock(2);
  EXPECT_EQ(WriteBlock(2, std::string(100, 'F')).second, kOk);
  EXPECT_NE(ReadBlock(2), factory);
  EXPECT_EQ(Cmd("RD"), kOk);
  Later(controller_->Profile().dropOff.restoreDefaults);
  EXPECT_EQ(ReadBlock(2), factory);
}

// ---- numbered parameters ----

TEST_F(ControllerTest, UnknownParametersAnswerAQuestionMark) {
  Make("birch");
  EXPECT_EQ(Cmd("Q001"), kUnknown);
  EXPECT_EQ(Cmd("Q354"), kUnknown);
  EXPECT_EQ(Cmd("Q999"), kUnknown);
  EXPECT_EQ(Cmd("Q004"), Reply("0003"));
  EXPECT_EQ(Cmd("W354"), kRefusal) << "an unknown parameter is refused before its value";
}

TEST_F(ControllerTest, CedarKnowsTheWholeBlockQList) {
  Make("cedar-gen3");
  for (int number = 300; number <= 369; ++number) {
    const std::string reply = Cmd("Q" + std::to_string(number));
    EXPECT_EQ(reply.size(), 10u) << number;
  }
  EXPECT_EQ(Cmd("Q370"), kUnknown);
  EXPECT_EQ(Cmd("Q001").size(), 10u);
  EXPECT_EQ(Cmd("Q004").size(), 6u);
}

TEST_F(ControllerTest, WriteParameterTakesAHexValueLine) {
  Make("cedar-gen4");
  EXPECT_EQ(Cmd("W342"), kOk);
  EXPECT_EQ(Raw("1A2B3C4D\r"), kOk);
  EXPECT_EQ(Cmd("Q342"), Reply("1A2B3C4D"));
  EXPECT_EQ(Cmd("W342"), kOk);
  EXPECT_EQ(Raw("7f\r"), kOk) << "as typed: short and lower case";
  EXPECT_EQ(Cmd("Q342"), Reply("0000007F"));

  struct Bad {
    const char* command;
    const char* value;
  };
  for (const Bad& bad :
       {Bad{"W342", "12 34"}, Bad{"W342", ""}, Bad{"W342", "123456789"}, Bad{"W004", "10000"}, Bad{"W342", "0x12"}}) {
    SCOPED_TRACE(std::string(bad.command) + " " + bad.value);
    EXPECT_EQ(Cmd(bad.command), kOk);
    EXPECT_EQ(Raw(std::string(bad.value) + "\r"), kRefusal);
  }
  EXPECT_EQ(Cmd("Q342"), Reply("0000007F"));
  EXPECT_EQ(Cmd("Q004"), Reply("0003"));
  EXPECT_EQ(Cmd("W004"), kOk);
  EXPECT_EQ(Raw("0005\r"), kOk);
  EXPECT_EQ(Cmd("Q004"), Reply("0005"));
}

TEST_F(ControllerTest, ParameterRestoreBringsTheBlockQDefaultsBack) {
  Make("cedar-gen3");
  const std::string before = Cmd("Q310");
  EXPECT_EQ(Cmd("W310"), kOk);
  EXPECT_EQ(Raw("FFFF\r"), kOk);
  EXPECT_EQ(Cmd("PRD"), kOk);
  Later(controller_->Profile().dropOff.parameterRestore);
  EXPECT_EQ(Cmd("Q310"), before);
  Make("cedar-gen2");
  EXPECT_EQ(Cmd("PRD"), kRefusal);
}

// ---- serial framing of the controller's own line ----

TEST_F(ControllerTest, Pn81AcknowledgesInTheOldFramingThenSwitches) {
  Make("hazel3-linden");
  ASSERT_EQ(controller_->Line(), (LineSettings{9600, 'N', 7, 2}));
  SendRaw(*controller_, "\x01PN81\r", now_ += 10);
  controller_->Advance(now_);
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 7, 2})) << "the acknowledgement is still on its way";
  EXPECT_EQ(AsText(controller_->TakeOutput()), kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 8, 1}));
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(Cmd("R"), kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 8, 1})) << "a soft reset keeps the framing";
}

TEST_F(ControllerTest, CreatedLineSettingsAreTheControllersOwn) {
  ControllerOptions options;
  options.line = LineSettings{19200, 'N', 7, 2};
  Make("birch", options);
  EXPECT_EQ(controller_->Line(), *options.line);
  // The comm byte of Block1 says the same: baud code 1, framing code 8.
  EXPECT_EQ((*controller_->Parameters().Block(1))[10], 0x81);
}

TEST_F(ControllerTest, NewCommByteMovesTheLineAfterTheAcknowledgement) {
  Make("birch");
  std::vector<std::uint8_t> block = ReadBlock(1);
  ASSERT_EQ(block.size(), 30u);
  block[10] = 0x81;  // 19200, N,7,2
  EXPECT_EQ(Cmd("SP1"), Reply("A"));
  SendRaw(*controller_, HexOf(block) + "\r", now_ += 10);
  EXPECT_EQ(AsText(controller_->TakeOutput()), kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{19200, 'N', 7, 2}));
  EXPECT_EQ(Cmd("RE2"), kOk);
  Later(controller_->Profile().dropOff.reboot);
  EXPECT_EQ(controller_->Line(), (LineSettings{19200, 'N', 7, 2})) << "the comm byte is kept across a reboot";
  EXPECT_EQ(Cmd("RD"), kOk);
  Later(controller_->Profile().dropOff.restoreDefaults);
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 8, 1}));
}

TEST_F(ControllerTest, CommByteWithoutFramingTalksN81) {
  Make("juniper");
  std::vector<std::uint8_t> block = ReadBlock(1);
  block[10] = static_cast<std::uint8_t>((block[10] & 0xF0) | 3);  // 4800
  EXPECT_EQ(WriteBlock(1, HexOf(block)).second, kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{4800, 'N', 8, 1}));
  block[10] = static_cast<std::uint8_t>((block[10] & 0x0F) | 0x70);  // high nibble is not Juniper's
  EXPECT_EQ(WriteBlock(1, HexOf(block)).second, kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{4800, 'N', 8, 1}));
}

// ---- restarts ----

struct RestartCase {
  const char* family;
  const char* command;
  bool acknowledged;
  std::uint64_t DropOffTimes::*time;
};

class ControllerRestart : public ControllerTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(ControllerRestart, DropsOffThenAnswersThePing) {
  const RestartCase& c = GetParam();
  ControllerOptions options;
  options.dropOff = DropOffTimes{};
  (*options.dropOff).*c.time = 700;
  Make(c.family, options);
  EXPECT_EQ(Cmd(c.command), c.acknowledged ? kOk : "");
  EXPECT_FALSE(controller_->Present());
  EXPECT_EQ(controller_->NextEventMs(), now_ + 700);
  EXPECT_EQ(Cmd("Z"), "") << "a controller that is restarting hears nothing";
  now_ += 600;
  EXPECT_EQ(Cmd("Z"), "");
  now_ += 80;  // 700 ms after the command
  controller_->Advance(now_);
  EXPECT_TRUE(controller_->Present());
  EXPECT_EQ(Cmd("Z"), kOk);
}

const RestartCase kRestarts[] = {
    {"birch", "R", true, &DropOffTimes::softReset},
    {"larch", "RD", true, &DropOffTimes::restoreDefaults},
    {"birch", "RE1", true, &DropOffTimes::reboot},
    {"aspen4", "RE2", true, &DropOffTimes::reboot},
    {"cedar-gen2", "RE3", true, &DropOffTimes::rebootEeprom},
    {"cedar-gen3", "H", false, &DropOffTimes::hardReset},
    {"juniper", "QH", false, &DropOffTimes::hardReset},
    {"cedar-gen4", "PRD", true, &DropOffTimes::parameterRestore},
};
INSTANTIATE_TEST_SUITE_P(Commands, ControllerRestart, ::testing::ValuesIn(kRestarts), [](const auto& info) {
  return std::string(info.param.command) + "_" + std::to_string(info.index);
});

TEST_F(ControllerTest, SoftResetAnswersAtOnceByDefault) {
  Make("birch");
  EXPECT_EQ(Cmd("R") + Cmd("Z"), kOk + kOk);
  EXPECT_TRUE(controller_->Present());
}

TEST_F(ControllerTest, HardResetIsRefusedWhereTheFamilyHasNone) {
  Make("birch");
  EXPECT_EQ(Cmd("QH"), kRefusal);
  EXPECT_EQ(Cmd("H"), kRefusal);
  EXPECT_TRUE(controller_->Present());
  Make("cedar-gen3");
  EXPECT_EQ(Cmd("QH"), kRefusal);
}

TEST_F(ControllerTest, BirchRebootsIntoItsFixedCodeAndBack) {
  Make("birch");
  EXPECT_EQ(Cmd("RE1"), kOk);
  Later(controller_->Profile().dropOff.reboot);
  EXPECT_TRUE(controller_->InRom());
  EXPECT_EQ(Cmd("UT").substr(1, 2), "MF");
  EXPECT_EQ(Cmd("FE"), kOk);
  EXPECT_EQ(Raw(std::string(47, 'm')), "");
  EXPECT_EQ(Raw("m"), kOk) << "the map is 48 raw characters";
  EXPECT_EQ(Cmd("RE3"), kOk);
  Later(controller_->Profile().dropOff.rebootEeprom);
  EXPECT_FALSE(controller_->InRom());
  EXPECT_EQ(Cmd("UT").substr(1, 2), "BT");
}

TEST_F(ControllerTest, RebootUndoesPn81) {
  Make("oem-linden");
  EXPECT_EQ(Cmd("PN81"), kOk);
  EXPECT_EQ(controller_->Line().dataBits, 8);
  EXPECT_EQ(Cmd("RE2"), kOk);
  Later(controller_->Profile().dropOff.reboot);
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 7, 2}));
}

// ---- pass-through ----

TEST_F(ControllerTest, PassThroughMovesTo115200AndDleEotComesBack) {
  Make("cedar-gen3");
  SendRaw(*controller_, "\x01MPD\r", now_ += 10);
  EXPECT_EQ(controller_->Line().baud, 9600) << "the acknowledgement goes out at the old speed";
  EXPECT_EQ(AsText(controller_->TakeOutput()), kOk);
  EXPECT_EQ(controller_->Line(), (LineSettings{115200, 'N', 8, 1}));
  EXPECT_TRUE(controller_->InPassThrough());

  // The DSP answers the ping and its identity; the comm processor's own commands are not there.
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(Cmd("OI"), "\x01OS0310\r");
  EXPECT_EQ(Cmd("-OI"), kRefusal);
  EXPECT_EQ(Cmd("MPD"), kRefusal);
  EXPECT_EQ(BlockOf(Cmd("GP1")).size(), 30u);

  EXPECT_EQ(Raw("\x10\x04"), "");
  EXPECT_FALSE(controller_->InPassThrough());
  EXPECT_EQ(controller_->Line(), (LineSettings{9600, 'N', 8, 1}));
  EXPECT_EQ(Cmd("-OI"), Reply("CM0105"));
}

TEST_F(ControllerTest, SlowPassThroughKeepsTheSpeed) {
  ControllerOptions options;
  options.line = LineSettings{19200, 'N', 8, 1};
  Make("cedar-gen4", options);
  EXPECT_EQ(Cmd("MPL9"), kOk + ".");
  EXPECT_EQ(controller_->Line(), *options.line);
  EXPECT_EQ(Raw("\x10\x04"), "");
  EXPECT_EQ(controller_->Line(), *options.line);
  EXPECT_EQ(Cmd("Z"), kOk);
}

TEST_F(ControllerTest, DoubledDleIsOneDataByteForTheSecondProcessor) {
  Make("cedar-gen3");
  EXPECT_EQ(Cmd("MPL9"), kOk + ".");
  EXPECT_EQ(Raw("F"), "\xC6");
  // One image of three bytes 0x10 0x04 0x10 at the firmware image's address 0x20: every DLE
  // doubled on the wire, so the DLE EOT inside the data does not end the pass-through.
  const std::vector<std::uint8_t> header = {0x20, 0, 0, 0, 3, 0, 0, 0};
  const std::vector<std::uint8_t> data = {0x10, 0x04, 0x10};
  unsigned sum = 0;
  for (auto b : header) sum += b;
  for (auto b : data) sum += b;
  std::string wire(header.begin(), header.end());
  wire += "\x10\x10\x04\x10\x10";
  wire += static_cast<char>(sum & 0xFF);
  wire += static_cast<char>((sum >> 8) & 0xFF);
  EXPECT_EQ(Raw(wire), "Done..." + kOk);
  EXPECT_TRUE(controller_->InPassThrough());
  EXPECT_EQ(controller_->Memories().Cell(9, 0x20), 0x10);
  EXPECT_EQ(controller_->Memories().Cell(9, 0x21), 0x04);
  EXPECT_EQ(controller_->Memories().Cell(9, 0x22), 0x10);
  EXPECT_EQ(Raw("\x10\x04"), "");
  EXPECT_FALSE(controller_->InPassThrough());
}

TEST_F(ControllerTest, LoaderRefusesAnImageWithAWrongSum) {
  Make("cedar-gen3");
  EXPECT_EQ(Cmd("MPL9"), kOk + ".");
  EXPECT_EQ(Raw("F"), "\xC6");
  std::string wire(
      "\x00\x00\x00\x00\x02\x00\x00\x00"
      "AB",
      10);
  wire.append(2, '\0');
  EXPECT_EQ(Raw(wire), "Fail..." + kRefusal);
  EXPECT_EQ(Raw("RST"), "ABC") << "the handshakes";
}

TEST_F(ControllerTest, ClearingTheParameterAreaMarksTheParametersInvalid) {
  Make("cedar-gen3");
  EXPECT_EQ(Cmd("UT").substr(8, 1), "0");
  EXPECT_EQ(Cmd("MPL9"), kOk + ".");
  EXPECT_EQ(Raw("F"), "\xC6");
  std::string wire("\x00\xFF\x03\x00\x80\x00\x00\x00", 8);
  wire += std::string(128, '\0');
  wire += "\x82\x01";
  EXPECT_EQ(Raw(wire), "Done..." + kOk);
  EXPECT_EQ(Raw("\x10\x04"), "");
  const std::string ut = Cmd("UT");
  ASSERT_EQ(ut.size(), 10u);
  EXPECT_TRUE(ut[8] & 0x08) << "byte 8 of UT says the parameters are gone";
  EXPECT_EQ(Cmd("PRD"), kOk);
  Later(controller_->Profile().dropOff.parameterRestore);
  EXPECT_FALSE(Cmd("UT")[8] & 0x08);
}

TEST_F(ControllerTest, PassThroughOnlyWhereThereIsASecondProcessor) {
  Make("birch");
  EXPECT_EQ(Cmd("MPD"), kRefusal);
  EXPECT_EQ(controller_->Line().baud, 9600);
  ControllerOptions haptic;
  haptic.haptic = true;
  Make("birch", haptic);
  EXPECT_EQ(Cmd("MPD"), kOk);
  EXPECT_EQ(controller_->Line().baud, 115200);
}

TEST_F(ControllerTest, RestartBehindThePassThroughKeepsTheLine) {
  Make("cedar-gen4");
  EXPECT_EQ(Cmd("MPD"), kOk);
  EXPECT_EQ(Cmd("RE3"), kOk);
  EXPECT_TRUE(controller_->Present());
  EXPECT_TRUE(controller_->InPassThrough());
  EXPECT_EQ(Cmd("Z"), kOk);
}

// ---- default-parameter image (Rowan Default Params) ----

std::vector<std::uint8_t> DefaultParamImage(const std::string& panelName) {
  std::vector<std::uint8_t> file = {0, 0, 0x34, 0x12, static_cast<std::uint8_t>(panelName.size()), 0};
  file.insert(file.end(), panelName.begin(), panelName.end());
  if (file.size() % 2) file.push_back(0);  // keep the words aligned: a name of odd length gets a pad
  for (int i = 0; i < 8; ++i) file.push_back(static_cast<std::uint8_t>(i));          // four header words
  for (int i = 0; i < 10; ++i) file.push_back(static_cast<std::uint8_t>(0x50 + i));  // parameters
  file.push_back(0x99);  // CRC: the controller does not check it
  file.push_back(0x88);
  file[0] = static_cast<std::uint8_t>(file.size() & 0xFF);
  file[1] = static_cast<std::uint8_t>(file.size() >> 8);
  std::uint16_t check = 0;
  for (std::size_t at = 4; at + 2 <= file.size(); at += 2)
    check ^= static_cast<std::uint16_t>(file[at] | file[at + 1] << 8);
  file.push_back(static_cast<std::uint8_t>(check & 0xFF));
  file.push_back(static_cast<std::uint8_t>(check >> 8));
  return file;
}

TEST_F(ControllerTest, DefaultParameterImageSetsThePanelId) {
  Make("cedar-gen3");
  const std::vector<std::uint8_t> image = DefaultParamImage("PANEL-X-1234");
  const auto [first, second] = WriteBlock(2, HexOf(image));
  EXPECT_EQ(first, Reply("A"));
  // Two answers, as the controller gives them: it acknowledges, stores, and then says it is done.
  EXPECT_EQ(second, kOk + kOk);
  EXPECT_EQ(Later(299), "");
  EXPECT_EQ(Later(1), "." + kOk);
  EXPECT_EQ(Cmd("ID"), "PANEL-X-1234\r" + kOk);

  std::vector<std::uint8_t> broken = image;
  broken[broken.size() - 1] ^= 1;
  EXPECT_EQ(WriteBlock(2, HexOf(broken)).second, kRefusal);
  Make("birch");
  EXPECT_EQ(WriteBlock(2, HexOf(image)).second, kRefusal) << "only Cedar takes an image";
}

// ---- firmware pages (Larch) ----

TEST_F(ControllerTest, LarchPageLoaderWritesTheImage) {
  Make("larch");
  EXPECT_EQ(Cmd("PB"), kRefusal) << "the page loader runs in the boot loader only";
  Make("larch-mt");
  EXPECT_EQ(Cmd("PB"), Reply("0100"));
  EXPECT_EQ(Cmd("PD"), kOk);
  EXPECT_EQ(Raw("0102030405\r"), kOk);
  EXPECT_EQ(Cmd("PD"), kOk);
  EXPECT_EQ(Raw("06\r"), kOk);
  EXPECT_EQ(Cmd("PE"), kOk);
  EXPECT_EQ(Raw("0002\r"), kRefusal) << "pages come in order from 0";
  EXPECT_EQ(Cmd("PD"), kOk);
  EXPECT_EQ(Raw("0102030405\r"), kOk);
  EXPECT_EQ(Cmd("PE"), kOk);
  EXPECT_EQ(Raw("0000\r"), kOk);
  for (std::uint32_t i = 0; i < 5; ++i) EXPECT_EQ(controller_->Memories().Cell(9, i), i + 1);
  EXPECT_EQ(Cmd("PD"), kOk);
  EXPECT_EQ(Raw(std::string(66, '0') + "\r"), kRefusal) << "more than 32 bytes in a piece";
  EXPECT_EQ(Cmd("PD"), kOk);
  EXPECT_EQ(Raw(std::string(514, '0') + "\r"), kRefusal) << "more than a page";
  Make("birch");
  EXPECT_EQ(Cmd("PB"), kRefusal);
}

// ---- Birch frequency ----

TEST_F(ControllerTest, BirchFrequencyCodes) {
  Make("birch-pen");
  EXPECT_EQ(Cmd("FQF00"), Reply("58"));
  EXPECT_EQ(Cmd("FQF64"), kOk);
  EXPECT_EQ(Cmd("FQF00"), Reply("64"));
  EXPECT_EQ(Cmd("FQP10"), kRefusal) << "pen codes lie from 124 to 236";
  EXPECT_EQ(Cmd("FQP7C"), kOk);
  EXPECT_EQ(Cmd("FQP00"), Reply("7C"));
  Make("larch");
  EXPECT_EQ(Cmd("FQF00"), kRefusal);
}

TEST_F(ControllerTest, QpTakesTwoLines) {
  Make("hazel3-linden");
  EXPECT_EQ(Cmd("QP"), kOk);
  EXPECT_EQ(Raw("7\r"), kOk);
  EXPECT_EQ(Raw("40\r"), kOk);
  EXPECT_EQ(Cmd("Z"), kOk);
}

// ---- timing ----

TEST_F(ControllerTest, ReplyDelayHoldsTheReplyUntilItsTime) {
  ControllerOptions options;
  options.replyDelayMs = 4;
  Make("cedar-gen4", options);
  SendRaw(*controller_, "\x01Z\r", 100);
  EXPECT_EQ(AsText(controller_->TakeOutput()), "");
  EXPECT_EQ(controller_->NextEventMs(), 104u);
  controller_->Advance(103);
  EXPECT_EQ(AsText(controller_->TakeOutput()), "");
  controller_->Advance(104);
  EXPECT_EQ(AsText(controller_->TakeOutput()), kOk);
  EXPECT_EQ(controller_->NextEventMs(), kNever);
}

// ---- report generator ----

class FakeGenerator : public ReportGenerator {
 public:
  struct Log {
    std::vector<std::string> commands;
    int polls = 0;
    int resets = 0;
    std::vector<bool> quiet;
  };
  explicit FakeGenerator(Log& log) : log_(log) {}
  CommandResult OnCommand(const std::string& command) override {
    log_.commands.push_back(command);
    if (command == "FT") return CommandResult::kAck;
    if (command == "MS") return CommandResult::kSilent;
    if (command == "TL3") return CommandResult::kRefuse;
    return CommandResult::kNotMine;
  }
  void OnPollByte(std::uint64_t) override { ++log_.polls; }
  void Advance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) override {
    if (nowMs >= 5000 && !sent_) {
      out.push_back('T');
      sent_ = true;
    }
  }
  std::uint64_t NextEventMs() const override { return sent_ ? kNever : 5000; }
  void Reset(std::uint64_t) override { ++log_.resets; }
  void SetQuiet(bool quiet) override { log_.quiet.push_back(quiet); }

 private:
  Log& log_;
  bool sent_ = false;
};

TEST_F(ControllerTest, UnknownCommandsAndThePollByteGoToTheReportGenerator) {
  Make("birch");
  FakeGenerator::Log log;
  controller_->SetReportGenerator(std::make_unique<FakeGenerator>(log));
  EXPECT_EQ(Cmd("FT"), kOk);
  EXPECT_EQ(Cmd("MS"), "");
  EXPECT_EQ(Cmd("TL3"), kRefusal);
  EXPECT_EQ(Cmd("XYZ"), kRefusal);
  EXPECT_EQ(Cmd("Z"), kOk);
  EXPECT_EQ(log.commands, (std::vector<std::string>{"FT", "MS", "TL3", "XYZ"})) << "its own commands stay its own";

  Raw("\x11");
  EXPECT_EQ(log.polls, 1);
  Raw("\x01Q0\x11"
      "04\r");
  EXPECT_EQ(log.polls, 1) << "inside a frame 0x11 is not a poll";

  EXPECT_EQ(controller_->NextEventMs(), 5000u);
  EXPECT_EQ(Drain(*controller_, 5000), "T");
  EXPECT_EQ(Cmd("R"), kOk);
  EXPECT_GE(log.resets, 2);  // once when attached, once for the reset
}

TEST_F(ControllerTest, ReportsPauseDuringExchangesAndPassThrough) {
  ControllerOptions options;
  options.haptic = true;
  Make("birch", options);
  FakeGenerator::Log log;
  controller_->SetReportGenerator(std::make_unique<FakeGenerator>(log));
  Cmd("SP2");
  EXPECT_EQ(log.quiet, (std::vector<bool>{true}));
  Raw("\r");
  EXPECT_EQ(log.quiet, (std::vector<bool>{true, false}));
  Cmd("MPD9");
  Raw("\x10\x04");
  EXPECT_EQ(log.quiet, (std::vector<bool>{true, false, true, false}));
}

TEST_F(ControllerTest, WithoutAGeneratorReportCommandsAreAcknowledged) {
  Make("aspen4");
  for (const char* command : {"FT", "CR", "MZ", "TL1", "PO"}) EXPECT_EQ(Cmd(command), kOk) << command;
  EXPECT_EQ(Cmd("FX"), kRefusal);
}

TEST_F(ControllerTest, ReceiveWithNoBytesIsHarmless) {
  Make("hazel2d");
  controller_->Receive(nullptr, 5, 10);
  controller_->Receive(nullptr, 0, 20);
  EXPECT_EQ(Cmd("Z"), kOk);
}

}  // namespace
}  // namespace kx7::emu
