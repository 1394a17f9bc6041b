// kx7emu: one emulated controller on a pseudo-terminal, until it is told to stop.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulated_device.h"
#include "emulation_session.h"
#include "line_settings.h"
#include "pty_server.h"
#include "touch_feed.h"

namespace {

constexpr const char* kDefaultFamily = "cedar-gen4";

constexpr const char* kUsage =
    "usage: kx7emu [--family FAMILY] [--settings SETTINGS] [--no-touch] [--touch-feed PATH]\n"
    "              [--fault STEP[:N]:KIND]... [--loader-protocol header|standard|ram-utility]\n"
    "       kx7emu --list\n"
    "       kx7emu --help\n"
    "\n"
    "Serves one emulated touch controller on a pseudo-terminal. The first line of output is the\n"
    "pseudo-terminal's path (/dev/pts/N): open it like a serial port, for example with\n"
    "  kx7sdu --port COM3=/dev/pts/N\n"
    "kx7emu serves until it gets SIGTERM or SIGINT, and then ends with exit code 0.\n"
    "\n"
    "options:\n"
    "  --family FAMILY      the controller family (default cedar-gen4); --list shows them all,\n"
    "                       with \"silent\" (never answers) and \"echo\" (returns every byte)\n"
    "  --settings SETTINGS  the controller's own speed and framing, \"19200,N,8,1\" (baud, parity\n"
    "                       N/E/O/M/S, data bits, stop bits); default: the family's\n"
    "  --no-touch           no touches of the controller's own; without it a hand strokes the\n"
    "                       screen now and then, starting 3 s after the host last sent anything\n"
    "                       (so touches do not cut into a search or a command)\n"
    "  --fault STEP[:N]:KIND\n"
    "                       plant a fault in the download steps: the N-th time (default the first)\n"
    "                       the controller meets STEP it answers as KIND says (refuse, silent,\n"
    "                       garbage, wrong-sum, wrong-handshake, drop-off); repeatable;\n"
    "                       \"--fault help\" lists the steps\n"
    "  --loader-protocol P  what the GEN3/GEN4 code loader takes: header (default, the 8-byte\n"
    "                       header form), standard (the bytes alone) or ram-utility\n"
    "  --touch-feed PATH    the touches come from PATH, a file (followed as it grows) or a FIFO, a\n"
    "                       line each: \"down A B\", \"move A B\", \"up\", or for one contact of many\n"
    "                       \"down ID A B\", \"move ID A B\", \"up ID\" (A, B 0 to 2047 from the top\n"
    "                       left); the controller reports them in the format it is in\n"
    "  --list               the family names, one a line: the serial families, then the USB ones\n"
    "  --help               this text\n"
    "\n"
    "On a pseudo-terminal Linux always runs 8 data bits without parity, whatever the program sets,\n"
    "so there the controller answers when the port's speed and stop bits match its own; data bits\n"
    "and parity are not compared. (A controller at \"9600,N,7,2\" answers a port at 9600 with two\n"
    "stop bits, whatever its data bits and parity.) The exact framing behaviour, such as the high\n"
    "bit a 7-bit controller shows a port at 8 data bits, is modelled only in-process.\n"
    "\n"
    "The USB families (the HID controllers rowan-usb-gen2 ... resistive-usb-5wire and the Birch\n"
    "USB controller behind its drivers, birch-usb) have no serial line to serve: they run inside\n"
    "the program, with kx7sdu --emulate FAMILY or kx7cli --emulate FAMILY.\n"
    "\n"
    "exit codes: 0 done, 1 no pseudo-terminal, 2 bad usage\n";

bool IsFamily(const std::string& name) {
  const std::vector<std::string>& names = kx7::emu::FamilyNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

int Usage(const char* problem) {
  std::fprintf(stderr, "kx7emu: %s (see kx7emu --help)\n", problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string family = kDefaultFamily;
  std::string settings;
  bool noTouch = false;
  kx7::emu::LoaderSwitches switches;
  std::string touchFeed;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto value = [&](const char* name, std::string& out) {
      const std::string prefix = std::string(name) + "=";
      if (argument == name) {
        if (i + 1 >= argc) return false;
        out = argv[++i];
        return true;
      }
      if (argument.rfind(prefix, 0) == 0) {
        out = argument.substr(prefix.size());
        return true;
      }
      return false;
    };
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--list") {
      for (const std::string& name : kx7::emu::FamilyNames()) std::printf("%s\n", name.c_str());
      for (const std::string& name : kx7::emu::InProcessFamilyNames()) std::printf("%s\n", name.c_str());
      return 0;
    }
    std::string text;
    if (argument == "--no-touch") {
      noTouch = true;
    } else if (argument == "--fault" || argument.rfind("--fault=", 0) == 0) {
      if (!value("--fault", text)) return Usage("--fault needs STEP[:N]:KIND");
      if (text == "help") {
        std::fputs(kx7::emu::LoaderFaultSteps().c_str(), stdout);
        return 0;
      }
      const std::optional<kx7::emu::LoaderFault> fault = kx7::emu::LoaderFaults::Parse(text);
      if (!fault) return Usage(("--fault " + text + ": not STEP[:N]:KIND").c_str());
      switches.faults.push_back(*fault);
    } else if (argument == "--loader-protocol" || argument.rfind("--loader-protocol=", 0) == 0) {
      if (!value("--loader-protocol", text)) return Usage("--loader-protocol needs header, standard or ram-utility");
      if (text == "header")
        switches.protocol = kx7::emu::LoaderProtocol::kHeader;
      else if (text == "standard")
        switches.protocol = kx7::emu::LoaderProtocol::kStandard;
      else if (text == "ram-utility")
        switches.protocol = kx7::emu::LoaderProtocol::kRamUtility;
      else
        return Usage(("--loader-protocol " + text + ": not header, standard or ram-utility").c_str());
    } else if (argument == "--family" || argument.rfind("--family=", 0) == 0) {
      if (!value("--family", family)) return Usage("--family needs a name");
    } else if (argument == "--touch-feed" || argument.rfind("--touch-feed=", 0) == 0) {
      if (!value("--touch-feed", touchFeed) || touchFeed.empty()) return Usage("--touch-feed needs a path");
    } else if (argument == "--settings" || argument.rfind("--settings=", 0) == 0) {
      if (!value("--settings", settings)) return Usage("--settings needs a value");
    } else {
      return Usage(("unknown option \"" + argument + "\"").c_str());
    }
  }
  if (kx7::emu::IsInProcessFamily(family))
    return Usage(("\"" + family + "\" is a USB controller; run it with kx7sdu --emulate " + family +
                  " or kx7cli --emulate " + family).c_str());
  if (!IsFamily(family)) return Usage(("no family \"" + family + "\"; kx7emu --list shows them").c_str());
  if (!settings.empty() && !kx7::emu::ParseLineSettings(settings)) {
    return Usage(("\"" + settings + "\" is not BAUD,PARITY,DATABITS,STOPBITS").c_str());
  }
  std::shared_ptr<kx7::emu::TouchFeed> feed;
  if (!touchFeed.empty()) {
    feed = std::make_shared<kx7::emu::TouchFeed>(touchFeed);
    feed->onProblem = [](const std::string& problem) {
      std::fprintf(stderr, "kx7emu: --touch-feed: %s\n", problem.c_str());
    };
  }
  std::unique_ptr<kx7::emu::EmulatedDevice> device = kx7::emu::CreateDevice(family, settings, !noTouch, feed, switches);
  if (!device) return Usage(("this build cannot make a \"" + family + "\" device").c_str());
  const std::string line = device->Line().ToString();

  // The serving thread inherits the blocked signals; this thread takes them with sigwait, so the
  // stop runs here and not in a signal handler.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  if (feed && !feed->Start(&error)) {
    std::fprintf(stderr, "kx7emu: %s\n", error.c_str());
    return 1;
  }
  kx7::emu::PtyServer server(std::move(device));
  if (!server.Start(&error)) {
    std::fprintf(stderr, "kx7emu: %s\n", error.c_str());
    return 1;
  }
  // Whoever started us reads this line to find the port: it must leave at once.
  std::printf("%s\n", server.SlavePath().c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "kx7emu: %s at %s on %s (a pseudo-terminal: only speed and stop bits count)\n", family.c_str(),
               line.c_str(), server.SlavePath().c_str());

  int received = 0;
  sigwait(&stopSignals, &received);
  server.Stop();
  return 0;
}
