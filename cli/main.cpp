// kx7cli: the program's core without a window, for production rigs and scripts.
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "commands/command_groups.h"

int main(int argc, char** argv) {
  kx7::cli::CliApp cli(std::cin, std::cout, std::cerr);
  kx7::cli::AddCommandGroups(cli);
  return cli.Execute(std::vector<std::string>(argv + 1, argv + argc));
}
