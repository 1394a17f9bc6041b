// The program's private window messages. The numbers are fixed: other windows, link threads and
// tools post them by number.
#pragma once

#include "platform/window_messages.h"

namespace kx7::msg {

// Data from the reader of serial port k arrives as kPortData + k.
inline constexpr MessageId kPortData = 0x8000;           // port 0: the controller link (and HID raw input)
inline constexpr MessageId kScannerData = 0x8001;        // port 1: barcode scanner
inline constexpr MessageId kRobotData = 0x8002;          // port 2: positioning robot
inline constexpr MessageId kMonitorData1 = 0x8003;       // ports 3 to 5: three-port monitor
inline constexpr MessageId kMonitorData2 = 0x8004;
inline constexpr MessageId kMonitorData3 = 0x8005;
inline constexpr MessageId kByteReceived = 0x8006;       // wParam: one byte from a driver or HID thread
inline constexpr MessageId kOpenDrawWindow = 0x8009;     // wParam 1 full screen, 0 split or plain
inline constexpr MessageId kCopy = 0x800A;               // to the active child
inline constexpr MessageId kSelectAll = 0x800B;          // to the active child
inline constexpr MessageId kPaste = 0x800C;              // to the active child
inline constexpr MessageId kConnect = 0x800E;            // wParam flags, lParam restart
inline constexpr MessageId kRecord = 0x8010;             // wParam length of a driver record in buffer 0
inline constexpr MessageId kDialogStart = 0x8011;        // a dialog's own start request
inline constexpr MessageId kRestartDone = 0x8014;        // completion of the restart wait
inline constexpr MessageId kSendByte = 0x801B;           // wParam: byte to send to the controller
inline constexpr MessageId kListenerByte = 0x803D;       // to listeners: wParam byte
inline constexpr MessageId kListenerRecord = 0x803E;     // to listeners: wParam length, lParam pointer
inline constexpr MessageId kRobotReplyDone = 0x8040;     // robot reply capture ended
inline constexpr MessageId kKeyRecordToggle = 0x8041;    // terminal key recorder
inline constexpr MessageId kKeyPlayOnce = 0x8042;
inline constexpr MessageId kKeyPlayRepeat = 0x8043;
inline constexpr MessageId kKeyMacroSave = 0x8044;
inline constexpr MessageId kKeyMacroLoad = 0x8045;
inline constexpr MessageId kKeyScriptLoad = 0x8046;
inline constexpr MessageId kLineOverrun = 0x8048;        // wParam error bits, lParam queued count
inline constexpr MessageId kLineOverflow = 0x8049;       // wParam error bits, lParam queued count
inline constexpr MessageId kBlockScanned = 0x804A;       // wParam block number
inline constexpr MessageId kLinearizeResult = 0x8051;    // to the linearization window itself
inline constexpr MessageId kScopeReset = 0x8053;         // to the scope window
inline constexpr MessageId kHelloValue = 0x8055;         // forwarded "HELLO_KX7SDU" value
inline constexpr MessageId kTachCount = 0x8056;          // to the "Tach" dialog
inline constexpr MessageId kTerminalLine = 0x8057;       // lParam: text of one decoded line
inline constexpr MessageId kCloseLinkRequest = 0x805A;   // CloseLink, then LinkKind 0
inline constexpr MessageId kMonitorByte1 = 0x805C;       // to the monitor window, wParam byte
inline constexpr MessageId kMonitorByte2 = 0x805D;
inline constexpr MessageId kMonitorByte3 = 0x805E;

inline constexpr MessageId kFirst = 0x8000;
inline constexpr MessageId kLast = 0x805E;

// Messages of our own, outside the fixed range, for hand-offs the classic message set did by
// other means.
inline constexpr MessageId kRestartLineErrorTimer = 0x8100;  // a reader saw PE or FE: (re)start timer 23
inline constexpr MessageId kDeviceEvents = 0x8101;           // the device watcher has queued events

}  // namespace kx7::msg
