// Slots, timers, status-bar panes and fixed values of the main frame.
#pragma once

#include <array>
#include <cstdint>

namespace kx7 {

inline constexpr int kListenerSlots = 31;
inline constexpr int kSerialPortCount = 6;

namespace slot {
inline constexpr int kDraw = 0;
inline constexpr int kScope = 1;
inline constexpr int kTerminal = 2;
inline constexpr int kMemoryExchange = 3;
inline constexpr int kCalibration = 4;
inline constexpr int kLinearization = 5;
inline constexpr int kReplyCollector = 6;
inline constexpr int kFrequencyCheck = 7;
inline constexpr int kAsymtekLinearization = 10;
inline constexpr int kAsymtekLinearization2 = 12;
inline constexpr int kProve25 = 13;
inline constexpr int kCalibration9 = 14;
inline constexpr int kCalibration4 = 15;
inline constexpr int kRawCalibration = 17;
inline constexpr int kHaptic = 27;
}  // namespace slot

namespace port {
inline constexpr int kController = 0;
inline constexpr int kScanner = 1;
inline constexpr int kRobot = 2;
inline constexpr int kMonitorFirst = 3;
}  // namespace port

namespace timer {
inline constexpr std::uint32_t kMemoryExchange = 1;     // 5000 ms
inline constexpr std::uint32_t kReply = 2;              // 250 to 20000 ms
inline constexpr std::uint32_t kHideControllerInfo = 4;  // 1000 ms
inline constexpr std::uint32_t kRobotReply = 12;        // 1000 or 5000 ms
inline constexpr std::uint32_t kLineError = 23;         // 250 ms
inline constexpr std::uint32_t kConnectPlugged = 28;    // 2000 or 4000 ms
inline constexpr std::uint32_t kTimedLog = 32;          // 60000 ms
inline constexpr std::uint32_t kPostLater = 38;
inline constexpr std::uint32_t kPostWhenLinked = 39;
inline constexpr std::uint32_t kHidPoll = 41;  // 990 ms
}  // namespace timer

inline constexpr std::uint32_t kMemoryExchangeMs = 5000;
inline constexpr std::uint32_t kHideControllerInfoMs = 1000;
inline constexpr std::uint32_t kLineErrorMs = 250;
inline constexpr std::uint32_t kPlugDelayMs = 2000;
inline constexpr std::uint32_t kLongPlugDelayMs = 4000;
inline constexpr std::uint32_t kPostWhenLinkedStepMs = 1000;
inline constexpr std::uint32_t kDriverSettleMs = 250;

// LinkKind values beyond the COM port numbers.
namespace link {
inline constexpr int kClosed = 0;
inline constexpr int kLastComPort = 256;
inline constexpr int kRivetwareDriver = 257;
inline constexpr int kDriverFile = 258;
inline constexpr int kRivetwareUsb = 259;
inline constexpr int kHid = 260;
inline constexpr int kKxUsb = 261;
inline constexpr int kKxHid = 262;
}  // namespace link

inline bool IsSerialLink(int linkKind) { return linkKind >= 1 && linkKind <= link::kLastComPort; }
inline bool IsUsbLink(int linkKind) { return linkKind >= link::kRivetwareUsb && linkKind <= link::kKxHid; }
// The kernel drivers that carry the ASCII command set (Rivetware serial, KX7).
inline bool IsDriverLink(int linkKind) { return linkKind == link::kRivetwareDriver || linkKind == link::kDriverFile; }
// The USB drivers (RVUSB, KXUSB) and the HID links (direct, through the KX7 driver).
inline bool IsUsbDriverLink(int linkKind) { return linkKind == link::kRivetwareUsb || linkKind == link::kKxUsb; }
inline bool IsHidLink(int linkKind) { return linkKind == link::kHid || linkKind == link::kKxHid; }

// The eleven status-bar panes: resource id and width in pixels (0: stretches).
struct StatusPaneLayout {
  std::uint32_t id;
  int width;
};
inline constexpr int kStatusPaneCount = 11;
inline constexpr std::array<StatusPaneLayout, kStatusPaneCount> kStatusPanes = {{
    {0, 0},  // messages
    {1828, 15},
    {1829, 15},
    {1830, 20},
    {1831, 20},
    {1827, 30},
    {1558, 120},
    {1559, 100},
    {1797, 60},
    {1560, 20},
    {1557, 20},
}};

namespace pane {
inline constexpr int kMessage = 0;
inline constexpr int kParity = 1;
inline constexpr int kFraming = 2;
inline constexpr int kCts = 3;
inline constexpr int kDsr = 4;
inline constexpr int kRecorder = 5;
inline constexpr int kLink = 6;
inline constexpr int kType = 7;
inline constexpr int kRobot = 8;
inline constexpr int kScanner = 9;
inline constexpr int kLog = 10;
}  // namespace pane

}  // namespace kx7
