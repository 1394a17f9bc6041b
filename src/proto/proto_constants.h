// The controller protocol's own numbers and texts: reply flags and time-outs, the framing bytes of
// the command set, the serial settings Find Controller tries, and the messages it shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kx7 {

// How the reply collector knows a reply is complete, and which time-out applies.
namespace reply {
inline constexpr std::uint32_t kFixedLength = 0x001;  // complete at the expected length; NUL kept; SOH "1" CR ends it
inline constexpr std::uint32_t kLongWait = 0x002;     // 5000 ms serial, 7000 ms other links
inline constexpr std::uint32_t kThreeLines = 0x004;   // complete at the third CR
inline constexpr std::uint32_t kTwoLines = 0x008;     // complete at the second CR
inline constexpr std::uint32_t kWait10s = 0x020;
inline constexpr std::uint32_t kRaw = 0x040;  // every byte as received, complete only at the expected length
inline constexpr std::uint32_t kShortWait = 0x080;  // 250 ms
inline constexpr std::uint32_t kWait20s = 0x100;
inline constexpr std::uint32_t kEndOnZ = 0x200;  // a "Z" (an echoed ping) completes it too
// Ours: the acknowledgement SOH "0" CR at the end of what arrived completes it too, so a ping that
// is answered does not wait out its time-out.
inline constexpr std::uint32_t kEndOnOk = 0x400;
// Flags that only choose the time-out: a reply with no other flag is one line.
inline constexpr std::uint32_t kTimeOutOnly = kLongWait | kWait10s | kShortWait | kWait20s;

inline constexpr std::uint32_t kWait10sMs = 10000;
inline constexpr std::uint32_t kWait20sMs = 20000;
inline constexpr std::uint32_t kShortWaitMs = 250;
inline constexpr std::uint32_t kLongWaitSerialMs = 5000;
inline constexpr std::uint32_t kLongWaitOtherMs = 7000;
inline constexpr std::uint32_t kSerialMs = 1000;
inline constexpr std::uint32_t kOtherMs = 3000;
}  // namespace reply

// The command set's framing: SOH starts a command or a reply and CR ends it; DLE EOT leaves
// pass-through (a DLE among the data goes doubled to the controllers that expect that).
inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kEot = 0x04;
// Sends are cut into pieces of this many bytes.
inline constexpr std::size_t kSendPieceBytes = 128;
// ClearLink's two pauses.
inline constexpr std::uint32_t kClearFirstPauseMs = 100;
inline constexpr std::uint32_t kClearSecondPauseMs = 200;

// The settings Find Controller tries on each port, in order; the first keeps the port's own.
inline constexpr int kSearchSettingsCount = 57;
inline constexpr std::array<const char*, kSearchSettingsCount> kSearchSettings = {
    "Existing",     "9600,N,8,1",   "9600,N,7,2",   "19200,N,8,1",  "19200,N,7,2",  "4800,N,8,1",
    "4800,N,7,2",   "2400,N,8,1",   "2400,N,7,2",   "1200,N,8,1",   "1200,N,7,2",   "115200,N,8,1",
    "115200,N,7,2", "9600,O,8,1",   "9600,E,8,1",   "9600,O,7,1",   "9600,E,7,1",   "4800,O,8,1",
    "4800,E,8,1",   "4800,O,7,1",   "4800,E,7,1",   "2400,O,8,1",   "2400,E,8,1",   "2400,O,7,1",
    "2400,E,7,1",   "1200,O,8,1",   "1200,E,8,1",   "1200,O,7,1",   "1200,E,7,1",   "19200,O,8,1",
    "19200,E,8,1",  "19200,O,7,1",  "19200,E,7,1",  "38400,N,8,1",  "38400,N,7,2",  "38400,O,8,1",
    "38400,E,8,1",  "38400,O,7,1",  "38400,E,7,1",  "57600,N,8,1",  "57600,N,7,2",  "57600,O,8,1",
    "57600,E,8,1",  "57600,O,7,1",  "57600,E,7,1",  "300,N,8,1",    "300,N,7,2",    "300,O,8,1",
    "300,E,8,1",    "300,O,7,1",    "300,E,7,1",    "600,N,8,1",    "600,N,7,2",    "600,O,8,1",
    "600,E,8,1",    "600,O,7,1",    "600,E,7,1"};
inline constexpr const char* kDefaultPortSettings = "9600,N,8,1";
inline constexpr const char* kPassThroughPortSettings = "115200,N,8,1";

// Find request flags (message 0x800E).
namespace find {
inline constexpr std::uint32_t kRetry = 0x01;
inline constexpr std::uint32_t kHideAfter = 0x02;
inline constexpr std::uint32_t kStopAfterHid = 0x04;
inline constexpr std::uint32_t kShowWindow = 0x08;
inline constexpr std::uint32_t kBirchUsbDirect = 0x10;
inline constexpr std::uint32_t kWaitAfterFoundMs = 200;
inline constexpr std::uint32_t kRivetwareSettleMs = 200;
inline constexpr std::uint32_t kConnectFailPauseMs = 250;
}  // namespace find

