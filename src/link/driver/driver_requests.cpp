#include "link/driver/driver_requests.h"

#include <algorithm>
#include <cstdio>

namespace kx7::driver {
namespace {

constexpr RequestLength None() { return {LengthKind::kNone, 0, 0}; }
constexpr RequestLength Fixed(std::size_t size, std::size_t alternative = 0) { return {LengthKind::kFixed, size, alternative}; }
constexpr RequestLength UpTo(std::size_t size) { return {LengthKind::kUpTo, size, 0}; }
constexpr RequestLength Variable(std::size_t size = 0) { return {LengthKind::kVariable, size, 0}; }
constexpr RequestLength Unused() { return {LengthKind::kUnused, 0, 0}; }

// The block reads pass {block, 0, length} as three 16-bit values; START_CALIBRATE a 16-bit kind;
// DOWNLOAD_END a 16-bit address.
constexpr std::size_t kBlockReadInput = 6;

constexpr RequestInfo kRequests[] = {
    {kWhoAreYou, "WHO_ARE_YOU", None(), Fixed(kWhoAreYouSize)},
    {kMouseEnable, "MOUSE_ENABLE", None(), None()},
    {kMouseDisable, "MOUSE_DISABLE", None(), None()},
    {kSetPenActive, "SET_PEN_ACTIVE", Fixed(1), None()},
    {kSetFingerActive, "SET_FINGER_ACTIVE", Fixed(1), None()},
    {kUpdateParam, "UPDATE_PARAM", None(), None()},
    {kGetVersion, "GET_VERSION", None(), Fixed(kVersionRecordSize)},
    {kGetStatus, "GET_STATUS", None(), Fixed(kStatusRecordSize)},
    {kReadCableNovram, "READ_CABLE_NOVRAM", Fixed(kBlockReadInput), Fixed(kNovramReadSize)},
    {kWriteCableNovram, "WRITE_CABLE_NOVRAM", Fixed(kNovramWriteSize), None()},
    {kReadControllerNovram, "READ_CONTROLLER_NOVRAM", Fixed(kBlockReadInput), Fixed(kNovramReadSize)},
    {kWriteControllerNovram, "WRITE_CONTROLLER_NOVRAM", Fixed(kNovramWriteSize), None()},
    {kReadGateArray, "READ_GATE_ARRAY", Unused(), Unused()},
    {kWriteGateArray, "WRITE_GATE_ARRAY", Unused(), Unused()},
    {kReadStrays, "READ_STRAYS", Fixed(kBlockReadInput), UpTo(kStraysReadSize)},
    {kWriteStrays, "WRITE_STRAYS", Fixed(kStraysWriteSize), None()},
    {kReadSerialNumber, "READ_SERIAL_NUMBER", None(), Fixed(kSerialNumberSize)},
    {kWriteSerialNumber, "WRITE_SERIAL_NUMBER", Fixed(kSerialNumberSize), None()},
    {kStartCalibrate, "START_CALIBRATE", Fixed(2), None()},
    {kSoftReset, "SOFT_RESET", None(), None()},
    {kHardReset, "HARD_RESET", None(), None()},
    {kRestoreDefaults, "RESTORE_DEFAULTS", None(), None()},
    {kAsyncSetReportActive, "ASYNC_SET_REPORT_ACTIVE", Fixed(kReportActiveSize), None()},
    {kEepromRead, "EEPROM_READ", Fixed(kMemoryHeaderSize), Variable(kMaxMemoryCount)},
    {kEepromWrite, "EEPROM_WRITE", Variable(kMemoryHeaderSize + kMaxMemoryCount), None()},
    {kRomReboot, "ROM_REBOOT", None(), None()},
    {kRamReboot, "RAM_REBOOT", None(), None()},
    {kEepromReboot, "EEPROM_REBOOT", None(), None()},
    {kDownloadEeprom, "DOWNLOAD_EEPROM", Fixed(kDownloadHeaderSize), None()},
    {kDownloadRam, "DOWNLOAD_RAM", Fixed(kDownloadHeaderSize), None()},
    {kDownloadBoth, "DOWNLOAD_BOTH", Fixed(kDownloadHeaderSize), None()},
    {kDownloadData, "DOWNLOAD_DATA", Variable(), None()},
    {kDownloadEnd, "DOWNLOAD_END", Fixed(2), None()},
    {kIsTopazDriver, "IS_TOPAZ_DRIVER", None(), Fixed(kWhoAreYouSize)},
    {kGeneric, "GENERIC", Variable(), Variable()},
    {kGetMVersion, "GET_MVERSION", None(), Fixed(kMVersionRecordSize)},
    {kGetMStatus, "GET_MSTATUS", None(), Fixed(kMStatusShortSize, kMStatusRecordSize)},
    {kReadMSerialNumber, "READ_MSERIAL_NUMBER", None(), Fixed(kSerialNumberSize)},
    {kRestoreMDefaults, "RESTORE_MDEFAULTS", Fixed(kRestoreBlockSize), None()},
};

constexpr std::uint8_t kOut = kRequestTypeOut;
constexpr std::uint8_t kIn = kRequestTypeIn;

constexpr UsbMapping kMappings[] = {
    {kSetPenActive, kOut, kVendorPenFinger, 0, 2, 0, InputLayout::kFlag, AnswerShape::kNone, false},
    {kSetFingerActive, kOut, kVendorPenFinger, 0, 1, 0, InputLayout::kFlag, AnswerShape::kNone, false},
    {kGetVersion, kIn, kVendorVersion, 0, 0, 16, InputLayout::kNone, AnswerShape::kVersion, false},
    {kGetStatus, kIn, kVendorStatus, 0, 0, 8, InputLayout::kNone, AnswerShape::kStatus, false},
    {kGetMVersion, kIn, kVendorVersion, 0, 0, 24, InputLayout::kNone, AnswerShape::kMVersion, false},
    {kGetMStatus, kIn, kVendorStatus, 0, 0, 20, InputLayout::kNone, AnswerShape::kMStatus, false},
    {kReadControllerNovram, kIn, kVendorReadBlock, 0, 0, 0, InputLayout::kBlockRead, AnswerShape::kSkipHeader, false},
    {kReadCableNovram, kIn, kVendorReadBlock, 1, 0, 0, InputLayout::kBlockRead, AnswerShape::kSkipHeader, false},
    {kReadStrays, kIn, kVendorReadBlock, 3, 0, 0, InputLayout::kBlockRead, AnswerShape::kSkipHeader, false},
    {kWriteControllerNovram, kOut, kVendorWriteBlock, 0, 0, 0, InputLayout::kBlockWrite, AnswerShape::kNone, false},
    {kWriteCableNovram, kOut, kVendorWriteBlock, 1, 0, 0, InputLayout::kBlockWrite, AnswerShape::kNone, false},
    {kReadSerialNumber, kIn, kVendorReadBlock, 0, 0x0500, 7, InputLayout::kNone, AnswerShape::kSerialNumber, false},
    {kWriteSerialNumber, kOut, kVendorWriteBlock, 0, 0x0500, 4, InputLayout::kSerialWrite, AnswerShape::kNone, false},
    {kEepromRead, kIn, kVendorReadBlock, 0, 0, 0, InputLayout::kMemoryRead, AnswerShape::kSkipHeader, false},
    {kEepromWrite, kOut, kVendorWriteBlock, 0, 0, 0, InputLayout::kMemoryWrite, AnswerShape::kNone, false},
    {kStartCalibrate, kOut, kVendorCalibrate, 0, 0, 0, InputLayout::kWord, AnswerShape::kNone, false},
    {kSoftReset, kOut, kVendorReset, 1, 0, 0, InputLayout::kNone, AnswerShape::kNone, false},
    {kHardReset, kOut, kVendorReset, 2, 0, 0, InputLayout::kNone, AnswerShape::kNone, false},
    {kRomReboot, kOut, kVendorReset, 3, 0, 0, InputLayout::kNone, AnswerShape::kNone, false},
    {kRamReboot, kOut, kVendorReset, 4, 0, 0, InputLayout::kNone, AnswerShape::kNone, false},
    {kEepromReboot, kOut, kVendorReset, 5, 0, 0, InputLayout::kNone, AnswerShape::kNone, false},
    {kRestoreDefaults, kOut, kVendorRestore, 0, 0, 0, InputLayout::kNone, AnswerShape::kNone, true},
    {kRestoreMDefaults, kOut, kVendorRestore, 0, 0, 0, InputLayout::kRestoreBlock, AnswerShape::kNone, true},
    {kAsyncSetReportActive, kOut, kVendorSetActive, 0, 0, 0, InputLayout::kReportActive, AnswerShape::kNone, false},
    {kDownloadEeprom, kOut, kVendorDownload, 0, 1, 6, InputLayout::kDownloadHeader, AnswerShape::kNone, false},
    {kDownloadRam, kOut, kVendorDownload, 0, 2, 6, InputLayout::kDownloadHeader, AnswerShape::kNone, false},
    {kDownloadBoth, kOut, kVendorDownload, 0, 3, 6, InputLayout::kDownloadHeader, AnswerShape::kNone, false},
    {kDownloadData, kOut, kVendorDownload, 1, 0, 0, InputLayout::kDownloadData, AnswerShape::kNone, false},
    {kDownloadEnd, kOut, kVendorDownload, 2, 0, 0, InputLayout::kDownloadEnd, AnswerShape::kNone, false},
    {kGeneric, 0, 0, 0, 0, 0, InputLayout::kGeneric, AnswerShape::kAsIs, false},
};

constexpr FieldCopy kVersionCopies[] = {
    {0, 0, 8},    // interface and driver versions
    {8, 10, 2},   // type letters
    {10, 12, 1},  // resistive
    {11, 18, 2},  // largest parameter write
    {13, 20, 3},  // status letters of blocks 1 to 3
};
constexpr std::size_t kVersionAnswerSize = 16;

struct TypeName {
  const char* name;
  std::uint32_t type;
};
constexpr TypeName kTypeNames[] = {
    {"USB_Maple100_Series", 32880}, {"USB_Legacy", 32867},        {"USB_Birch2", 32865},
    {"Birch2_HID", 32874},          {"USB_Birch2_Fixed_OS", 32866}, {"USB_Elm_Series", 32869},
    {"Serial_Cedar", 32872},        {"USB_Cedar", 32873},          {"USB_Larch_Series", 32881},
    {"Serial_Larch_Series", 32879},
};
constexpr std::uint32_t kGenericType = 32855;

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void PutWord(std::uint8_t* out, std::uint16_t value) {
  out[0] = static_cast<std::uint8_t>(value & 0xFF);
  out[1] = static_cast<std::uint8_t>(value >> 8);
}

UsbTranslation Fail(std::uint32_t error) {
  UsbTranslation result;
  result.error = error;
  return result;
}

// A block or memory number in the high byte of the index.
bool HighByte(std::uint32_t number, std::uint16_t& index) {
  if (number > 0xFF) return false;
  index = static_cast<std::uint16_t>(number << 8);
  return true;
}

bool WithHeaderLength(std::uint32_t length, std::uint16_t& setupLength) {
  if (length + kBlockAnswerHeader > 0xFFFF) return false;
  setupLength = static_cast<std::uint16_t>(length + kBlockAnswerHeader);
  return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// The UTF-16 string at `offset`, up to its 0 unit; nullopt when no 0 unit ends it in the record.
std::optional<std::string> ReadWideString(std::span<const std::uint8_t> record, std::size_t offset) {
  std::vector<std::uint16_t> units;
  for (std::size_t at = offset;; at += 2) {
    if (at + 2 > record.size()) return std::nullopt;
    const std::uint16_t unit = Word(record, at);
    if (unit == 0) break;
    units.push_back(unit);
  }
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t unit = units[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      AppendUtf8(text, kReplacement);
    } else {
      AppendUtf8(text, unit);
    }
  }
  return text;
}

// UTF-8 text as UTF-16 units; a malformed sequence becomes U+FFFD.
std::vector<std::uint16_t> ToUtf16(std::string_view text) {
  std::vector<std::uint16_t> units;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      units.push_back(kReplacement);
      ++i;
      continue;
    }
    bool ok = i + extra < text.size();
    for (std::size_t k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (next & 0x3F);
      }
    }
    constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      units.push_back(kReplacement);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(cp));
    }
    i += extra + 1;
  }
  return units;
}

