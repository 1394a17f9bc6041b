#include "driver_rivetware_usb.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "driver_byte_order.h"
#include "driver_emulation_constants.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {
namespace {

namespace de = driver_emulation;
namespace dc = kx7::driver;
using kx7::DriverResult;
namespace err = kx7::driver_error;

constexpr std::size_t kBlockInput = dc::kBlockHeaderSize;  // {block, 0, length}
constexpr std::size_t kStraysHeader = dc::kStraysHeaderSize;

// An answer in a record of `size` bytes, zero-filled.
std::vector<std::uint8_t> Widened(std::vector<std::uint8_t> answer, std::size_t size) {
  answer.resize(size, 0);
  return answer;
}

UsbSetupRecord In(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::size_t length) {
  return {dc::kRequestTypeIn, request, value, index, static_cast<std::uint16_t>(length)};
}

UsbSetupRecord Out(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::size_t length) {
  return {dc::kRequestTypeOut, request, value, index, static_cast<std::uint16_t>(length)};
}

std::uint16_t Selector(std::uint16_t block) { return static_cast<std::uint16_t>(block << de::kSelectorShift); }

}  // namespace

RivetwareUsbDriver::RivetwareUsbDriver(std::shared_ptr<BirchUsbController> controller, RivetwareUsbOptions options)
    : controller_(std::move(controller)), options_(options) {}

bool RivetwareUsbDriver::MouseEnabled() const {
  std::lock_guard lock(mutex_);
  return mouseEnabled_;
}

kx7::DriverResult RivetwareUsbDriver::Vendor(const UsbSetupRecord& setup, std::span<const std::uint8_t> data) {
  VendorResult result = controller_->Control(setup, data);
  if (!result.success) return DriverResult::Failed(result.error);
  return DriverResult::Ok(std::move(result.answer));
}

kx7::DriverResult RivetwareUsbDriver::VersionRecord() {
  DriverResult answer = Vendor(In(dc::kVendorVersion, 0, 0, de::kVersionAnswerSize), {});
  if (!answer.success) return answer;
  const std::vector<std::uint8_t>& a = answer.bytes;
  if (a.size() < de::kVersionAnswerSize) return DriverResult::Failed(err::kGeneralFailure);
  std::vector<std::uint8_t> record(dc::kVersionRecordSize, 0);
  std::copy_n(a.begin() + de::kVersionNumbers, 8, record.begin());
  record[dc::kVersionTypeLetters] = a[de::kVersionLetters];
  record[dc::kVersionTypeLetters + 1] = a[de::kVersionLetters + 1];
  record[dc::kVersionResistive] = a[de::kVersionResistiveFlag];
  record[dc::kVersionMaxParamWrite] = a[de::kVersionMaxWrite];
  record[dc::kVersionMaxParamWrite + 1] = a[de::kVersionMaxWrite + 1];
  // The driver knows more of its controller than the 16-byte answer says: the third type letter,
  // the firmware version, the part number and the status letters of all five blocks.
  const BirchUsbOptions& options = controller_->Options();
  const std::string letters = controller_->TypeLetters();
  record[dc::kVersionThirdLetter] = static_cast<std::uint8_t>(letters.size() > 2 ? letters[2] : 0);
  record[dc::kVersionFirmware] = options.firmwareVersion[0];
  record[dc::kVersionFirmware + 1] = options.firmwareVersion[1];
  record[dc::kVersionPartNumber] = static_cast<std::uint8_t>(options.partNumber & 0xFF);
  record[dc::kVersionPartNumber + 1] = static_cast<std::uint8_t>(options.partNumber >> 8);
  for (int block = 1; block <= dc::kLastStatusBlock; ++block)
    record[dc::kVersionBlockStatus + static_cast<std::size_t>(block - 1)] =
        static_cast<std::uint8_t>(controller_->StatusLetter(block));
  return DriverResult::Ok(std::move(record));
}

