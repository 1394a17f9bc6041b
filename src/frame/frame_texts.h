// Texts the main frame shows.
#pragma once

namespace kx7::text {

inline constexpr const char* kCantOpenPort = "Can't Open Port";
inline constexpr const char* kCantOpenAsymtekPort = "Can't Open Asymtek Port";
inline constexpr const char* kCouldntConnect = "Couldn't connect";
inline constexpr const char* kPortClosed = "Port Closed";
inline constexpr const char* kUartOverrun = "UART RX Register Overrun";
inline constexpr const char* kDriverOverflow = "Driver RX Buffer Overflow (%d)";
inline constexpr const char* kControllerPlugged = "Controller Plugged\r";
inline constexpr const char* kUsbRemoveComplete = "USB Remove Complete\r";
inline constexpr const char* kClosingUsb = "Closing USB\r";
inline constexpr const char* kControllerRemoved = "Controller Removed\r";
inline constexpr const char* kPassThruPrefix = "PassThru ";

inline constexpr const char* kPaneParity = "PE";
inline constexpr const char* kPaneFraming = "FE ";
inline constexpr const char* kPaneCts = "CTS ";
inline constexpr const char* kPaneDsr = "DSR";
inline constexpr const char* kPaneRecording = "REC";
inline constexpr const char* kPanePlaying = "PLAY";
inline constexpr const char* kPaneRobot = "ASYMTEK";
inline constexpr const char* kPaneScanner = "BAR";
inline constexpr const char* kPaneLog = "LOG";

inline constexpr const char* kWindowTitle = "KX7 Software Diagnostic Utility";
inline constexpr const char* kHelloMessage = "HELLO_KX7SDU";

}  // namespace kx7::text
