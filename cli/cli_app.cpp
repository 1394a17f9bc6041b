#include "cli_app.h"

#include <CLI/CLI.hpp>

#include <cstdlib>

#include "app/command_line_help.h"
#include "emulator/emulation_session.h"
#include "emulator/sensor_items.h"
#include "platform/port_directory.h"
#include "program_switches.h"

namespace kx7::cli {
namespace {

constexpr const char* kProgram = "kx7cli";

constexpr const char* kDescription = "The program's core without a window, for production rigs and scripts.";

constexpr const char* kFooter =
    "A command's arguments follow it directly, so \"send -OI\" sends -OI. \"kx7cli COMMAND --help\"\n"
    "shows a command's arguments and options. The options above stand before the command name\n"
    "(--json also after it).\n"
    "\n"
    "program switches: those of kx7sdu (-noserial, -norv, -linearize, ...), wherever they stand;\n"
    "for the search these count:\n"
    "  -noserial             try no serial port\n"
    "  -norv                 try neither touch driver\n"
    "\n"
    "Lines show the bytes a terminal would not show as themselves as <XX> (two upper-case\n"
    "hexadecimal digits); JSON strings escape them. What the program would show in a message box\n"
    "(\"Can't Find Controller\", \"Can't Open Port\", \"Block Read Failed\", \"Write Failed\") goes to\n"
    "stderr as CAPTION: TEXT. Like kx7sdu, kx7cli reads and writes the settings file kx7sdua.ini of\n"
    "the current folder, so the search's first try (\"Existing\") is the setting that worked last;\n"
    "the commands that need no controller leave it alone.\n"
    "\n"
    "exit codes: 0 done; 1 the operation failed (no controller found, the port did not open, no\n"
    "reply, the exchange or the procedure failed or was refused, no pseudo-terminal for --emulate);\n"
    "4 a file cannot be opened or written; 5 a file or the standard input is rejected; 64 bad usage";

// Usage lines first, the option names with their value's name only, the operands by that name.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() {
    column_width(kUsageHelpColumn);
    label("Positionals", "arguments");
  }

  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    std::string text = make_usage(app, name);
    if (!app->get_description().empty()) text += app->get_description() + "\n";
    text += make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode);
    text += "\n" + make_footer(app);
    return text;
  }

  std::string make_usage(const CLI::App* app, std::string) const override {
    std::string path;
    for (const CLI::App* command = app; command->get_parent() != nullptr; command = command->get_parent())
      path = command->get_name() + (path.empty() ? "" : " ") + path;
    std::string text = std::string("usage: ") + kProgram + " [options]";
    if (path.empty()) return text + " COMMAND [ARGUMENTS] [program switches]\n";
    text += " " + path;
    const bool hasOptions =
        !app->get_options([app](const CLI::Option* option) {
              return option->nonpositional() && option != app->get_help_ptr();
            }).empty();
    if (hasOptions) text += " [command options]";
    if (!app->get_subcommands({}).empty()) text += " COMMAND";
    text += Operands(app);
    return text + " [program switches]\n";
  }

  std::string make_subcommand(const CLI::App* command) const override {
    std::stringstream out;
    std::string name = command->get_name() + Operands(command);
    if (!command->get_subcommands({}).empty()) {
      std::string names;
      for (const CLI::App* sub : command->get_subcommands({})) names += (names.empty() ? "" : "|") + sub->get_name();
      name += " " + names;
    }
    CLI::detail::format_help(out, name, command->get_description(), column_width_);
    return out.str();
  }

  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    return positional ? option->get_type_name() : CLI::Formatter::make_option_name(option, positional);
  }

  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_positional() || option->get_type_size() == 0 || option->get_items_expected_max() == 0) return "";
    return " " + option->get_type_name();
  }

 private:
  static std::string Operands(const CLI::App* app) {
    std::string text;
    for (const CLI::Option* operand : app->get_options([](const CLI::Option* option) { return option->get_positional(); }))
      text += " " + operand->get_type_name();
    return text;
  }
};

}  // namespace

CliApp::CliApp(std::istream& in, std::ostream& out, std::ostream& err)
    : in_(in), out_(out), err_(err), root_(std::make_unique<CLI::App>(kDescription, kProgram)) {
  CLI::App& root = *root_;
  root.formatter(std::make_shared<HelpFormatter>());
  root.option_defaults()->group("options")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  root.set_help_flag("-h,--help", "this text; after a command, that command's arguments and options");
  // Options the command does not know are the ones before its name (--json after it too).
  root.fallthrough();
  root.require_subcommand(0, 1);
  AddGlobalOptions();
  root.footer(kFooter);
}