std::string Format(const char* format, auto... values) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, values...);
  if (n < 0) return {};
  return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

}  // namespace

std::span<const RequestInfo> NamedRequests() { return kRequests; }

const RequestInfo* FindRequest(std::uint32_t code) {
  for (const RequestInfo& info : kRequests) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

std::optional<std::string> RequestLogLine(std::uint32_t code, std::span<const std::uint8_t> input) {
  if (code == kGeneric) return std::nullopt;
  const RequestInfo* info = FindRequest(code);
  if (info == nullptr) return std::nullopt;
  if (code == kRestoreMDefaults && input.size() >= kRestoreBlockSize) {
    return Format("MRESTORE_DEFAULTS BLK%d\r", static_cast<int>(Word(input, 2)));
  }
  return std::string(info->name) + "\r";
}

std::string RequestErrorLine(std::uint32_t error) {
  return "ERR: " + Format("%X", static_cast<unsigned>(error)) + " " + DriverErrorText(error) + "\r";
}

std::string RequestResultLine(const DriverResult& result) {
  return result.success ? std::string("OK\r") : RequestErrorLine(result.error);
}

std::string HexLogLines(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 8 != 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
    if (i % 8 == 7 || i + 1 == bytes.size()) text += '\r';
  }
  return text;
}

std::string ListLogLine(int controllers) { return Format("KX7 lists %d controllers\r", controllers); }

