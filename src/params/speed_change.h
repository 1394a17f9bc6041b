// A block write that changes the controller's own serial settings: the controller answers the
// data at its new settings, so the write does not wait for that answer; after a pause the link is
// cleared and the port follows the controller to the new settings.
#pragma once

#include <string>

#include "frame/main_frame.h"
#include "proto/command_channel.h"

namespace kx7 {

inline constexpr std::uint32_t kSpeedChangePauseMs = 250;

// Writes the frame's copy of block `number` without waiting for the acknowledgement, waits
// 250 ms, clears the link, takes `newSettings` as the port's settings, waits until the port has
// sent everything and reopens it with them (serial links; another link only clears). False when
// the write failed ("Write Failed" was shown) or the port did not reopen.
bool WriteBlockAtNewSettings(CMainFrame& frame, CommandChannel& channel, int number, const std::string& newSettings);

}  // namespace kx7
