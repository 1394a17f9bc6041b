#include "link/driver/driver_requests.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kx7::driver {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Count(std::size_t n, int start = 0) {
  Bytes bytes;
  for (std::size_t i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(start + static_cast<int>(i)));
  return bytes;
}

// ---- The named requests ----

TEST(DriverRequestTable, CodesAreBufferedRequestsOfTheTouchDeviceTypeInOrder) {
  std::set<std::uint32_t> seen;
  std::set<std::string> names;
  std::uint32_t previous = 0;
  for (const RequestInfo& info : NamedRequests()) {
    SCOPED_TRACE(info.name);
    EXPECT_EQ(info.code >> 16, kDeviceType);
    EXPECT_EQ(info.code & 0x3, 0u);  // buffered method
    EXPECT_EQ(MakeRequestCode((info.code >> 14) & 0x3, (info.code >> 2) & 0xFFF), info.code);
    EXPECT_GT(info.code, previous);
    previous = info.code;
    EXPECT_TRUE(seen.insert(info.code).second);
    EXPECT_TRUE(names.insert(info.name).second);
    EXPECT_EQ(FindRequest(info.code), &info);
  }
  EXPECT_EQ(NamedRequests().size(), 39u);
}

TEST(DriverRequestTable, RowsGiveTheSizesTheProgramPasses) {
  struct Row {
    std::uint32_t code;
    const char* name;
    LengthKind inKind;
    std::size_t in;
    LengthKind outKind;
    std::size_t out;
    std::size_t outAlternative;
  };
  const Row rows[] = {
      {0x1A2004, "WHO_ARE_YOU", LengthKind::kNone, 0, LengthKind::kFixed, 134, 0},
      {0x1A204C, "MOUSE_ENABLE", LengthKind::kNone, 0, LengthKind::kNone, 0, 0},
      {0x1A2050, "MOUSE_DISABLE", LengthKind::kNone, 0, LengthKind::kNone, 0, 0},
      {0x1A2400, "SET_PEN_ACTIVE", LengthKind::kFixed, 1, LengthKind::kNone, 0, 0},
      {0x1A2404, "SET_FINGER_ACTIVE", LengthKind::kFixed, 1, LengthKind::kNone, 0, 0},
      {0x1A2414, "GET_VERSION", LengthKind::kNone, 0, LengthKind::kFixed, 26, 0},
      {0x1A241C, "GET_STATUS", LengthKind::kNone, 0, LengthKind::kFixed, 20, 0},
      {0x1A2420, "READ_CABLE_NOVRAM", LengthKind::kFixed, 6, LengthKind::kFixed, 120, 0},
      {0x1A2424, "WRITE_CABLE_NOVRAM", LengthKind::kFixed, 104, LengthKind::kNone, 0, 0},
      {0x1A2440, "READ_CONTROLLER_NOVRAM", LengthKind::kFixed, 6, LengthKind::kFixed, 120, 0},
      {0x1A2444, "WRITE_CONTROLLER_NOVRAM", LengthKind::kFixed, 104, LengthKind::kNone, 0, 0},
      {0x1A2448, "READ_GATE_ARRAY", LengthKind::kUnused, 0, LengthKind::kUnused, 0, 0},
      {0x1A2450, "READ_STRAYS", LengthKind::kFixed, 6, LengthKind::kUpTo, 32, 0},
      {0x1A2454, "WRITE_STRAYS", LengthKind::kFixed, 36, LengthKind::kNone, 0, 0},
      {0x1A2458, "READ_SERIAL_NUMBER", LengthKind::kNone, 0, LengthKind::kFixed, 4, 0},
      {0x1A245C, "WRITE_SERIAL_NUMBER", LengthKind::kFixed, 4, LengthKind::kNone, 0, 0},
      {0x1A248C, "ASYNC_SET_REPORT_ACTIVE", LengthKind::kFixed, 4, LengthKind::kNone, 0, 0},
      {0x1A24C0, "EEPROM_READ", LengthKind::kFixed, 6, LengthKind::kVariable, 64, 0},
      {0x1A24C4, "EEPROM_WRITE", LengthKind::kVariable, 70, LengthKind::kNone, 0, 0},
      {0x1A24E0, "DOWNLOAD_RAM", LengthKind::kFixed, 6, LengthKind::kNone, 0, 0},
      {0x1A2508, "IS_TOPAZ_DRIVER", LengthKind::kNone, 0, LengthKind::kFixed, 134, 0},
      {0x1A250C, "GENERIC", LengthKind::kVariable, 0, LengthKind::kVariable, 0, 0},
      {0x1A2AA4, "GET_MVERSION", LengthKind::kNone, 0, LengthKind::kFixed, 40, 0},
      {0x1A2AAC, "GET_MSTATUS", LengthKind::kNone, 0, LengthKind::kFixed, 24, 28},
      {0x1A2AD4, "READ_MSERIAL_NUMBER", LengthKind::kNone, 0, LengthKind::kFixed, 4, 0},
      {0x1A2AE8, "RESTORE_MDEFAULTS", LengthKind::kFixed, 4, LengthKind::kNone, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RequestInfo* info = FindRequest(row.code);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->name, row.name);
    EXPECT_EQ(info->input.kind, row.inKind);
    EXPECT_EQ(info->input.size, row.in);
    EXPECT_EQ(info->output.kind, row.outKind);
    EXPECT_EQ(info->output.size, row.out);
    EXPECT_EQ(info->output.alternative, row.outAlternative);
  }
}