CliApp::~CliApp() {
  // The emulated controller's state goes back to its file once the command is done with it.
  std::string problem;
  if (emulator_ && !emulator_->SaveState(problem)) err_ << kProgram << ": " << problem << "\n";
}

void CliApp::AddGlobalOptions() {
  CLI::App& root = *root_;
  root.add_option("--port", globals_.frontEnd.portOverrides,
                  "show the device PATH as COM port n (repeatable);\n"
                  "KX7_PORTS=\"COM3=/dev/pts/4,COM5=/dev/ttyUSB0\" does the same")
      ->type_name("COMn=PATH")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  root.add_flag("--no-system-ports", globals_.noSystemPorts,
                "leave the system's serial ports out: only the --port, KX7_PORTS and\n"
                "--emulate ports exist (for ports and for the search)");
  root.add_option_function<std::string>(
          "--link",
          [this](const std::string& value) {
            globals_.link = ReadLink(value);
            if (!globals_.link)
              throw CLI::ValidationError("--link " + value + ": not COM1 to COM256, or not followed by a port setting such as 9600,N,8,1");
          },
          "use COMn as the controller link instead of searching, at SETTINGS\n"
          "(\"19200,N,8,1\"; default the saved settings, at first 9600,N,8,1)")
      ->type_name("COMn[,SETTINGS]");
  root.add_flag("--json", globals_.json, "the commands that report print one JSON object instead");
  root.add_option_function<std::string>(
          "--emulate",
          [this](const std::string& value) {
            std::string error;
            if (!ApplyEmulateOption(value, globals_.frontEnd, error)) throw CLI::ValidationError(error);
          },
          kEmulateHelp)
      ->type_name("FAMILY[,SETTINGS]");
  root.add_option_function<std::string>(
          "--touch-feed", [this](const std::string& value) { globals_.frontEnd.touchFeed = value; },
          kTouchFeedHelp)
      ->type_name("PATH");
  root.add_option_function<std::string>(
          "--sensor", [this](const std::string& value) { globals_.frontEnd.sensorItems = value; }, kSensorHelp)
      ->type_name("ITEMS");
  root.add_option_function<std::string>(
          "--emulate-port",
          [this](const std::string& value) {
            std::string error;
            if (!ApplyEmulatePortOption(value, globals_.frontEnd, error)) throw CLI::ValidationError(error);
          },
          kEmulatePortHelp)
      ->type_name("COMn");
  root.add_option_function<std::string>(
          "--emulate-state", [this](const std::string& value) { globals_.frontEnd.emulateStateFile = value; },
          kEmulateStateHelp)
      ->type_name("FILE");
  root.add_flag("--version", version_, "the program's version");
}

CLI::App& CliApp::AddCommand(const std::string& name, const std::string& help, const std::string& group,
                             CLI::App* parent) {
  CLI::App* command = (parent != nullptr ? parent : root_.get())->add_subcommand(name, help);
  command->group(group);
  command->get_help_ptr()->group("options")->description("this text");
  command->require_subcommand(0, 1);
  // The footer is inherited; a command has its own notes or none.
  command->footer("");
  return *command;
}

void CliApp::OnRun(CLI::App& command, Run run) {
  command.callback([this, run = std::move(run)] { run_ = run; });
}

void CliApp::AddJsonFlag(CLI::App& command, const std::string& help) { command.add_flag("--json", globals_.json, help); }

CLI::Option* AddValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& help, std::function<bool(const std::string&)> take,
                      const std::string& problem) {
  const bool operand = name.rfind("-", 0) != 0;
  CLI::Option* option = command.add_option_function<std::string>(
      name,
      [name, operand, take = std::move(take), problem](const std::string& value) {
        if (take(value)) return;
        throw CLI::ValidationError((operand ? name + " \"" + value + "\"" : name + " " + value) + ": " + problem);
      },
      help);
  option->type_name(valueName);
  if (operand) option->required();
  return option;
}

int CliApp::UsageError(const std::string& problem) {
  err_ << kProgram << ": " << problem << " (see " << kProgram << " --help)\n";
  return kExitUsage;
}

