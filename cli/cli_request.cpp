#include "cli_request.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "controller/controller_type_names.h"
#include "frame/frame_constants.h"
#include "link/serial/serial_settings.h"
#include "proto/command_channel.h"

namespace kx7::cli {
namespace {

struct CommandName {
  const char* name;
  Command command;
  std::size_t operands;
};

constexpr CommandName kCommands[] = {
    {"ports", Command::kPorts, 0},          {"find", Command::kFind, 0},
    {"identify", Command::kIdentify, 0},    {"send", Command::kSend, 1},
    {"read-block", Command::kReadBlock, 1}, {"write-block", Command::kWriteBlock, 2},
    {"decode", Command::kDecode, 0},        {"terminal", Command::kTerminal, 0},
    {"reset", Command::kReset, 1},          {"reboot", Command::kReboot, 1},
    {"restore-defaults", Command::kRestoreDefaults, 0},
    {"peek", Command::kPeek, 3},            {"poke", Command::kPoke, 3},
};

// The options that belong to one command.
struct CommandOption {
  const char* name;
  Command command;
  bool takesValue;
};

constexpr CommandOption kCommandOptions[] = {
    {"--format", Command::kDecode, true},        {"--type", Command::kDecode, true},
    {"--features", Command::kDecode, true},      {"--full-resolution", Command::kDecode, false},
    {"--pass-through", Command::kDecode, false}, {"--wrap-on-cr", Command::kDecode, true},
    {"--wrap-on-bit7", Command::kDecode, true},  {"--time-display", Command::kTerminal, true},
    {"--log", Command::kTerminal, true},         {"--raw-log", Command::kTerminal, true},
    {"--seconds", Command::kTerminal, true},
    {"--blocks", Command::kRestoreDefaults, true}, {"--cable", Command::kRestoreDefaults, false},
    {"--words", Command::kPeek, false},            {"--words", Command::kPoke, false},
};

struct GivenOption {
  const CommandOption* option;
  std::string value;
};

struct FormatName {
  const char* name;
  std::uint32_t format;
};

// The report formats the terminal decodes, by a short name as well as by number.
constexpr FormatName kFormats[] = {
    {"kxs", 32816},       {"z", 32840},         {"raw", 32817},     {"hex", 32818},
    {"digitizer", 32819}, {"undecoded", 32822}, {"signals", 32843},
};

const CommandName* FindCommand(const std::string& word) {
  for (const CommandName& entry : kCommands)
    if (word == entry.name) return &entry;
  return nullptr;
}

// Decimal digits only, so that "1x" or "+1" are not read as 1.
bool ParseNumber(const std::string& text, int low, int high, int& value, std::size_t mostDigits = 3) {
  if (text.empty() || text.size() > mostDigits) return false;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return false;
  value = number;
  return true;
}

const char* CommandWord(Command command) {
  for (const CommandName& entry : kCommands)
    if (entry.command == command) return entry.name;
  return "";
}

// Decimal, or hexadecimal after "0x"; at most `high`.
bool ParseUnsigned(const std::string& text, std::uint64_t high, std::uint64_t& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 10) return false;
  std::uint64_t number = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    number = number * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
  }
  if (number > high) return false;
  value = number;
  return true;
}

bool ParseBlockList(const std::string& text, std::vector<int>& blocks) {
  blocks.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    int block = 0;
    if (!ParseNumber(text.substr(start, comma - start), 1, 8, block, 1)) return false;
    if (std::find(blocks.begin(), blocks.end(), block) == blocks.end()) blocks.push_back(block);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(blocks.begin(), blocks.end());
  return true;
}

// The values of a poke: pairs of hexadecimal digits, or groups of four with --words.
bool ParseMemoryValues(const std::string& text, bool words, std::vector<std::uint16_t>& values) {
  const std::size_t width = words ? 4 : 2;
  if (text.empty() || text.size() % width != 0 || text.size() / width > kMostMemoryValues) return false;
  values.clear();
  for (std::size_t at = 0; at < text.size(); at += width) {
    std::uint16_t value = 0;
    for (std::size_t k = 0; k < width; ++k) {
      const char c = text[at + k];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) return false;
      value = static_cast<std::uint16_t>((value << 4) | digit);
    }
    values.push_back(value);
  }
  return true;
}

