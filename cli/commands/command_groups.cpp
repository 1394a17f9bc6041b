#include "command_groups.h"

namespace kx7::cli {

void AddCommandGroups(CliApp& cli) {
  AddControllerCommands(cli);
  AddRestartCommands(cli);
  AddMemoryCommands(cli);
  AddDecodeCommand(cli);
  AddTerminalCommand(cli);
  AddParamsCommands(cli);
  AddFirmwareCommands(cli);
  AddDownloadCommand(cli);
  AddDrawCommands(cli);
  AddCalibrationCommands(cli);
}

}  // namespace kx7::cli
