#include "birch_usb_controller.h"

#include "controller.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "driver_byte_order.h"
#include "driver_emulation_constants.h"
#include "factory_blocks.h"
#include "family_profile.h"
#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"
#include "proto/proto_constants.h"

namespace kx7::emu {
namespace {

namespace de = driver_emulation;
namespace dc = kx7::driver;

// The program reads block 6 as memory 6 through EEPROM_READ.
constexpr int kBlockSixMemory = 6;
constexpr int kParameterCellsMemory = 7;
constexpr int kFirmwareMemory = 9;

// A stalled request: the controller does not have it or refuses its values.
VendorResult Stall() { return VendorResult::Failed(kx7::driver_error::kGeneralFailure); }

const FamilyProfile& BirchProfile() {
  static const FamilyProfile fallback = [] {
    FamilyProfile p;
    p.blockLengths = {0, 30, 50, 32, 60, 4, 12, 0, 0, 1, 1};
    return p;
  }();
  const FamilyProfile* birch = FindFamilyProfile("birch");
  return birch != nullptr ? *birch : fallback;
}

char Letter(const std::string& letters, std::size_t at) { return at < letters.size() ? letters[at] : ' '; }

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// The factory content of a block: the Birch parameters (factory_blocks.h), the serial number in
// block 5, and stray values in block 3.
std::vector<std::uint8_t> FactoryBlock(int number, std::size_t length, const BirchUsbOptions& options) {
  std::vector<std::uint8_t> bytes(length, 0);
  if (number == de::kSerialNumberBlock) {
    PutLittleLong(bytes, 0, options.serialNumber);
    return bytes;
  }
  if (number != 3) return SerialFactoryBlock(FamilyKind::kBirch, number, length);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>((0x20 + 5 * i + 11 * static_cast<std::size_t>(number)) & 0xFF);
  return bytes;
}

}  // namespace

bool UsbSetupRecord::IsIn() const { return (requestType & dc::kRequestTypeInBit) != 0; }

std::optional<UsbSetupRecord> UsbSetupRecord::From(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < dc::kSetupSize) return std::nullopt;
  return UsbSetupRecord{bytes[0], bytes[1], LittleWord(bytes, 2), LittleWord(bytes, 4), LittleWord(bytes, 6)};
}

std::vector<std::uint8_t> UsbSetupRecord::Bytes() const {
  std::vector<std::uint8_t> bytes(dc::kSetupSize, 0);
  bytes[0] = requestType;
  bytes[1] = request;
  PutLittleWord(bytes, 2, value);
  PutLittleWord(bytes, 4, index);
  PutLittleWord(bytes, 6, length);
  return bytes;
}

VendorResult VendorResult::Ok(std::vector<std::uint8_t> answer) { return {true, std::move(answer), 0}; }
VendorResult VendorResult::Failed(std::uint32_t error) { return {false, {}, error}; }

BirchUsbController::BirchUsbController(BirchUsbOptions options, std::function<std::uint64_t()> clockMs)
    : options_(std::move(options)),
      clockMs_(clockMs ? std::move(clockMs) : std::function<std::uint64_t()>(SteadyMs)),
      memories_(BirchProfile().memories, blocks_),
      faults_(options_.faults) {
  const FamilyProfile& profile = BirchProfile();
  for (int number = 1; number < static_cast<int>(profile.blockLengths.size()); ++number) {
    const int length = profile.blockLengths[static_cast<std::size_t>(number)];
    if (length <= 0) continue;
    std::vector<std::uint8_t> factory = FactoryBlock(number, static_cast<std::size_t>(length), options_);
    factoryBlocks_[number] = factory;
    blocks_.DefineBlock(number, std::move(factory));
  }
  // Memory 7, the parameter cells, at the linear offsets of the driver route.
  for (const auto& [offset, value] : Birch2LinearCells()) memories_.Write(kParameterCellsMemory, offset, {value});
  secondProcessor_ = CreateDevice(options_.secondProcessorFamily, "", false);
  if (options_.otherTarget) otherTarget_ = options_.otherTarget();
}

void BirchUsbController::SaveState(ControllerState& state) const {
  std::lock_guard lock(mutex_);
  SaveStores(blocks_, &memories_, state.sections[kControllerSection]);
  if (const auto* second = dynamic_cast<const EmulatedController*>(secondProcessor_.get()))
    second->SaveSection(state.sections[kSecondSection]);
}

