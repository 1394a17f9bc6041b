// Window message numbers and return codes shared by every core window.
// The numbers follow the classic desktop message set the program's behaviour is written in.
#pragma once

#include <cstdint>

namespace kx7 {

using MessageId = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;
using WindowId = std::uint32_t;  // 0 is "no window"

inline constexpr WindowId kNoWindow = 0;

namespace wm {
inline constexpr MessageId kClose = 0x0010;
inline constexpr MessageId kChar = 0x0102;     // wParam: a typed character
inline constexpr MessageId kCommand = 0x0111;  // wParam: command id
inline constexpr MessageId kTimer = 0x0113;    // wParam: timer id
inline constexpr MessageId kDeviceChange = 0x0219;
inline constexpr MessageId kUser = 0x0400;
inline constexpr MessageId kApp = 0x8000;  // first private message of the program
}  // namespace wm

// Device-change events (first parameter of wm::kDeviceChange).
namespace device_event {
inline constexpr WParam kNodesChanged = 0x0007;
inline constexpr WParam kArrival = 0x8000;
inline constexpr WParam kRemovePending = 0x8003;
inline constexpr WParam kRemoveComplete = 0x8004;
}  // namespace device_event

}  // namespace kx7
