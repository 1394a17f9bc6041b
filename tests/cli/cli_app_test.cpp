// kx7cli's command line read in-process: the program switches taken out, the operands that look
// like options, bad usage (exit 64, a "kx7cli: " line) for everything that cannot be carried out,
// and the help.
#include "cli_app.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "commands/command_groups.h"
#include "program_switches.h"

namespace kx7::cli {
namespace {

using Words = std::vector<std::string>;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

Outcome Execute(const Words& arguments, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  CliApp cli(in, out, err);
  AddCommandGroups(cli);
  Outcome run;
  run.exitCode = cli.Execute(arguments);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string Shown(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text.empty() ? "(nothing)" : text;
}

TEST(CliApp, TakesTheProgramSwitchesOutAndKeepsTheOperandsAsTheyAre) {
  std::istringstream in;
  std::ostringstream out, err;
  CliApp cli(in, out, err);
  AddCommandGroups(cli);
  struct Case {
    Words arguments;
    Words forParser;
    Words switches;
  };
  const Case cases[] = {
      {{"find"}, {"find"}, {}},
      {{"-noserial", "find", "-NORV"}, {"find"}, {"-noserial", "-NORV"}},
      // An operand may look like a switch: "-OI" is a controller command.
      {{"send", "-OI", "-norv"}, {"send", "--", "-OI"}, {"-norv"}},
      {{"--json", "send", "-OI", "--json"}, {"--json", "send", "--json", "--", "-OI"}, {}},
      // An option's value is joined to it, whatever it looks like.
      {{"--link", "COM1", "write-block", "1", "-x", "-linearize"},
       {"--link=COM1", "write-block", "--", "1", "-x"},
       {"-linearize"}},
      {{"terminal", "--log", "-run.log", "-download=a.hex"}, {"terminal", "--log=-run.log"}, {"-download=a.hex"}},
      {{"peek", "0", "0x10", "4", "--words"}, {"peek", "--words", "--", "0", "0x10", "4"}, {}},
      // The help flag is the parser's.
      {{"decode", "-h"}, {"decode", "-h"}, {}},
      {{"-screenrect0x0x799x599", "--no-system-ports", "ports"}, {"--no-system-ports", "ports"}, {"-screenrect0x0x799x599"}},
  };
  for (const Case& c : cases) {
    const SeparatedArguments separated = SeparateProgramSwitches(cli.Root(), c.arguments);
    EXPECT_EQ(separated.forParser, c.forParser) << Shown(c.arguments);
    EXPECT_EQ(separated.programSwitches, c.switches) << Shown(c.arguments);
    EXPECT_EQ(separated.unknownCommand, "") << Shown(c.arguments);
  }
  EXPECT_EQ(SeparateProgramSwitches(cli.Root(), {"-norv", "frobnicate"}).unknownCommand, "frobnicate");
}

TEST(CliApp, BadUsageEndsWithExitCode64AndALineThatSaysWhy) {
  struct Case {
    Words arguments;
    const char* says;
  };
  const Case cases[] = {
      {{"-noserial"}, "no command"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"--bogus", "find"}, "--bogus"},
      {{"find", "extra"}, "extra"},
      {{"find", "ports"}, "ports"},
      {{"send"}, "text is required"},
      {{"send", ""}, "empty"},
      {{"read-block"}, "block is required"},
      {{"read-block", "0"}, "not a block number"},
      {{"read-block", "11"}, "not a block number"},
      {{"read-block", "1x"}, "not a block number"},
      {{"read-block", "+1"}, "not a block number"},
      {{"write-block", "1"}, "bytes is required"},
      {{"write-block", "1", "ABC"}, "hexadecimal"},
      {{"write-block", "1", "GG"}, "hexadecimal"},
      {{"write-block", "1", ""}, "hexadecimal"},
      {{"write-block", "5", "0011"}, "4 bytes"},
      {{"--link"}, "--link"},
      {{"--link", "COM0", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "COM257", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "/dev/ttyS0", "send", "Z"}, "not COM1 to COM256"},
      {{"--link", "COM1,", "send", "Z"}, "port setting"},
      {{"--link", "COM1,fast", "send", "Z"}, "port setting"},
      {{"--link", "COM1", "find"}, "find searches"},
      {{"--emulate", ",9600,N,8,1", "find"}, "no family named"},
      {{"--emulate-port", "COM0", "find"}, "not COM1 to COM256"},
      {{"--port", "COM3A=/dev/x", "ports"}, "--port COM3A=/dev/x"},
      {{"--emulate", "frobnicate", "ports"}, "no emulated family"},
      {{"reset"}, "kind is required"},
      {{"reset", "medium"}, "not soft or hard"},
      {{"reboot", "flash"}, "not rom, ram or eeprom"},
      {{"restore-defaults", "--blocks", "9"}, "not block numbers"},
      {{"restore-defaults", "--blocks", "1,,2"}, "not block numbers"},
      {{"restore-defaults", "--cable"}, "give --blocks too"},
      {{"peek", "14", "0", "1"}, "not a memory number"},
      {{"peek", "0", "x10", "4"}, "not a decimal or 0x-prefixed address"},
      {{"peek", "0", "0", "0"}, "not a count"},
      {{"peek", "0", "0", "65537"}, "not a count"},
      {{"poke", "0", "0", "ABC"}, "not pairs of hexadecimal digits"},
      {{"poke", "0", "0", "A1B2C", "--words"}, "not groups of four"},
      {{"decode", "extra"}, "extra"},
      {{"decode", "--format"}, "--format"},
      {{"decode", "--format", "1"}, "not one of"},
      {{"decode", "--format", "32820"}, "not one of"},
      {{"decode", "--type", "5"}, "not a controller type"},
      {{"decode", "--type", "32861x"}, "not a controller type"},
      {{"decode", "--features", "123456789"}, "hexadecimal"},
      {{"decode", "--features", "0x"}, "hexadecimal"},
      {{"decode", "--features", "G"}, "hexadecimal"},
      {{"decode", "--wrap-on-cr", "2"}, "not 0 or 1"},
      {{"decode", "--wrap-on-bit7", "yes"}, "not 0 or 1"},
      {{"--link", "COM1", "decode"}, "standard input"},
      {{"--emulate", "cedar-gen4", "decode"}, "standard input"},
      {{"--json", "decode"}, "standard input"},
      {{"decode", "--json"}, "standard input"},
      {{"decode", "--seconds", "5"}, "--seconds"},
      {{"find", "--format", "32816"}, "--format"},
      {{"terminal", "--pass-through"}, "--pass-through"},
      {{"terminal", "--time-display", "4"}, "not 0 (off)"},
      {{"terminal", "--time-display", "01"}, "not 0 (off)"},
      {{"terminal", "--seconds", "0"}, "whole number of seconds"},
      {{"terminal", "--seconds", "1.5"}, "whole number of seconds"},
      {{"terminal", "--seconds", "1000000000"}, "whole number of seconds"},
      {{"terminal", "--log", ""}, "--log"},
      {{"terminal", "--log", "a", "--raw-log", "b"}, "one log at a time"},
      {{"--json", "terminal"}, "not for it"},
  };
  for (const Case& c : cases) {
    const Outcome run = Execute(c.arguments);
    EXPECT_EQ(run.exitCode, kExitUsage) << Shown(c.arguments) << ": " << run.err;
    EXPECT_EQ(run.err.rfind("kx7cli: ", 0), 0u) << Shown(c.arguments) << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << Shown(c.arguments) << ": " << run.err;
    EXPECT_EQ(run.out, "") << Shown(c.arguments);
  }
}

TEST(CliApp, NoArgumentsPrintTheUsageToStderr) {
  const Outcome run = Execute({});
  EXPECT_EQ(run.exitCode, kExitUsage);
  EXPECT_EQ(run.err.rfind("usage: kx7cli [options] COMMAND", 0), 0u) << run.err;
}

TEST(CliApp, EmulateWithAnUnknownFamilyListsEveryFamily) {
  const Outcome run = Execute({"--emulate", "frobnicate", "find"});
  EXPECT_EQ(run.exitCode, kExitUsage);
  for (const char* family : {"cedar-gen4", "birch", "silent", "rowan-usb-gen4", "larch-usb", "maple", "birch2-hid",
                             "resistive-usb-5wire", "birch-usb"})
    EXPECT_NE(run.err.find(family), std::string::npos) << family << ": " << run.err;
}

TEST(CliApp, HelpListsTheCommandsAndEachCommandsHelpItsOptions) {
  const Outcome root = Execute({"--help"});
  EXPECT_EQ(root.exitCode, kExitDone);
  for (const char* word : {"usage: kx7cli [options] COMMAND", "ports", "find", "identify", "send TEXT", "read-block N",
                           "write-block N HEX", "decode", "terminal", "reset soft|hard", "reboot rom|ram|eeprom",
                           "restore-defaults", "peek MEMORY ADDRESS COUNT", "poke MEMORY ADDRESS HEX",
                           "--link COMn[,SETTINGS]", "--port COMn=PATH", "--no-system-ports", "--json",
                           "--emulate FAMILY[,SETTINGS]", "--emulate-port COMn", "--version", "-noserial", "<XX>",
                           "exit codes", "64 bad usage"})
    EXPECT_NE(root.out.find(word), std::string::npos) << word;
  // One line a command: the first line of each command's help only.
  EXPECT_EQ(root.out.find("--format"), std::string::npos);

  struct Case {
    Words arguments;
    std::vector<const char*> words;
  };
  const Case cases[] = {
      {{"decode", "--help"},
       {"usage: kx7cli [options] decode [command options] [program switches]", "--format ID", "--type ID",
        "--features HEX", "--full-resolution", "--pass-through", "--wrap-on-cr 0|1", "--wrap-on-bit7 0|1", "32861",
        "<XX>"}},
      {{"terminal", "--help"}, {"--time-display N", "--log FILE", "--raw-log FILE", "--seconds N", "SIGINT"}},
      {{"--link", "COM2", "send", "-h"}, {"usage: kx7cli [options] send [command options] TEXT", "--json", "-OI"}},
      {{"find", "--help"}, {"LinkKind: N", "ControllerFeatures: 0xXXXXXXXX"}},
  };
  for (const Case& c : cases) {
    const Outcome run = Execute(c.arguments);
    EXPECT_EQ(run.exitCode, kExitDone) << Shown(c.arguments);
    for (const char* word : c.words) EXPECT_NE(run.out.find(word), std::string::npos) << Shown(c.arguments) << ": " << word;
  }
}

TEST(CliApp, DecodeRunsInProcessWithTheOptionsAfterTheCommand) {
  const Outcome run = Execute({"decode", "--format=hex", "--wrap-on-bit7", "0", "-norv"}, std::string("\x81\x00\x0D\x1A", 4));
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  EXPECT_EQ(run.out, "81 00 0D \n1A \n");
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace kx7::cli
