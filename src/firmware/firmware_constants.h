// The firmware loaders' numbers and texts: image sizes and fill, the file dialogs' filters, the
// messages of the image readers and of the loaders, the Birch ROM's default EEPROM map.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window_messages.h"

namespace kx7::firmware {

// Every image buffer is filled with this before file or controller data goes into it.
inline constexpr std::uint8_t kFill = 0xFF;

inline constexpr std::size_t kBirch2ImageBytes = 32768;
inline constexpr std::size_t kCedarGen2ImageBytes = 65536;
inline constexpr std::size_t kCedarImageBytes = 65536;       // Rowan GEN2 and the other Cedar-protocol types
inline constexpr std::size_t kCedarGen3ImageBytes = 131072;  // GEN3 and GEN4 types
inline constexpr std::size_t kCedarFileBytes = 262144;       // a GEN3/GEN4 image file, 0xFF-filled
inline constexpr std::size_t kRawImageBytes = 1048576;       // "Firmware Loader" and UEFI raw images

// The Cedar GEN2 images are read word-addressed from word address 0x8000.
inline constexpr std::int64_t kCedarGen2AddressOffset = -0x8000;

// The Birch2 strict reader refuses record addresses above this.
inline constexpr std::uint32_t kBirch2LastAddress = 0x7FFF;

// Intel hex records the 32 K writer writes.
inline constexpr std::size_t kHexRecordBytes = 16;
inline constexpr const char* kHexSegmentRecord = ":020000020000FC\r\n";
inline constexpr const char* kHexEndRecord = ":00000001FF\r\n";

namespace filter {
inline constexpr const char* kHex = "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||";
inline constexpr const char* kHexPattern = "*.hex";
inline constexpr const char* kIntelHex = "Intel Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||";
inline constexpr const char* kBinary = "Binary Image Files (*.bin)|*.bin|All Files (*.*)|*.*||";
inline constexpr const char* kBinaryPattern = "*.bin";
inline constexpr const char* kCmd = "Cmd Files (*.cmd)|*.cmd|All Files (*.*)|*.*||";
}  // namespace filter

// The names images are saved under: their 16-bit sum.
inline constexpr const char* kHexNameFormat = "%04X.hex";
inline constexpr const char* kBinNameFormat = "%04X.BIN";

// The .out conversion: the command file beside the .out file, the converter in the folder
// "extra" below the program's.
inline constexpr const char* kConverterCommandFile = "adc_hex.cmd";
inline constexpr const char* kConverterFolder = "extra";
inline constexpr const char* kConverterProgram = "outconv.exe";

namespace text {
inline constexpr const char* kFailedToOpenFile = "Failed to open file!";
inline constexpr const char* kUnknownFileFormat = "Unknown File Format";
inline constexpr const char* kFileChecksumError = "File Checksum Error";
inline constexpr const char* kFileSizeError = "File Size Error";
inline constexpr const char* kFileAddressError = "File Address Error";
inline constexpr const char* kReadError = "Read Error";
inline constexpr const char* kErrorFindingConverter = "Error finding path to outconv.exe from\n%s\n%s";
inline constexpr const char* kErrorExecutingConverter = "Error executing outconv.exe";
inline constexpr const char* kOpenCmdFile = "Open Cmd File";
inline constexpr const char* kDiscardImage = "Are you sure you want to\nDiscard the Image?";
inline constexpr const char* kRawImageDisplay = "Size: %04X\nFileSum: %04X";
inline constexpr const char* kCedarFileSum = "File Size: %d   Sum: %04X";
inline constexpr const char* kCedarFillQuestion =
    "File Size: %d   Sum (if filled to 256MB with FFs): %04X\nFile Size is less 256MB.\nWrite 256MB file with FF fill?\n";
inline constexpr const char* kFileNotCompatible = "File Not Compatible?";
inline constexpr const char* kErrorPokeFrame = "Error Poke Frame";
inline constexpr const char* kPokeErrors = "PokeErrors= %d";
inline constexpr const char* kBytesSent = "%d of %d Bytes Sent";
inline constexpr const char* kReboot1 = "Reboot #1";
inline constexpr const char* kNotForBootloader = "This is not for use with the bootloader";
inline constexpr const char* kCommitTo = "Commit to: %02X%02X ?";
inline constexpr const char* kHandshakeFailedChars = "%c-%c Handshake Failed";
inline constexpr const char* kChecksumFailed = "Checksum Failed calc=%04X report=%04X";
inline constexpr const char* kResponseFailed = "Response Failed";
inline constexpr const char* kHandshakeFailed = "Handshake Failed";
inline constexpr const char* kDownloadFailed = "Download Failed";
inline constexpr const char* kDownloadDone = "Download Done";
}  // namespace text

// The loader dialogs' titles, which are also the names their views are picked by.
namespace title {
inline constexpr const char* kBirch2Image = "Birch2 EEPROM Image";
inline constexpr const char* kFirmwareLoader = "Firmware Loader";
inline constexpr const char* kUefiLoader = "UEFI firmware loader";
inline constexpr const char* kCedarGen2 = "Cedar GEN2 Download";
inline constexpr const char* kCedarGen3 = "Cedar Gen3 Code Loader";
inline constexpr const char* kCedarEeprom = "Cedar EEPROM Image";
}  // namespace title

// What the Cedar loaders say while they work, and their own refusals.
namespace text {
inline constexpr const char* kResettingDsp = "Reseting DSP";
inline constexpr const char* kLoadingPyrite = "Loading PYRITE";
inline constexpr const char* kBootingPyrite = "Booting PYRITE";
inline constexpr const char* kLoadingUtility = "Loading Utility to RAM";
inline constexpr const char* kBootingUtility = "Booting Utility";
inline constexpr const char* kLoadingCode = "Loading new CODE to RAM";
inline constexpr const char* kCommittingCode = "Checksum OK. Committing CODE to Flash\n";
inline constexpr const char* kLoadingData = "Loading DATA v%04X to RAM";
inline constexpr const char* kCommittingData = "Checksum OK. Committing DATA to Flash\n";
inline constexpr const char* kRebootingCedar = "Rebooting Cedar Controller with new code\n";
inline constexpr const char* kCodeIsLoader = "pyrite.hex is the loader, not the image";
inline constexpr const char* kSameCodeAndData = "code and data filenames are the same!";
// A controller that was rebooted into its new code and is not found again.
inline constexpr const char* kCantFindController = "Can't Find Controller";
}  // namespace text

// The Cedar GEN2 loader's default files, in the current folder.
inline constexpr const char* kDefaultDataFile = "quilldata.hex";
inline constexpr const char* kDefaultDummyDataFile = "quilldata_dummy.hex";
inline constexpr const char* kDefaultLoaderFile = "pyrite.hex";

// Piece sizes the controllers take.
inline constexpr std::size_t kSerialPieceBytes = 32;  // "PD": 64 hexadecimal characters
inline constexpr std::size_t kUsbPieceBytes = 64;     // a driver request or a HID report
inline constexpr std::size_t kDspPieceBytes = 56;     // a raw write to a DSP loader

// Fixed pauses of the loaders, in milliseconds.
namespace pause {
inline constexpr std::uint32_t kPassThrough = 250;    // around pass-through and Turbo changes
inline constexpr std::uint32_t kPortChange = 500;     // after port changes
inline constexpr std::uint32_t kFirstStep = 1000;     // before the first Firmware Loader step
inline constexpr std::uint32_t kBoot = 2000;          // after booting a loader or a utility
inline constexpr std::uint32_t kBirch2Reboot = 4000;  // after the serial Birch2 reboot
inline constexpr std::uint32_t kStatusPoll = 100;     // between HID status polls
inline constexpr std::uint32_t kCommit = 400;         // between a checked block and its commit
inline constexpr std::uint32_t kAfterCedarReboot = 200;
// The USB-driver links: a 56-byte piece that went out faster than this gets the pause after it.
inline constexpr std::uint32_t kDriverPieceLeast = 29;
inline constexpr std::uint32_t kDriverPiecePause = 70;
}  // namespace pause

// The HID status polls of a page commit.
inline constexpr int kStatusPolls = 29;
// The Firmware Loader takes every tenth HID piece through a 1 ms timer, so the window keeps up.
inline constexpr int kPiecesBetweenBreaths = 10;

// After "RE1" the Larch answers again from its boot loader; until it does, the loader waits,
// clears the link and pings, at most this often.
inline constexpr int kBootLoaderPings = 20;
inline constexpr std::uint32_t kBootLoaderSettleMs = 500;

// How long a loader waits for the controller to be found again after a reboot before it gives up.
inline constexpr std::uint32_t kFoundAgainWaitMs = 60000;

// Turbo: the serial speed word of RAM memory 10, and the word that makes the Birch run 115200.
inline constexpr int kRamMemory = 10;
inline constexpr std::uint32_t kSpeedWordAddress = 4177;
inline constexpr std::uint16_t kTurboSpeedWord = 104;
inline constexpr const char* kTurboBaud = "115200";

// The connected Birch2's ASIC: the text "049 " at this address of memory 10 means revision C.
inline constexpr std::uint32_t kAsicTextAddress = 455;
inline constexpr const char* kRevCText = "049 ";

// The memories the loaders write.
inline constexpr int kImageMemory = 9;
inline constexpr int kMapMemory = 7;

// The Larch USB boot loader's reports: report 5 function 0x11 carries a piece, report 3 function
// 0x12 commits a page and function 0x13 the UEFI image; byte 21 of the 24-byte controller-ID
// record is the page size over 256.
namespace larch_hid {
inline constexpr std::uint8_t kPieceReport = 5;
inline constexpr std::uint8_t kPiece = 0x11;
inline constexpr std::uint8_t kCommitReport = 3;
inline constexpr std::uint8_t kCommitPage = 0x12;
inline constexpr std::uint8_t kCommitUefi = 0x13;
inline constexpr std::uint8_t kUefiValue = 8;
inline constexpr std::size_t kPieceLength = 72;
inline constexpr std::size_t kCommitLength = 8;
inline constexpr std::size_t kPageSizeByte = 21;
inline constexpr std::size_t kPageSizeUnit = 256;
inline constexpr std::uint8_t kStatusReport = 6;
inline constexpr std::size_t kStatusLength = 8;
inline constexpr std::size_t kStatusByte = 2;
inline constexpr std::uint8_t kBusy = 1;
inline constexpr std::uint8_t kDone = 3;
}  // namespace larch_hid

// The loaders' own window messages: a step posted to itself, the found-again notification, and
// the memory exchange's progress.
namespace message {
inline constexpr MessageId kStep = 0x8110;
inline constexpr MessageId kFoundAgain = 0x8111;
inline constexpr MessageId kProgress = 0x8112;
inline constexpr MessageId kStart = 0x8011;  // the dialog's own start request
}  // namespace message

// The loader dialogs' timers.
namespace timer_id {
inline constexpr std::uint32_t kStep = 1;
inline constexpr std::uint32_t kFoundAgain = 2;
inline constexpr std::uint32_t kPause = 3;
}  // namespace timer_id

// The EEPROM map a Birch ROM expects by default: Size 0x0F, Speed 0x02, Page Size 0x06,
// Reserved 0, Code 0x0040, Block1 to Block8, and the map check 0x0057.
inline constexpr const char* kDefaultEepromMap = "0F0206000040724072C0734073C0744074C075C07F400057";

}  // namespace kx7::firmware
