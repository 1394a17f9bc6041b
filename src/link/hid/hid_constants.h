// The HID link's numbers: report ids, command codes, report lengths, request flags and the texts
// the request log writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kx7::hid {

// Reports the generic controllers take (every HID type but the Birch2 HID).
inline constexpr std::uint8_t kCommandReport = 3;
inline constexpr std::uint8_t kSetParamReport = 5;
inline constexpr std::uint8_t kPassThroughReport = 9;
inline constexpr std::uint8_t kBigBlockReport = 15;
inline constexpr std::uint8_t kModeSwitchReport = 17;

// Command codes of the generic controllers (byte 1).
namespace code {
inline constexpr std::uint8_t kSetParam = 1;
inline constexpr std::uint8_t kSetParamIndex = 2;
inline constexpr std::uint8_t kSetHidMode = 3;
inline constexpr std::uint8_t kCalibrate = 4;
inline constexpr std::uint8_t kAsyncEnable = 5;
inline constexpr std::uint8_t kReset = 7;
inline constexpr std::uint8_t kRestoreDefaults = 8;
inline constexpr std::uint8_t kPassThroughByte = 9;
inline constexpr std::uint8_t kPassThroughBytes = 10;
inline constexpr std::uint8_t kRebootEep = 11;
inline constexpr std::uint8_t kSetBigBlock = 12;
inline constexpr std::uint8_t kWatchdogOff = 14;
inline constexpr std::uint8_t kSetDiagPins = 15;
inline constexpr std::uint8_t kPenFinger = 20;
// Byte 1 of the mode switch report.
inline constexpr std::uint8_t kTabletMode = 0;
inline constexpr std::uint8_t kHidMode = 2;
}  // namespace code

// Byte 2 of the reset command (generic code 7, Birch2 code 18).
namespace reset {
inline constexpr std::uint8_t kSoft = 1;
inline constexpr std::uint8_t kHard = 2;
inline constexpr std::uint8_t kRebootRom = 3;
inline constexpr std::uint8_t kRebootRam = 4;
inline constexpr std::uint8_t kRebootEep = 5;
inline constexpr std::uint8_t kRebootAlt = 6;  // generic controllers only
}  // namespace reset

// The Birch2 HID controller's reports and codes.
namespace birch2 {
inline constexpr std::uint8_t kCommandReport = 16;
inline constexpr std::uint8_t kSetParamReport = 32;
inline constexpr std::uint8_t kAsyncEnable = 16;
inline constexpr std::uint8_t kCalibrate = 17;
inline constexpr std::uint8_t kReset = 18;
inline constexpr std::uint8_t kRestoreDefaults = 19;
inline constexpr std::uint8_t kCommand20 = 20;
inline constexpr std::uint8_t kCommand21 = 21;  // answered by a fetch of report 16, bytes 1..2
inline constexpr std::uint8_t kSetParamIndex = 22;
inline constexpr std::uint8_t kCommand23 = 23;
inline constexpr std::uint8_t kPenFinger = 24;
inline constexpr std::uint8_t kSetParam = 32;
// Byte 3 of the pen/finger command: both at once, or pen and finger one after the other.
inline constexpr std::uint8_t kPenFingerBoth = 3;
inline constexpr std::uint8_t kPenFingerPen = 2;
inline constexpr std::uint8_t kPenFingerFinger = 1;
// Sub-blocks of the parameter blocks.
inline constexpr std::uint8_t kSubBlock1 = 17;
inline constexpr std::uint8_t kSubBlock2 = 18;
inline constexpr std::uint8_t kSubBlock4 = 20;
inline constexpr std::uint8_t kSubBlock5 = 48;
inline constexpr std::uint8_t kSubBlock6 = 22;
}  // namespace birch2

// Answer report ids.
namespace answer {
inline constexpr std::uint8_t kControllerId = 4;
inline constexpr std::uint8_t kParam = 5;
inline constexpr std::uint8_t kStatus = 6;
inline constexpr std::uint8_t kBigBlock = 15;
inline constexpr std::uint8_t kPointerMode = 17;
inline constexpr std::uint8_t kMaxContacts = 18;
inline constexpr std::uint8_t kTouchInputMaxContacts = 116;
inline constexpr std::uint8_t kBirch2Command = 16;
inline constexpr std::uint8_t kBirch2Param = 32;
inline constexpr std::uint8_t kBirch2Status = 128;
inline constexpr std::uint8_t kBirch2Identity = 129;
inline constexpr std::uint8_t kBirch2Strays = 144;
}  // namespace answer

