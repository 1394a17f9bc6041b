// The touch report decoders' own numbers and texts: the report formats, the controller types they
// tell apart, the report layouts, the HID contact layouts and the record types of the driver link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "link/hid/hid_constants.h"

namespace kx7 {

// ReportFormat values: the ids of the Format commands that choose them.
namespace format {
inline constexpr std::uint32_t kKxs = cmd::kFormatKxs;  // KXS tablet reports (HID reports on USB multi-touch)
inline constexpr std::uint32_t kRawSigned = cmd::kFormatRaw;  // "Calibrate Raw (11 bit signed) format"
inline constexpr std::uint32_t kHexDump = cmd::kFormatHexDump;
inline constexpr std::uint32_t kUndecoded = cmd::kFormatDigitizer;
inline constexpr std::uint32_t kUndecodedMenu = cmd::kFormatUndecoded;  // the Format menu's "&Undecoded"
inline constexpr std::uint32_t kKxsZ = cmd::kFormatZ;                   // KXS reports with Z
inline constexpr std::uint32_t kSignals = cmd::kFormatRawSignals;       // four-channel stream or corner signals
}  // namespace format

inline constexpr std::uint8_t kPollByte = 0x11;
inline constexpr std::uint8_t kLineFeed = 0x0A;
inline constexpr std::uint8_t kReportStartBit = 0x80;

// The status byte and the control bytes of the KXS stream.
namespace kxs {
inline constexpr std::uint8_t kTouchBit = 0x40;
inline constexpr std::uint8_t kButtonBit = 0x02;
inline constexpr std::uint8_t kSecondFlagBit = 0x01;
inline constexpr std::uint8_t kAlternateStart = 0x17;  // arms the 5-bit form
inline constexpr std::uint8_t kLiftOff = 0x18;
inline constexpr std::uint8_t kTouchDown = 0x19;
inline constexpr std::uint8_t kTouching = 0x1C;
inline constexpr std::uint8_t kAlternateMask = 0x1F;
inline constexpr char kAlternateArmed = '>';
// Birch USB sends four more bytes after each report while it forwards a second processor.
inline constexpr int kBirchUsbTrailingBytes = 4;
inline constexpr std::uint32_t kBirchUsbTrailerFeature = feature::kHaptic;  // bit 0x100
inline constexpr std::string_view kLiftOffText = "U ";
inline constexpr std::string_view kTouchDownText = "D ";
inline constexpr std::string_view kTouchingText = "  ";
inline constexpr std::string_view kButtonText = " B";
}  // namespace kxs

// The four-channel signal stream: frames of four pairs, the channel tag in bits 7-6.
namespace four_channel {
inline constexpr int kChannels = 4;
inline constexpr int kTagShift = 6;
inline constexpr std::array<char, kChannels> kLabels = {'0', '4', '8', 'C'};
inline constexpr std::string_view kLostSync = "E";
}  // namespace four_channel

// The corner signal reports.
namespace corner {
inline constexpr std::size_t kTenBitBytes = 6;       // b1..b6 after the status byte
inline constexpr std::size_t kTenBitExtraBytes = 5;  // four more and one further byte, skipped
inline constexpr std::uint8_t kExtraBit = 0x40;
inline constexpr std::size_t kIqBytes = 40;  // I and Q of five bytes for UL, UR, LL, LR
inline constexpr std::size_t kIqValueBytes = 5;
inline constexpr int kCorners = 4;
inline constexpr std::array<std::string_view, kCorners> kIqLabels = {"UL I:", "  UR I:", "  LL I:", "  LR I:"};
}  // namespace corner

// Multi-touch HID input reports: 64 bytes starting with one of these report ids.
namespace hid {
inline constexpr std::size_t kReportBytes = 64;
inline constexpr std::array<std::uint8_t, 12> kReportIds = {1, 7, 16, 19, 20, 22, 23, 32, 115, 116, 118, 119};
inline constexpr int kMostContacts = 100;  // a larger count byte drops the report
inline constexpr std::uint8_t kTipAndRange = 0x03;
inline constexpr std::uint8_t kPalmBit = 0x10;
inline constexpr std::uint8_t kPenReportBit = 0x80;  // byte 1 of a pen report
inline constexpr std::uint8_t kPenTipBit = 0x01;
inline constexpr std::uint8_t kPenBarrelBit = 0x08;
inline constexpr std::uint8_t kPenEraserBit = 0x10;

// The contact layouts (kLayouts) are the HID link's: link/hid/hid_constants.h.
// Pen reports.
inline constexpr std::size_t kPenPressure = 2;
inline constexpr std::size_t kPenUnsigned = 4;
inline constexpr std::size_t kPenSigned = 6;
inline constexpr std::size_t kPenX = 8;
inline constexpr std::size_t kPenY = 10;
inline constexpr std::size_t kPenScanTime = 62;
inline constexpr int kPenDivisor = 100;
inline constexpr std::string_view kPenDown = "PenD";
inline constexpr std::string_view kPenUp = "PenU";
inline constexpr std::string_view kBarrel = " BARREL";
inline constexpr std::string_view kEraser = " ERASER";
}  // namespace hid

// Records of the driver link: byte 0 the record type, byte 1 the loop counter.
namespace record {
inline constexpr std::size_t kMostBytes = 100;
inline constexpr std::uint8_t kCoords = 1;
inline constexpr std::uint8_t kRawCorners = 2;
inline constexpr std::uint8_t kText = 3;
inline constexpr std::uint8_t kBirch2Report4 = 4;  // passes the driver filter, shown undecoded
inline constexpr std::uint8_t kStrays = 5;
inline constexpr std::uint8_t kCompCorners = 7;
inline constexpr std::uint8_t kPwm = 8;
inline constexpr std::uint8_t kStraysAllGains = 9;  // on Maple: the raw record
inline constexpr std::uint8_t kVelocity = 10;
inline constexpr std::uint8_t kStrayDelta = 11;
inline constexpr std::uint8_t kCoordsPressure = 13;
inline constexpr std::uint8_t kRawSignals = 19;
inline constexpr int kRawMiddle = 8192;  // raw 14-bit values are shown around the middle
inline constexpr int kStrayGains = 5;
inline constexpr std::uint8_t kTouchBit = 0x40;

// How many bytes each record needs for its fields.
inline constexpr std::size_t kCoordsBytes = 11;
inline constexpr std::size_t kCoordsPressureBytes = 17;
inline constexpr std::size_t kRawCornersUsb1Bytes = 11;
inline constexpr std::size_t kRawCornersBytes = 35;
inline constexpr std::size_t kTextHeaderBytes = 3;
inline constexpr std::size_t kFourBytes = 6;  // bytes 2 to 5
inline constexpr std::size_t kCompCornersBytes = 10;
inline constexpr std::size_t kStraysAllGainsBytes = 22;
inline constexpr std::size_t kVelocityBytes = 3;
inline constexpr std::size_t kRawSignalsBytes = 27;
inline constexpr std::size_t kMapleRawBytes = 10;

// The order the eight 32-bit (type 2) and 24-bit (type 19) values are shown in.
inline constexpr std::array<std::size_t, 8> kRawCornerOffsets = {7, 15, 23, 31, 3, 11, 19, 27};
inline constexpr std::array<std::size_t, 8> kRawSignalOffsets = {6, 12, 18, 24, 3, 9, 15, 21};

// Line starts; the corner values follow as "UL%03d UR%03d LL%03d LR%03d".
inline constexpr std::string_view kRawUsb1 = "Raw   ";
inline constexpr std::string_view kStray = "Stray ";
inline constexpr std::string_view kComp = "Comp  ";
inline constexpr std::string_view kPwmText = "PWM ";
inline constexpr std::string_view kDelta = "Delta ";
inline constexpr std::string_view kGain = " Gain";
inline constexpr std::string_view kSum = " Sum";
inline constexpr std::string_view kVel = " Vel";
inline constexpr std::string_view kMapleRaw = "RAW LX";
inline constexpr std::string_view kRawSeparator = "\t ";
}  // namespace record

// Types of the four-channel stream: the ones that keep a Block-1 checksum.
inline bool KeepsBlock1Checksum(std::uint32_t controllerType) { return IsRowanCedar(controllerType); }
// Types that show nothing in format 32843.
inline bool HasNoSignalDisplay(std::uint32_t controllerType) { return IsLarchType(controllerType); }
// Types whose corner reports are the 10-bit form.
inline bool HasTenBitCorners(std::uint32_t controllerType) {
  return controllerType == type::kHazel3 || controllerType == type::kHawthorn;
}

}  // namespace kx7
