// kx7cli's command line: the parser with the options every command shares, the commands the
// groups register, and the run of the one command given. A command group (controller_commands.cpp,
// memory_commands.cpp, ...) adds its commands with their options, checks and help, and says what
// each runs; the run comes once the whole line has been read.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "cli_arguments.h"
#include "cli_exit_codes.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace kx7 {
class PortDirectory;
namespace emu {
class EmulationSession;
}
}  // namespace kx7

namespace kx7::cli {

// The options before the command name, which every command may use.
struct GlobalOptions {
  bool json = false;           // --json (also after the command name)
  bool noSystemPorts = false;  // --no-system-ports
  std::optional<LinkRequest> link;  // --link COMn[,SETTINGS]
  // --port COMn=PATH (repeatable), --emulate FAMILY[,SETTINGS], --emulate-port COMn.
  FrontEndOptions frontEnd;
  // -noserial, -norv, ...: for the frame, as kx7sdu reads them.
  std::vector<std::string> programSwitches;
};

class CliApp {
 public:
  using Run = std::function<int()>;

  CliApp(std::istream& in, std::ostream& out, std::ostream& err);
  ~CliApp();
  CliApp(const CliApp&) = delete;
  CliApp& operator=(const CliApp&) = delete;

  // A command of `group` under `parent` (the program itself when null), with its one-line help.
  CLI::App& AddCommand(const std::string& name, const std::string& help, const std::string& group,
                       CLI::App* parent = nullptr);
  // What the command runs; its exit code becomes the program's.
  void OnRun(CLI::App& command, Run run);
  // What runs when no command is named but a classic switch asks for a job ("-download=FILE"):
  // `pick` sees the switches and returns the run, or nothing when they ask for none.
  void OnSwitchRun(std::function<Run(const std::vector<std::string>& switches)> pick) { switchRun_ = std::move(pick); }
  // The command's own --json: the same switch as the one before the command name, listed in its help.
  void AddJsonFlag(CLI::App& command, const std::string& help);

  // Reads the arguments (without the program name) and runs the command; the exit code.
  int Execute(const std::vector<std::string>& arguments);

  CLI::App& Root() { return *root_; }
  const GlobalOptions& Globals() const { return globals_; }
  std::istream& In() { return in_; }
  std::ostream& Out() { return out_; }
  std::ostream& Err() { return err_; }

  // A usage problem found by a command itself: "kx7cli: PROBLEM (see kx7cli --help)" on stderr;
  // returns kExitUsage.
  int UsageError(const std::string& problem);

  // Refuses the global options that make no sense for a command that needs no controller;
  // kExitDone when none of them was given.
  int RefuseControllerOptions(const std::string& command, const std::string& why);

  // The ports as the environment (KX7_PORTS), --port and --emulate map them, and the system's
  // unless --no-system-ports; the emulated controller served from now on until the program ends.
  // kExitDone, or the exit code to end with.
  int PreparePorts(PortDirectory& ports);

 private:
  void AddGlobalOptions();

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<CLI::App> root_;
  GlobalOptions globals_;
  bool version_ = false;
  Run run_;
  std::function<Run(const std::vector<std::string>&)> switchRun_;
  std::unique_ptr<emu::EmulationSession> emulator_;
};

// An option ("--seconds") or an operand ("block") with its value's name for the help ("N"): `take`
// reads the text into the command's settings, or returns false, and the value is bad usage,
// "--seconds 0: PROBLEM" or "block \"0\": PROBLEM". Operands are required.
CLI::Option* AddValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& help, std::function<bool(const std::string&)> take,
                      const std::string& problem);

}  // namespace kx7::cli
