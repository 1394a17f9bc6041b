// Texts that come from outside: port settings strings (settings file, dialog), port overrides
// (command line, environment) and command-line arguments. None may crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "link/serial/port_settings_dialog.h"
#include "link/serial/serial_settings.h"
#include "platform/port_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  kx7::SerialConfig config;
  kx7::ApplySettingsString(text, config);
  kx7::PortSettingsDialogModel dialog(text, false, true, [](const std::string&, bool, bool) {});
  const std::string built = dialog.BuildSettings();
  kx7::SerialConfig rebuilt;
  // What the dialog builds must always be a settings string the port accepts.
  if (!kx7::ApplySettingsString(built, rebuilt)) __builtin_trap();

  kx7::PortDirectory ports;
  std::string error;
  ports.AddOverride(text, &error);
  ports.AddOverridesFromEnvironment(text.c_str());
  for (const kx7::PortEntry& entry : ports.Ports())
    if (entry.number < 1 || entry.number > 511) __builtin_trap();

  // Arguments separated by NUL bytes.
  std::vector<std::string> arguments;
  std::string current;
  for (char c : text) {
    if (c == '\0') {
      arguments.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  arguments.push_back(current);
  std::vector<std::string> rest = arguments;
  kx7::TakeFrontEndOptions(rest);
  const kx7::StartupFlags flags = kx7::ParseStartupFlags(rest);
  kx7::MainWindowPlacement(flags, 1280, 1024);
  return 0;
}
