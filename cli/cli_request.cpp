#include "cli_request.h"

#include <strings.h>

#include <cstring>

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
};

const CommandName* FindCommand(const std::string& word) {
  for (const CommandName& entry : kCommands)
    if (word == entry.name) return &entry;
  return nullptr;
}

// Decimal digits only, so that "1x" or "+1" are not read as 1.
bool ParseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 3) return false;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return false;
  value = number;
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

}  // namespace

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
        error = "unknown option \"" + argument + "\"";
        return std::nullopt;
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
    error = std::string("\"") + command->name + "\" needs " +
            (command->command == Command::kSend        ? "the command text"
             : command->command == Command::kReadBlock ? "a block number"
                                                       : "a block number and the block's bytes in hexadecimal");
    return std::nullopt;
  }
  request.command = command->command;
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
  }
  return request;
}

}  // namespace kx7::cli
