// The numbers of the driver links: the device request codes of the Rivetware and KX7 drivers, the
// sizes the program passes with them, the USB vendor requests the KX7 driver's USB links carry,
// and the sizes of the KX7 driver's controller list records.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx7::driver {

// Driver request codes: device type 0x1A, buffered method.
inline constexpr std::uint32_t kDeviceType = 0x1A;
inline constexpr std::uint32_t MakeRequestCode(std::uint32_t access, std::uint32_t function) {
  return (kDeviceType << 16) | (access << 14) | (function << 2);
}

// Named requests on "\\.\KxsTch%d".
inline constexpr std::uint32_t kWhoAreYou = 0x1A2004;
inline constexpr std::uint32_t kMouseEnable = 0x1A204C;
inline constexpr std::uint32_t kMouseDisable = 0x1A2050;
inline constexpr std::uint32_t kSetPenActive = 0x1A2400;
inline constexpr std::uint32_t kSetFingerActive = 0x1A2404;
inline constexpr std::uint32_t kUpdateParam = 0x1A2410;
inline constexpr std::uint32_t kGetVersion = 0x1A2414;
inline constexpr std::uint32_t kGetStatus = 0x1A241C;
inline constexpr std::uint32_t kReadCableNovram = 0x1A2420;
inline constexpr std::uint32_t kWriteCableNovram = 0x1A2424;
inline constexpr std::uint32_t kReadControllerNovram = 0x1A2440;
inline constexpr std::uint32_t kWriteControllerNovram = 0x1A2444;
inline constexpr std::uint32_t kReadGateArray = 0x1A2448;
inline constexpr std::uint32_t kWriteGateArray = 0x1A244C;
inline constexpr std::uint32_t kReadStrays = 0x1A2450;
inline constexpr std::uint32_t kWriteStrays = 0x1A2454;
inline constexpr std::uint32_t kReadSerialNumber = 0x1A2458;
inline constexpr std::uint32_t kWriteSerialNumber = 0x1A245C;
inline constexpr std::uint32_t kStartCalibrate = 0x1A2460;
inline constexpr std::uint32_t kSoftReset = 0x1A2464;
inline constexpr std::uint32_t kHardReset = 0x1A2480;
inline constexpr std::uint32_t kRestoreDefaults = 0x1A2484;
inline constexpr std::uint32_t kAsyncSetReportActive = 0x1A248C;
inline constexpr std::uint32_t kEepromRead = 0x1A24C0;
inline constexpr std::uint32_t kEepromWrite = 0x1A24C4;
inline constexpr std::uint32_t kRomReboot = 0x1A24C8;
inline constexpr std::uint32_t kRamReboot = 0x1A24CC;
inline constexpr std::uint32_t kEepromReboot = 0x1A24D0;
inline constexpr std::uint32_t kDownloadEeprom = 0x1A24DC;
inline constexpr std::uint32_t kDownloadRam = 0x1A24E0;
inline constexpr std::uint32_t kDownloadBoth = 0x1A24E4;
inline constexpr std::uint32_t kDownloadData = 0x1A2500;
inline constexpr std::uint32_t kDownloadEnd = 0x1A2504;
inline constexpr std::uint32_t kIsTopazDriver = 0x1A2508;
inline constexpr std::uint32_t kGeneric = 0x1A250C;
inline constexpr std::uint32_t kGetMVersion = 0x1A2AA4;
inline constexpr std::uint32_t kGetMStatus = 0x1A2AAC;
inline constexpr std::uint32_t kReadMSerialNumber = 0x1A2AD4;
inline constexpr std::uint32_t kRestoreMDefaults = 0x1A2AE8;

// The serial Rivetware link's own requests (link 257); they have no names and are not logged.
inline constexpr std::uint32_t kCheck = 0x1A20C8;
inline constexpr std::uint32_t kRegisterClient = 0x1A205C;
inline constexpr std::uint32_t kReadBytes = 0x1A208C;
inline constexpr std::uint32_t kUnregisterClient = 0x1A2060;
inline constexpr std::uint32_t kWriteBytes = 0x1A2094;
inline constexpr std::uint32_t kRereadBaudrate = 0x1A20A0;

// Requests on "\\.\RvTouchDevice%d" (the KX7 driver).
inline constexpr std::uint32_t kListControllers = 0x1A6008;
inline constexpr std::uint32_t kControllerRecord = 0x1A6020;
inline constexpr std::uint32_t kPortRecord = 0x1A6024;
inline constexpr std::uint32_t kTakeDevice = 0x1AA030;

static_assert(MakeRequestCode(0, 0x801) == kWhoAreYou);
static_assert(MakeRequestCode(1, 0x802) == kListControllers);
static_assert(MakeRequestCode(2, 0x80C) == kTakeDevice);