bool ParseMemoryOperands(const std::vector<std::string>& operands, bool peek, MemoryRequest& memory,
                         std::string& error) {
  std::uint64_t number = 0;
  if (!ParseUnsigned(operands[0], kLastMemory, number)) {
    error = "memory \"" + operands[0] + "\": not a memory number from 0 to " + std::to_string(kLastMemory);
    return false;
  }
  memory.memory = static_cast<int>(number);
  if (!ParseUnsigned(operands[1], 0xFFFFFFFFu, number)) {
    error = "address \"" + operands[1] + "\": not a decimal or 0x-prefixed address";
    return false;
  }
  memory.address = static_cast<std::uint32_t>(number);
  if (peek) {
    if (!ParseUnsigned(operands[2], kMostMemoryValues, number) || number == 0) {
      error = "count \"" + operands[2] + "\": not a count from 1 to " + std::to_string(kMostMemoryValues);
      return false;
    }
    memory.count = static_cast<std::size_t>(number);
  } else if (!ParseMemoryValues(operands[2], memory.words, memory.values)) {
    error = "values \"" + operands[2] + "\": not " + (memory.words ? "groups of four" : "pairs of") +
            " hexadecimal digits";
    return false;
  }
  return true;
}

bool ParseBlockNumber(const std::string& text, int& block, std::string& error) {
  if (ParseNumber(text, kFirstBlock, kLastBlock, block)) return true;
  error = "block \"" + text + "\": not a block number from " + std::to_string(kFirstBlock) + " to " +
          std::to_string(kLastBlock);
  return false;
}

bool ParseBlockBytes(const std::string& text, int block, std::vector<std::uint8_t>& bytes, std::string& error) {
  const std::optional<std::vector<std::uint8_t>> parsed = ParseHexPairs(text);
  if (!parsed) {
    error = "block bytes \"" + text + "\": not pairs of hexadecimal digits";
    return false;
  }
  if (parsed->empty()) {
    error = "block bytes: none given";
    return false;
  }
  if (block == kSerialNumberBlock && parsed->size() != kSerialNumberBytes) {
    error = "block 5 holds exactly 4 bytes (8 hexadecimal digits)";
    return false;
  }
  bytes = *parsed;
  return true;
}

// The value of "--name VALUE" or "--name=VALUE"; nothing when the argument is another one.
std::optional<std::string> OptionValue(const std::vector<std::string>& arguments, std::size_t& i, const char* name,
                                       std::string& error) {
  const std::string& argument = arguments[i];
  const std::size_t length = std::strlen(name);
  if (argument == name) {
    if (i + 1 >= arguments.size()) {
      error = std::string(name) + " needs a value";
      return std::string();
    }
    return arguments[++i];
  }
  if (argument.compare(0, length, name) == 0 && argument.size() > length && argument[length] == '=')
    return argument.substr(length + 1);
  return std::nullopt;
}

// One to eight hexadecimal digits, with or without "0x" in front.
bool ParseFeatures(const std::string& text, std::uint32_t& value) {
  std::size_t at = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) at = 2;
  if (text.size() == at || text.size() - at > 8) return false;
  std::uint32_t number = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    const int digit = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
    if (digit < 0) return false;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  value = number;
  return true;
}

bool ParseSwitchValue(const std::string& name, const std::string& text, bool& value, std::string& error) {
  if (text != "0" && text != "1") {
    error = name + " " + text + ": not 0 or 1";
    return false;
  }
  value = text == "1";
  return true;
}

