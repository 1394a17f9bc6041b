#include "program_switches.h"

#include <CLI/CLI.hpp>

namespace kx7::cli {
namespace {

// The option of that name that the command, or a command it stands in, defines.
const CLI::Option* FindOption(const CLI::App* command, const std::string& name) {
  for (; command != nullptr; command = command->get_parent())
    if (const CLI::Option* option = command->get_option_no_throw(name)) return option;
  return nullptr;
}

const CLI::App* FindCommand(const CLI::App& parent, const std::string& word) {
  const std::vector<const CLI::App*> found =
      parent.get_subcommands([&word](const CLI::App* command) { return command->check_name(word); });
  return found.empty() ? nullptr : found.front();
}

// The operands a command must have: these follow it directly and are taken whatever they look
// like. A list of files counts with its first.
std::size_t RequiredOperands(const CLI::App& command) {
  std::size_t count = 0;
  for (const CLI::Option* operand :
       command.get_options([](const CLI::Option* option) { return option->get_positional(); })) {
    if (!operand->get_required()) break;
    count += static_cast<std::size_t>(operand->get_items_expected_min());
    if (operand->get_items_expected_max() != operand->get_items_expected_min()) break;
  }
  return count;
}

bool HasOperands(const CLI::App& command) {
  return !command.get_options([](const CLI::Option* option) { return option->get_positional(); }).empty();
}

}  // namespace

SeparatedArguments SeparateProgramSwitches(const CLI::App& root, const std::vector<std::string>& arguments) {
  SeparatedArguments separated;
  std::vector<std::string> operands;
  const CLI::App* command = &root;
  std::size_t operandsDue = 0;
  bool operandsOnly = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // "send --help" asks for the help of send.
    const bool help = command->get_help_ptr() != nullptr && command->get_help_ptr()->check_name(argument);
    if (operandsOnly || (operandsDue > 0 && !help)) {
      operands.push_back(argument);
      if (operandsDue > 0) --operandsDue;
      continue;
    }
    if (argument == "--") {
      operandsOnly = true;
      continue;
    }
    if (argument.rfind("--", 0) == 0) {
      const std::size_t equals = argument.find('=');
      const CLI::Option* option = FindOption(command, argument.substr(0, equals));
      if (equals == std::string::npos && option != nullptr && option->get_items_expected_max() > 0 &&
          i + 1 < arguments.size()) {
        separated.forParser.push_back(argument + "=" + arguments[++i]);
      } else {
        separated.forParser.push_back(argument);
      }
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      if (FindOption(command, argument) != nullptr)
        separated.forParser.push_back(argument);
      else
        separated.programSwitches.push_back(argument);
      continue;
    }
    if (const CLI::App* named = FindCommand(*command, argument)) {
      separated.forParser.push_back(argument);
      command = named;
      operandsDue = RequiredOperands(*named);
      continue;
    }
    if (command == &root && separated.unknownCommand.empty()) separated.unknownCommand = argument;
    if (HasOperands(*command))
      operands.push_back(argument);
    else
      separated.forParser.push_back(argument);
  }
  if (!operands.empty()) {
    separated.forParser.emplace_back("--");
    separated.forParser.insert(separated.forParser.end(), operands.begin(), operands.end());
  }
  return separated;
}

}  // namespace kx7::cli
