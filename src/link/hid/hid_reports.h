// The HID link's report formats, without a device: the command reports of the generic controllers
// and of the Birch2 HID controller, the names and texts the request log writes for them, the
// answer reports each controller type has, the two identity records, the block lengths of the
// block transfers and the Birch2 byte order of the blocks.
//
// A builder returns the whole report (report id in byte 0, command code in byte 1, the rest zero
// unless set); a builder whose arguments cannot make a valid report returns an empty report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/hid/hid_constants.h"
#include "platform/hid_device.h"

namespace kx7::hid {

using Bytes = std::span<const std::uint8_t>;

// Generic controllers.
HidReport SetParam(std::uint8_t block, Bytes data);  // at most 64 data bytes
HidReport SetParamIndex(std::uint8_t block, std::uint8_t index, std::uint16_t length);
HidReport SetHidMode(bool multiContact);
HidReport Calibrate(std::uint8_t kind);
// Maple (32880) knows only modes 6 and 7 and carries them in bytes 2 and 3; other types take any.
HidReport AsyncEnable(std::uint32_t type, std::uint8_t mode);
HidReport Reset(std::uint8_t kind);  // reset::kSoft .. reset::kRebootAlt
HidReport RestoreDefaults();
HidReport PassThroughByte(std::uint8_t byte);
HidReport PassThroughBytes(Bytes data);  // at most 56 bytes
// Bytes for the pass-through target in as many pieces of at most 56 as they need.
std::vector<HidReport> PassThroughPieces(Bytes data);
HidReport RebootEep();
HidReport SetBigBlock(Bytes data);  // exactly 512 bytes
HidReport WatchdogOff();
HidReport SetDiagPins(std::uint8_t pins);
// Byte 2 of the pen/finger command: 0 both, 2 pen only, 1 otherwise (without the pen the
// controller keeps the finger).
std::uint8_t PenFingerSelection(bool pen, bool finger);
HidReport PenFinger(bool pen, bool finger);
HidReport ModeSwitch(bool hidMode);  // false: tablet mode

// The Birch2 HID controller.
HidReport Birch2AsyncEnable(std::uint8_t mode, std::uint8_t subMode);
HidReport Birch2Calibrate(std::uint8_t kind);
HidReport Birch2Reset(std::uint8_t kind);  // reset::kSoft .. reset::kRebootEep
HidReport Birch2RestoreDefaults(std::uint8_t which, std::uint8_t which2);
HidReport Birch2Command20(std::uint8_t byte2, std::uint8_t byte3, std::uint16_t word4);
HidReport Birch2Command21(std::uint8_t byte2, std::uint8_t byte3);
HidReport Birch2SetParamIndex(std::uint8_t subBlock, std::uint16_t address, std::uint8_t length);  // length <= 64
HidReport Birch2Command23(std::uint8_t byte2, std::uint8_t byte3);
// One report when both are on, else the pen report and then the finger report.
std::vector<HidReport> Birch2PenFinger(bool pen, bool finger);
HidReport Birch2SetParam(std::uint8_t subBlock, std::uint16_t address, Bytes data);  // at most 64

// The request log. A command's name without its line end; nullopt for the commands that are not
// logged. Commands are named by their code.
std::optional<std::string> CommandLogName(std::uint32_t type, Bytes report);
std::string AnswerLogName(std::uint32_t type, std::uint8_t reportId);
// The bytes the log shows: the first 8, or for the commands and answers that carry a block the 8
// header bytes and the length in bytes 6..7; never more than there are.
std::size_t LoggedCommandBytes(std::uint32_t type, Bytes report);
std::size_t LoggedAnswerBytes(std::uint32_t type, Bytes answer);
// Upper-case hexadecimal pairs separated by blanks, 8 to a line, each line ended with CR.
std::string HexLines(Bytes bytes);
// The name, CR and the bytes of a command about to be sent; empty for one that is not logged.
std::string CommandLogText(std::uint32_t type, Bytes report);
// What follows a send: "OK\r", or the system's error text on a line of its own.
std::string SendResultText(bool sent, std::string_view errorText);
// A fetch: the name, CR and, when it succeeded, the answer's bytes and "OK\r"; otherwise
// "HID GetFeature failed\r".
std::string FetchLogText(std::uint32_t type, std::uint8_t reportId, std::optional<Bytes> answer);

// Answer reports by what they hold.
enum class Answer {
  kControllerId,
  kParam,
  kStatus,
  kBigBlock,
  kPointerMode,
  kMaxContacts,
  kTouchInputMaxContacts,
  kStrays,
  kCommandAnswer,  // the Birch2 answer of command 21
};
struct AnswerReport {
  std::uint8_t id = 0;
  std::size_t length = 0;
  bool operator==(const AnswerReport&) const = default;
};
// nullopt where the controller type has no such answer.
std::optional<AnswerReport> AnswerFor(std::uint32_t type, Answer answer);

// The generic controller-ID record (report 4).
struct ControllerIdRecord {
  std::uint8_t reportId = 0;
  std::array<char, 2> typeLetters{};
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t flags = 0;
  std::uint16_t partNumber = 0;
  std::uint16_t maxParamWrite = 0;
  bool larch = false;  // the 24-byte record; the fields below are set only then
  std::uint8_t modelCode = 0;
  std::uint8_t sensorKind = 0;
  std::uint16_t secondPartNumber = 0;
  std::array<std::uint8_t, kLarchControllerIdLength> bytes{};  // as read, zero past the record
};
// Fails on fewer bytes than the type's record has; bytes past it are not read.
std::optional<ControllerIdRecord> ParseControllerIdRecord(std::uint32_t type, Bytes bytes);
// The status letter the record gives for a block (1, 2, 3 on Maple, 5, 6, 7, 8); nullopt for
// blocks it has none for.
std::optional<char> BlockStatusLetter(std::uint32_t type, const ControllerIdRecord& record, int block);

// The Birch2 identity record (report 129).
struct Birch2IdentityRecord {
  std::uint8_t reportId = 0;
  std::array<char, 2> typeLetters{};
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t flags = 0;
  std::uint16_t cstPartNumber = 0;  // bytes 6..7
  std::uint16_t maxParamWrite = 0;  // bytes 8..9
  std::uint32_t cdePartNumber = 0;  // bytes 18..21
  bool revC = false;                // byte 22 is 3 and byte 23 is 1
  std::array<std::uint8_t, kBirch2IdentityLength> bytes{};
};
std::optional<Birch2IdentityRecord> ParseBirch2IdentityRecord(Bytes bytes);

// Block transfers. The length of a block over HID; nullopt for a block the type has none of.
// `larchModelCode` is byte 19 of the Larch controller-ID record.
std::optional<std::size_t> HidBlockLength(std::uint32_t type, int block, std::uint8_t larchModelCode = 0);
// The Birch2 sub-block of a parameter block (1, 2, 4, 5, 6).
std::optional<std::uint8_t> Birch2SubBlock(int block);
// Swaps each pair of bytes in place; an odd last byte stays.
void SwapBytePairs(std::span<std::uint8_t> bytes);
// A block as the Birch2 controller takes it in SET_PARAM: Block4 swapped in pairs whole, then
// every block but 5 swapped in pairs over its first 50 bytes. The caller's block is not changed.
std::vector<std::uint8_t> Birch2BlockToController(int block, Bytes data);
// A block as read from the Birch2 controller back in our order: Block2 comes swapped in pairs.
std::vector<std::uint8_t> Birch2BlockFromController(int block, Bytes data);

}  // namespace kx7::hid
