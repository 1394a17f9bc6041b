// `kx7cli terminal`: the terminal window on the console. The frame finds the controller (or opens
// the --link port), the tools launcher opens the terminal, and every line the terminal ends is
// printed as it ends, until SIGINT or SIGTERM or for the given seconds; the log commands log it
// as the desktop program does.
#pragma once

#include <ostream>

#include "cli_request.h"
#include "controller_session.h"

namespace kx7::cli {

// 0 when the run ended by the clock or a signal (a signal during the search too); 1 when no
// controller was found, the port or the log did not open.
int RunTerminal(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err);

}  // namespace kx7::cli