TEST(DriverRequestTable, ClientAndKx7RequestsHaveNoNames) {
  for (std::uint32_t code : {kCheck, kRegisterClient, kReadBytes, kUnregisterClient, kWriteBytes, kRereadBaudrate,
                             kListControllers, kControllerRecord, kPortRecord, kTakeDevice, 0x1A2000u, 0u}) {
    EXPECT_EQ(FindRequest(code), nullptr) << std::hex << code;
  }
}

// ---- Log texts ----

TEST(DriverRequestLog, NameLines) {
  struct Row {
    std::uint32_t code;
    Bytes input;
    std::optional<std::string> line;
  };
  const Row rows[] = {
      {kGetVersion, {}, "GET_VERSION\r"},
      {kSoftReset, {}, "SOFT_RESET\r"},
      {kSetPenActive, B({1}), "SET_PEN_ACTIVE\r"},
      {kRestoreMDefaults, B({0, 0, 3, 0}), "MRESTORE_DEFAULTS BLK3\r"},
      {kRestoreMDefaults, B({1, 0, 0x0C, 0x01}), "MRESTORE_DEFAULTS BLK268\r"},
      {kRestoreMDefaults, B({1, 0}), "RESTORE_MDEFAULTS\r"},  // no block to name
      {kGeneric, B({0xC0, 0x10, 101, 0, 0, 0, 0, 0}), std::nullopt},
      {kReadBytes, {}, std::nullopt},
      {kListControllers, B({0, 0, 0, 0}), std::nullopt},
      {kTakeDevice, B({1, 0, 0, 0}), std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RequestLogLine(row.code, row.input), row.line) << std::hex << row.code;
  }
}

TEST(DriverRequestLog, ResultLines) {
  struct Row {
    DriverResult result;
    std::string line;
  };
  const Row rows[] = {
      {DriverResult::Ok(), "OK\r"},
      {DriverResult::Ok(B({1, 2, 3})), "OK\r"},
      {DriverResult::Failed(driver_error::kDeviceNotConnected), "ERR: 48F The device is not connected.\r"},
      {DriverResult::Failed(driver_error::kInvalidFunction), "ERR: 1 Incorrect function.\r"},
      {DriverResult::Failed(driver_error::kSemaphoreTimeout), "ERR: 79 The semaphore timeout period has expired.\r"},
      {DriverResult::Failed(0xFFFF0003u), "ERR: FFFF0003 Unknown error.\r"},
  };
  for (const Row& row : rows) EXPECT_EQ(RequestResultLine(row.result), row.line);
}

