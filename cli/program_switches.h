// kx7cli's command line before the parser reads it. The classic program switches (-noserial,
// -norv, -linearize, -download=FILE, -screenrectLxTxRxB, ...) are single-dash words that a standard
// parser would take for short options: they are taken out wherever they stand and go to the frame
// unchanged. A command's operands follow it directly and are taken as they are, so `send -OI`
// sends "-OI".
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kx7::cli {

struct SeparatedArguments {
  // What the parser reads: the options and command words in their order, an option's value joined
  // to it ("--log=FILE"), and the command's operands last, after "--", so that an operand that
  // starts with '-' is not read as an option.
  std::vector<std::string> forParser;
  // The single-dash words that are not options of the parser, in their order.
  std::vector<std::string> programSwitches;
  // A word where a command was expected that names none.
  std::string unknownCommand;
};

// Splits the arguments (without the program name) by the commands and options `root` defines.
SeparatedArguments SeparateProgramSwitches(const CLI::App& root, const std::vector<std::string>& arguments);

}  // namespace kx7::cli