void BirchUsbController::LoadState(const ControllerState& state) {
  std::lock_guard lock(mutex_);
  if (const auto section = state.sections.find(kControllerSection); section != state.sections.end())
    LoadStores(section->second, blocks_, &memories_);
  if (const auto section = state.sections.find(kSecondSection); section != state.sections.end())
    if (auto* second = dynamic_cast<EmulatedController*>(secondProcessor_.get())) second->LoadSection(section->second);
}

char BirchUsbController::StatusLetter(int block) const {
  std::lock_guard lock(mutex_);
  return blocks_.HasBlock(block) ? options_.statusLetter : ' ';
}

void BirchUsbController::QueueStreamBytes(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  QueueBytesLocked(bytes);
}

bool BirchUsbController::QueueReport(std::span<const std::uint8_t> report) {
  if (report.empty() || report.size() > dc::kStreamDataMax) return false;
  std::lock_guard lock(mutex_);
  stream_.push_back({dc::kStreamReport, std::vector<std::uint8_t>(report.begin(), report.end())});
  return true;
}

void BirchUsbController::QueueBytesLocked(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  if (stream_.empty() || stream_.back().kind != dc::kStreamBytes) stream_.push_back({dc::kStreamBytes, {}});
  stream_.back().bytes.insert(stream_.back().bytes.end(), bytes.begin(), bytes.end());
}

void BirchUsbController::SetRestartCallback(std::function<void(BirchUsbRestart)> callback) {
  std::lock_guard lock(mutex_);
  onRestart_ = std::move(callback);
}

std::vector<BirchUsbRestart> BirchUsbController::Restarts() const {
  std::lock_guard lock(mutex_);
  return restarts_;
}

bool BirchUsbController::FixedCode() const {
  std::lock_guard lock(mutex_);
  return fixedCode_;
}

std::string BirchUsbController::TypeLetters() const {
  std::lock_guard lock(mutex_);
  return Letters();
}

const std::string& BirchUsbController::Letters() const {
  return fixedCode_ ? options_.fixedCodeLetters : options_.typeLetters;
}

std::optional<int> BirchUsbController::MemoryOf(int selector) {
  const auto& codes = kx7::memory::kDriverCodes;
  for (std::size_t memory = 0; memory < codes.size(); ++memory)
    if (codes[memory] == selector) return static_cast<int>(memory);
  // Block 6 through EEPROM_READ: its plain number, which no code uses.
  if (selector == kBlockSixMemory) return kBlockSixMemory;
  return std::nullopt;
}

BirchUsbController::State BirchUsbController::Snapshot() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::optional<std::vector<std::uint8_t>> BirchUsbController::Block(int number) const {
  std::lock_guard lock(mutex_);
  const std::vector<std::uint8_t>* block = blocks_.Block(number);
  if (block == nullptr) return std::nullopt;
  return *block;
}

// Whatever the second processor said since the last request goes to the stream, in order.
void BirchUsbController::CollectTargetOutput() {
  const std::uint64_t now = clockMs_();
  for (EmulatedDevice* device : {secondProcessor_.get(), otherTarget_.get()}) {
    if (device == nullptr) continue;
    device->Advance(now);
    const std::vector<std::uint8_t> bytes = device->TakeOutput();
    QueueBytesLocked(bytes);
  }
}

VendorResult BirchUsbController::Control(const UsbSetupRecord& setup, std::span<const std::uint8_t> data) {
  std::function<void(BirchUsbRestart)> notify;
  BirchUsbRestart restart{};
  VendorResult result;
  {
    std::lock_guard lock(mutex_);
    if (gone_) return Stall();
    CollectTargetOutput();
    if (setup.requestType == dc::kRequestTypeIn) {
      if (!data.empty()) return VendorResult::Failed(kx7::driver_error::kInvalidParameter);
      result = In(setup);
    } else if (setup.requestType == dc::kRequestTypeOut) {
      if (data.size() != setup.length) return VendorResult::Failed(kx7::driver_error::kInvalidParameter);
      result = Out(setup, data);
      if (result.success && setup.request == dc::kVendorReset) {
        restart = static_cast<BirchUsbRestart>(setup.value - de::kResetSoft);
        restarts_.push_back(restart);
        notify = onRestart_;
      }
    } else {
      return VendorResult::Failed(kx7::driver_error::kInvalidFunction);
    }
  }
  // Outside the lock: the driver may well ask the controller something while it handles it.
  if (notify) notify(restart);
  return result;
}

