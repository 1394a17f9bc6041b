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
