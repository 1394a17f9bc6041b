#include "app/command_line.h"

#include "frame/command_ids.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kx7 {
namespace {

// The controller link reaches COM1 to COM256.
constexpr int kHighestEmulatedPort = 256;

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool ParseDelay(const std::string& text, std::uint32_t& out) {
  if (text.empty() || text.size() > 7) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  return true;
}

// A command by its number or its name ("32961", "kTerminal").
std::optional<std::uint32_t> ParseCommandId(const std::string& text) {
  if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    if (text.size() > 6) return std::nullopt;
    const std::uint32_t id = static_cast<std::uint32_t>(std::stoul(text));
    return cmd::CommandName(id).empty() ? std::nullopt : std::optional<std::uint32_t>(id);
  }
  for (const cmd::NamedCommand& entry : cmd::kNamedCommands)
    if (entry.name == text) return entry.id;
  return std::nullopt;
}

}  // namespace

bool ParseComPort(const std::string& text, int& number) {
  if (text.size() < 4 || text.size() > 6 || strncasecmp(text.c_str(), "COM", 3) != 0) return false;
  int value = 0;
  for (std::size_t i = 3; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (value < 1 || value > kHighestEmulatedPort) return false;
  number = value;
  return true;
}

bool ApplyEmulatePortOption(const std::string& value, FrontEndOptions& options, std::string& error) {
  if (ParseComPort(value, options.emulatePort)) return true;
  error = "--emulate-port " + value + ": not COM1 to COM" + std::to_string(kHighestEmulatedPort);
  return false;
}

bool ApplyEmulateOption(const std::string& value, FrontEndOptions& options, std::string& error) {
  const std::size_t comma = value.find(',');
  const std::string family = value.substr(0, comma);
  if (family.empty()) {
    error = "--emulate " + value + ": no family named";
    return false;
  }
  options.emulateFamily = family;
  options.emulateSettings = comma == std::string::npos ? std::string() : value.substr(comma + 1);
  return true;
}

FrontEndOptions TakeFrontEndOptions(std::vector<std::string>& arguments) {
  FrontEndOptions options;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto valueOf = [&](const char* name, std::string& value) {
      const std::size_t length = std::strlen(name);
      if (argument == name) {
        if (i + 1 >= arguments.size()) {
          options.errors.push_back(std::string(name) + " needs a value");
          value.clear();
          return true;
        }
        value = arguments[++i];
        return true;
      }
      if (argument.compare(0, length, name) == 0 && argument.size() > length && argument[length] == '=') {
        value = argument.substr(length + 1);
        return true;
      }
      return false;
    };
    std::string value;
    if (valueOf("--port", value)) {
      if (!value.empty()) options.portOverrides.push_back(value);
    } else if (valueOf("--screenshot", value)) {
      if (value.empty()) continue;
      const std::size_t comma = value.rfind(',');
      std::uint32_t delay = 0;
      if (comma != std::string::npos && ParseDelay(value.substr(comma + 1), delay)) {
        options.screenshotFile = value.substr(0, comma);
        options.screenshotDelayMs = delay;
      } else {
        options.screenshotFile = value;
      }
    } else if (valueOf("--emulate-state", value)) {
      if (!value.empty()) options.emulateStateFile = value;
    } else if (valueOf("--emulate-port", value)) {
      std::string error;
      if (!value.empty() && !ApplyEmulatePortOption(value, options, error)) options.errors.push_back(error);
    } else if (valueOf("--emulate", value)) {
      std::string error;
      if (!value.empty() && !ApplyEmulateOption(value, options, error)) options.errors.push_back(error);
    } else if (valueOf("--touch-feed", value)) {
      if (value.empty())
        options.errors.push_back("--touch-feed needs a path");
      else
        options.touchFeed = value;
    } else if (valueOf("--sensor", value)) {
      options.sensorItems = value;
    } else if (valueOf("--command", value)) {
      if (value.empty()) continue;
      const std::optional<std::uint32_t> id = ParseCommandId(value);
      if (id)
        options.commands.push_back(*id);
      else
        options.errors.push_back("--command " + value + ": no such command");
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if ((argument.size() > 1 && (argument[0] == '-' || argument[0] == '/')) &&
               (EqualsNoCase(argument.substr(1), "RegServer") || EqualsNoCase(argument.substr(1), "UnregServer"))) {
      options.registrationSwitch = argument.substr(1);
    } else {
      rest.push_back(argument);
    }
  }
  arguments = rest;
  return options;
}

StartupFlags ParseStartupFlags(const std::vector<std::string>& arguments) {
  struct PlainSwitch {
    const char* text;
    std::int32_t StartupFlags::*member;
  };
  static constexpr std::array<PlainSwitch, 13> kSwitches = {{
      {"-norv", &StartupFlags::noRivetwareSearch},
      {"-m", &StartupFlags::multiGraph},
      {"-delay", &StartupFlags::longPlugDelay},
      {"-nosearch", &StartupFlags::noSearch},
      {"-noserial", &StartupFlags::noSerialSearch},
      {"-linearize", &StartupFlags::linearize},
      {"-sensitivity", &StartupFlags::sensitivity},
      {"-extendedsensitivity", &StartupFlags::extendedSensitivity},
      {"-birch2usb", &StartupFlags::birch2Usb},
      {"-goslow", &StartupFlags::goSlow},
      {"-cedarcollector", &StartupFlags::cedarCollector},
      {"-labelprinting", &StartupFlags::labelPrinting},
      {"-contacts", &StartupFlags::contacts},
  }};
  StartupFlags flags;
  for (const std::string& argument : arguments) {
    for (const PlainSwitch& plain : kSwitches)
      if (EqualsNoCase(argument, plain.text)) flags.*plain.member = 1;
    flags.downloadFile.clear();
    const bool one = argument.find("-download=") != std::string::npos;
    const bool all = argument.find("-dloadall=") != std::string::npos;
    if (one || all) {
      flags.download = 1;
      // The "-dloadall=" test comes after the "-download=" one: with both, all images are loaded.
      flags.downloadScope = all ? 0 : 1;
      // The name is what follows the first ten characters, wherever the switch stood.
      flags.downloadFile = argument.size() > 10 ? argument.substr(10) : std::string();
    }
    if (argument.find("-screenrect") != std::string::npos) {
      int left = 0, top = 0, right = 0, bottom = 0;
      // A rectangle that does not read completely, or is empty or absurd, would place the
      // window off screen: such a switch is ignored. Text after the fourth number is not read,
      // as it never was.
      const int read = std::sscanf(argument.c_str(), "-screenrect%dx%dx%dx%d", &left, &top, &right, &bottom);
      // Coordinates beyond any desktop would overflow the size arithmetic.
      constexpr int kLimit = 1 << 20;
      auto sane = [&](int v) { return v > -kLimit && v < kLimit; };
      if (read == 4 && sane(left) && sane(top) && sane(right) && sane(bottom) && right >= left && bottom >= top) {
        flags.screenRectSet = 1;
        flags.screenRect = Rect{left, top, right, bottom};
      }
    }
  }
  return flags;
}

void EffectiveScreenSize(const StartupFlags& flags, int screenWidth, int screenHeight, int& width, int& height) {
  if (flags.screenRectSet) {
    width = flags.screenRect.right - flags.screenRect.left + 1;
    height = flags.screenRect.bottom - flags.screenRect.top + 1;
  } else {
    width = screenWidth;
    height = screenHeight;
  }
}

Rect MainWindowPlacement(const StartupFlags& flags, int screenWidth, int screenHeight) {
  int w = 0, h = 0;
  EffectiveScreenSize(flags, screenWidth, screenHeight, w, h);
  const double height = h;
  const int width = static_cast<int>(0.93 * height);
  const int windowHeight = static_cast<int>(0.7 * height);
  int top = static_cast<int>(0.15 * height);
  int left = 0;
  if (flags.screenRectSet) {
    top += flags.screenRect.top;
    left = flags.screenRect.left + static_cast<int>(0.125 * w);
  } else {
    left = static_cast<int>((w - 0.93 * height) * 0.5);
  }
  return Rect{left, top, left + width, top + windowHeight};
}

Rect FullScreenRectFor(const StartupFlags& flags, int screenWidth, int screenHeight, int borderX, int borderY) {
  if (!flags.screenRectSet) return Rect{-borderX, -borderY, screenWidth + 2 * borderX, screenHeight + 2 * borderY};
  const Rect& r = flags.screenRect;
  return Rect{r.left - borderX, r.top - borderY, r.right + 2 * borderX + 1, r.bottom + 2 * borderY + 1};
}

}  // namespace kx7