VendorResult BirchUsbController::In(const UsbSetupRecord& setup) {
  switch (setup.request) {
    case dc::kVendorVersion:
      if (setup.length == de::kVersionAnswerSize) return VendorResult::Ok(VersionAnswer());
      if (setup.length == de::kMVersionAnswerSize && options_.extendedRecords) return VendorResult::Ok(MVersionAnswer());
      return Stall();
    case dc::kVendorStatus:
      if (setup.length == de::kStatusAnswerSize) return VendorResult::Ok(StatusAnswer(de::kStatusAnswerSize));
      if (setup.length == de::kMStatusAnswerSize && options_.extendedRecords)
        return VendorResult::Ok(StatusAnswer(de::kMStatusAnswerSize));
      return Stall();
    case dc::kVendorReadBlock:
      return ReadSelected(setup);
    case dc::kVendorQuery: {
      std::vector<std::uint8_t> answer;
      if (setup.value == de::kQueryText1 || setup.value == de::kQueryText2) {
        const std::string& text = setup.value == de::kQueryText1 ? options_.text1 : options_.text2;
        answer.assign(dc::kGenericTextSize, 0);
        std::copy_n(text.begin(), std::min(text.size(), dc::kGenericTextSize - 1), answer.begin());
      } else if (setup.value == de::kQueryCalibration) {
        for (const std::uint16_t word : options_.calibration) {
          answer.push_back(static_cast<std::uint8_t>(word >> 8));
          answer.push_back(static_cast<std::uint8_t>(word & 0xFF));
        }
      } else {
        return Stall();
      }
      // The program asks these with length 0 and room for the whole answer.
      if (setup.length != 0 && answer.size() > setup.length) answer.resize(setup.length);
      return VendorResult::Ok(std::move(answer));
    }
    case dc::kVendorPassThrough:
      if (setup.value == dc::kPassThroughData && setup.index == 0) return Stream(setup.length);
      if (setup.value == dc::kHapticQuery && setup.index == 0) {
        std::vector<std::uint8_t> answer(de::kHapticMarkerSize, 0);
        // Only a haptic controller has an "H" anywhere in its marker.
        const std::string marker = options_.haptic ? "B2 HAP" : "B2 CAP";
        std::copy(marker.begin(), marker.end(), answer.begin());
        answer.resize(std::min<std::size_t>(answer.size(), setup.length));
        return VendorResult::Ok(std::move(answer));
      }
      return Stall();
    default:
      return Stall();
  }
}

VendorResult BirchUsbController::Out(const UsbSetupRecord& setup, std::span<const std::uint8_t> data) {
  switch (setup.request) {
    case dc::kVendorSetActive:
      state_.activeReport = std::make_pair(setup.value, setup.index);
      return VendorResult::Ok();
    case dc::kVendorWriteBlock:
      return WriteSelected(setup, data);
    case dc::kVendorCalibrate:
      state_.calibrationKind = setup.value;
      return VendorResult::Ok();
    case dc::kVendorPenFinger:
      if (setup.value > 1) return Stall();
      if (setup.index == de::kPenSelector) {
        state_.pen = setup.value != 0;
      } else if (setup.index == de::kFingerSelector) {
        state_.finger = setup.value != 0;
      } else {
        return Stall();
      }
      return VendorResult::Ok();
    case dc::kVendorReset:
      if (setup.value < de::kResetSoft || setup.value > de::kRebootEeprom) return Stall();
      // Every restart ends a pass-through and drops what was not yet fetched.
      target_ = nullptr;
      state_.passThroughTarget = 0;
      stream_.clear();
      if (setup.value == de::kRebootRom) fixedCode_ = true;
      if (setup.value == de::kRebootRam || setup.value == de::kRebootEeprom) fixedCode_ = false;
      return VendorResult::Ok();
    case dc::kVendorRestore: {
      if (setup.value == 0) {
        blocks_.RestoreBlocks();
      } else {
        const int block = setup.value;
        const auto factory = factoryBlocks_.find(block);
        if (factory == factoryBlocks_.end()) return Stall();
        blocks_.SetBlock(block, factory->second);
      }
      ++state_.restoredDefaults;
      return VendorResult::Ok();
    }
    case dc::kVendorReportMode:
      if (setup.value < de::kReportModeFirst || setup.value > de::kReportModeLast) return Stall();
      state_.reportMode = setup.value;
      return VendorResult::Ok();
    case dc::kVendorPassThrough:
      return PassThrough(setup, data);
    default:
      // The firmware download (request 12) is not part of this controller.
      return Stall();
  }
}

