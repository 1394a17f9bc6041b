// kx7cli: the program's core without a window, for production rigs and scripts.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/command_line_help.h"
#include "app/diagnostic_app.h"
#include "cli_request.h"
#include "controller_session.h"
#include "emulator/emulation_session.h"
#include "line_decoder.h"
#include "platform/port_directory.h"

namespace {

constexpr const char* kUsageHead =
    "usage: kx7cli [options] COMMAND [ARGUMENTS] [program switches]\n"
    "\n"
    "commands:\n"
    "  ports                 list the serial ports as the Port menu shows them: COM number, device,\n"
    "                        and \"Bluetooth\" for Bluetooth ports\n"
    "  find                  Find Controller, as the Port menu runs it: the driver and HID steps, then\n"
    "                        every serial port at each of the 57 settings in turn until a controller\n"
    "                        answers, then its identification; prints the report below\n"
    "  identify              with --link: identify the controller on that port; without: as find;\n"
    "                        prints the report below\n"
    "  send TEXT             send the controller command TEXT (framed SOH, TEXT, CR) and print its\n"
    "                        one-line reply: SOH left out, the closing CR removed, and every byte\n"
    "                        outside printable ASCII as <XX> (two hexadecimal digits)\n"
    "  read-block N          read parameter block N (1 to 10) and print it as upper-case hex pairs\n"
    "  write-block N HEX     write parameter block N from hex pairs (either case; block 5 takes 4\n"
    "                        bytes); Block1 of a Cedar or Rowan controller gets its checksum stored\n"
    "                        in its last two bytes\n"
    "  decode                read bytes from standard input to their end and print the lines the\n"
    "                        terminal shows for them, one an output line (below); needs no controller\n"
    "  terminal              open the terminal on the controller and print every line it shows as the\n"
    "                        line ends, until SIGINT or SIGTERM or for --seconds (below)\n"
    "  reset soft|hard       reset the controller the way its link and family want it\n"
    "  reboot rom|ram|eeprom reboot it into its fixed code, RAM or download code\n"
    "  restore-defaults      restore the controller's factory defaults; --blocks 1,2,... restores\n"
    "                        those blocks only (Birch USB and Birch2 HID), --cable also the cable's\n"
    "                        Block4 (its factory linearization)\n"
    "                        These wait until the controller is found again, print the report\n"
    "                        below and exit 0; 1 when it does not come back\n"
    "  peek MEMORY ADDRESS COUNT\n"
    "                        read COUNT values of controller memory MEMORY (0 to 13) from ADDRESS\n"
    "                        (decimal or 0x-prefixed) and print them as upper-case hexadecimal, two\n"
    "                        digits a byte (four a word with --words), 16 a line\n"
    "  poke MEMORY ADDRESS HEX\n"
    "                        write the values HEX (pairs of hexadecimal digits, or groups of four\n"
    "                        with --words) to memory MEMORY from ADDRESS\n"
    "\n"
    "  A command's arguments follow it directly, so \"send -OI\" sends -OI. Every command but find\n"
    "  and decode first finds the controller as find does, or opens the --link port; over --link,\n"
    "  read-block, write-block and terminal identify the controller first, since the block rules and\n"
    "  the decoders depend on its type.\n"
    "\n"
    "options:\n"
    "  --port COMn=PATH      show the device PATH as COM port n (repeatable);\n"
    "                        KX7_PORTS=\"COM3=/dev/pts/4,COM5=/dev/ttyUSB0\" does the same\n"
    "  --no-system-ports     leave the system's serial ports out: only the --port, KX7_PORTS and\n"
    "                        --emulate ports exist (for ports and for the search)\n"
    "  --link COMn[,SETTINGS]\n"
    "                        use COMn as the controller link instead of searching, at SETTINGS\n"
    "                        (\"19200,N,8,1\"; default the saved settings, at first 9600,N,8,1)\n"
    "  --json                find, identify, send and read-block print one JSON object instead\n";
constexpr const char* kUsageRest =
    "  --help                this text\n"
    "  --version             the program's version\n"
    "\n"
    "decode [--format ID] [--type ID] [--features HEX] [--full-resolution] [--pass-through]\n"
    "       [--wrap-on-cr 0|1] [--wrap-on-bit7 0|1]  < BYTES\n"
    "  --format ID           the report format: 32816 or kxs (default), 32840 or z (KXS with Z),\n"
    "                        32817 or raw (11-bit signed), 32818 or hex (hex dump), 32819 or\n"
    "                        digitizer and 32822 or undecoded (both undecoded text), 32843 or\n"
    "                        signals (the four-channel stream or the corner signals, by --type)\n"
    "  --type ID             the controller type the decoders go by: default 32861 (Birch), a plain\n"
    "                        KXS tablet controller; 32855 (Generic) shows KXS reports undecoded\n"
    "  --features HEX        its ControllerFeatures (default 0; with 1000 or 800 the KXS reports\n"
    "                        carry a contact number)\n"
    "  --full-resolution     KXS and raw points in full 14-bit resolution (\"Full Birch2 XY\n"
    "                        Resolution\")\n"
    "  --pass-through        the link forwards a second processor: every byte undecoded (32843:\n"
    "                        nothing shown)\n"
    "  --wrap-on-cr 0|1      \"Line wrap on CR (Hex Dump) or Point\", default 1; with 0 decoded reports\n"
    "                        follow each other on a line, a blank between them\n"
    "  --wrap-on-bit7 0|1    \"Line wrap on Bit7 Set (Hex Dump)\", default 1\n"
    "  The decoders see a serial link, no poll mode and no log, and no time stamps are added. Every\n"
    "  line ends in LF; a line still open at the end of the input is printed too; a line that would\n"
    "  pass 148 characters is broken as the terminal breaks it. Undecoded bytes: 20 to 7E show as\n"
    "  themselves and every other byte as <XX> (two upper-case hexadecimal digits), a CR ends the\n"
    "  line and a LF right after a CR is left out.\n"
    "\n"
    "terminal [--time-display 0-3] [--log FILE] [--raw-log FILE] [--seconds N]\n"
    "  --time-display N      the terminal's time stamps, for this run only (the saved setting stays):\n"
    "                        0 off, 1 \"%010d \" milliseconds since the terminal opened, 2 \"%05d  \"\n"
    "                        milliseconds since the last stamp, 3 \"{MM/DD/YYYY hh:mm:ss} \";\n"
    "                        default the saved setting (at first 0)\n"
    "  --log FILE            append what the terminal shows to FILE, as Toggle Logging does: each\n"
    "                        line ended by CR (CR LF with the LogLinefeeds setting)\n"
    "  --raw-log FILE        append every received byte to FILE unchanged, as the raw log does\n"
    "  --seconds N           stop N seconds after the terminal opened (default: at SIGINT or SIGTERM)\n"
    "  The terminal opens once the controller is found (over --link: identified) and shows what the\n"
    "  controller sends, decoded in the report format KXS; each line is printed as it ends, bytes\n"
    "  outside printable ASCII as <XX>, and the line still open at the end is printed too. SIGINT or\n"
    "  SIGTERM ends the run at any point, the search too, and so does a reader that stops reading\n"
    "  standard output; the exit code is then 0.\n"
    "\n"
    "program switches: those of kx7sdu, wherever they stand; for the search these count:\n"
    "  -noserial             try no serial port          -norv   try neither touch driver\n"
    "\n"
    "report of find and identify: the eight lines of the Controller Info window, one a line (OI, UV,\n"
    "UT and NM, the port, the search status, the error words, the base type and features), then\n"
    "  LinkKind: N\n"
    "  PortSettings: SETTINGS\n"
    "  ControllerType: ID NAME\n"
    "  ControllerFeatures: 0xXXXXXXXX\n"
    "With --json: {\"LinkKind\":N,\"PortSettings\":\"...\",\"ControllerType\":N,\"TypeName\":\"...\",\n"
    "\"ControllerFeatures\":N,\"PenMode\":N,\"MultiTouchMode\":N,\"Info\":{\"OI\":\"...\",\"UV\":\"...\",\n"
    "\"UT\":\"...\",\"NM\":\"...\",\"Port\":\"...\",\"Status\":\"...\",\"Errors\":\"...\",\"BaseType\":\"...\"}};\n"
    "send prints {\"Reply\":\"...\",\"Bytes\":\"HEX\"} and read-block {\"Block\":N,\"Status\":\"A\",\"Hex\":\"HEX\"}.\n"
    "The report lines show bytes outside printable ASCII as <XX>; JSON strings escape them as \\u00XX.\n"
    "\n"
    "What the program would show in a message box (\"Can't Find Controller\", \"Can't Open Port\",\n"
    "\"Block Read Failed\", \"Write Failed\") goes to stderr. Like kx7sdu, kx7cli reads and writes the\n"
    "settings file kx7sdua.ini of the current folder, so the search's first try (\"Existing\") is the\n"
    "setting that worked last.\n"
    "\n"
    "exit codes: 0 done; 1 no controller found, the port did not open, no reply, the block read or\n"
    "write failed, no controller type identified (identify), the log file did not open (terminal),\n"
    "standard input could not be read (decode), or no pseudo-terminal for --emulate; 2 bad usage\n";

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
  if (arguments.empty()) {
    std::fputs(Usage().c_str(), stderr);
    return 2;
  }
  std::string problem;
  const std::optional<kx7::cli::Request> request = kx7::cli::ParseRequest(arguments, problem);
  if (!request) {
    std::fprintf(stderr, "kx7cli: %s (see kx7cli --help)\n", problem.c_str());
    return 2;
  }
  // decode needs neither ports nor a frame nor the settings file.
  if (request->command == kx7::cli::Command::kDecode) {
    if (options.emulateFamily) {
      std::fprintf(stderr, "kx7cli: decode reads standard input; --emulate is for the other commands\n");
      return 2;
    }
    return kx7::cli::RunDecode(request->decode, std::cin, std::cout, std::cerr);
  }

