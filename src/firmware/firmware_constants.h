// The firmware loaders' numbers and texts: image sizes and fill, the file dialogs' filters, the
// messages of the image readers and of the loaders, the Birch ROM's default EEPROM map.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The EEPROM map a Birch ROM expects by default: Size 0x0F, Speed 0x02, Page Size 0x06,
// Reserved 0, Code 0x0040, Block1 to Block8, and the map check 0x0057.
inline constexpr const char* kDefaultEepromMap = "0F0206000040724072C0734073C0744074C075C07F400057";

}  // namespace kx7::firmware