kx7::DriverResult RivetwareUsbDriver::Request(std::uint32_t code, std::span<const std::uint8_t> input,
                                             std::size_t outputCapacity) {
  const auto needs = [&](std::size_t size) { return input.size() >= size; };
  switch (code) {
    case dc::kWhoAreYou: {
      if (outputCapacity < 4) return DriverResult::Failed(err::kInsufficientBuffer);
      std::vector<std::uint8_t> answer(dc::kWhoAreYouSize, 0);
      PutLittleLong(answer, 0, dc::kUsbRivetwareDevice);
      return DriverResult::Ok(std::move(answer));
    }
    case dc::kIsTopazDriver: {
      if (outputCapacity < 2) return DriverResult::Failed(err::kInsufficientBuffer);
      std::vector<std::uint8_t> answer(dc::kWhoAreYouSize, 0);
      PutLittleWord(answer, 0, options_.newerDriver ? dc::kNewerUsbDriverMark : 0);
      return DriverResult::Ok(std::move(answer));
    }
    case dc::kMouseEnable:
    case dc::kMouseDisable: {
      std::lock_guard lock(mutex_);
      mouseEnabled_ = code == dc::kMouseEnable;
      return DriverResult::Ok();
    }
    case dc::kUpdateParam:
      return DriverResult::Ok();
    case dc::kSetPenActive:
    case dc::kSetFingerActive:
      if (!needs(1)) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorPenFinger, input[0] != 0 ? 1 : 0,
                        code == dc::kSetPenActive ? de::kPenSelector : de::kFingerSelector, 0),
                    {});
    case dc::kGetVersion: {
      if (outputCapacity < dc::kVersionRecordSize) return DriverResult::Failed(err::kInsufficientBuffer);
      return VersionRecord();
    }
    case dc::kGetStatus: {
      if (outputCapacity < dc::kStatusRecordSize) return DriverResult::Failed(err::kInsufficientBuffer);
      DriverResult answer = Vendor(In(dc::kVendorStatus, 0, 0, de::kStatusAnswerSize), {});
      if (!answer.success) return answer;
      return DriverResult::Ok(Widened(std::move(answer.bytes), dc::kStatusRecordSize));
    }
    case dc::kGetMVersion: {
      if (outputCapacity < dc::kMVersionRecordSize) return DriverResult::Failed(err::kInsufficientBuffer);
      DriverResult answer = Vendor(In(dc::kVendorVersion, 0, 0, de::kMVersionAnswerSize), {});
      if (!answer.success) return answer;
      return DriverResult::Ok(Widened(std::move(answer.bytes), dc::kMVersionRecordSize));
    }
    case dc::kGetMStatus: {
      // Asked with 24 or with 28 bytes; the record is as long as the room.
      if (outputCapacity < dc::kMStatusShortSize) return DriverResult::Failed(err::kInsufficientBuffer);
      DriverResult answer = Vendor(In(dc::kVendorStatus, 0, 0, de::kMStatusAnswerSize), {});
      if (!answer.success) return answer;
      return DriverResult::Ok(
          Widened(std::move(answer.bytes), std::min(outputCapacity, dc::kMStatusRecordSize)));
    }
    case dc::kReadSerialNumber:
    case dc::kReadMSerialNumber: {
      if (outputCapacity < dc::kSerialNumberSize) return DriverResult::Failed(err::kInsufficientBuffer);
      DriverResult answer = Vendor(In(dc::kVendorReadBlock, de::kAreaController, Selector(de::kSerialNumberBlock),
                                      dc::kBlockAnswerHeader + dc::kSerialNumberSize),
                                   {});
      if (!answer.success) return answer;
      answer.bytes.erase(answer.bytes.begin(), answer.bytes.begin() + dc::kBlockAnswerHeader);
      return answer;
    }
    case dc::kWriteSerialNumber:
      if (input.size() != dc::kSerialNumberSize) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorWriteBlock, de::kAreaController, Selector(de::kSerialNumberBlock),
                        dc::kSerialNumberSize),
                    input);
    case dc::kReadControllerNovram:
    case dc::kReadCableNovram:
    case dc::kReadStrays: {
      std::uint16_t block = de::kStraysBlock;
      std::size_t length = dc::kStraysReadSize;
      if (code != dc::kReadStrays || !input.empty()) {
        if (!needs(kBlockInput)) return DriverResult::Failed(err::kInvalidParameter);
        block = LittleWord(input, 0);
        length = LittleWord(input, 4);
      }
      const std::size_t limit = code == dc::kReadStrays ? dc::kStraysReadSize : dc::kNovramReadSize;
      if (length == 0 || block > 0xFF || length > limit)
        return DriverResult::Failed(err::kInvalidParameter);
      if (outputCapacity < length) return DriverResult::Failed(err::kInsufficientBuffer);
      const std::uint16_t area = code == dc::kReadControllerNovram ? de::kAreaController
                                 : code == dc::kReadCableNovram    ? de::kAreaCable
                                                                   : de::kAreaStrays;
      DriverResult answer =
          Vendor(In(dc::kVendorReadBlock, area, Selector(block), length + dc::kBlockAnswerHeader), {});
      if (!answer.success) return answer;
      answer.bytes.erase(answer.bytes.begin(), answer.bytes.begin() + dc::kBlockAnswerHeader);
      return answer;
    }
    case dc::kWriteControllerNovram:
    case dc::kWriteCableNovram: {
      if (!needs(kBlockInput) || input.size() > dc::kNovramWriteSize) return DriverResult::Failed(err::kInvalidParameter);
      const std::uint16_t block = LittleWord(input, 0);
      const std::size_t length = LittleWord(input, 4);
      if (block > 0xFF || length == 0 || input.size() < kBlockInput + length)
        return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorWriteBlock, code == dc::kWriteCableNovram ? de::kAreaCable : de::kAreaController,
                        Selector(block), length),
                    input.subspan(kBlockInput, length));
    }
    case dc::kWriteStrays:
      if (input.size() != dc::kStraysWriteSize) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorWriteBlock, de::kAreaStrays, Selector(de::kStraysBlock),
                        dc::kStraysWriteSize - kStraysHeader),
                    input.subspan(kStraysHeader));
    case dc::kEepromRead:
    case dc::kEepromWrite: {
      if (!needs(dc::kMemoryHeaderSize)) return DriverResult::Failed(err::kInvalidParameter);
      const std::uint8_t memory = input[0];
      const std::uint16_t address = LittleWord(input, 2);
      const std::size_t count = LittleWord(input, 4);
      if (count == 0 || count > dc::kMaxMemoryCount) return DriverResult::Failed(err::kInvalidParameter);
      if (code == dc::kEepromRead) {
        if (outputCapacity < count) return DriverResult::Failed(err::kInsufficientBuffer);
        DriverResult answer =
            Vendor(In(dc::kVendorReadBlock, address, Selector(memory), count + dc::kBlockAnswerHeader), {});
        if (!answer.success) return answer;
        answer.bytes.erase(answer.bytes.begin(), answer.bytes.begin() + dc::kBlockAnswerHeader);
        return answer;
      }
      if (input.size() != dc::kMemoryHeaderSize + count) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorWriteBlock, address, Selector(memory), count),
                    input.subspan(dc::kMemoryHeaderSize));
    }
    case dc::kStartCalibrate:
      if (!needs(2)) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorCalibrate, LittleWord(input, 0), 0, 0), {});
    case dc::kSoftReset:
      return Vendor(Out(dc::kVendorReset, de::kResetSoft, 0, 0), {});
    case dc::kHardReset:
      return Vendor(Out(dc::kVendorReset, de::kResetHard, 0, 0), {});
    case dc::kRomReboot:
      return Vendor(Out(dc::kVendorReset, de::kRebootRom, 0, 0), {});
    case dc::kRamReboot:
      return Vendor(Out(dc::kVendorReset, de::kRebootRam, 0, 0), {});
    case dc::kEepromReboot:
      return Vendor(Out(dc::kVendorReset, de::kRebootEeprom, 0, 0), {});
    case dc::kRestoreDefaults:
      return Vendor(Out(dc::kVendorRestore, 0, 0, 0), {});
    case dc::kRestoreMDefaults:
      if (!needs(dc::kRestoreBlockSize)) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorRestore, LittleWord(input, 2), LittleWord(input, 0), 0), {});
    case dc::kAsyncSetReportActive:
      if (!needs(dc::kReportActiveSize)) return DriverResult::Failed(err::kInvalidParameter);
      return Vendor(Out(dc::kVendorSetActive, LittleWord(input, 0), LittleWord(input, 2), 0), {});
    case dc::kGeneric: {
      const std::optional<UsbSetupRecord> setup = UsbSetupRecord::From(input);
      if (!setup) return DriverResult::Failed(err::kInvalidParameter);
      const std::span<const std::uint8_t> data = input.subspan(dc::kSetupSize);
      // An IN answer longer than the room is cut to it, as the system does with a short buffer.
      DriverResult answer = Vendor(*setup, data);
      if (answer.success && answer.bytes.size() > outputCapacity) answer.bytes.resize(outputCapacity);
      return answer;
    }
    default:
      return DriverResult::Failed(err::kInvalidFunction);
  }
}

}  // namespace kx7::emu
