// The numbers of the emulated touch drivers and of the Birch USB controller behind them that the
// program's driver constants do not already give: the driver's registry key, the values of the
// vendor requests' fields, and where the controller puts its fields in the answers of its version
// and status requests. The request codes, record sizes and vendor request numbers themselves are
// the program's (link/driver/driver_constants.h); they are used from there, not repeated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx7::emu::driver_emulation {

// ---- The Rivetware driver's registry values ----

// (The key and value names are the program's: kRegistryBaseKey, kPortSubkeyFormat, ...)
// The speed the serial driver talks at when its port has no "Baudrate".
inline constexpr std::uint32_t kDefaultBaudrate = 9600;

// ---- The serial Rivetware device ----

// The first 32-bit value of the check request's answer.
inline constexpr std::uint32_t kCheckAnswer = 6;
// How long a read of the controller's bytes waits for some to come when none are there.
inline constexpr int kReadBytesWaitMs = 50;
// While a read waits, it looks at the controller again at least this often (the controller's
// clock may be a virtual one that moves without telling anybody).
inline constexpr int kWaitSliceMs = 5;

// ---- The KX7 driver ----

// The header of a controller or port record: two 16-bit byte offsets of its strings.
inline constexpr std::size_t kKx7RecordHeader = 4;
// HID class requests that the KX7 driver passes to an HID controller (link 262).
inline constexpr std::uint8_t kHidRequestTypeOut = 0x21;
inline constexpr std::uint8_t kHidRequestTypeIn = 0xA1;
inline constexpr std::uint8_t kHidGetReport = 1;
inline constexpr std::uint8_t kHidSetReport = 9;
inline constexpr std::uint16_t kHidFeatureReport = 0x0300;  // high byte 3: a feature report

// ---- The Birch USB controller's vendor requests ----

// Reads and writes {2 / 3, value, index = selector × 256, length}: the selector is a block number
// or a memory's USB-driver code, the value the area of a block request (0 controller NOVRAM, 1 cable NOVRAM,
// 3 strays) or the address of a memory request.
inline constexpr unsigned kSelectorShift = 8;
inline constexpr std::uint16_t kAreaController = 0;
inline constexpr std::uint16_t kAreaCable = 1;
inline constexpr std::uint16_t kAreaStrays = 3;
inline constexpr int kSerialNumberBlock = 5;
inline constexpr int kStraysBlock = 3;
inline constexpr int kCableBlock = 4;

// The values of the reset request {0x40, 7, kind}.
inline constexpr std::uint16_t kResetSoft = 1;
inline constexpr std::uint16_t kResetHard = 2;
inline constexpr std::uint16_t kRebootRom = 3;
inline constexpr std::uint16_t kRebootRam = 4;
inline constexpr std::uint16_t kRebootEeprom = 5;

// The pen and finger request {0x40, 5, flag, which}.
inline constexpr std::uint16_t kPenSelector = 2;
inline constexpr std::uint16_t kFingerSelector = 1;

// The report modes of {0x40, 0x14, mode}: stream, the mode of command 32840, down/up.
inline constexpr std::uint16_t kReportModeFirst = 1;
inline constexpr std::uint16_t kReportModeLast = 3;

// The values of the query request {0xC0, 0x10, value}: the two texts and the calibration record.
inline constexpr std::uint16_t kQueryCalibration = 3;
inline constexpr std::uint16_t kQueryText1 = 101;
inline constexpr std::uint16_t kQueryText2 = 102;
inline constexpr std::size_t kCalibrationRecordSize = 8;  // XOffset, XGain, YOffset, YGain, big-endian

// The haptic marker {0xC0, 0x15, 1, 0, 64} (the program's kHapticQuery) answers this long.
inline constexpr std::size_t kHapticMarkerSize = 64;

// The answers of the version and status requests ({0xC0, 10, 0, 0, length}, {0xC0, 6, 0, 0,
// length}); the length asked chooses the record.
inline constexpr std::size_t kVersionAnswerSize = 16;
inline constexpr std::size_t kMVersionAnswerSize = 24;
inline constexpr std::size_t kStatusAnswerSize = 8;
inline constexpr std::size_t kMStatusAnswerSize = 20;
// The 3 bytes in front of a block or memory answer: the block's status letter (0 for a memory),
// the selector, the byte count.
inline constexpr std::size_t kAnswerHeaderStatus = 0;
inline constexpr std::size_t kAnswerHeaderSelector = 1;
inline constexpr std::size_t kAnswerHeaderCount = 2;

// Version answer (16 bytes): four 16-bit numbers (interface major, minor, driver major, minor),
// the two type letters (byte 9 the first), the resistive flag, the largest parameter write
// (16-bit), the status letters of blocks 1 to 3.
inline constexpr std::size_t kVersionNumbers = 0;
inline constexpr std::size_t kVersionLetters = 8;
inline constexpr std::size_t kVersionResistiveFlag = 10;
inline constexpr std::size_t kVersionMaxWrite = 11;
inline constexpr std::size_t kVersionStatusLetters = 13;
inline constexpr int kVersionStatusBlocks = 3;

// The status answers and the extended version answer are the front of the records the program
// reads, so their fields sit where the program's constants say (kStatusValue, kStatusFlags,
// kMStatusMode, kMVersionLetters, ...).

}  // namespace kx7::emu::driver_emulation