VendorResult BirchUsbController::PassThrough(const UsbSetupRecord& setup, std::span<const std::uint8_t> data) {
  switch (setup.value) {
    case dc::kPassThroughEnterD:
      if (!secondProcessor_) return Stall();
      target_ = secondProcessor_.get();
      state_.passThroughTarget = setup.value;
      return VendorResult::Ok();
    case dc::kPassThroughEnterL:
      if (!otherTarget_) return Stall();
      target_ = otherTarget_.get();
      state_.passThroughTarget = setup.value;
      return VendorResult::Ok();
    case dc::kPassThroughLeave:
      target_ = nullptr;
      state_.passThroughTarget = 0;
      return VendorResult::Ok();
    case dc::kPassThroughData:
      if (target_ == nullptr || data.size() > dc::kPassThroughPiece) return Stall();
      target_->Receive(data.data(), data.size(), clockMs_());
      // An answer ready at once is there for the next stream poll.
      CollectTargetOutput();
      return VendorResult::Ok();
    default:
      return Stall();
  }
}

VendorResult BirchUsbController::Stream(std::size_t room) {
  if (room < dc::kStreamHeaderSize) return Stall();
  const std::size_t most = std::min(room, dc::kStreamAnswerSize) - dc::kStreamHeaderSize;
  std::vector<std::uint8_t> answer{dc::kStreamNothing, 0};
  if (stream_.empty()) return VendorResult::Ok(std::move(answer));
  StreamItem& item = stream_.front();
  if (item.kind == dc::kStreamReport) {
    // A report goes whole or waits for a poll with room for it.
    if (item.bytes.size() > most) return VendorResult::Ok(std::move(answer));
    answer[0] = item.kind;
    answer[1] = static_cast<std::uint8_t>(item.bytes.size());
    answer.insert(answer.end(), item.bytes.begin(), item.bytes.end());
    stream_.pop_front();
    return VendorResult::Ok(std::move(answer));
  }
  const std::size_t count = std::min(most, item.bytes.size());
  answer[0] = item.kind;
  answer[1] = static_cast<std::uint8_t>(count);
  answer.insert(answer.end(), item.bytes.begin(), item.bytes.begin() + static_cast<std::ptrdiff_t>(count));
  item.bytes.erase(item.bytes.begin(), item.bytes.begin() + static_cast<std::ptrdiff_t>(count));
  if (item.bytes.empty()) stream_.pop_front();
  return VendorResult::Ok(std::move(answer));
}

bool BirchUsbController::IsBlockRequest(std::uint16_t value, int selector) const {
  if (!blocks_.HasBlock(selector)) return false;
  if (selector == de::kStraysBlock) return value == de::kAreaStrays;
  if (selector == de::kCableBlock) return value == de::kAreaCable;
  return value == de::kAreaController;
}

VendorResult BirchUsbController::ReadSelected(const UsbSetupRecord& setup) {
  if ((setup.index & 0xFF) != 0 || setup.length <= dc::kBlockAnswerHeader) return Stall();
  const int selector = setup.index >> de::kSelectorShift;
  const std::size_t count = setup.length - dc::kBlockAnswerHeader;
  std::vector<std::uint8_t> answer(dc::kBlockAnswerHeader, 0);
  answer[de::kAnswerHeaderSelector] = static_cast<std::uint8_t>(selector);
  answer[de::kAnswerHeaderCount] = static_cast<std::uint8_t>(count);
  if (IsBlockRequest(setup.value, selector)) {
    const std::vector<std::uint8_t>* block = blocks_.Block(selector);
    if (count > block->size()) return Stall();
    answer[de::kAnswerHeaderStatus] = static_cast<std::uint8_t>(options_.statusLetter);
    answer.insert(answer.end(), block->begin(), block->begin() + static_cast<std::ptrdiff_t>(count));
    return VendorResult::Ok(std::move(answer));
  }
  const std::optional<int> memory = MemoryOf(selector);
  if (count > dc::kMaxMemoryCount || !memory || !memories_.Exists(*memory)) return Stall();
  const bool words = memories_.Words(*memory);
  const std::uint32_t cells = words ? static_cast<std::uint32_t>((count + 1) / 2) : static_cast<std::uint32_t>(count);
  std::vector<std::uint16_t> values;
  if (!memories_.Read(*memory, setup.value, cells, values)) return Stall();
  for (const std::uint16_t value : values) {
    if (words) answer.push_back(static_cast<std::uint8_t>(value >> 8));
    answer.push_back(static_cast<std::uint8_t>(value & 0xFF));
  }
  answer.resize(dc::kBlockAnswerHeader + count);
  return VendorResult::Ok(std::move(answer));
}

