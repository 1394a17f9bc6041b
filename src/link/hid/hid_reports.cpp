#include "link/hid/hid_reports.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_families.h"
#include "controller/controller_types.h"

namespace kx7::hid {
namespace {

HidReport Report(std::size_t length, std::uint8_t id, std::uint8_t code) {
  HidReport report(length, 0);
  report[0] = id;
  report[1] = code;
  return report;
}

HidReport Command(std::uint8_t code, std::uint8_t byte2 = 0) {
  HidReport report = Report(kCommandLength, kCommandReport, code);
  report[2] = byte2;
  return report;
}

HidReport Birch2Command(std::uint8_t code, std::uint8_t byte2 = 0, std::uint8_t byte3 = 0) {
  HidReport report = Report(kCommandLength, birch2::kCommandReport, code);
  report[2] = byte2;
  report[3] = byte3;
  return report;
}

void PutWord(HidReport& report, std::size_t at, std::uint16_t value) {
  report[at] = static_cast<std::uint8_t>(value & 0xFF);
  report[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t Word(Bytes bytes, std::size_t at) { return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }

void PutData(HidReport& report, Bytes data) { std::copy(data.begin(), data.end(), report.begin() + kDataOffset); }

std::string Numbered(const char* format, int number) {
  char text[32];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

// Commands whose bytes 6..7 give the length of the block they carry.
bool CarriesBlock(std::uint32_t type, std::uint8_t code) {
  if (type == type::kBirch2Hid) return code == birch2::kSetParam;
  return code == code::kSetParam || code == code::kSetBigBlock;
}

bool AnswerCarriesBlock(std::uint32_t type, std::uint8_t id) {
  if (type == type::kBirch2Hid) return id == answer::kBirch2Param;
  return id == answer::kParam || id == answer::kBigBlock;
}

std::size_t LoggedBytes(Bytes bytes, bool carriesBlock) {
  if (!carriesBlock || bytes.size() < kDataOffset) return std::min(bytes.size(), kDataOffset);
  return std::min(bytes.size(), kDataOffset + Word(bytes, 6));
}

const char* ResetName(std::uint8_t kind, bool birch2) {
  switch (kind) {
    case reset::kSoft:
      return "SOFT RESET";
    case reset::kHard:
      return "HARD RESET";
    case reset::kRebootRom:
      return "REBOOT ROM";
    // The generic controllers' reboot into RAM has no name of its own in the log.
    case reset::kRebootRam:
      return birch2 ? "REBOOT RAM" : "";
    case reset::kRebootEep:
      return "REBOOT EEP";
    case reset::kRebootAlt:
      return birch2 ? nullptr : "REBOOT ALT";
    default:
      return nullptr;
  }
}

}  // namespace

HidReport SetParam(std::uint8_t block, Bytes data) {
  if (data.size() > kParamDataMax) return {};
  HidReport report = Report(kParamLength, kSetParamReport, code::kSetParam);
  report[4] = block;
  PutWord(report, 6, static_cast<std::uint16_t>(data.size()));
  PutData(report, data);
  return report;
}

HidReport SetParamIndex(std::uint8_t block, std::uint8_t index, std::uint16_t length) {
  HidReport report = Command(code::kSetParamIndex);
  report[4] = block;
  report[5] = index;
  PutWord(report, 6, length);
  return report;
}

HidReport SetHidMode(bool multiContact) { return Command(code::kSetHidMode, multiContact ? 2 : 0); }

HidReport Calibrate(std::uint8_t kind) { return Command(code::kCalibrate, kind); }

HidReport AsyncEnable(std::uint32_t type, std::uint8_t mode) {
  HidReport report = Command(code::kAsyncEnable);
  if (type == type::kMaple) {
    if (mode != 6 && mode != 7) return {};
    report[2] = mode == 6 ? 0 : 1;
    report[3] = 1;
  } else {
    report[4] = mode;
  }
  return report;
}

HidReport Reset(std::uint8_t kind) {
  if (kind < reset::kSoft || kind > reset::kRebootAlt) return {};
  return Command(code::kReset, kind);
}

HidReport RestoreDefaults() { return Command(code::kRestoreDefaults); }

HidReport PassThroughByte(std::uint8_t byte) { return Command(code::kPassThroughByte, byte); }

HidReport PassThroughBytes(Bytes data) {
  if (data.size() > kPassThroughDataMax) return {};
  HidReport report = Report(kPassThroughLength, kPassThroughReport, code::kPassThroughBytes);
  report[2] = static_cast<std::uint8_t>(data.size());
  PutData(report, data);
  return report;
}

std::vector<HidReport> PassThroughPieces(Bytes data) {
  std::vector<HidReport> pieces;
  for (std::size_t at = 0; at < data.size(); at += kPassThroughDataMax) {
    pieces.push_back(PassThroughBytes(data.subspan(at, std::min(kPassThroughDataMax, data.size() - at))));
  }
  return pieces;
}

HidReport RebootEep() { return Command(code::kRebootEep, 2); }

HidReport SetBigBlock(Bytes data) {
  if (data.size() != kBigBlockData) return {};
  HidReport report = Report(kBigBlockLength, kBigBlockReport, code::kSetBigBlock);
  PutWord(report, 6, static_cast<std::uint16_t>(kBigBlockData));
  PutData(report, data);
  return report;
}

HidReport WatchdogOff() { return Command(code::kWatchdogOff, 2); }

HidReport SetDiagPins(std::uint8_t pins) { return Command(code::kSetDiagPins, pins); }

std::uint8_t PenFingerSelection(bool pen, bool finger) {
  if (!pen) return 1;
  return finger ? 0 : 2;
}

HidReport PenFinger(bool pen, bool finger) { return Command(code::kPenFinger, PenFingerSelection(pen, finger)); }

HidReport ModeSwitch(bool hidMode) {
  return Report(kCommandLength, kModeSwitchReport, hidMode ? code::kHidMode : code::kTabletMode);
}

HidReport Birch2AsyncEnable(std::uint8_t mode, std::uint8_t subMode) {
  return Birch2Command(birch2::kAsyncEnable, mode, subMode);
}

HidReport Birch2Calibrate(std::uint8_t kind) { return Birch2Command(birch2::kCalibrate, kind); }

HidReport Birch2Reset(std::uint8_t kind) {
  if (kind < reset::kSoft || kind > reset::kRebootEep) return {};
  return Birch2Command(birch2::kReset, kind);
}

HidReport Birch2RestoreDefaults(std::uint8_t which, std::uint8_t which2) {
  return Birch2Command(birch2::kRestoreDefaults, which, which2);
}

HidReport Birch2Command20(std::uint8_t byte2, std::uint8_t byte3, std::uint16_t word4) {
  HidReport report = Birch2Command(birch2::kCommand20, byte2, byte3);
  PutWord(report, 4, word4);
  return report;
}

HidReport Birch2Command21(std::uint8_t byte2, std::uint8_t byte3) {
  return Birch2Command(birch2::kCommand21, byte2, byte3);
}

HidReport Birch2SetParamIndex(std::uint8_t subBlock, std::uint16_t address, std::uint8_t length) {
  // The answer (GET_PARAM) holds no more than 64 bytes.
  if (length > kParamDataMax) return {};
  HidReport report = Birch2Command(birch2::kSetParamIndex, subBlock);
  PutWord(report, 4, address);
  report[6] = length;
  return report;
}

HidReport Birch2Command23(std::uint8_t byte2, std::uint8_t byte3) {
  return Birch2Command(birch2::kCommand23, byte2, byte3);
}

std::vector<HidReport> Birch2PenFinger(bool pen, bool finger) {
  if (pen && finger) return {Birch2Command(birch2::kPenFinger, 1, birch2::kPenFingerBoth)};
  return {Birch2Command(birch2::kPenFinger, pen ? 1 : 0, birch2::kPenFingerPen),
          Birch2Command(birch2::kPenFinger, finger ? 1 : 0, birch2::kPenFingerFinger)};
}

HidReport Birch2SetParam(std::uint8_t subBlock, std::uint16_t address, Bytes data) {
  if (data.size() > kParamDataMax) return {};
  HidReport report = Report(kParamLength, birch2::kSetParamReport, birch2::kSetParam);
  report[2] = subBlock;
  PutWord(report, 4, address);
  report[6] = static_cast<std::uint8_t>(data.size());
  PutData(report, data);
  return report;
}

std::optional<std::string> CommandLogName(std::uint32_t type, Bytes report) {
  if (report.size() < 2) return std::nullopt;
  if (IsTouchInputType(type)) return std::string(text::kTouchInputCommand);
  const std::uint8_t command = report[1];
  const std::uint8_t byte2 = report.size() > 2 ? report[2] : 0;
  const char* name = nullptr;
  if (type == type::kBirch2Hid) {
    switch (command) {
      case birch2::kAsyncEnable:
        name = "ASYNC_ENABLE";
        break;
      case birch2::kCalibrate:
        name = "CALIBRATE";
        break;
      case birch2::kReset:
        name = ResetName(byte2, true);
        break;
      case birch2::kRestoreDefaults:
        name = "RESTORE_DEFAULTS";
        break;
      case birch2::kSetParamIndex:
        name = "SET_PARAM_INDEX";
        break;
      case birch2::kSetParam:
        name = "SET_PARAM";
        break;
      default:
        break;
    }
  } else {
    switch (command) {
      case code::kSetParam:
        name = "SET_PARAM";
        break;
      case code::kSetParamIndex:
        name = "SET_PARAM_INDEX";
        break;
      case code::kSetHidMode:
        name = "SET_HID_MODE";
        break;
      case code::kCalibrate:
        name = "CALIBRATE";
        break;
      case code::kAsyncEnable:
        name = "ASYNC_ENABLE";
        break;
      case code::kReset:
        name = ResetName(byte2, false);
        break;
      case code::kRestoreDefaults:
        name = "RESTORE_DEFAULTS";
        break;
      // The pass-through bytes would bury the target's replies in the log.
      case code::kPassThroughByte:
      case code::kPassThroughBytes:
        return std::nullopt;
      case code::kRebootEep:
        name = "REBOOT_EEP";
        break;
      case code::kSetBigBlock:
        name = "SET_BIGBLOCK";
        break;
      case code::kWatchdogOff:
        name = "SET_WATCHDOG_OFF";
        break;
      case code::kSetDiagPins:
        name = "SET_DIAG_PINS";
        break;
      default:
        break;
    }
  }
  if (name == nullptr) return Numbered(text::kSetReportFormat, command);
  return std::string(name);
}

std::string AnswerLogName(std::uint32_t type, std::uint8_t reportId) {
  if (type == type::kBirch2Hid) {
    switch (reportId) {
      case answer::kBirch2Param:
        return "GET_PARAM";
      case answer::kBirch2Status:
        return "GET_STATUS";
      case answer::kBirch2Identity:
        return "GET_CONTROLLER_ID";
      case answer::kBirch2Strays:
        return "GET_STRAYS";
      default:
        return Numbered(text::kGetReportFormat, reportId);
    }
  }
  switch (reportId) {
    case answer::kControllerId:
      return "GET_CONTROLLER_ID";
    case answer::kParam:
      return "GET_PARAM";
    case answer::kStatus:
      return "GET_STATUS";
    case answer::kBigBlock:
      return "GET_BIGBLOCK";
    default:
      return Numbered(text::kGetReportFormat, reportId);
  }
}

std::size_t LoggedCommandBytes(std::uint32_t type, Bytes report) {
  return LoggedBytes(report, report.size() >= 2 && CarriesBlock(type, report[1]));
}

std::size_t LoggedAnswerBytes(std::uint32_t type, Bytes answer) {
  return LoggedBytes(answer, !answer.empty() && AnswerCarriesBlock(type, answer[0]));
}

std::string HexLines(Bytes bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0xF]);
    const bool lineEnds = i % 8 == 7 || i + 1 == bytes.size();
    text.push_back(lineEnds ? '\r' : ' ');
  }
  return text;
}

std::string CommandLogText(std::uint32_t type, Bytes report) {
  const std::optional<std::string> name = CommandLogName(type, report);
  if (!name) return {};
  return *name + '\r' + HexLines(report.first(LoggedCommandBytes(type, report)));
}

std::string SendResultText(bool sent, std::string_view errorText) {
  if (sent) return text::kOk;
  // The system's texts come with line ends of their own or none; the log wants exactly one CR.
  while (!errorText.empty() && (errorText.back() == '\r' || errorText.back() == '\n' || errorText.back() == ' ')) {
    errorText.remove_suffix(1);
  }
  return std::string(errorText) + '\r';
}

std::string FetchLogText(std::uint32_t type, std::uint8_t reportId, std::optional<Bytes> answer) {
  std::string text = AnswerLogName(type, reportId) + '\r';
  if (!answer) return text + text::kGetFeatureFailed;
  return text + HexLines(answer->first(LoggedAnswerBytes(type, *answer))) + text::kOk;
}

std::optional<AnswerReport> AnswerFor(std::uint32_t type, Answer kind) {
  if (type == type::kBirch2Hid) {
    switch (kind) {
      case Answer::kControllerId:
        return AnswerReport{answer::kBirch2Identity, kBirch2IdentityLength};
      case Answer::kParam:
        return AnswerReport{answer::kBirch2Param, kParamLength};
      case Answer::kStatus:
        return AnswerReport{answer::kBirch2Status, kBirch2StatusLength};
      case Answer::kStrays:
        return AnswerReport{answer::kBirch2Strays, kBirch2StraysLength};
      case Answer::kCommandAnswer:
        return AnswerReport{answer::kBirch2Command, kBirch2CommandAnswerLength};
      default:
        return std::nullopt;
    }
  }
  switch (kind) {
    case Answer::kControllerId:
      return AnswerReport{answer::kControllerId, IsLarchUsbType(type) ? kLarchControllerIdLength : kControllerIdLength};
    case Answer::kParam:
      return AnswerReport{answer::kParam, kParamLength};
    case Answer::kStatus:
      return AnswerReport{answer::kStatus, kStatusLength};
    case Answer::kBigBlock:
      return AnswerReport{answer::kBigBlock, kBigBlockLength};
    case Answer::kPointerMode:
      return AnswerReport{answer::kPointerMode, kPointerModeLength};
    case Answer::kMaxContacts:
      return AnswerReport{answer::kMaxContacts, kMaxContactsLength};
    case Answer::kTouchInputMaxContacts:
      return AnswerReport{answer::kTouchInputMaxContacts, kTouchInputMaxContactsLength};
    default:
      return std::nullopt;
  }
}

std::optional<ControllerIdRecord> ParseControllerIdRecord(std::uint32_t type, Bytes bytes) {
  const bool larch = IsLarchUsbType(type);
  const std::size_t length = larch ? kLarchControllerIdLength : kControllerIdLength;
  if (bytes.size() < length) return std::nullopt;
  ControllerIdRecord record;
  std::copy_n(bytes.begin(), length, record.bytes.begin());
  record.reportId = bytes[0];
  record.typeLetters = {static_cast<char>(bytes[1]), static_cast<char>(bytes[2])};
  record.versionMajor = bytes[3];
  record.versionMinor = bytes[4];
  record.flags = bytes[5];
  record.partNumber = Word(bytes, 6);
  record.maxParamWrite = Word(bytes, 8);
  record.larch = larch;
  if (larch) {
    record.modelCode = bytes[19];
    record.sensorKind = bytes[20];
    record.secondPartNumber = Word(bytes, 22);
  }
  return record;
}

std::optional<char> BlockStatusLetter(std::uint32_t type, const ControllerIdRecord& record, int block) {
  std::size_t at = 0;
  switch (block) {
    case 1:
      at = 10;
      break;
    case 2:
      at = 11;
      break;
    case 3:
      if (type != type::kMaple) return std::nullopt;
      at = 12;
      break;
    case 5:
      at = 14;
      break;
    case 6:
      at = 15;
      break;
    case 7:
      at = record.larch ? 16 : 11;
      break;
    case 8:
      at = 17;
      break;
    default:
      return std::nullopt;
  }
  return static_cast<char>(record.bytes[at]);
}

std::optional<Birch2IdentityRecord> ParseBirch2IdentityRecord(Bytes bytes) {
  if (bytes.size() < kBirch2IdentityLength) return std::nullopt;
  Birch2IdentityRecord record;
  std::copy_n(bytes.begin(), kBirch2IdentityLength, record.bytes.begin());
  record.reportId = bytes[0];
  record.typeLetters = {static_cast<char>(bytes[1]), static_cast<char>(bytes[2])};
  record.versionMajor = bytes[3];
  record.versionMinor = bytes[4];
  record.flags = bytes[5];
  record.cstPartNumber = Word(bytes, 6);
  record.maxParamWrite = Word(bytes, 8);
  record.cdePartNumber =
      static_cast<std::uint32_t>(Word(bytes, 18)) | (static_cast<std::uint32_t>(Word(bytes, 20)) << 16);
  record.revC = bytes[22] == 3 && bytes[23] == 1;
  return record;
}

std::optional<std::size_t> HidBlockLength(std::uint32_t type, int block, std::uint8_t larchModelCode) {
  const bool larch = IsLarchUsbType(type);
  switch (block) {
    case 1:
      return 26;
    case 2:
      return 50;
    case 3:
      if (type == type::kMaple) return 12;
      return std::nullopt;
    // Only the Birch2 HID controller reads and writes Block4 over HID: its 60 bytes.
    case 4:
      if (type == type::kBirch2Hid) return 60;
      return std::nullopt;
    case 5:
      return 4;
    case 6:
      if (!larch) return 12;
      return larchModelCode == 4 ? 64 : 26;
    case 7:
      return larch ? 21 : 10;
    case 8:
    case 81:
    case 82:
    case 83:
      return 512;
    case 84:
      return 8;
    case 9:
    case 10:
      return 1;
    case 99:
      return 2;
    case 101:
    case 102:
      return 64;
    default:
      return std::nullopt;
  }
}

std::optional<std::uint8_t> Birch2SubBlock(int block) {
  switch (block) {
    case 1:
      return birch2::kSubBlock1;
    case 2:
      return birch2::kSubBlock2;
    case 4:
      return birch2::kSubBlock4;
    case 5:
      return birch2::kSubBlock5;
    case 6:
      return birch2::kSubBlock6;
    default:
      return std::nullopt;
  }
}

void SwapBytePairs(std::span<std::uint8_t> bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
}

std::vector<std::uint8_t> Birch2BlockToController(int block, Bytes data) {
  // Worked on a copy: the caller's block keeps our byte order, so writing it twice sends the
  // same bytes twice.
  std::vector<std::uint8_t> wire(data.begin(), data.end());
  if (block == 4) SwapBytePairs(wire);
  if (block != 5) SwapBytePairs(std::span(wire).first(std::min(kBirch2SwapBytes, wire.size())));
  return wire;
}

std::vector<std::uint8_t> Birch2BlockFromController(int block, Bytes data) {
  std::vector<std::uint8_t> ours(data.begin(), data.end());
  if (block == 2) SwapBytePairs(ours);
  return ours;
}

}  // namespace kx7::hid