namespace text {
inline constexpr const char* kBlockReadFailed = "Block Read Failed";
inline constexpr const char* kWriteFailed = "Write Failed";
inline constexpr const char* kInvalidOrNoReply = "Invalid or no reply";
inline constexpr const char* kInvalidResponse = "Invalid Response";
inline constexpr const char* kErrorWritingParameter = "Error writing parameter";
inline constexpr const char* kErrorWritingParameters = "Error writing parameter(s)";
inline constexpr const char* kClearing = "Clearing";
inline constexpr const char* kCantFindController = "Can't Find Controller";
inline constexpr const char* kCantConnectToController = "Can't Connect to Controller";
inline constexpr const char* kSearching = "Searching";
inline constexpr const char* kFound = "Found";
inline constexpr const char* kFindCanceled = "Find Canceled\r";
inline constexpr const char* kTryingKxDriver = "Trying KXDriver\r";
inline constexpr const char* kTryingRvDriver = "Trying RVDriver\r";
inline constexpr const char* kKx7Lists = "KX7 lists %d controllers\r";
inline constexpr const char* kCountedHidOne = "Counted %d HID controller\r";
inline constexpr const char* kCountedHidMany = "Counted %d HID controllers\r";
inline constexpr const char* kPing = "Ping ";
inline constexpr const char* kControllerInfoTitle = "Controller Info";
inline constexpr const char* kInfoErrorsPlaceholder = "ROM RAM PWM HDW BLK1 BLK2 BLK4";
}  // namespace text

// Controller memories read and written by address (peek and poke), and the "More..." of the
// Controller Info window that reads some of them.
namespace memory {
inline constexpr int kCount = 14;  // memories 0 to 13
// How each route names a memory: the command set's character, the USB drivers' code, the Birch2
// HID controller's code.
inline constexpr std::array<char, kCount> kCharacters = {'0', '1', '2', '3', '4', '5', '6',
                                                          '7', '8', '9', 'A', 'B', 'C', 'D'};
inline constexpr std::array<std::uint8_t, kCount> kDriverCodes = {37, 17, 18, 19, 20, 21, 22,
                                                                   23, 24, 32, 33, 34, 35, 36};
inline constexpr std::array<std::uint8_t, kCount> kBirch2Codes = {0, 17, 18, 19, 20, 21, 22, 23, 24, 9, 10, 11, 12, 13};
inline constexpr const char* kReadCommand = "QPE";
inline constexpr const char* kWriteCommand = "QPO";
// The line counter of the exchange: a read starts at 0, a write at 7.
inline constexpr int kReadFirstLine = 0;
inline constexpr int kReadMemoryLine = 1;
inline constexpr int kReadAddressLine = 2;
inline constexpr int kReadCountLine = 3;
inline constexpr int kReadDataLine = 5;
inline constexpr int kReadClosingLine = 6;
inline constexpr int kWriteFirstLine = 7;
inline constexpr int kWriteMemoryLine = 8;
inline constexpr int kWriteAddressLine = 9;
inline constexpr int kWriteCountLine = 10;
inline constexpr int kWriteValuesLine = 11;
inline constexpr int kWriteClosingLine = 12;
// Values of a data line start here (what comes before them is the controller's own).
inline constexpr std::size_t kDataStart = 6;
// Values one request moves.
inline constexpr std::uint32_t kMaxReadBytes = 255;
inline constexpr std::uint32_t kMaxReadWords = 8;
inline constexpr std::uint32_t kMaxWriteBytes = 63;
inline constexpr std::uint32_t kMaxWriteWords = 8;
inline constexpr std::uint32_t kRowanMaxRead = 65536;
inline constexpr std::uint32_t kRowanGen3MaxRead = 131072;
// The most values one read or write moves: the value array's bound (the largest firmware image is
// far below it).
inline constexpr std::size_t kMaxValues = 1u << 20;
// RAM (memory 10) words: the serial speed word (poking it changes the controller's speed, so its
// closing line is not awaited), and the status words "More..." shows.
inline constexpr int kRamMemory = 10;
inline constexpr std::uint32_t kSpeedWordAddress = 4177;
inline constexpr std::uint32_t kStatusWordsAddress = 4230;
inline constexpr std::size_t kStatusWordsBytes = 10;
// The Block7 sheet's own exchange: listener slot 9, memory 7, bytes only; on the USB links its
// entries' addresses become linear offsets.
inline constexpr int kBlock7Slot = 9;
inline constexpr int kBlock7Memory = 7;
inline constexpr std::uint32_t kBlock7LowLast = 0x0F1;
inline constexpr std::uint32_t kBlock7MiddleFirst = 0x200;
inline constexpr std::uint32_t kBlock7MiddleLast = 0x27D;
inline constexpr std::uint32_t kBlock7MiddleShift = 270;
inline constexpr std::uint32_t kBlock7HighFirst = 0x300;
inline constexpr std::uint32_t kBlock7HighLast = 0x363;
inline constexpr std::uint32_t kBlock7HighShift = 400;
inline constexpr std::uint8_t kUntransferredValue = 255;
// Guards the sheet's exchange so that a silent controller cannot hang the sheet.
inline constexpr std::uint32_t kBlock7TimerId = 1;
inline constexpr std::uint32_t kBlock7TimeOutMs = 5000;
}  // namespace memory

namespace text {
inline constexpr const char* kErrorPeeking = "Error Peeking";
inline constexpr const char* kErrorPokeing = "Error Pokeing";
inline constexpr const char* kErrorPeekFrame = "Error Peek Frame [%X,%X,%d,%d,%d]";
inline constexpr const char* kErrorPokePackedFrame = "Error Poke Packed Frame";
inline constexpr const char* kPeeking = "PEEKing...";
inline constexpr const char* kPokeing = "POKEing...";
inline constexpr const char* kBirchStatusWords = "Sui=%d Wdog=%d Dpar= %d Ppar= %d";
inline constexpr const char* kErrorBitNumber = "%d ";
}  // namespace text

}  // namespace kx7
