// kx7cli: the program's core without a window, for production rigs and scripts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/command_line_help.h"
#include "emulator/pty_server.h"
#include "platform/port_directory.h"

namespace {

constexpr const char* kUsageHead =
    "usage: kx7cli [options] COMMAND\n"
    "\n"
    "options:\n"
    "  --port COMn=PATH      show the device PATH as COM port n (repeatable);\n"
    "                        KX7_PORTS=\"COM3=/dev/pts/4,COM5=/dev/ttyUSB0\" does the same\n";
constexpr const char* kUsageRest =
    "  --help                this text\n"
    "  --version             the program's version\n"
    "\n"
    "commands:\n"
    "  ports                 list the serial ports as the Port menu shows them: COM number, device,\n"
    "                        and \"Bluetooth\" for Bluetooth ports\n"
    "\n"
    "exit codes: 0 done, 1 no pseudo-terminal for --emulate, 2 bad usage\n";

std::string Usage() { return std::string(kUsageHead) + kx7::kEmulateOptionsHelp + kUsageRest; }

int ListPorts(const kx7::PortDirectory& ports) {
  for (const kx7::PortEntry& entry : ports.Ports()) {
    std::printf("COM%d\t%s%s\n", entry.number, entry.path.c_str(), entry.bluetooth ? "\tBluetooth" : "");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kx7::FrontEndOptions options = kx7::TakeFrontEndOptions(arguments);
  for (const std::string& error : options.errors) std::fprintf(stderr, "kx7cli: %s\n", error.c_str());
  if (!options.errors.empty()) return 2;
  if (options.help) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  if (options.screenshotFile) {
    std::fprintf(stderr, "kx7cli: --screenshot needs the desktop program\n");
    return 2;
  }
  if (!arguments.empty() && arguments[0] == "--version") {
    std::printf("kx7cli %s\n", kx7::kVersionString);
    return 0;
  }
  kx7::PortDirectory ports;
  if (const char* environment = std::getenv("KX7_PORTS")) {
    for (const std::string& rejected : ports.AddOverridesFromEnvironment(environment))
      std::fprintf(stderr, "kx7cli: KX7_PORTS: ignoring \"%s\"\n", rejected.c_str());
  }
  for (const std::string& override : options.portOverrides) {
    std::string problem;
    if (!ports.AddOverride(override, &problem)) {
      std::fprintf(stderr, "kx7cli: --port %s: %s\n", override.c_str(), problem.c_str());
      return 2;
    }
  }
  // Served until the program ends.
  std::unique_ptr<kx7::emu::PtyServer> emulator;
  if (options.emulateFamily) {
    std::string problem;
    bool badUsage = false;
    emulator = kx7::emu::StartEmulator(*options.emulateFamily, options.emulateSettings, problem, badUsage);
    if (!emulator) {
      std::fprintf(stderr, "kx7cli: --emulate: %s\n", problem.c_str());
      return badUsage ? 2 : 1;
    }
    const std::string override = "COM" + std::to_string(options.emulatePort) + "=" + emulator->SlavePath();
    if (!ports.AddOverride(override, &problem)) {
      std::fprintf(stderr, "kx7cli: --emulate-port: %s\n", problem.c_str());
      return 2;
    }
  }
  ports.Scan();
  if (arguments.empty()) {
    std::fputs(Usage().c_str(), stderr);
    return 2;
  }
  const std::string& command = arguments[0];
  if (command == "ports" && arguments.size() == 1) return ListPorts(ports);
  std::fprintf(stderr, "kx7cli: unknown command \"%s\" (see kx7cli --help)\n", command.c_str());
  return 2;
}