std::array<std::uint8_t, kSetupSize> EncodeSetup(const UsbSetup& setup) {
  std::array<std::uint8_t, kSetupSize> bytes{};
  bytes[0] = setup.requestType;
  bytes[1] = setup.request;
  PutWord(&bytes[2], setup.value);
  PutWord(&bytes[4], setup.index);
  PutWord(&bytes[6], setup.length);
  return bytes;
}

std::vector<std::uint8_t> SetupAndData(const UsbSetup& setup, std::span<const std::uint8_t> data) {
  const auto head = EncodeSetup(setup);
  // Sized once and filled: appending to the 8 header bytes makes GCC 12 report a copy out of
  // bounds inside vector::insert (-Warray-bounds) that cannot happen.
  std::vector<std::uint8_t> bytes(head.size() + data.size());
  std::copy(head.begin(), head.end(), bytes.begin());
  std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(head.size()));
  return bytes;
}

std::optional<UsbSetup> DecodeSetup(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSetupSize) return std::nullopt;
  return UsbSetup{bytes[0], bytes[1], Word(bytes, 2), Word(bytes, 4), Word(bytes, 6)};
}

std::span<const UsbMapping> UsbMappings() { return kMappings; }

const UsbMapping* FindUsbMapping(std::uint32_t code) {
  for (const UsbMapping& mapping : kMappings) {
    if (mapping.code == code) return &mapping;
  }
  return nullptr;
}

