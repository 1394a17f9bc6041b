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

// ---- The driver links themselves ----

// The drivers' registry values: port i has the subkey "\\%04i" under the base key.
inline constexpr const char* kRegistryBaseKey = "System\\CurrentControlSet\\Services\\KxsTch\\Parameters";
inline constexpr const char* kPortSubkeyFormat = "\\%04d";
inline constexpr const char* kPortNameValue = "PortName";
inline constexpr const char* kBaudrateValue = "Baudrate";
inline constexpr const char* kInstalledValue = "TSInstalled";

// The driver port table: up to 16 names of 40 characters; the serial Rivetware link reads the
// names of subkeys 0 to 8, the RVUSB link probes devices 0 to 15, the KX7 list probes 1 to 16.
inline constexpr int kPortTableSize = 16;
inline constexpr std::size_t kPortNameChars = 40;
inline constexpr int kRivetwarePortNames = 9;
inline constexpr int kKx7FirstProbe = 1;
inline constexpr int kKx7LastProbe = 16;

// The client name the serial Rivetware reader registers with (a wide string in 132 bytes).
inline constexpr const char* kClientName = "KX7SDU";
// How long the serial Rivetware open waits for its reader to start.
inline constexpr int kReaderStartWaitMs = 600;
// The serial Rivetware write is repeated until the driver takes it; a driver that refuses for
// this long is taken to be stuck, so the program does not hang on it.
inline constexpr int kRivetwareWriteTries = 500;
inline constexpr int kRivetwareWriteGapMs = 10;
// The readers' pause when a read gave nothing, so a driver that answers at once does not spin.
inline constexpr int kReaderIdleMs = 1;

// The KX7 byte-stream link (258): reads and writes under one mutex, each tried 10 times 10 ms
// apart; a write waits at most 5000 ms for the mutex. Opening purges what the driver holds.
inline constexpr int kKx7ReadTries = 10;
inline constexpr int kKx7ReadGapMs = 10;
inline constexpr int kKx7WriteTries = 10;
inline constexpr int kKx7WriteGapMs = 10;
inline constexpr int kKx7MutexWaitMs = 5000;
inline constexpr int kPurgeReads = 64;
// The KXUSB reader's wait for the answer of its IN request, and the request mutex's bound.
inline constexpr int kUsbReadWaitMs = 10;
inline constexpr int kRequestMutexWaitMs = 5000;
// The take-device request's flag.
inline constexpr std::uint32_t kTakeDeviceOn = 1;
inline constexpr std::uint32_t kTakeDeviceOff = 0;

// The driver baud rate change: close, wait, reopen.
inline constexpr int kBaudReopenMs = 200;
// Before HARD_RESET and the reboots, with device notices: the reader stops, then this pause.
inline constexpr int kRestartPauseMs = 250;
// GET_STATUS after the pen and finger flags: polled until it succeeds, at most this often; on the
// RVUSB link 250 ms apart.
inline constexpr int kStatusPolls = 20;
inline constexpr int kRvUsbStatusGapMs = 250;

// Parameter blocks through the drivers.
inline constexpr std::uint16_t kBlock1Length = 30;
inline constexpr std::uint16_t kBlock2Length = 50;
inline constexpr std::uint16_t kBlock4Length = 60;
inline constexpr std::uint16_t kStraysLength = 32;
inline constexpr std::uint8_t kBlock6Memory = 6;
inline constexpr std::uint16_t kBlock6Length = 12;
inline constexpr std::size_t kBlockHeaderSize = 6;    // {block u16, 0 u16, length u16}
inline constexpr std::size_t kStraysHeaderSize = 4;   // WRITE_STRAYS: {block u16, length u16}, 32 bytes
inline constexpr int kLastStatusBlock = 5;            // GET_VERSION holds the letters of blocks 1 to 5

// Further fields of the version record: the third type letter (byte 9, "M0I"), the firmware
// version (14 major, 15 minor) and a 16-bit part number (16..17). The controller's 16-byte
// answer on the KX7 driver's USB link has no room for them, so they read 0 there.
inline constexpr std::size_t kVersionThirdLetter = 9;
inline constexpr std::size_t kVersionFirmware = 14;
inline constexpr std::size_t kVersionPartNumber = 16;

// The status record (20 bytes): the status value (16-bit, bytes 0..1) whose bits the error words
// name, and a flag byte (4) whose bit 4 marks a controller with wake-on-touch.
inline constexpr std::size_t kStatusValue = 0;
inline constexpr std::size_t kStatusFlags = 4;
inline constexpr std::uint8_t kStatusWakeOnTouch = 0x10;

// The extended version record (40 bytes; the controller's 24-byte answer at its start): the type
// letters (8 first, 9 second), the firmware version (10 major, 11 minor), the flag byte (12), the
// revision word (14..15), the CDE part number (16..19) and the CST part number (20..21).
inline constexpr std::size_t kMVersionLetters = 8;
inline constexpr std::size_t kMVersionFirmware = 10;
inline constexpr std::size_t kMVersionFlags = 12;
inline constexpr std::size_t kMVersionRevision = 14;
inline constexpr std::size_t kMVersionCde = 16;
inline constexpr std::size_t kMVersionCst = 20;
inline constexpr std::uint8_t kMFlagPro = 0x08;
inline constexpr std::uint8_t kMFlagTwo = 0x10;
inline constexpr std::uint8_t kMFlagEmu = 0x20;
inline constexpr std::uint8_t kMFlagCtii = 0x40;
inline constexpr std::uint16_t kRevisionB = 0x100;
// The extended status record: byte 2 is the report mode; 2 is the multi-report mode.
inline constexpr std::size_t kMStatusMode = 2;
inline constexpr std::uint8_t kMultiReportMode = 2;
// The haptic marker: GENERIC {0xC0, 0x15, 1, 0, 64}; an "H" in the answer marks a haptic Birch.
inline constexpr std::uint16_t kHapticQuery = 1;
inline constexpr std::uint8_t kHapticMark = 'H';

// Texts of the driver links.
inline constexpr const char* kHandleAlreadyOpen = "Error3 ";
inline constexpr const char* kCantDisconnectUsbDriver = "Can't Disconnect USB Driver";
inline constexpr const char* kCheckingKx7 = "Checking KX7\r";
inline constexpr const char* kTryingToOpenKx7 = "Trying to open KX7\r";
inline constexpr const char* kCouldntConnect = "Couldn't connect";
inline constexpr const char* kChoosePortTitle = "Select Driver Port";
inline constexpr const char* kChooseControllerTitle = "Select KX7 Controller";

}  // namespace kx7::driver