// Sizes the program passes.
inline constexpr std::size_t kWhoAreYouSize = 134;
inline constexpr std::size_t kVersionRecordSize = 26;
inline constexpr std::size_t kStatusRecordSize = 20;
inline constexpr std::size_t kNovramReadSize = 120;
inline constexpr std::size_t kNovramWriteSize = 104;
inline constexpr std::size_t kStraysReadSize = 32;
inline constexpr std::size_t kStraysWriteSize = 36;
inline constexpr std::size_t kSerialNumberSize = 4;
inline constexpr std::size_t kReportActiveSize = 4;
inline constexpr std::size_t kMemoryHeaderSize = 6;  // EEPROM_READ / EEPROM_WRITE header
inline constexpr std::size_t kMaxMemoryCount = 64;   // bytes of controller memory a request moves
inline constexpr std::size_t kMVersionRecordSize = 40;
inline constexpr std::size_t kMStatusShortSize = 24;
inline constexpr std::size_t kMStatusRecordSize = 28;
inline constexpr std::size_t kRestoreBlockSize = 4;
inline constexpr std::size_t kCheckSize = 20;
inline constexpr std::size_t kClientNameSize = 132;
inline constexpr std::size_t kMaxReadBytes = 4096;
inline constexpr std::size_t kTakeDeviceSize = 4;
inline constexpr std::size_t kDownloadHeaderSize = 6;
inline constexpr std::size_t kGenericTextSize = 256;

// The first 32-bit value of WHO_ARE_YOU, and the first 16-bit value of IS_TOPAZ_DRIVER that marks
// the newer USB driver.
inline constexpr std::uint32_t kSerialRivetwareDevice = 1;
inline constexpr std::uint32_t kUsbRivetwareDevice = 2;
inline constexpr std::uint16_t kNewerUsbDriverMark = 100;

// The block status letters and the other fields of the version record that the program reads.
inline constexpr std::size_t kVersionTypeLetters = 10;  // bytes 10..11, byte 11 the first letter
inline constexpr std::size_t kVersionResistive = 12;
inline constexpr std::size_t kVersionMaxParamWrite = 18;  // 16-bit; 0xFFFF marks a Birch USB controller
inline constexpr std::size_t kVersionBlockStatus = 20;    // blocks 1 to 5
inline constexpr std::uint16_t kBirchUsbMaxParamWrite = 0xFFFF;

// USB vendor requests of links 261 and 262: an 8-byte setup record, then the data going out.
inline constexpr std::size_t kSetupSize = 8;
inline constexpr std::uint8_t kRequestTypeOut = 0x40;
inline constexpr std::uint8_t kRequestTypeIn = 0xC0;
inline constexpr std::uint8_t kRequestTypeInBit = 0x80;
// The answer of an IN request: up to 16 reads 10 ms apart.
inline constexpr int kAnswerReadTries = 16;
inline constexpr int kAnswerReadGapMs = 10;
// The block reads' answers start with a 3-byte header the caller never sees.
inline constexpr std::size_t kBlockAnswerHeader = 3;

// The vendor requests the program builds itself and sends as GENERIC.
inline constexpr std::uint8_t kVendorSetActive = 1;
inline constexpr std::uint8_t kVendorReadBlock = 2;
inline constexpr std::uint8_t kVendorWriteBlock = 3;
inline constexpr std::uint8_t kVendorCalibrate = 4;
inline constexpr std::uint8_t kVendorPenFinger = 5;
inline constexpr std::uint8_t kVendorStatus = 6;
inline constexpr std::uint8_t kVendorReset = 7;
inline constexpr std::uint8_t kVendorRestore = 8;
inline constexpr std::uint8_t kVendorVersion = 10;
inline constexpr std::uint8_t kVendorDownload = 12;
inline constexpr std::uint8_t kVendorReportMode = 0x14;
inline constexpr std::uint8_t kVendorPassThrough = 0x15;
inline constexpr std::uint8_t kVendorQuery = 0x10;
inline constexpr std::uint16_t kPassThroughData = 0x0B;
inline constexpr std::size_t kPassThroughPiece = 64;
// Values of the pass-through request: enter to the second processor, enter to the other target,
// leave.
inline constexpr std::uint16_t kPassThroughEnterD = 8;
inline constexpr std::uint16_t kPassThroughEnterL = 9;
inline constexpr std::uint16_t kPassThroughLeave = 10;

// What the USB drivers' readers poll: the IN request {0xC0, 0x15, 0x0B, 0, 64}. Its answer (up
// to 64 bytes) starts with a kind byte and a count byte; the count bytes follow. Byte stream
// (pass-through bytes, tablet reports) goes to the frame as bytes, a report as one packet.
inline constexpr std::size_t kStreamAnswerSize = 64;
inline constexpr std::size_t kStreamHeaderSize = 2;
inline constexpr std::size_t kStreamDataMax = kStreamAnswerSize - kStreamHeaderSize;  // 62
inline constexpr std::uint8_t kStreamNothing = 0;
inline constexpr std::uint8_t kStreamBytes = 1;
inline constexpr std::uint8_t kStreamReport = 2;
// How often the RVUSB reader polls when nothing came.
inline constexpr int kUsbReaderIdleMs = 100;

// The KX7 driver's controller list: a 260-byte list record, and two 268-byte records for each
// listed controller.
inline constexpr std::size_t kListRecordSize = 260;
inline constexpr std::size_t kKx7RecordSize = 268;
inline constexpr std::size_t kMaxListedControllers = (kListRecordSize - 4) / 2;

}  // namespace kx7::driver