std::vector<std::uint8_t> UsbRequest::Bytes() const { return SetupAndData(setup, data); }

UsbTranslation TranslateRequest(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) {
  const UsbMapping* mapping = FindUsbMapping(code);
  if (mapping == nullptr) return Fail(driver_error::kInvalidFunction);

  UsbTranslation result;
  result.success = true;
  UsbRequest& request = result.request;
  request.code = code;
  request.setup = {mapping->requestType, mapping->request, mapping->value, mapping->index, mapping->length};
  request.answer = mapping->answer;
  request.outputCapacity = outputCapacity;
  request.noTimeout = mapping->noTimeout;
  UsbSetup& setup = request.setup;

  auto needs = [&](std::size_t size) { return input.size() >= size; };
  auto data = [&](std::size_t from, std::size_t count) {
    request.data.assign(input.begin() + static_cast<std::ptrdiff_t>(from),
                        input.begin() + static_cast<std::ptrdiff_t>(from + count));
  };

  switch (mapping->input) {
    case InputLayout::kNone:
      break;
    case InputLayout::kFlag:
      if (!needs(1)) return Fail(driver_error::kInvalidParameter);
      setup.value = input[0];
      break;
    case InputLayout::kWord:
      if (!needs(2)) return Fail(driver_error::kInvalidParameter);
      setup.value = Word(input, 0);
      break;
    case InputLayout::kBlockRead:
    case InputLayout::kBlockWrite: {
      if (!needs(kBlockReadInput)) return Fail(driver_error::kInvalidParameter);
      const std::uint16_t length = Word(input, 4);
      if (!HighByte(Word(input, 0), setup.index)) return Fail(driver_error::kInvalidParameter);
      if (mapping->input == InputLayout::kBlockRead) {
        if (!WithHeaderLength(length, setup.length)) return Fail(driver_error::kInvalidParameter);
      } else {
        if (!needs(kBlockReadInput + length)) return Fail(driver_error::kInvalidParameter);
        setup.length = length;
        data(kBlockReadInput, length);
      }
      break;
    }
    case InputLayout::kSerialWrite:
      if (!needs(kSerialNumberSize)) return Fail(driver_error::kInvalidParameter);
      data(0, kSerialNumberSize);
      break;
    case InputLayout::kMemoryRead:
    case InputLayout::kMemoryWrite: {
      if (!needs(kMemoryHeaderSize)) return Fail(driver_error::kInvalidParameter);
      const std::uint16_t count = Word(input, 4);
      if (count > kMaxMemoryCount) return Fail(driver_error::kInvalidParameter);
      if (!HighByte(input[0], setup.index)) return Fail(driver_error::kInvalidParameter);
      setup.value = Word(input, 2);
      if (mapping->input == InputLayout::kMemoryRead) {
        if (!WithHeaderLength(count, setup.length)) return Fail(driver_error::kInvalidParameter);
      } else {
        if (!needs(kMemoryHeaderSize + count)) return Fail(driver_error::kInvalidParameter);
        setup.length = count;
        data(kMemoryHeaderSize, count);
      }
      break;
    }
    case InputLayout::kRestoreBlock:
      // The area goes along in the index: cable block 4 and controller block 4 are different
      // blocks, and restoring the wrong one destroys the factory linearization.
      if (!needs(kRestoreBlockSize)) return Fail(driver_error::kInvalidParameter);
      setup.index = Word(input, 0);
      setup.value = Word(input, 2);
      break;
    case InputLayout::kReportActive:
      if (!needs(kReportActiveSize)) return Fail(driver_error::kInvalidParameter);
      setup.value = Word(input, 0);
      setup.index = Word(input, 2);
      break;
    case InputLayout::kDownloadHeader:
      if (!needs(kDownloadHeaderSize)) return Fail(driver_error::kInvalidParameter);
      data(0, kDownloadHeaderSize);
      break;
    case InputLayout::kDownloadData: {
      if (!needs(4)) return Fail(driver_error::kInvalidParameter);
      const std::uint16_t count = Word(input, 2);
      if (!needs(4 + static_cast<std::size_t>(count))) return Fail(driver_error::kInvalidParameter);
      setup.index = Word(input, 0);
      setup.length = count;
      data(4, count);
      break;
    }
    case InputLayout::kDownloadEnd:
      if (!needs(2)) return Fail(driver_error::kInvalidParameter);
      setup.index = Word(input, 0);
      break;
    case InputLayout::kGeneric: {
      const auto own = DecodeSetup(input);
      if (!own) return Fail(driver_error::kInvalidParameter);
      setup = *own;
      data(kSetupSize, input.size() - kSetupSize);
      request.answer = setup.IsIn() ? AnswerShape::kAsIs : AnswerShape::kNone;
      break;
    }
  }
  return result;
}

