// The formats of the driver links, as pure functions over bytes: the named requests and their
// log lines, the USB vendor requests that links 261 and 262 send in place of the named requests,
// the KX7 driver's controller list records, and the driver's type names.
//
// Nothing here opens a device; the links call these around `DriverDevice`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"

namespace kx7::driver {

// ---- The named requests ----

// How much a request passes one way. kNone: nothing; kFixed: exactly `size`; kUpTo: at most
// `size`; kVariable: decided by the request's own fields; kUnused: the program never sends it.
enum class LengthKind { kNone, kFixed, kUpTo, kVariable, kUnused };

struct RequestLength {
  LengthKind kind = LengthKind::kNone;
  std::size_t size = 0;
  // A second size the program also passes (GET_MSTATUS is asked with 24 or with 28 bytes).
  std::size_t alternative = 0;
};

struct RequestInfo {
  std::uint32_t code = 0;
  const char* name = "";
  RequestLength input;
  RequestLength output;
};

// Every named request, in code order.
std::span<const RequestInfo> NamedRequests();
// The entry of `code`, or null for a code without a name.
const RequestInfo* FindRequest(std::uint32_t code);

// ---- Log texts ----

// The line logged before a request goes out: its name and CR. RESTORE_MDEFAULTS names its block
// ("MRESTORE_DEFAULTS BLK%d" from the block of the input record). GENERIC and the requests without
// a name are not logged (nullopt).
std::optional<std::string> RequestLogLine(std::uint32_t code, std::span<const std::uint8_t> input);
// "OK\r" after success; "ERR: %X %s\r" with the error code and its system text after a failure.
std::string RequestResultLine(const DriverResult& result);
std::string RequestErrorLine(std::uint32_t error);
// The USB setup records and answers are logged as hexadecimal, 8 bytes a line ("C0 0A 00 ...\r").
std::string HexLogLines(std::span<const std::uint8_t> bytes);
// "KX7 lists %d controllers\r".
std::string ListLogLine(int controllers);

// ---- USB translation (links 261, 262) ----

struct UsbSetup {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;

  bool IsIn() const { return (requestType & kRequestTypeInBit) != 0; }
  friend bool operator==(const UsbSetup&, const UsbSetup&) = default;
};

// {type, request, value, index, length}, the 16-bit fields least significant byte first.
std::array<std::uint8_t, kSetupSize> EncodeSetup(const UsbSetup& setup);
// The setup record followed by the data, as one file write sends them.
std::vector<std::uint8_t> SetupAndData(const UsbSetup& setup, std::span<const std::uint8_t> data);
// The first 8 bytes as a setup record; nullopt when there are fewer.
std::optional<UsbSetup> DecodeSetup(std::span<const std::uint8_t> bytes);

// How an IN request's answer becomes the request's output.
enum class AnswerShape {
  kNone,           // an OUT request: no output
  kAsIs,           // GENERIC: the answer itself, up to the room given
  kSkipHeader,     // the block reads: the answer without its first 3 bytes
  kVersion,        // GET_VERSION: the 26-byte version record
  kStatus,         // GET_STATUS: the 20-byte status record
  kMVersion,       // GET_MVERSION: the 40-byte extended record
  kMStatus,        // GET_MSTATUS: the 28-byte extended record (24 when asked for 24)
  kSerialNumber,   // READ_SERIAL_NUMBER: the 4-byte number
};

// How the caller's input to a named request fills the vendor request.
//   kNone         nothing is read from the input
//   kFlag         1 byte: the value
//   kWord         a 16-bit value (START_CALIBRATE's kind): the value
//   kBlockRead    {block u16, 0 u16, length u16}: index block × 256, length length + 3
//   kBlockWrite   the same 6 bytes, then `length` data bytes: index block × 256, length, data
//   kSerialWrite  the 32-bit number (least significant byte first): 4 data bytes
//   kMemoryRead   {memory u8, 0 u8, address u16, count u16}: value address, index memory × 256,
//                 length count + 3
//   kMemoryWrite  the same 6 bytes, then `count` data bytes
//   kRestoreBlock {area u16, block u16}: value block, index area
//   kReportActive {report u16, mode u16}: value report, index mode
//   kDownloadHeader 6 header bytes: the data
//   kDownloadData {address u16, count u16}, then `count` data bytes: index address, length, data
//   kDownloadEnd  {address u16}: index address
//   kGeneric      the caller's own 8-byte setup record and data
enum class InputLayout {
  kNone, kFlag, kWord, kBlockRead, kBlockWrite, kSerialWrite, kMemoryRead, kMemoryWrite,
  kRestoreBlock, kReportActive, kDownloadHeader, kDownloadData, kDownloadEnd, kGeneric,
};

// One row of the translation: the fixed parts of the setup record; the input fills the rest.
struct UsbMapping {
  std::uint32_t code = 0;
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
  InputLayout input = InputLayout::kNone;
  AnswerShape answer = AnswerShape::kNone;
  bool noTimeout = false;  // the restores take as long as they take
};

std::span<const UsbMapping> UsbMappings();
const UsbMapping* FindUsbMapping(std::uint32_t code);

// A named request made into a vendor request.
struct UsbRequest {
  std::uint32_t code = 0;
  UsbSetup setup;
  std::vector<std::uint8_t> data;  // the bytes after the setup record (OUT requests)
  AnswerShape answer = AnswerShape::kNone;
  std::size_t outputCapacity = 0;  // the room the caller gave for the output
  bool noTimeout = false;

