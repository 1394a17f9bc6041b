#include "app/command_line_help.h"

namespace kx7 {

const std::vector<HelpLine>& CommandLineHelpLines() {
  static const std::vector<HelpLine> lines = {
      {"-norv", "prevents hang if rv is not attached to a controller\r\n"},
      {"-nodevnotify", "won't auto-attach to usb controller on enum (2K,XP)\r\n"},
      {"-delay", "long delay connecting to usb controller on enum\r\n"},
      {"-birch2usb", "passive connect to usb birch2 on KX7\r\n"},
      {"-nosearch", "won't search for controller on launch\r\n"},
      {"-screenrectNxNxNxN", "locate kx7sdu window (LeftxTopxRightxBottom)\r\n"},
      {"", "on multiple monitor desktop\r\n"},
  };
  return lines;
}

std::string PaddedSwitch(const HelpLine& line) {
  std::string text = line.switchText;
  if (text.size() < static_cast<std::size_t>(kHelpSwitchWidth)) text.resize(kHelpSwitchWidth, ' ');
  return text;
}

std::string AboutText() {
  return std::string("KX7 Software Diagnostic Utility\n") + kVersionString +
         "\nTouch controller diagnostics, calibration and programming";
}

std::string OptionHelpLines(const std::string& name, const std::string& help) {
  std::string text = "  " + name;
  if (text.size() >= kUsageHelpColumn)
    text += "\n" + std::string(kUsageHelpColumn, ' ');
  else
    text.resize(kUsageHelpColumn, ' ');
  for (const char c : help) {
    text += c;
    if (c == '\n') text += std::string(kUsageHelpColumn, ' ');
  }
  return text + "\n";
}

std::string FrontEndUsage(const char* programName) {
  std::string text = std::string("usage: ") + programName + " [options] [switches]\n\n";
  text +=
      "options:\n"
      "  --port COMn=PATH      map COM port n to a device (repeatable); also KX7_PORTS=\"COM3=/dev/pts/4,...\"\n"
      "  --screenshot FILE[,MS]  save a picture of the main window after MS milliseconds (default 3000), then close\n";
  text += OptionHelpLines("--emulate FAMILY[,SETTINGS]", kEmulateHelp);
  text += OptionHelpLines("--emulate-port COMn", kEmulatePortHelp);
  text += OptionHelpLines("--emulate-state FILE", kEmulateStateHelp);
  text += OptionHelpLines("--touch-feed PATH", kTouchFeedHelp);
  text += OptionHelpLines("--sensor ITEMS", kSensorHelp);
  text += "  --command ID          run a menu command once the window is up, by number (32961) or name\n"
          "                        (kTerminal); repeatable, in order\n";
  text +=
      "  --help                this text\n\n"
      "switches:\n";
  for (const HelpLine& line : CommandLineHelpLines()) {
    std::string description = line.description;
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r')) description.pop_back();
    text += "  " + PaddedSwitch(line) + description + "\n";
  }
  text +=
      "  -noserial           don't search serial ports\n"
      "  -download=FILE      find the controller, load FILE into it and end (exit code: the result)\n"
      "  -dloadall=FILE      as -download=, loading every image of the file\n"
      "  -linearize -sensitivity -extendedsensitivity -goslow -cedarcollector -labelprinting -contacts -m\n";
  return text;
}

}  // namespace kx7