std::span<const FieldCopy> VersionFieldCopies() { return kVersionCopies; }

DriverResult AnswerToOutput(const UsbRequest& request, std::span<const std::uint8_t> answer) {
  const std::size_t capacity = request.outputCapacity;
  auto cut = [capacity](std::vector<std::uint8_t> bytes) {
    if (bytes.size() > capacity) bytes.resize(capacity);
    return DriverResult::Ok(std::move(bytes));
  };
  // The answer at the start of a record of `size` bytes, the rest 0.
  auto record = [&](std::size_t need, std::size_t size) {
    if (answer.size() < need) return DriverResult::Failed(driver_error::kGeneralFailure);
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy_n(answer.begin(), std::min(need, size), bytes.begin());
    return cut(std::move(bytes));
  };

  switch (request.answer) {
    case AnswerShape::kNone:
      return DriverResult::Ok();
    case AnswerShape::kAsIs:
      return cut(std::vector<std::uint8_t>(answer.begin(), answer.end()));
    case AnswerShape::kSkipHeader: {
      const std::size_t need = request.setup.length;
      if (need < kBlockAnswerHeader || answer.size() < need) return DriverResult::Failed(driver_error::kGeneralFailure);
      return cut(std::vector<std::uint8_t>(answer.begin() + kBlockAnswerHeader,
                                           answer.begin() + static_cast<std::ptrdiff_t>(need)));
    }
    case AnswerShape::kVersion: {
      if (answer.size() < kVersionAnswerSize) return DriverResult::Failed(driver_error::kGeneralFailure);
      std::vector<std::uint8_t> bytes(kVersionRecordSize, 0);
      for (const FieldCopy& copy : kVersionCopies) {
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(copy.from), copy.length,
                    bytes.begin() + static_cast<std::ptrdiff_t>(copy.to));
      }
      return cut(std::move(bytes));
    }
    case AnswerShape::kStatus:
      return record(8, kStatusRecordSize);
    case AnswerShape::kMVersion:
      return record(24, kMVersionRecordSize);
    case AnswerShape::kMStatus:
      return record(20, kMStatusRecordSize);
    case AnswerShape::kSerialNumber:
      if (answer.size() < kBlockAnswerHeader + kSerialNumberSize) return DriverResult::Failed(driver_error::kGeneralFailure);
      return cut(std::vector<std::uint8_t>(answer.begin() + kBlockAnswerHeader,
                                           answer.begin() + kBlockAnswerHeader + kSerialNumberSize));
  }
  return DriverResult::Failed(driver_error::kGeneralFailure);
}

