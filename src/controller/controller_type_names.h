// Names of the controller types, as the Type menu and the TYPE pane of the status bar show them.
#pragma once

#include <cstdint>
#include <string>

namespace kx7 {

// The string-table text of a ControllerType id; empty for the ids without a name, for the Type-menu
// commands in the same range, for 0 and for anything else.
const char* ControllerTypeName(std::uint32_t typeId);

// The text of the TYPE pane: the type's name, with the Larch USB model name in its place when the
// controller reported one, and the pen mode appended for pen-capable controllers. Empty for type 0;
// the caller leaves the pane empty while no link is open.
std::string ControllerTypeText(std::uint32_t typeId, std::uint32_t features, std::uint32_t penMode);

}  // namespace kx7
