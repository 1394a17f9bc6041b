// The sensor an emulated controller is given from the command line:
// "clock=C,gain=GX:GY,offset=OX:OY,warp=W,noise=S,seed=N", each item optional, in any order.
#pragma once

#include <optional>
#include <string>

#include "sensor_model.h"

namespace kx7::emu {

// The sensor the given items start from: clock 3, gain 0.8:0.75, offset 200:230,
// warp 0.03, no noise, seed 1; whole raw counts and no bow of its own.
SensorConfig GivenSensorDefaults();

// The sensor the comma-separated items describe; nothing, and `problem` naming the item, for an unknown item, a
// value that does not read, a clock other than 3, 6, 9 or 12, a gain not above 0, a warp outside
// -0.2..0.2 (beyond it the screen folds), a negative noise or an item given twice.
std::optional<SensorConfig> ParseSensorItems(const std::string& items, std::string& problem);

}  // namespace kx7::emu