std::optional<std::vector<std::uint16_t>> ParseListRecord(std::span<const std::uint8_t> record) {
  if (record.size() < 4) return std::nullopt;
  const std::uint16_t twice = Word(record, 2);
  if (twice % 2 != 0) return std::nullopt;
  const std::size_t count = twice / 2;
  if (count > kMaxListedControllers || 4 + 2 * count > record.size()) return std::nullopt;
  std::vector<std::uint16_t> numbers;
  numbers.reserve(count);
  for (std::size_t i = 0; i < count; ++i) numbers.push_back(Word(record, 4 + 2 * i));
  return numbers;
}

std::optional<Kx7Strings> ParseKx7Record(std::span<const std::uint8_t> record) {
  constexpr std::size_t kHeader = 4;
  if (record.size() < kHeader) return std::nullopt;
  auto read = [&](std::size_t offset) -> std::optional<std::string> {
    if (offset == 0) return std::string();
    if (offset < kHeader) return std::nullopt;
    return ReadWideString(record, offset);
  };
  auto first = read(Word(record, 0));
  auto second = read(Word(record, 2));
  if (!first || !second) return std::nullopt;
  return Kx7Strings{std::move(*first), std::move(*second)};
}

std::optional<std::vector<std::uint8_t>> EncodeKx7Record(std::string_view first, std::string_view second) {
  if (first.find('\0') != std::string_view::npos || second.find('\0') != std::string_view::npos) return std::nullopt;
  const auto a = ToUtf16(first);
  const auto b = ToUtf16(second);
  const std::size_t firstAt = 4;
  const std::size_t secondAt = firstAt + 2 * (a.size() + 1);
  if (secondAt + 2 * (b.size() + 1) > kKx7RecordSize) return std::nullopt;
  std::vector<std::uint8_t> record(kKx7RecordSize, 0);
  PutWord(&record[0], static_cast<std::uint16_t>(firstAt));
  PutWord(&record[2], static_cast<std::uint16_t>(secondAt));
  for (std::size_t i = 0; i < a.size(); ++i) PutWord(&record[firstAt + 2 * i], a[i]);
  for (std::size_t i = 0; i < b.size(); ++i) PutWord(&record[secondAt + 2 * i], b[i]);
  return record;
}

void Kx7Controller::SetRecords(const Kx7Strings& controller, const Kx7Strings& port) {
  typeName = controller.first;
  idText = controller.second;
  portName = port.first;
  extraText = port.second;
}

std::string Kx7Controller::PickLine() const {
  std::string line = typeName;
  if (!idText.empty()) line += "  ID:" + idText;
  line += "  " + portName;
  if (!extraText.empty()) line += " [" + extraText + "]";
  return line;
}

bool Kx7Controller::PortAvailable() const { return portName.find_first_not_of(' ') != std::string::npos; }

std::uint32_t ControllerTypeFromDriverName(std::string_view typeName) {
  for (const TypeName& entry : kTypeNames) {
    if (typeName == entry.name) return entry.type;
  }
  return kGenericType;
}

}  // namespace kx7::driver
