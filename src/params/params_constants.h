// The parameter blocks' own numbers and texts: the block numbers and lengths the editors rely
// on, the file dialogs' filters, and the messages the editors and the Rowan tools show.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx7 {

namespace block {
inline constexpr int kBlock1 = 1;
inline constexpr int kBlock2 = 2;
inline constexpr int kBlock4 = 4;
inline constexpr int kSerialNumber = 5;
inline constexpr int kBlock6 = 6;
inline constexpr int kBlock7 = 7;
inline constexpr int kBlock8 = 8;
inline constexpr int kAsicRegisters = 81;
inline constexpr int kEventLog = 82;
inline constexpr std::size_t kBlock2Bytes = 50;
inline constexpr std::size_t kBlock4Bytes = 60;
inline constexpr std::size_t kSerialNumberBytes = 4;
inline constexpr std::size_t kBlock8Bytes = 512;
inline constexpr std::size_t kBlock8Values = 256;
// Block1 bytes the calibration-data file takes (bytes 0 to 7 and 20 to 24).
inline constexpr std::size_t kCalDataBlock1Bytes = 25;
// The Block8 row count is byte 6 of Block7; without it the editor counts 256 rows.
inline constexpr std::size_t kRowCountByte = 6;
inline constexpr int kDefaultRowCount = 256;
inline constexpr int kEventLogRowCount = 255;
}  // namespace block

// File dialogs: filter, default extension.
namespace filter {
inline constexpr const char* kDefaultParam = "Default Param Files (*.dat)|*.dat|All Files (*.*)|*.*||";
inline constexpr const char* kBlockQ = "BlockQ Files (*.bkq;*.txt)|*.bkq*;*.txt|All Files (*.*)|*.*||";
inline constexpr const char* kBlock1 = "Block1 Files (*.bk1)|*.bk1|All Files (*.*)|*.*||";
inline constexpr const char* kBlock2 = "Block2 Files (*.bk2)|*.bk2|All Files (*.*)|*.*||";
inline constexpr const char* kBlock4 = "Block4 Files (*.bk4)|*.bk4|All Files (*.*)|*.*||";
inline constexpr const char* kLarchBlock7 = "Block Files (*.blk)|*.blk|All Files (*.*)|*.*||";
inline constexpr const char* kBlock6 = "Block6 Files (*.bk6;*.txt)|*.bk6*;*.txt|All Files (*.*)|*.*||";
inline constexpr const char* kBlock8 = "Block8 Files (*.bk8;*.txt)|*.bk8*;*.txt|All Files (*.*)|*.*||";
inline constexpr const char* kCalData = "Cal Data Files (*.cal)|*.cal|All Files (*.*)|*.*||";
inline constexpr const char* kEep = "EEP Files (*.eep)|*.eep|All Files (*.*)|*.*||";
inline constexpr const char* kEepTitle = "Select Birch2 .EEP File";
}  // namespace filter

namespace text {
inline constexpr const char* kFailedToOpenFile = "Failed to open file!";  // string 1547
inline constexpr const char* kFileLengthError = "File Length Error";
inline constexpr const char* kCrcError = "CRC Error.  calc=%04X file=%04X";
inline constexpr const char* kInvalidFile = "Invalid File";
inline constexpr const char* kUnexpectedEof = "Unexpected EOF";
inline constexpr const char* kCantStartBlockWriteShort = "Can't Start Block Write ";
inline constexpr const char* kCantStartBlockWrite = "Can't Start Block Write";
inline constexpr const char* kBlockWriteFailed = "Block Write Failed";
inline constexpr const char* kHandshakeFailed = "Handshake Failed";
inline constexpr const char* kClearParamFailed = "Clear Param Failed";
inline constexpr const char* kWriteDataFailed = "Write Data Failed";
inline constexpr const char* kInvalidPanel = "Invalid";
inline constexpr const char* kBaudChangeQuestion =
    "A baud rate change will cause the touch driver to stop working, Continue?";
inline constexpr const char* kPenModeQuestion =
    "The controller is in Auto pen mode: Block1 shows the finger settings. Continue?";
}  // namespace text

}  // namespace kx7