VendorResult BirchUsbController::WriteSelected(const UsbSetupRecord& setup, std::span<const std::uint8_t> data) {
  if ((setup.index & 0xFF) != 0 || data.empty()) return Stall();
  const int selector = setup.index >> de::kSelectorShift;
  if (IsBlockRequest(setup.value, selector)) {
    std::vector<std::uint8_t> block = *blocks_.Block(selector);
    if (data.size() > block.size()) return Stall();
    // A shorter write changes the front of the block, as the program's writes of part of Block1 do.
    std::copy(data.begin(), data.end(), block.begin());
    blocks_.SetBlock(selector, block);
    return VendorResult::Ok();
  }
  const std::optional<int> memory = MemoryOf(selector);
  if (data.size() > dc::kMaxMemoryCount || !memory || !memories_.Exists(*memory)) return Stall();
  if (*memory == kFirmwareMemory) {
    if (const auto fault = faults_.Step("EEPROM_WRITE")) {
      if (*fault == LoaderFaultKind::kDropOff) gone_ = true;
      return Stall();
    }
  }
  std::vector<std::uint16_t> values;
  if (memories_.Words(*memory)) {
    if (data.size() % 2 != 0) return Stall();
    for (std::size_t i = 0; i < data.size(); i += 2)
      values.push_back(static_cast<std::uint16_t>((data[i] << 8) | data[i + 1]));
  } else {
    values.assign(data.begin(), data.end());
  }
  if (!memories_.Write(*memory, setup.value, values)) return Stall();
  return VendorResult::Ok();
}

std::vector<std::uint8_t> BirchUsbController::VersionAnswer() const {
  std::vector<std::uint8_t> answer(de::kVersionAnswerSize, 0);
  PutLittleWord(answer, de::kVersionNumbers, options_.interfaceVersion[0]);
  PutLittleWord(answer, de::kVersionNumbers + 2, options_.interfaceVersion[1]);
  PutLittleWord(answer, de::kVersionNumbers + 4, options_.driverVersion[0]);
  PutLittleWord(answer, de::kVersionNumbers + 6, options_.driverVersion[1]);
  // The second letter first: the record keeps the two letters as one little-endian word.
  answer[de::kVersionLetters] = static_cast<std::uint8_t>(Letter(Letters(), 1));
  answer[de::kVersionLetters + 1] = static_cast<std::uint8_t>(Letter(Letters(), 0));
  answer[de::kVersionResistiveFlag] = 0;
  PutLittleWord(answer, de::kVersionMaxWrite, dc::kBirchUsbMaxParamWrite);
  for (int block = 1; block <= de::kVersionStatusBlocks; ++block)
    answer[de::kVersionStatusLetters + static_cast<std::size_t>(block - 1)] =
        static_cast<std::uint8_t>(blocks_.HasBlock(block) ? options_.statusLetter : ' ');
  return answer;
}

std::vector<std::uint8_t> BirchUsbController::MVersionAnswer() const {
  std::vector<std::uint8_t> answer(de::kMVersionAnswerSize, 0);
  answer[dc::kMVersionLetters] = static_cast<std::uint8_t>(Letter(Letters(), 0));
  answer[dc::kMVersionLetters + 1] = static_cast<std::uint8_t>(Letter(Letters(), 1));
  answer[dc::kMVersionFirmware] = options_.firmwareVersion[0];
  answer[dc::kMVersionFirmware + 1] = options_.firmwareVersion[1];
  answer[dc::kMVersionFlags] = options_.versionFlags;
  PutLittleWord(answer, dc::kMVersionRevision, options_.siliconRevision);
  PutLittleLong(answer, dc::kMVersionCde, options_.cdePart);
  PutLittleWord(answer, dc::kMVersionCst, options_.cstPart);
  return answer;
}

std::vector<std::uint8_t> BirchUsbController::StatusAnswer(std::size_t size) const {
  std::vector<std::uint8_t> answer(size, 0);
  PutLittleWord(answer, dc::kStatusValue, options_.errorBits);
  answer[dc::kMStatusMode] = options_.reportMode;
  answer[dc::kStatusFlags] = 0;  // no wake-on-touch
  return answer;
}

}  // namespace kx7::emu
