// The "Command Line Help" dialog: each switch in bold green padded to 20 characters, then its
// description in plain black, each line ended by CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

struct HelpLine {
  std::string switchText;   // may be empty (a continuation line)
  std::string description;  // ends with CR LF
};

inline constexpr int kHelpSwitchWidth = 20;

const std::vector<HelpLine>& CommandLineHelpLines();

// The switch padded with blanks to the switch column.
std::string PaddedSwitch(const HelpLine& line);

class CommandLineHelpModel : public DialogModel {
 public:
  const char* Kind() const override { return "CommandLineHelp"; }
  std::string Title() const override { return "Command Line Help"; }
  const std::vector<HelpLine>& Lines() const { return CommandLineHelpLines(); }
};

// The About box text: the program's name, the version and the line of the string table.
std::string AboutText();
inline constexpr const char* kAboutCaption = "About KX7SDU";
inline constexpr const char* kVersionString = "7.13.0.135";

// What `kx7sdu --help` prints: this program's own options and the classic switches.
std::string FrontEndUsage(const char* programName);

// The help of "--emulate" and "--emulate-port", the same in every front end's usage; lines are
// broken with '\n'.
inline constexpr const char* kEmulateHelp =
    "serve an emulated controller of FAMILY (kx7emu --list shows them) on a\n"
    "pseudo-terminal, with its own speed and framing SETTINGS (\"19200,N,8,1\";\n"
    "default the family's); on a pseudo-terminal only speed and stop bits count.\n"
    "A USB family (rowan-usb-gen2, rowan-usb-gen3, rowan-usb-gen4, larch-usb,\n"
    "larch-usb-0500, maple, birch2-hid, resistive-usb-4wire, resistive-usb-5wire,\n"
    "birch-usb) runs inside the program as a plugged-in USB controller";
inline constexpr const char* kEmulatePortHelp = "the COM port the emulated serial controller appears as (default COM1)";
inline constexpr const char* kEmulateStateHelp =
    "the emulated controller's blocks, parameters and memories are read from FILE\n"
    "at the start (when it exists) and written back to it at the end";
inline constexpr const char* kTouchFeedHelp =
    "the emulated controller's touches come from PATH, a file or FIFO of lines \"down A B\", \"move A B\", "
    "\"up\" (\"down ID A B\" ... for one contact of many; A, B 0 to 2047 from the top left)";
inline constexpr const char* kSensorHelp =
    "the sensor behind the emulated serial controller: \"clock=C,gain=GX:GY,offset=OX:OY,warp=W,noise=S,seed=N\"\n"
    "(each item optional; defaults 3, 0.8:0.75, 200:230, 0.03, 0, 1): a touch at a screen point reads\n"
    "through the warp W, the clock's raw axes, gain and offset, plus noise of sigma S raw counts";

// Where an option's help starts in a usage text.
inline constexpr std::size_t kUsageHelpColumn = 24;

// An option in a usage text: two blanks and the name, the help from the help column (on a line of
// its own when the name reaches it), every line of the help indented to it, a newline at the end.
std::string OptionHelpLines(const std::string& name, const std::string& help);

}  // namespace kx7
