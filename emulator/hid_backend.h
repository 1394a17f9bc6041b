// Puts an emulated HID controller on the in-process HID bus of the program (the core's
// `SimulatedHidBackend`). Kept apart from the controllers so that a program that only serves
// serial lines does not need the core linked in.
#pragma once

#include <memory>
#include <string>

#include "hid_controller.h"
#include "platform/hid_device.h"

namespace kx7::emu {

// Adds every entry of the controller under `path`: its collections, and its second interface as a
// device of its own that takes no request. False, with nothing added, when either path is taken.
bool AddToBackend(kx7::SimulatedHidBackend& backend, std::shared_ptr<EmulatedHidController> controller,
                  const std::string& path);
// Takes the controller off the bus (both interfaces), as a restart does with a real one.
void RemoveFromBackend(kx7::SimulatedHidBackend& backend, const std::string& path);

}  // namespace kx7::emu