// Report lengths in bytes, the report id byte included.
inline constexpr std::size_t kCommandLength = 8;
inline constexpr std::size_t kParamLength = 72;
inline constexpr std::size_t kPassThroughLength = 64;
inline constexpr std::size_t kBigBlockLength = 520;
inline constexpr std::size_t kControllerIdLength = 16;
inline constexpr std::size_t kLarchControllerIdLength = 24;
inline constexpr std::size_t kStatusLength = 8;
inline constexpr std::size_t kPointerModeLength = 3;
inline constexpr std::size_t kMaxContactsLength = 3;
inline constexpr std::size_t kTouchInputMaxContactsLength = 8;
inline constexpr std::size_t kBirch2CommandAnswerLength = 8;
inline constexpr std::size_t kBirch2StatusLength = 20;
inline constexpr std::size_t kBirch2IdentityLength = 26;
inline constexpr std::size_t kBirch2StraysLength = 40;

// Data of the parameter, big-block and pass-through reports starts here.
inline constexpr std::size_t kDataOffset = 8;
inline constexpr std::size_t kParamDataMax = kParamLength - kDataOffset;     // 64
inline constexpr std::size_t kBigBlockData = kBigBlockLength - kDataOffset;  // 512
inline constexpr std::size_t kPassThroughDataMax = 56;
// A Birch2 block write swaps this many leading bytes in pairs.
inline constexpr std::size_t kBirch2SwapBytes = 50;

// Flags of a feature send.
namespace flag {
inline constexpr std::uint32_t kPassThroughOn = 0x01;
inline constexpr std::uint32_t kPassThroughOff = 0x02;
inline constexpr std::uint32_t kClosesLink = 0x04;  // resets and reboots
inline constexpr std::uint32_t kKeepMutex = 0x08;
inline constexpr std::uint32_t kNoLog = 0x10;
}  // namespace flag

// The longest wait for the request mutex.
inline constexpr std::uint32_t kRequestMutexWaitMs = 5000;
// Status polling after a write to Maple and Larch.
inline constexpr std::uint32_t kWriteStatusPollMs = 100;
inline constexpr int kWriteStatusPolls = 100;
// Byte 2 of the generic status record.
inline constexpr std::uint8_t kStateDone = 3;
inline constexpr std::uint8_t kStateRefused = 0;
// Byte 3 of the Birch2 status record.
inline constexpr std::uint8_t kBirch2StateReady = 4;

// Bits of the flag byte (byte 5) of the generic controller-ID record.
namespace id_flag {
inline constexpr std::uint8_t kGestureOrUefi = 0x80;
inline constexpr std::uint8_t kWot = 0x10;
inline constexpr std::uint8_t kPen = 0x08;
}  // namespace id_flag

// Bits of the flag byte (byte 5) of the Birch2 identity record.
namespace birch2_flag {
inline constexpr std::uint8_t kResistive = 0x01;
inline constexpr std::uint8_t kPro = 0x08;
inline constexpr std::uint8_t kTwoTouch = 0x10;
inline constexpr std::uint8_t kEmulation = 0x20;
inline constexpr std::uint8_t kZAxis = 0x40;
}  // namespace birch2_flag