  // The setup record followed by the data: what one file write sends.
  std::vector<std::uint8_t> Bytes() const;
};

struct UsbTranslation {
  bool success = false;
  UsbRequest request;
  // kInvalidFunction for a request the USB links do not carry, kInvalidParameter for an input
  // too short for its request (or a length that does not fit the setup record).
  std::uint32_t error = driver_error::kNone;
};

// Turns a named request (as it would go to "\\.\KxsTch%d") into its vendor request.
UsbTranslation TranslateRequest(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity);

// Turns the answer of an IN request into the request's output. The answer must hold everything
// the setup record asked for (GENERIC excepted, whose answer may be shorter): a short answer
// fails with kGeneralFailure. Bytes past the asked length are never read, and the output never
// exceeds the room the caller gave. An OUT request succeeds with no output.
DriverResult AnswerToOutput(const UsbRequest& request, std::span<const std::uint8_t> answer);

// Where the fields of the controller's version answer (16 bytes) go in the 26-byte version
// record: the four version numbers (answer 0..7 to 0..7), the type letters (8..9 to 10..11), the
// resistive flag (10 to 12), the largest parameter write (11..12 to 18..19) and the status letters
// of blocks 1 to 3 (13..15 to 20..22). The other bytes of the record are 0.
struct FieldCopy {
  std::size_t from = 0;
  std::size_t to = 0;
  std::size_t length = 0;
};
std::span<const FieldCopy> VersionFieldCopies();

// ---- The KX7 driver's controller list ----

// The controller numbers of a list record (0x1A6008): its second 16-bit word is twice the number
// of controllers, followed by one 16-bit number for each. Fails (nullopt) when the record is
// shorter than its count says, or the count is odd.
std::optional<std::vector<std::uint16_t>> ParseListRecord(std::span<const std::uint8_t> record);

// One of the two records of a listed controller (0x1A6020 and 0x1A6024). Bytes 0..1 and 2..3 are
// the byte offsets of its two strings from the start of the record (0: no string); each string
// is UTF-16 little-endian and ends with a 0 unit inside the record.
struct Kx7Strings {
  std::string first;
  std::string second;
  friend bool operator==(const Kx7Strings&, const Kx7Strings&) = default;
};
// Fails (nullopt) on a record shorter than its header, an offset into the header or past the
// record, or a string without its end inside the record.
std::optional<Kx7Strings> ParseKx7Record(std::span<const std::uint8_t> record);
// The record the drivers of the emulator and the tests answer with: the two strings one after
// the other behind the header, zero-filled to kKx7RecordSize. Nullopt when they do not fit.
std::optional<std::vector<std::uint8_t>> EncodeKx7Record(std::string_view first, std::string_view second);

// A listed controller as the pick list shows it; until its records arrive it reads as an
// unavailable controller with a blank port.
inline constexpr const char* kUnavailableTypeName = "Unavailable ";
struct Kx7Controller {
  std::uint16_t number = 0;
  std::string typeName = kUnavailableTypeName;
  std::string idText;
  std::string portName;
  std::string extraText;

  // Takes the controller record (type name, ID text) and the port record (port name, extra text).
  void SetRecords(const Kx7Strings& controller, const Kx7Strings& port);
  // The type name, "  ID:" and the ID text (when there is one), "  ", the port name, and " [",
  // the extra text and "]" (when there is one).
  std::string PickLine() const;
  // A blank port (empty or only spaces) means another program holds the controller.
  bool PortAvailable() const;
};

// The controller type a KX7 driver type name stands for; any other name is Generic (32855).
std::uint32_t ControllerTypeFromDriverName(std::string_view typeName);

}  // namespace kx7::driver
