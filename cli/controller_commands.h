// The kx7cli commands that restart the controller or reach its memories: reset, reboot,
// restore-defaults, peek and poke. Each connects as every command does (a search, or --link).
#pragma once

#include <ostream>

#include "cli_request.h"
#include "controller_session.h"

namespace kx7::cli {

int RunReset(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err);
int RunReboot(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err);
int RunRestoreDefaults(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err);
int RunPeek(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err);
int RunPoke(ControllerSession& session, const Request& request, std::ostream& err);

// Values as upper-case hexadecimal, two digits a byte or four a word, blanks between, 16 a line.
std::string MemoryLines(const std::vector<std::uint16_t>& values, bool words);

}  // namespace kx7::cli