int CliApp::RefuseControllerOptions(const std::string& command, const std::string& why) {
  const char* given = globals_.link ? "--link" : globals_.frontEnd.emulateFamily ? "--emulate" : nullptr;
  if (given == nullptr) return kExitDone;
  return UsageError(command + " " + why + "; " + given + " is for the commands that reach the controller");
}

int CliApp::Execute(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    err_ << root_->help();
    return kExitUsage;
  }
  const SeparatedArguments separated = SeparateProgramSwitches(*root_, arguments);
  if (!separated.unknownCommand.empty()) return UsageError("unknown command \"" + separated.unknownCommand + "\"");
  globals_.programSwitches = separated.programSwitches;
  try {
    // The parser takes the arguments last first.
    root_->parse(std::vector<std::string>(separated.forParser.rbegin(), separated.forParser.rend()));
  } catch (const CLI::CallForHelp& help) {
    return root_->exit(help, out_, err_);
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what());
  }
  if (version_) {
    out_ << kProgram << " " << kVersionString << "\n";
    return kExitDone;
  }
  if (!run_ && switchRun_) {
    if (const Run job = switchRun_(globals_.programSwitches)) return job();
  }
  if (!run_) {
    const CLI::App* chosen = root_.get();
    while (!chosen->get_subcommands().empty()) chosen = chosen->get_subcommands().front();
    if (chosen == root_.get()) return UsageError("no command given");
    std::string names;
    for (const CLI::App* command : chosen->get_subcommands({}))
      names += (names.empty() ? "" : ", ") + command->get_name();
    return UsageError(chosen->get_name() + " needs one of its commands: " + names);
  }
  return run_();
}

int CliApp::PreparePorts(PortDirectory& ports) {
  if (const char* environment = std::getenv("KX7_PORTS")) {
    for (const std::string& rejected : ports.AddOverridesFromEnvironment(environment))
      err_ << kProgram << ": KX7_PORTS: ignoring \"" << rejected << "\"\n";
  }
  std::string problem;
  for (const std::string& override : globals_.frontEnd.portOverrides) {
    if (!ports.AddOverride(override, &problem)) return UsageError("--port " + override + ": " + problem);
  }
  if (globals_.frontEnd.emulateStateFile && !globals_.frontEnd.emulateFamily)
    return UsageError("--emulate-state keeps the state of the controller --emulate serves; there is none");
  if (!globals_.frontEnd.touchFeed.empty() && !globals_.frontEnd.emulateFamily)
    return UsageError("--touch-feed is for the controller of --emulate");
  if (globals_.frontEnd.sensorItems && !globals_.frontEnd.emulateFamily)
    return UsageError("--sensor is for the controller of --emulate");
  if (globals_.frontEnd.emulateFamily) {
    bool badUsage = false;
    bool stateRejected = false;
    emu::EmulationExtras extras;
    if (globals_.frontEnd.sensorItems) {
      extras.sensor = emu::ParseSensorItems(*globals_.frontEnd.sensorItems, problem);
      if (!extras.sensor) return UsageError("--sensor " + *globals_.frontEnd.sensorItems + ": " + problem);
    }
    extras.stateFile = globals_.frontEnd.emulateStateFile;
    extras.touchFeed = globals_.frontEnd.touchFeed;
    extras.feedProblems = [this](const std::string& line) { err_ << kProgram << ": --touch-feed: " << line << "\n"; };
    emulator_ = emu::EmulationSession::Start(*globals_.frontEnd.emulateFamily, globals_.frontEnd.emulateSettings,
                                             problem, badUsage, extras, &stateRejected);
    if (!emulator_) {
      if (badUsage) return UsageError("--emulate: " + problem);
      if (stateRejected) {
        err_ << kProgram << ": " << problem << "\n";
        return kExitRejected;
      }
      err_ << kProgram << ": --emulate: " << problem << "\n";
      return kExitFailed;
    }
    // A USB family runs in this process; a serial one is found on its pseudo-terminal.
    if (!emulator_->SerialPath().empty()) {
      const std::string override =
          "COM" + std::to_string(globals_.frontEnd.emulatePort) + "=" + emulator_->SerialPath();
      if (!ports.AddOverride(override, &problem)) return UsageError("--emulate-port: " + problem);
    }
  }
  // Without the scan the directory holds the overrides alone.
  if (!globals_.noSystemPorts) ports.Scan();
  return kExitDone;
}

}  // namespace kx7::cli