bool ApplyCommandOption(const GivenOption& given, Request& request, std::string& error) {
  const std::string name = given.option->name;
  const std::string& value = given.value;
  if (given.option->command != request.command) {
    // An option several commands share has an entry for each.
    for (const CommandOption& other : kCommandOptions)
      if (other.name == name && other.command == request.command) return ApplyCommandOption({&other, value}, request, error);
    error = name + " is an option of " + CommandWord(given.option->command);
    return false;
  }
  DecodeRequest& decode = request.decode;
  TerminalRequest& terminal = request.terminal;
  if (name == "--format") {
    const std::optional<std::uint32_t> format = ParseReportFormat(value);
    if (!format) {
      error = "--format " + value +
              ": not one of 32816 (kxs), 32840 (z), 32817 (raw), 32818 (hex), 32819 (digitizer), "
              "32822 (undecoded), 32843 (signals)";
      return false;
    }
    decode.format = *format;
  } else if (name == "--type") {
    int type = 0;
    if (!ParseNumber(value, 1, 99999, type, 5) || *ControllerTypeName(static_cast<std::uint32_t>(type)) == '\0') {
      error = "--type " + value + ": not a controller type id such as 32861 (Birch)";
      return false;
    }
    decode.controllerType = static_cast<std::uint32_t>(type);
  } else if (name == "--features") {
    if (!ParseFeatures(value, decode.features)) {
      error = "--features " + value + ": not one to eight hexadecimal digits";
      return false;
    }
  } else if (name == "--full-resolution") {
    decode.fullResolution = true;
  } else if (name == "--pass-through") {
    decode.passThrough = true;
  } else if (name == "--wrap-on-cr") {
    return ParseSwitchValue(name, value, decode.wrapOnCr, error);
  } else if (name == "--wrap-on-bit7") {
    return ParseSwitchValue(name, value, decode.wrapOnBit7, error);
  } else if (name == "--time-display") {
    int display = 0;
    if (!ParseNumber(value, 0, kLastTimeDisplay, display, 1)) {
      error = "--time-display " + value + ": not 0 (off), 1 (absolute), 2 (relative) or 3 (date and time)";
      return false;
    }
    terminal.timeDisplay = display;
  } else if (name == "--blocks") {
    if (!ParseBlockList(value, request.restore.blocks)) {
      error = "--blocks " + value + ": not block numbers from 1 to 8 separated by commas";
      return false;
    }
  } else if (name == "--cable") {
    request.restore.cable = true;
  } else if (name == "--words") {
    request.memoryRequest.words = true;
  } else if (name == "--seconds") {
    if (!ParseNumber(value, 1, kMostSeconds, terminal.seconds, 9)) {
      error = "--seconds " + value + ": not a whole number of seconds from 1 to " + std::to_string(kMostSeconds);
      return false;
    }
  } else {
    std::string& path = name == "--log" ? terminal.logFile : terminal.rawLogFile;
    if (value.empty()) {
      error = name + ": no file name";
      return false;
    }
    path = value;
  }
  return true;
}

}  // namespace

std::optional<std::uint32_t> ParseReportFormat(const std::string& text) {
  for (const FormatName& entry : kFormats) {
    if (strcasecmp(text.c_str(), entry.name) == 0 || text == std::to_string(entry.format)) return entry.format;
  }
  return std::nullopt;
}

bool ParseLink(const std::string& text, LinkRequest& out, std::string& error) {
  const std::size_t comma = text.find(',');
  const std::string port = text.substr(0, comma);
  int number = 0;
  if (port.size() < 4 || strncasecmp(port.c_str(), "COM", 3) != 0 ||
      !ParseNumber(port.substr(3), 1, link::kLastComPort, number)) {
    error = "--link " + text + ": not COM1 to COM" + std::to_string(link::kLastComPort);
    return false;
  }
  std::string settings;
  if (comma != std::string::npos) {
    settings = text.substr(comma + 1);
    SerialConfig config;
    if (settings.empty() || !ApplySettingsString(settings, config)) {
      error = "--link " + text + ": \"" + settings + "\" is not a port setting such as 9600,N,8,1";
      return false;
    }
  }
  out.port = number;
  out.settings = settings;
  return true;
}