TEST(DriverRequestLog, HexLinesHoldEightBytesEach) {
  struct Row {
    Bytes bytes;
    std::string text;
  };
  const Row rows[] = {
      {{}, ""},
      {B({0x0A}), "0A\r"},
      {B({0xC0, 0x0A, 0, 0, 0, 0, 0x10, 0}), "C0 0A 00 00 00 00 10 00\r"},
      {B({0x40, 5, 1, 0, 2, 0, 0, 0, 0xFF}), "40 05 01 00 02 00 00 00\rFF\r"},
      {Count(16, 0xF0), "F0 F1 F2 F3 F4 F5 F6 F7\rF8 F9 FA FB FC FD FE FF\r"},
  };
  for (const Row& row : rows) EXPECT_EQ(HexLogLines(row.bytes), row.text);
}

TEST(DriverRequestLog, ListLine) {
  EXPECT_EQ(ListLogLine(0), "KX7 lists 0 controllers\r");
  EXPECT_EQ(ListLogLine(3), "KX7 lists 3 controllers\r");
}

// ---- USB translation ----

TEST(UsbSetupRecord, SixteenBitFieldsGoLeastSignificantByteFirst) {
  const UsbSetup setup{0xC0, 0x02, 0x1234, 0x0500, 0x0107};
  const auto bytes = EncodeSetup(setup);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), B({0xC0, 0x02, 0x34, 0x12, 0x00, 0x05, 0x07, 0x01}));
  EXPECT_EQ(DecodeSetup(bytes), setup);
  EXPECT_TRUE(setup.IsIn());
  EXPECT_FALSE((UsbSetup{0x40, 3, 0, 0, 0}).IsIn());
  EXPECT_EQ(DecodeSetup(Bytes(bytes.begin(), bytes.begin() + 7)), std::nullopt);
}

