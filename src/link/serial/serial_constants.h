// The serial link's numbers: the messages its readers post to the frame, the line-error bits, the
// reader's pass counts and the waits of the port object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/receive_buffer.h"
#include "platform/window_messages.h"

namespace kx7::serial {

// Six port objects: 0 the controller link, 1 the barcode scanner, 2 the robot, 3 to 5 the
// three-port monitor.
inline constexpr int kSlotCount = 6;
inline constexpr int kControllerSlot = 0;

// A reader posts kReceivedMessage + slot when its slot's buffer holds a block (0x8000 to 0x8005).
inline constexpr MessageId kReceivedMessage = 0x8000;
inline constexpr MessageId ReceivedMessage(int slot) { return kReceivedMessage + static_cast<MessageId>(slot); }

// Line-error notifications of the controller reader: wParam the error bits, lParam the bytes
// waiting. kOverflowMessage with (0, 0) clears the status-bar text again.
inline constexpr MessageId kOverrunMessage = 0x8048;
inline constexpr MessageId kOverflowMessage = 0x8049;

// Line-error bits, as the accumulated line errors keep them.
inline constexpr std::uint32_t kErrorOverflow = 0x1;  // the driver's receive queue overflowed
inline constexpr std::uint32_t kErrorOverrun = 0x2;   // the UART's receive register overran
inline constexpr std::uint32_t kErrorParity = 0x4;
inline constexpr std::uint32_t kErrorFraming = 0x8;
inline constexpr std::uint32_t kErrorMask = 0xF;

// The frame's timer that clears the PE and FE panes.
inline constexpr std::uint32_t kLineErrorTimerId = 23;
inline constexpr std::uint32_t kLineErrorTimerMs = 250;

// Reader passes between two line-error notifications, and the pass that clears the text.
inline constexpr int kNotificationCoolDownPasses = 1000;
// The modem lines are read once every kModemPollCountdown + 1 passes without bytes.
inline constexpr int kModemPollCountdown = 500;

// A reader moves at most one receive buffer per pass.
inline constexpr std::size_t kMaxReadPerPass = kReceiveBufferSize;
// A reader pass without bytes stands for this long: an idle reader sleeps in the kernel (bytes or
// a stop request wake it at once) and counts the time it slept as that many passes, so the
// modem-line countdown and the notification cool-down keep their pace in time while an idle port
// wakes only when one of them is due.
inline constexpr int kIdlePassMs = 1;
// A block smaller than kSmallBlock that follows the previous one within kStreamGapMs is part of
// a stream arriving in small pieces: the controller reader then lets kGatherMs of it gather
// before its next read. (The gap allows for the gathering itself.)
inline constexpr std::size_t kSmallBlock = 64;
inline constexpr int kGatherMs = 2;
inline constexpr int kStreamGapMs = 2 * kGatherMs;
// The longest sleep of an idle reader in one go; it only bounds how late a missed wake-up is seen.
inline constexpr int kMaxIdleWaitMs = 1000;
// While a write holds the access lock the reader retries in these steps, so a stop request is
// seen soon.
inline constexpr std::uint32_t kReaderLockStepMs = 20;
// While the frame has not emptied the buffer the reader re-checks in these steps.
inline constexpr std::uint32_t kBufferFreeStepMs = 1000;

inline constexpr std::uint32_t kAccessLockWaitMs = 5000;
inline constexpr std::uint32_t kReaderStopWaitMs = 5000;

// Write time-outs: kWriteConstantStepMs per multiplier step, and the multiplier is
// kWriteTimeoutReferenceBaud / baud, rounded, at least 1.
inline constexpr int kWriteTimeoutReferenceBaud = 9600;
inline constexpr std::uint32_t kWriteConstantStepMs = 100;

inline constexpr const char* kDefaultSettings = "9600,N,8,1";
// Port 0 runs at this while the controller is in pass-through mode.
inline constexpr const char* kPassThroughSettings = "115200,N,8,1";
// What an empty settings string stands for.
inline constexpr const char* kEmptySettings = "9600,n,8,1";

// The device's rate may differ from the one asked for by this much before a setting counts as
// rejected (a UART divisor rarely hits odd rates exactly; receivers tolerate a few percent).
inline constexpr int kBaudTolerancePercent = 3;

}  // namespace kx7::serial
