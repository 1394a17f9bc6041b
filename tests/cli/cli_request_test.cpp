// How kx7cli reads the command line that is left after the shared options.
#include "cli_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx7::cli {
namespace {

TEST(CliRequest, ReadsCommandsOperandsOptionsAndProgramSwitches) {
  struct Case {
    std::vector<std::string> arguments;
    Command command;
    std::string text;
    int block;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> switches;
  };
  const Case cases[] = {
      {{"find"}, Command::kFind, "", 0, {}, {}},
      {{"-noserial", "find", "-NORV"}, Command::kFind, "", 0, {}, {"-noserial", "-NORV"}},
      // A command's operand may look like a switch: "-OI" is a controller command.
      {{"send", "-OI", "-norv"}, Command::kSend, "-OI", 0, {}, {"-norv"}},
      {{"read-block", "10"}, Command::kReadBlock, "", 10, {}, {}},
      {{"write-block", "1", "0aFF"}, Command::kWriteBlock, "", 1, {0x0A, 0xFF}, {}},
      {{"write-block", "5", "0001E240"}, Command::kWriteBlock, "", 5, {0x00, 0x01, 0xE2, 0x40}, {}},
      {{"identify"}, Command::kIdentify, "", 0, {}, {}},
      {{"ports"}, Command::kPorts, "", 0, {}, {}},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::optional<Request> request = ParseRequest(c.arguments, error);
    ASSERT_TRUE(request) << c.arguments[0] << ": " << error;
    EXPECT_EQ(request->command, c.command) << c.arguments[0];
    EXPECT_EQ(request->text, c.text) << c.arguments[0];
    EXPECT_EQ(request->block, c.block) << c.arguments[0];
    EXPECT_EQ(request->blockBytes, c.bytes) << c.arguments[0];
    EXPECT_EQ(request->programSwitches, c.switches) << c.arguments[0];
    EXPECT_FALSE(request->json);
    EXPECT_FALSE(request->link);
  }
}

TEST(CliRequest, ReadsTheOwnOptionsAnywhere) {
  std::string error;
  const std::optional<Request> request =
      ParseRequest({"--json", "identify", "--link", "com3,19200,n,8,1", "--no-system-ports"}, error);
  ASSERT_TRUE(request) << error;
  EXPECT_TRUE(request->json);
  EXPECT_TRUE(request->noSystemPorts);
  ASSERT_TRUE(request->link);
  EXPECT_EQ(request->link->port, 3);
  EXPECT_EQ(request->link->settings, "19200,n,8,1");

  const std::optional<Request> plain = ParseRequest({"--link=COM256", "send", "Z"}, error);
  ASSERT_TRUE(plain) << error;
  ASSERT_TRUE(plain->link);
  EXPECT_EQ(plain->link->port, 256);
  // No settings: the saved ones apply.
  EXPECT_EQ(plain->link->settings, "");
}

TEST(CliRequest, ReadsTheDecodeOptions) {
  std::string error;
  const std::optional<Request> plain = ParseRequest({"decode"}, error);
  ASSERT_TRUE(plain) << error;
  EXPECT_EQ(plain->command, Command::kDecode);
  EXPECT_EQ(plain->decode.format, 32816u);
  EXPECT_EQ(plain->decode.controllerType, 32861u);
  EXPECT_EQ(plain->decode.features, 0u);
  EXPECT_FALSE(plain->decode.fullResolution);
  EXPECT_FALSE(plain->decode.passThrough);
  EXPECT_TRUE(plain->decode.wrapOnCr);
  EXPECT_TRUE(plain->decode.wrapOnBit7);

  // The options may come before the command as well.
  const std::optional<Request> full =
      ParseRequest({"--format=hex", "decode", "--type", "32882", "--features", "0x00001000", "--full-resolution",
                    "--pass-through", "--wrap-on-cr", "0", "--wrap-on-bit7=0"},
                   error);
  ASSERT_TRUE(full) << error;
  EXPECT_EQ(full->decode.format, 32818u);
  EXPECT_EQ(full->decode.controllerType, 32882u);
  EXPECT_EQ(full->decode.features, 0x1000u);
  EXPECT_TRUE(full->decode.fullResolution);
  EXPECT_TRUE(full->decode.passThrough);
  EXPECT_FALSE(full->decode.wrapOnCr);
  EXPECT_FALSE(full->decode.wrapOnBit7);
}

TEST(CliRequest, ReadsReportFormatsByNumberAndName) {
  struct Case {
    const char* text;
    std::uint32_t format;
  };
  for (const Case& c :
       {Case{"32816", 32816}, Case{"kxs", 32816}, Case{"32840", 32840}, Case{"Z", 32840}, Case{"32817", 32817},
        Case{"raw", 32817}, Case{"32818", 32818}, Case{"HEX", 32818}, Case{"32819", 32819}, Case{"digitizer", 32819},
        Case{"32822", 32822}, Case{"undecoded", 32822}, Case{"32843", 32843}, Case{"signals", 32843}}) {
    const std::optional<std::uint32_t> format = ParseReportFormat(c.text);
    ASSERT_TRUE(format) << c.text;
    EXPECT_EQ(*format, c.format) << c.text;
  }
  for (const char* text : {"", "0", "32820", "032816", "kxs2", "hexdump"})
    EXPECT_FALSE(ParseReportFormat(text)) << text;
}

TEST(CliRequest, ReadsTheTerminalOptions) {
  std::string error;
  const std::optional<Request> plain = ParseRequest({"terminal"}, error);
  ASSERT_TRUE(plain) << error;
  EXPECT_EQ(plain->command, Command::kTerminal);
  EXPECT_FALSE(plain->terminal.timeDisplay);
  EXPECT_EQ(plain->terminal.logFile, "");
  EXPECT_EQ(plain->terminal.rawLogFile, "");
  EXPECT_EQ(plain->terminal.seconds, 0);

  const std::optional<Request> full = ParseRequest(
      {"--link", "COM2", "terminal", "--time-display", "3", "--log", "run.log", "--seconds", "999999999", "-norv"},
      error);
  ASSERT_TRUE(full) << error;
  ASSERT_TRUE(full->terminal.timeDisplay);
  EXPECT_EQ(*full->terminal.timeDisplay, 3);
  EXPECT_EQ(full->terminal.logFile, "run.log");
  EXPECT_EQ(full->terminal.seconds, 999999999);
  EXPECT_EQ(full->programSwitches, std::vector<std::string>{"-norv"});
  ASSERT_TRUE(full->link);
  EXPECT_EQ(full->link->port, 2);

  const std::optional<Request> raw = ParseRequest({"terminal", "--raw-log=bytes.bin", "--time-display=0"}, error);
  ASSERT_TRUE(raw) << error;
  EXPECT_EQ(raw->terminal.rawLogFile, "bytes.bin");
  EXPECT_EQ(raw->terminal.logFile, "");
  ASSERT_TRUE(raw->terminal.timeDisplay);
  EXPECT_EQ(*raw->terminal.timeDisplay, 0);
}

TEST(CliRequest, RejectsWhatCannotBeCarriedOut) {
  struct Case {
    std::vector<std::string> arguments;
    const char* says;
  };
  const Case cases[] = {
      {{}, "no command"},
      {{"-noserial"}, "no command"},
      {{"frobnicate"}, "unknown command"},
      {{"--bogus", "find"}, "unknown option"},
      {{"find", "extra"}, "one too many"},
      {{"send"}, "command text"},
      {{"send", ""}, "empty"},
      {{"read-block"}, "block number"},
      {{"read-block", "0"}, "not a block number"},
      {{"read-block", "11"}, "not a block number"},
      {{"read-block", "1x"}, "not a block number"},
      {{"read-block", "+1"}, "not a block number"},
      {{"write-block", "1"}, "hexadecimal"},
      {{"write-block", "1", "ABC"}, "hexadecimal"},
      {{"write-block", "1", "GG"}, "hexadecimal"},
      {{"write-block", "1", ""}, "none given"},
      {{"write-block", "5", "0011"}, "4 bytes"},
      {{"--link"}, "needs a value"},
      {{"--link", "COM0", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "COM257", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "/dev/ttyS0", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "COM1,", "send", "Z"}, "not a port setting"},
      {{"--link", "COM1,fast", "send", "Z"}, "not a port setting"},
      {{"--link", "COM1", "find"}, "find searches"},
      {{"decode", "extra"}, "one too many"},
      {{"decode", "--format"}, "needs a value"},
      {{"decode", "--format", "1"}, "not one of"},
      {{"decode", "--format", "32820"}, "not one of"},
      {{"decode", "--type", "5"}, "not a controller type"},
      {{"decode", "--type", "32861x"}, "not a controller type"},
      {{"decode", "--features", "123456789"}, "hexadecimal"},
      {{"decode", "--features", "0x"}, "hexadecimal"},
      {{"decode", "--features", "G"}, "hexadecimal"},
      {{"decode", "--wrap-on-cr", "2"}, "not 0 or 1"},
      {{"decode", "--wrap-on-bit7", "yes"}, "not 0 or 1"},
      {{"decode", "--full-resolution=1"}, "unknown option"},
      {{"--link", "COM1", "decode"}, "standard input"},
      {{"--json", "decode"}, "standard input"},
      {{"decode", "--seconds", "5"}, "an option of terminal"},
      {{"find", "--format", "32816"}, "an option of decode"},
      {{"terminal", "--pass-through"}, "an option of decode"},
      {{"terminal", "--time-display", "4"}, "not 0 (off)"},
      {{"terminal", "--time-display", "01"}, "not 0 (off)"},
      {{"terminal", "--seconds", "0"}, "whole number of seconds"},
      {{"terminal", "--seconds", "1.5"}, "whole number of seconds"},
      {{"terminal", "--seconds", "1000000000"}, "whole number of seconds"},
      {{"terminal", "--log", ""}, "no file name"},
      {{"terminal", "--log", "a", "--raw-log", "b"}, "one log at a time"},
      {{"--json", "terminal"}, "not for it"},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::string shown = c.arguments.empty() ? std::string("(nothing)") : c.arguments.back();
    EXPECT_FALSE(ParseRequest(c.arguments, error)) << shown;
    EXPECT_NE(error.find(c.says), std::string::npos) << shown << ": " << error;
  }
}

}  // namespace
}  // namespace kx7::cli