std::optional<Request> ParseRequest(const std::vector<std::string>& arguments, std::string& error) {
  error.clear();
  Request request;
  const CommandName* command = nullptr;
  std::vector<std::string> operands;
  std::vector<GivenOption> commandOptions;
  std::size_t operandsWanted = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (command && operands.size() < operandsWanted) {
      operands.push_back(argument);
      continue;
    }
    if (argument.rfind("--", 0) == 0) {
      if (argument == "--json") {
        request.json = true;
      } else if (argument == "--no-system-ports") {
        request.noSystemPorts = true;
      } else if (const std::optional<std::string> value = OptionValue(arguments, i, "--link", error)) {
        if (!error.empty()) return std::nullopt;
        LinkRequest named;
        if (!ParseLink(*value, named, error)) return std::nullopt;
        request.link = named;
      } else {
        const CommandOption* matched = nullptr;
        std::string optionValue;
        for (const CommandOption& option : kCommandOptions) {
          if (!option.takesValue) {
            if (argument == option.name) matched = &option;
          } else if (const std::optional<std::string> given = OptionValue(arguments, i, option.name, error)) {
            if (!error.empty()) return std::nullopt;
            matched = &option;
            optionValue = *given;
          }
          if (matched) break;
        }
        if (!matched) {
          error = "unknown option \"" + argument + "\"";
          return std::nullopt;
        }
        commandOptions.push_back({matched, optionValue});
      }
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      request.programSwitches.push_back(argument);
      continue;
    }
    if (command) {
      error = std::string("\"") + command->name + "\" takes no more than " + std::to_string(operandsWanted) +
              " argument" + (operandsWanted == 1 ? "" : "s") + "; \"" + argument + "\" is one too many";
      return std::nullopt;
    }
    command = FindCommand(argument);
    if (!command) {
      error = "unknown command \"" + argument + "\"";
      return std::nullopt;
    }
    operandsWanted = command->operands;
  }
  if (!command) {
    error = "no command given";
    return std::nullopt;
  }
  if (operands.size() < operandsWanted) {
    const Command c = command->command;
    error = std::string("\"") + command->name + "\" needs " +
            (c == Command::kSend        ? "the command text"
             : c == Command::kReadBlock ? "a block number"
             : c == Command::kReset     ? "soft or hard"
             : c == Command::kReboot    ? "rom, ram or eeprom"
             : c == Command::kPeek      ? "a memory, an address and a count"
             : c == Command::kPoke      ? "a memory, an address and the values in hexadecimal"
                                        : "a block number and the block's bytes in hexadecimal");
    return std::nullopt;
  }
  request.command = command->command;
  for (const GivenOption& given : commandOptions)
    if (!ApplyCommandOption(given, request, error)) return std::nullopt;
  switch (request.command) {
    case Command::kPorts:
      break;
    case Command::kFind:
      if (request.link) {
        error = "find searches for the controller; --link names the port for the other commands";
        return std::nullopt;
      }
      break;
    case Command::kIdentify:
      break;
    case Command::kSend:
      request.text = operands[0];
      if (request.text.empty()) {
        error = "send: the command text is empty";
        return std::nullopt;
      }
      break;
    case Command::kReadBlock:
      if (!ParseBlockNumber(operands[0], request.block, error)) return std::nullopt;
      break;
    case Command::kWriteBlock:
      if (!ParseBlockNumber(operands[0], request.block, error)) return std::nullopt;
      if (!ParseBlockBytes(operands[1], request.block, request.blockBytes, error)) return std::nullopt;
      break;
    case Command::kReset:
      if (operands[0] == "soft" || operands[0] == "hard") {
        request.reset = operands[0] == "soft" ? ResetKind::kSoft : ResetKind::kHard;
      } else {
        error = "reset " + operands[0] + ": not soft or hard";
        return std::nullopt;
      }
      break;
    case Command::kReboot:
      if (operands[0] == "rom") {
        request.reboot = RebootKind::kRom;
      } else if (operands[0] == "ram") {
        request.reboot = RebootKind::kRam;
      } else if (operands[0] == "eeprom") {
        request.reboot = RebootKind::kEeprom;
      } else {
        error = "reboot " + operands[0] + ": not rom, ram or eeprom";
        return std::nullopt;
      }
      break;
    case Command::kRestoreDefaults:
      if (request.restore.cable && request.restore.blocks.empty()) {
        error = "--cable restores the cable's Block4 with chosen blocks: give --blocks too";
        return std::nullopt;
      }
      break;
    case Command::kPeek:
    case Command::kPoke:
      if (!ParseMemoryOperands(operands, request.command == Command::kPeek, request.memoryRequest, error))
        return std::nullopt;
      break;
    case Command::kDecode:
      if (request.link || request.json) {
        error = std::string("decode reads its bytes from standard input and prints lines; ") +
                (request.link ? "--link" : "--json") + " is for the commands that reach the controller";
        return std::nullopt;
      }
      break;
    case Command::kTerminal:
      if (request.json) {
        error = "terminal prints the terminal's lines as they are; --json is not for it";
        return std::nullopt;
      }
      if (!request.terminal.logFile.empty() && !request.terminal.rawLogFile.empty()) {
        error = "one log at a time: --log or --raw-log";
        return std::nullopt;
      }
      break;
  }
  return request;
}

}  // namespace kx7::cli
