// The start-up switches and the placement of the main window that follows from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

// Set from the command line before the main window is created; other windows read them.
struct StartupFlags {
  std::int32_t noRivetwareSearch = 0;   // "-norv"
  std::int32_t multiGraph = 0;          // "-m"
  std::int32_t longPlugDelay = 0;       // "-delay"
  std::int32_t noSearch = 0;            // "-nosearch"
  std::int32_t noSerialSearch = 0;      // "-noserial"
  std::int32_t linearize = 0;           // "-linearize"
  std::int32_t sensitivity = 0;         // "-sensitivity"
  std::int32_t extendedSensitivity = 0; // "-extendedsensitivity"
  std::int32_t birch2Usb = 0;           // "-birch2usb"
  std::int32_t goSlow = 0;              // "-goslow"
  std::int32_t cedarCollector = 0;      // "-cedarcollector"
  std::int32_t labelPrinting = 0;       // "-labelprinting"
  std::int32_t contacts = 0;            // "-contacts"
  std::int32_t download = 0;            // "-download=" or "-dloadall="
  std::int32_t downloadScope = 1;       // 1 the named image, 0 all images of the file
  std::string downloadFile;
  std::int32_t screenRectSet = 0;       // "-screenrect"
  Rect screenRect;                      // left, top, right, bottom as given (inclusive)
};

// Options of this program's own that come before the classic switches and are taken out of the
// argument list before those are read.
struct FrontEndOptions {
  std::vector<std::string> portOverrides;   // --port COMn=PATH, repeatable
  std::optional<std::string> screenshotFile;  // --screenshot FILE[,MS]
  std::uint32_t screenshotDelayMs = 3000;
  // --emulate FAMILY[,SETTINGS]: an emulated controller of FAMILY, with its own speed and framing
  // SETTINGS ("19200,N,8,1"; empty: the family's), served on a pseudo-terminal as COM
  // emulatePort (--emulate-port COMn, default COM1).
  std::optional<std::string> emulateFamily;
  std::string emulateSettings;
  int emulatePort = 1;
  // --emulate-state FILE: the emulated controller's blocks and memories come from FILE at start
  // and go back to it at the end, so what one run writes the next one reads.
  std::optional<std::string> emulateStateFile;
  // --touch-feed PATH: the emulated controller's touches come from PATH ("down A B" lines).
  std::string touchFeed;
  // --sensor ITEMS: the sensor behind the emulated controller
  // ("clock=C,gain=GX:GY,offset=OX:OY,warp=W,noise=S,seed=N"; read by the emulation session).
  std::optional<std::string> sensorItems;
  // --command ID (repeatable): menu commands run once the main window is up, by number (32961)
  // or by name (kTerminal), in order.
  std::vector<std::uint32_t> commands;
  bool help = false;                          // --help
  // "RegServer" or "UnregServer" was given: there is nothing to register here, so the program
  // says so and ends.
  std::optional<std::string> registrationSwitch;
  std::vector<std::string> errors;            // unusable options, one message each
};

// "COMn" in any case, n from 1 to 256 (the highest COM port the controller link reaches).
bool ParseComPort(const std::string& text, int& number);

// The values of "--emulate FAMILY[,SETTINGS]" and "--emulate-port COMn" into `options`; false
// with a line for the user when the value cannot be used.
bool ApplyEmulateOption(const std::string& value, FrontEndOptions& options, std::string& error);
bool ApplyEmulatePortOption(const std::string& value, FrontEndOptions& options, std::string& error);

// Takes this program's own options out of `arguments` (argv without the program name).
FrontEndOptions TakeFrontEndOptions(std::vector<std::string>& arguments);

// Reads the classic switches: every argument is compared whole and case-insensitively with the
// plain switches; then the download name is emptied and the substrings "-download=",
// "-dloadall=" and "-screenrect" are looked for anywhere in the argument. So the file name
// survives only when the download switch is the last argument.
StartupFlags ParseStartupFlags(const std::vector<std::string>& arguments);

// The main window's rectangle for a screen of `screenWidth` x `screenHeight`, or for the
// "-screenrect" rectangle when it was given.
Rect MainWindowPlacement(const StartupFlags& flags, int screenWidth, int screenHeight);

// The screen size that placement and full-screen windows use.
void EffectiveScreenSize(const StartupFlags& flags, int screenWidth, int screenHeight, int& width, int& height);

// The rectangle full-screen tool windows cover, with borders of bx x by pixels.
Rect FullScreenRectFor(const StartupFlags& flags, int screenWidth, int screenHeight, int borderX, int borderY);

}  // namespace kx7
