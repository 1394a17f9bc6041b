// The Rowan Q Parameters tool: reads the BlockQ parameters 300 to 369 and parameter 1 of a Rowan
// controller ("Q3nn", "Q001"), leaving out those it does not know, and saves them as a BlockQ file.
#pragma once

#include <cstdint>
#include <map>

#include "frame/main_frame.h"
#include "proto/command_channel.h"

namespace kx7 {

// The values the controller reported, by parameter number.
std::map<int, std::uint32_t> ReadBlockQParameters(CommandChannel& channel);

// The tool as the menu runs it: the parameters, the save dialog, the file.
void RunRowanQParameters(CMainFrame& frame, CommandChannel& channel);

}  // namespace kx7