// Touch reports the reader polls, and the layouts of the single-touch ones (the multi-contact
// reports have the contact slots the HID report decoder knows, chosen by the sensor kind).
namespace touch {
inline constexpr std::uint8_t kTouchReport = 7;         // every generic type; length from the device
inline constexpr std::uint8_t kTouchReport13Bit = 8;    // resistive types: 13-bit coordinates
inline constexpr std::uint8_t kTouchReportFirst = 1;    // USB Rowan types: also single-touch
inline constexpr std::uint8_t kMultiContactReport = 16; // Rowan GEN3/GEN4 in multi-contact mode
inline constexpr std::uint8_t kLarchReportDefault = 115;
inline constexpr std::uint8_t kLarchReport400000 = 116;
inline constexpr std::uint8_t kLarchReport20000 = 118;
inline constexpr std::uint8_t kLarchReport40000 = 119;
inline constexpr std::uint8_t kBirch2StreamReport = 5;
inline constexpr std::uint8_t kBirch2StreamFallback = 3;
inline constexpr std::size_t kBirch2StreamLength = 35;
inline constexpr std::size_t kBirch2FallbackLength = 17;
inline constexpr std::size_t kMultiContactLength = 64;
inline constexpr std::size_t kKxHidResistiveLength = 8;  // link 262, types 32869/32871
// Single-touch report of the USB Rowan types (reports 1, 7, 8): byte 1 the state (bit 0 tip,
// bit 1 a contact is there), X at 2..3 and Y at 4..5, 14-bit values, little-endian.
inline constexpr std::size_t kRowanStateOffset = 1;
inline constexpr std::uint8_t kRowanTipBit = 0x01;
inline constexpr std::uint8_t kRowanContactBit = 0x02;
inline constexpr std::size_t kRowanXOffset = 2;
inline constexpr std::size_t kRowanYOffset = 4;
// Resistive reports 7 (12-bit) and 8 (13-bit): two contact records of 5 bytes from byte 1: the
// state (bit 0 touching, bit 1 the record holds a contact), X, Y (16-bit little-endian).
inline constexpr std::size_t kResistiveFirstRecord = 1;
inline constexpr std::size_t kResistiveRecordBytes = 5;
inline constexpr int kResistiveContacts = 2;
inline constexpr std::uint8_t kResistiveTouchingBit = 0x01;
inline constexpr std::uint8_t kResistivePresentBit = 0x02;
// Resistive report 9 (the raw signal): X at 1..2, Y at 3..4, Z at 5..6, then two N bytes.
inline constexpr std::size_t kResistiveRawXOffset = 1;
inline constexpr std::size_t kResistiveRawYOffset = 3;
inline constexpr std::size_t kResistiveRawZOffset = 5;
inline constexpr std::size_t kResistiveRawNOffset = 7;
// The tablet packet a single touch becomes: 0x80 | 0x40 while touching, then X and Y, 7 bits a
// byte, low half first.
inline constexpr std::size_t kTabletPacketBytes = 5;
inline constexpr std::uint8_t kTabletStart = 0x80;
inline constexpr std::uint8_t kTabletTouching = 0x40;
// Pass-through report 9: byte 7 the count of bytes that follow from byte 8.
inline constexpr std::size_t kPassThroughCountOffset = 7;
}  // namespace touch

// The contact slots of the 64-byte multi-contact reports, chosen by the first of these feature
// bits (the sensor kind) the controller has.
struct Layout {
  std::uint32_t feature;  // 0: the layout of controllers with none of the bits
  int contacts;           // contact records from byte 1
  int recordBytes;
  int yOffset;            // of Y within a record (X is at 2)
  int countOffset;        // the contact count byte
  int scanTimeOffset;     // the 16-bit scan time, -1 when the layout does not show it
  bool validWhenNonZero;  // the status byte marks a valid contact by being non-zero (else bit 2)
  bool palmBit;           // status bit 4 adds "P"
  bool endEveryReport;    // the line ends after every report, complete or not
  bool penReports;        // byte 1 bit 7 marks a pen report
};
// The scan time follows the count byte in every layout that shows it.
inline constexpr std::array<Layout, 5> kLayouts = {{
    {0x20000, 4, 15, 6, 61, 62, true, false, false, false},
    {0x2000, 6, 10, 4, 61, 62, false, true, false, false},
    {0x400000, 7, 8, 4, 57, 58, false, false, false, false},
    {0x40000, 10, 6, 4, 61, 62, false, false, true, true},
    {0, 10, 6, 4, 61, -1, false, false, false, true},
}};

inline constexpr const Layout& LayoutFor(std::uint32_t controllerFeatures) {
  for (const Layout& layout : kLayouts)
    if (layout.feature == 0 || (controllerFeatures & layout.feature) != 0) return layout;
  return kLayouts.back();
}
// The valid bit of the contact state in the layouts that have one.
inline constexpr std::uint8_t kValidBit = 0x04;

namespace text {
inline constexpr const char* kOk = "OK\r";
inline constexpr const char* kGetFeatureFailed = "HID GetFeature failed\r";
inline constexpr const char* kSetReportFormat = "SET_REPORT_%d";
inline constexpr const char* kGetReportFormat = "GET_REPORT_%d";
inline constexpr const char* kTouchInputCommand = "SET_REPORT";
inline constexpr const char* kGetSerialNumber = "GET_SERIAL_NUMBER_STRING\r";
inline constexpr const char* kGetSerialNumberFailed = "HidD_GetSerialNumberString failed\r";
inline constexpr const char* kControllerLocked = "This controller is locked";
}  // namespace text

}  // namespace kx7::hid
