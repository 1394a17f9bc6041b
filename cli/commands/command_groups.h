// kx7cli's commands, a group a file; each group registers its commands with the app.
#pragma once

namespace kx7::cli {

class CliApp;

// The help headings the commands are listed under.
inline constexpr const char* kOfflineGroup = "commands that need no controller";
inline constexpr const char* kControllerGroup =
    "commands that reach the controller (found as find finds it, or on --link)";

// ports, find, identify, send, read-block, write-block.
void AddControllerCommands(CliApp& cli);
// reset, reboot, restore-defaults.
void AddRestartCommands(CliApp& cli);
// peek, poke.
void AddMemoryCommands(CliApp& cli);
// decode.
void AddDecodeCommand(CliApp& cli);
// terminal.
void AddTerminalCommand(CliApp& cli);
// params show|save|restore, block7.
void AddParamsCommands(CliApp& cli);

// image info, image convert.
void AddFirmwareCommands(CliApp& cli);

// download, and "-download=" / "-dloadall=" without a command.
void AddDownloadCommand(CliApp& cli);

// draw, mdraw, options.
void AddDrawCommands(CliApp& cli);

// linearize-math, correct-math, sample-math, rawcal-math, prove-math.
void AddCalibrationCommands(CliApp& cli);

// Every group, in the order the help lists them.
void AddCommandGroups(CliApp& cli);

}  // namespace kx7::cli