  kx7::CDiagnosticApp app;
  kx7::PortDirectory& ports = app.ports;
  if (const char* environment = std::getenv("KX7_PORTS")) {
    for (const std::string& rejected : ports.AddOverridesFromEnvironment(environment))
      std::fprintf(stderr, "kx7cli: KX7_PORTS: ignoring \"%s\"\n", rejected.c_str());
  }
  for (const std::string& override : options.portOverrides) {
    if (!ports.AddOverride(override, &problem)) {
      std::fprintf(stderr, "kx7cli: --port %s: %s\n", override.c_str(), problem.c_str());
      return 2;
    }
  }
  // Served until the program ends, so it outlives the frame that has its port open.
  std::unique_ptr<kx7::emu::EmulationSession> emulator;
  if (options.emulateFamily) {
    bool badUsage = false;
    emulator = kx7::emu::EmulationSession::Start(*options.emulateFamily, options.emulateSettings, problem, badUsage);
    if (!emulator) {
      std::fprintf(stderr, "kx7cli: --emulate: %s\n", problem.c_str());
      return badUsage ? 2 : 1;
    }
    // A USB family runs in this process; a serial one is found on its pseudo-terminal.
    if (!emulator->SerialPath().empty()) {
      const std::string override = "COM" + std::to_string(options.emulatePort) + "=" + emulator->SerialPath();
      if (!ports.AddOverride(override, &problem)) {
        std::fprintf(stderr, "kx7cli: --emulate-port: %s\n", problem.c_str());
        return 2;
      }
    }
  }
  // Without the scan the directory holds the overrides alone.
  if (!request->noSystemPorts) ports.Scan();
  if (request->command == kx7::cli::Command::kPorts) return ListPorts(ports);

  app.flags = kx7::ParseStartupFlags(request->programSwitches);
  return kx7::cli::RunControllerCommand(*request, app, std::cout, std::cerr);
}