TEST(UsbTranslation, RequestsBecomeTheirVendorRequests) {
  struct Row {
    const char* what;
    std::uint32_t code;
    Bytes input;
    UsbSetup setup;
    Bytes data;
    AnswerShape answer;
    bool noTimeout;
  };
  const Bytes block2 = Count(50, 1);
  const Bytes memory = Count(12, 0x20);
  const Row rows[] = {
      {"pen on", kSetPenActive, B({1}), {0x40, 5, 1, 2, 0}, {}, AnswerShape::kNone, false},
      {"finger off", kSetFingerActive, B({0}), {0x40, 5, 0, 1, 0}, {}, AnswerShape::kNone, false},
      {"version", kGetVersion, {}, {0xC0, 10, 0, 0, 16}, {}, AnswerShape::kVersion, false},
      {"status", kGetStatus, {}, {0xC0, 6, 0, 0, 8}, {}, AnswerShape::kStatus, false},
      {"mversion", kGetMVersion, {}, {0xC0, 10, 0, 0, 24}, {}, AnswerShape::kMVersion, false},
      {"mstatus", kGetMStatus, {}, {0xC0, 6, 0, 0, 20}, {}, AnswerShape::kMStatus, false},
      {"block1 read", kReadControllerNovram, B({1, 0, 0, 0, 30, 0}), {0xC0, 2, 0, 0x0100, 33}, {}, AnswerShape::kSkipHeader, false},
      {"block2 read", kReadControllerNovram, B({2, 0, 0, 0, 50, 0}), {0xC0, 2, 0, 0x0200, 53}, {}, AnswerShape::kSkipHeader, false},
      {"block4 read", kReadCableNovram, B({4, 0, 0, 0, 60, 0}), {0xC0, 2, 1, 0x0400, 63}, {}, AnswerShape::kSkipHeader, false},
      {"strays", kReadStrays, B({3, 0, 0, 0, 32, 0}), {0xC0, 2, 3, 0x0300, 35}, {}, AnswerShape::kSkipHeader, false},
      {"block2 write", kWriteControllerNovram, Cat(Cat(B({2, 0, 0, 0, 50, 0}), block2), Bytes(48, 0xEE)),
       {0x40, 3, 0, 0x0200, 50}, block2, AnswerShape::kNone, false},
      {"block4 write", kWriteCableNovram, Cat(B({4, 0, 0, 0, 3, 0}), B({7, 8, 9})), {0x40, 3, 1, 0x0400, 3}, B({7, 8, 9}),
       AnswerShape::kNone, false},
      {"serial read", kReadSerialNumber, {}, {0xC0, 2, 0, 0x0500, 7}, {}, AnswerShape::kSerialNumber, false},
      {"serial write", kWriteSerialNumber, B({0x78, 0x56, 0x34, 0x12}), {0x40, 3, 0, 0x0500, 4}, B({0x78, 0x56, 0x34, 0x12}),
       AnswerShape::kNone, false},
      {"block6 read", kEepromRead, B({6, 0, 0, 0, 12, 0}), {0xC0, 2, 0, 0x0600, 15}, {}, AnswerShape::kSkipHeader, false},
      {"memory read", kEepromRead, B({10, 0, 0x86, 0x10, 10, 0}), {0xC0, 2, 4230, 0x0A00, 13}, {}, AnswerShape::kSkipHeader,
       false},
      {"memory write", kEepromWrite, Cat(B({6, 0, 0, 0, 12, 0}), memory), {0x40, 3, 0, 0x0600, 12}, memory, AnswerShape::kNone,
       false},
      {"calibrate corner", kStartCalibrate, B({2, 0}), {0x40, 4, 2, 0, 0}, {}, AnswerShape::kNone, false},
      {"soft reset", kSoftReset, {}, {0x40, 7, 1, 0, 0}, {}, AnswerShape::kNone, false},
      {"hard reset", kHardReset, {}, {0x40, 7, 2, 0, 0}, {}, AnswerShape::kNone, false},
      {"rom reboot", kRomReboot, {}, {0x40, 7, 3, 0, 0}, {}, AnswerShape::kNone, false},
      {"ram reboot", kRamReboot, {}, {0x40, 7, 4, 0, 0}, {}, AnswerShape::kNone, false},
      {"eeprom reboot", kEepromReboot, {}, {0x40, 7, 5, 0, 0}, {}, AnswerShape::kNone, false},
      {"restore", kRestoreDefaults, {}, {0x40, 8, 0, 0, 0}, {}, AnswerShape::kNone, true},
      {"restore controller block 3", kRestoreMDefaults, B({0, 0, 3, 0}), {0x40, 8, 3, 0, 0}, {}, AnswerShape::kNone, true},
      {"restore cable block 4", kRestoreMDefaults, B({1, 0, 4, 0}), {0x40, 8, 4, 1, 0}, {}, AnswerShape::kNone, true},
      {"reports", kAsyncSetReportActive, B({2, 0, 1, 0}), {0x40, 1, 2, 1, 0}, {}, AnswerShape::kNone, false},
      {"download eeprom", kDownloadEeprom, Count(6, 0x30), {0x40, 12, 0, 1, 6}, Count(6, 0x30), AnswerShape::kNone, false},
      {"download ram", kDownloadRam, Count(6, 0x30), {0x40, 12, 0, 2, 6}, Count(6, 0x30), AnswerShape::kNone, false},
      {"download both", kDownloadBoth, Count(6, 0x30), {0x40, 12, 0, 3, 6}, Count(6, 0x30), AnswerShape::kNone, false},
      {"download data", kDownloadData, Cat(B({0x00, 0x80, 4, 0}), B({1, 2, 3, 4})), {0x40, 12, 1, 0x8000, 4}, B({1, 2, 3, 4}),
       AnswerShape::kNone, false},
      {"download end", kDownloadEnd, B({0x10, 0x80}), {0x40, 12, 2, 0x8010, 0}, {}, AnswerShape::kNone, false},
      {"text query", kGeneric, B({0xC0, 0x10, 101, 0, 0, 0, 0, 0}), {0xC0, 0x10, 101, 0, 0}, {}, AnswerShape::kAsIs, false},
      {"pass-through bytes", kGeneric, B({0x40, 0x15, 0x0B, 0, 0, 0, 3, 0, 'a', 'b', 'c'}), {0x40, 0x15, 0x0B, 0, 3}, B({'a', 'b', 'c'}),
       AnswerShape::kNone, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const UsbTranslation t = TranslateRequest(row.code, row.input, 256);
    ASSERT_TRUE(t.success) << std::hex << t.error;
    EXPECT_EQ(t.request.code, row.code);
    EXPECT_EQ(t.request.setup, row.setup);
    EXPECT_EQ(t.request.data, row.data);
    EXPECT_EQ(t.request.answer, row.answer);
    EXPECT_EQ(t.request.noTimeout, row.noTimeout);
    EXPECT_EQ(t.request.outputCapacity, 256u);
    const auto head = EncodeSetup(row.setup);
    EXPECT_EQ(t.request.Bytes(), Cat(Bytes(head.begin(), head.end()), row.data));
  }
}

TEST(UsbTranslation, EveryMappedRequestIsANamedOne) {
  std::set<std::uint32_t> seen;
  for (const UsbMapping& mapping : UsbMappings()) {
    EXPECT_NE(FindRequest(mapping.code), nullptr) << std::hex << mapping.code;
    EXPECT_TRUE(seen.insert(mapping.code).second) << std::hex << mapping.code;
    EXPECT_EQ(mapping.answer != AnswerShape::kNone, (mapping.requestType & kRequestTypeInBit) != 0 || mapping.code == kGeneric);
  }
}

TEST(UsbTranslation, UnfitRequestsFail) {
  struct Row {
    const char* what;
    std::uint32_t code;
    Bytes input;
    std::uint32_t error;
  };
  const Row rows[] = {
      {"who are you", kWhoAreYou, {}, driver_error::kInvalidFunction},
      {"mouse enable", kMouseEnable, {}, driver_error::kInvalidFunction},
      {"update param", kUpdateParam, {}, driver_error::kInvalidFunction},
      {"strays write", kWriteStrays, Bytes(36, 0), driver_error::kInvalidFunction},
      {"topaz", kIsTopazDriver, {}, driver_error::kInvalidFunction},
      {"mserial", kReadMSerialNumber, {}, driver_error::kInvalidFunction},
      {"kx7 list", kListControllers, B({0, 0, 0, 0}), driver_error::kInvalidFunction},
      {"unknown", 0x1A2FFC, {}, driver_error::kInvalidFunction},
      {"flag missing", kSetPenActive, {}, driver_error::kInvalidParameter},
      {"calibrate kind short", kStartCalibrate, B({2}), driver_error::kInvalidParameter},
      {"block read short", kReadControllerNovram, B({1, 0, 0, 0, 30}), driver_error::kInvalidParameter},
      {"block number too large", kReadControllerNovram, B({0, 1, 0, 0, 30, 0}), driver_error::kInvalidParameter},
      {"block read length overflows", kReadControllerNovram, B({1, 0, 0, 0, 0xFE, 0xFF}), driver_error::kInvalidParameter},
      {"block write data short", kWriteControllerNovram, Cat(B({2, 0, 0, 0, 50, 0}), Bytes(49, 0)), driver_error::kInvalidParameter},
      {"serial short", kWriteSerialNumber, B({1, 2, 3}), driver_error::kInvalidParameter},
      {"memory header short", kEepromRead, B({6, 0, 0, 0, 12}), driver_error::kInvalidParameter},
      {"memory count too large", kEepromRead, B({6, 0, 0, 0, 65, 0}), driver_error::kInvalidParameter},
      {"memory write short", kEepromWrite, Cat(B({6, 0, 0, 0, 12, 0}), Bytes(11, 0)), driver_error::kInvalidParameter},
      {"memory write too large", kEepromWrite, Cat(B({6, 0, 0, 0, 65, 0}), Bytes(65, 0)), driver_error::kInvalidParameter},
      {"restore short", kRestoreMDefaults, B({0, 0, 3}), driver_error::kInvalidParameter},
      {"reports short", kAsyncSetReportActive, B({2, 0, 1}), driver_error::kInvalidParameter},
      {"download header short", kDownloadRam, Bytes(5, 0), driver_error::kInvalidParameter},
      {"download data short", kDownloadData, B({0, 0x80, 4, 0, 1, 2, 3}), driver_error::kInvalidParameter},
      {"download end short", kDownloadEnd, B({0}), driver_error::kInvalidParameter},
      {"generic short", kGeneric, B({0xC0, 0x10, 3, 0, 0, 0, 0}), driver_error::kInvalidParameter},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const UsbTranslation t = TranslateRequest(row.code, row.input, 120);
    EXPECT_FALSE(t.success);
    EXPECT_EQ(t.error, row.error);
    EXPECT_TRUE(t.request.data.empty());
  }
}

TEST(UsbTranslation, AnswersBecomeTheRequestsOutput) {
  struct Row {
    const char* what;
    std::uint32_t code;
    Bytes input;
    std::size_t capacity;
    Bytes answer;
    bool success;
    Bytes output;
  };
  // The controller's version answer: versions 1.2 and 3.4, letters "M0" (byte 9 the first), a
  // resistive flag, the largest write 0xFFFF and three block letters.
  const Bytes version = B({1, 0, 2, 0, 3, 0, 4, 0, '0', 'M', 1, 0xFF, 0xFF, 'A', 'B', 'C'});
  const Bytes versionRecord =
      B({1, 0, 2, 0, 3, 0, 4, 0, 0, 0, '0', 'M', 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 'A', 'B', 'C', 0, 0, 0});
  const Bytes block1Answer = Cat(B({0xAA, 0xBB, 0xCC}), Count(30, 1));
  const Row rows[] = {
      {"version", kGetVersion, {}, 26, version, true, versionRecord},
      {"version with more than asked", kGetVersion, {}, 26, Cat(version, B({9, 9, 9})), true, versionRecord},
      {"version cut to the room", kGetVersion, {}, 12, version, true, Bytes(versionRecord.begin(), versionRecord.begin() + 12)},
      {"version short", kGetVersion, {}, 26, Bytes(version.begin(), version.begin() + 15), false, {}},
      {"status", kGetStatus, {}, 20, Count(8, 1), true, Cat(Count(8, 1), Bytes(12, 0))},
      {"status short", kGetStatus, {}, 20, Count(7, 1), false, {}},
      {"mversion", kGetMVersion, {}, 40, Count(24, 1), true, Cat(Count(24, 1), Bytes(16, 0))},
      {"mstatus 28", kGetMStatus, {}, 28, Count(20, 1), true, Cat(Count(20, 1), Bytes(8, 0))},
      {"mstatus 24", kGetMStatus, {}, 24, Count(20, 1), true, Cat(Count(20, 1), Bytes(4, 0))},
      {"mstatus short", kGetMStatus, {}, 28, Count(19, 1), false, {}},
      {"block1", kReadControllerNovram, B({1, 0, 0, 0, 30, 0}), 120, block1Answer, true, Count(30, 1)},
      {"block1 with more than asked", kReadControllerNovram, B({1, 0, 0, 0, 30, 0}), 120, Cat(block1Answer, B({7, 7})), true,
       Count(30, 1)},
      {"block1 short", kReadControllerNovram, B({1, 0, 0, 0, 30, 0}), 120, Bytes(block1Answer.begin(), block1Answer.end() - 1),
       false, {}},
      {"block1 only header", kReadControllerNovram, B({1, 0, 0, 0, 30, 0}), 120, B({1, 2, 3}), false, {}},
      {"empty block", kReadControllerNovram, B({1, 0, 0, 0, 0, 0}), 120, B({1, 2, 3}), true, {}},
      {"strays into less room", kReadStrays, B({3, 0, 0, 0, 32, 0}), 16, Cat(B({0, 0, 0}), Count(32, 1)), true, Count(16, 1)},
      {"memory", kEepromRead, B({6, 0, 0, 0, 12, 0}), 12, Cat(B({0, 0, 0}), Count(12, 0x40)), true, Count(12, 0x40)},
      {"serial number", kReadSerialNumber, {}, 4, B({5, 0, 4, 0x78, 0x56, 0x34, 0x12}), true, B({0x78, 0x56, 0x34, 0x12})},
      {"serial number short", kReadSerialNumber, {}, 4, B({5, 0, 4, 0x78, 0x56, 0x34}), false, {}},
      {"out request", kSoftReset, {}, 0, {}, true, {}},
      {"out request ignores stray answer", kWriteSerialNumber, B({1, 2, 3, 4}), 0, B({1, 2}), true, {}},
      {"generic text", kGeneric, B({0xC0, 0x10, 101, 0, 0, 0, 0, 0}), 256, B({'V', '1'}), true, B({'V', '1'})},
      {"generic nothing came", kGeneric, B({0xC0, 0x15, 0x0B, 0, 64, 0, 0, 0}), 64, {}, true, {}},
      {"generic cut to the room", kGeneric, B({0xC0, 0x15, 1, 0, 64, 0, 0, 0}), 4, Count(64), true, Count(4)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const UsbTranslation t = TranslateRequest(row.code, row.input, row.capacity);
    ASSERT_TRUE(t.success);
    const DriverResult result = AnswerToOutput(t.request, row.answer);
    EXPECT_EQ(result.success, row.success);
    EXPECT_EQ(result.bytes, row.output);
    EXPECT_EQ(result.error, row.success ? driver_error::kNone : driver_error::kGeneralFailure);
  }
}

TEST(UsbTranslation, VersionFieldsLandWhereTheProgramReadsThem) {
  for (const FieldCopy& copy : VersionFieldCopies()) {
    EXPECT_LE(copy.from + copy.length, 16u);
    EXPECT_LE(copy.to + copy.length, kVersionRecordSize);
  }
  Bytes answer(16, 0);
  answer[11] = 0xFF;
  answer[12] = 0xFF;
  const auto t = TranslateRequest(kGetVersion, {}, kVersionRecordSize);
  const DriverResult result = AnswerToOutput(t.request, answer);
  ASSERT_TRUE(result.success);
  EXPECT_EQ(result.bytes[kVersionMaxParamWrite] | (result.bytes[kVersionMaxParamWrite + 1] << 8), kBirchUsbMaxParamWrite);
}

// ---- The KX7 driver's controller list ----

TEST(Kx7ListRecord, ControllerNumbers) {
  struct Row {
    const char* what;
    Bytes record;
    std::optional<std::vector<std::uint16_t>> numbers;
  };
  Bytes full(kListRecordSize, 0);
  // 2 × 128 does not fit a byte.
  full[2] = static_cast<std::uint8_t>((2 * kMaxListedControllers) & 0xFF);
  full[3] = static_cast<std::uint8_t>((2 * kMaxListedControllers) >> 8);
  const Row rows[] = {
      {"none", Cat(B({0, 0, 0, 0}), Bytes(256, 0)), std::vector<std::uint16_t>{}},
      {"two", Cat(B({9, 9, 4, 0, 1, 0, 0x02, 0x01}), Bytes(252, 0)), std::vector<std::uint16_t>{1, 0x0102}},
      {"just long enough", B({0, 0, 2, 0, 7, 0}), std::vector<std::uint16_t>{7}},
      {"full record", full, std::vector<std::uint16_t>(kMaxListedControllers, 0)},
      {"empty", {}, std::nullopt},
      {"no count", B({0, 0, 2}), std::nullopt},
      {"odd count", Cat(B({0, 0, 3, 0}), Bytes(256, 0)), std::nullopt},
      {"count past the record", B({0, 0, 4, 0, 1, 0, 2}), std::nullopt},
      {"more than a record holds", Cat(B({0, 0, 0x02, 0x01}), Bytes(600, 0)), std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(ParseListRecord(row.record), row.numbers);
  }
}

Bytes Wide(const std::string& ascii) {
  Bytes bytes;
  for (char c : ascii) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

TEST(Kx7Record, StringsAtTheirOffsets) {
  struct Row {
    const char* what;
    Bytes record;
    std::optional<Kx7Strings> strings;
  };
  const Row rows[] = {
      {"both", Cat(B({4, 0, 14, 0}), Cat(Wide("USB_"), Wide("ID7"))), Kx7Strings{"USB_", "ID7"}},
      {"second first", Cat(B({12, 0, 4, 0}), Cat(Wide("COM"), Wide("ab"))), Kx7Strings{"ab", "COM"}},
      {"shared", Cat(B({4, 0, 4, 0}), Wide("x")), Kx7Strings{"x", "x"}},
      {"none", B({0, 0, 0, 0}), Kx7Strings{"", ""}},
      {"odd offset", Cat(B({5, 0, 0, 0, 0xEE}), Wide("P")), Kx7Strings{"P", ""}},
      {"wide letters", Cat(B({4, 0, 0, 0}), B({0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0})),
       Kx7Strings{"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", ""}},
      {"lone surrogate", Cat(B({4, 0, 0, 0}), B({0x00, 0xD8, 'a', 0, 0, 0})), Kx7Strings{"\xEF\xBF\xBD" "a", ""}},
      {"short header", B({4, 0, 0}), std::nullopt},
      {"offset into header", Cat(B({2, 0, 0, 0}), Wide("a")), std::nullopt},
      {"offset past the record", Cat(B({0, 0, 20, 0}), Wide("a")), std::nullopt},
      {"offset at the last byte", Cat(B({0, 0, 6, 0}), B({'a', 0, 0})), std::nullopt},
      {"no end", Cat(B({4, 0, 0, 0}), B({'a', 0, 'b', 0})), std::nullopt},
      {"end cut in half", Cat(B({4, 0, 0, 0}), B({'a', 0, 0})), std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(ParseKx7Record(row.record), row.strings);
  }
}

TEST(Kx7Record, EncodedRecordsReadBack) {
  const std::pair<std::string, std::string> cases[] = {
      {"USB_Birch2", "0001A3"}, {"", ""}, {"COM3", ""}, {"", "in use"}, {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "x"},
      {std::string(130, 'a'), ""},
  };
  for (const auto& [first, second] : cases) {
    const auto record = EncodeKx7Record(first, second);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size(), kKx7RecordSize);
    EXPECT_EQ(ParseKx7Record(*record), (Kx7Strings{first, second}));
  }
  EXPECT_EQ(EncodeKx7Record(std::string(131, 'a'), ""), std::nullopt);  // 4 + 262 + 2 + 2 > 268
  EXPECT_EQ(EncodeKx7Record(std::string("a\0b", 3), ""), std::nullopt);
  // Malformed text goes out as replacement characters rather than being dropped.
  const auto bad = EncodeKx7Record("\xFF" "a\xC3", "");
  ASSERT_TRUE(bad);
  EXPECT_EQ(ParseKx7Record(*bad)->first, "\xEF\xBF\xBD" "a\xEF\xBF\xBD");
}

TEST(Kx7Controller, PickLines) {
  struct Row {
    Kx7Strings controller;
    Kx7Strings port;
    std::string line;
    bool available;
  };
  const Row rows[] = {
      {{"USB_Birch2", "0001A3"}, {"USB1", "in use"}, "USB_Birch2  ID:0001A3  USB1 [in use]", true},
      {{"Serial_Cedar", ""}, {"COM3", ""}, "Serial_Cedar  COM3", true},
      {{"USB_Legacy", "7"}, {"", ""}, "USB_Legacy  ID:7  ", false},
      {{"USB_Legacy", ""}, {"   ", "busy"}, "USB_Legacy" + std::string(6, ' ') + "[busy]", false},
  };
  for (const Row& row : rows) {
    Kx7Controller controller;
    controller.SetRecords(row.controller, row.port);
    EXPECT_EQ(controller.PickLine(), row.line);
    EXPECT_EQ(controller.PortAvailable(), row.available) << row.line;
  }
  const Kx7Controller preset;
  EXPECT_EQ(preset.PickLine(), "Unavailable   ");
  EXPECT_FALSE(preset.PortAvailable());
}

TEST(DriverTypeNames, NamesSetTheControllerType) {
  struct Row {
    const char* name;
    std::uint32_t type;
  };
  const Row rows[] = {
      {"USB_Maple100_Series", 32880}, {"USB_Legacy", 32867},          {"USB_Birch2", 32865},
      {"Birch2_HID", 32874},          {"USB_Birch2_Fixed_OS", 32866}, {"USB_Elm_Series", 32869},
      {"Serial_Cedar", 32872},        {"USB_Cedar", 32873},           {"USB_Larch_Series", 32881},
      {"Serial_Larch_Series", 32879}, {"", 32855},                    {"Unavailable ", 32855},
      {"usb_birch2", 32855},          {"USB_Birch2 ", 32855},         {"USB_Birch", 32855},
      {"USB_Birch2_Fixed", 32855},    {"Serial_Larch", 32855},
  };
  for (const Row& row : rows) EXPECT_EQ(ControllerTypeFromDriverName(row.name), row.type) << row.name;
}

}  // namespace
}  // namespace kx7::driver
