#include "hid_generic_controller.h"

#include "controller.h"

#include <algorithm>
#include <cmath>

#include "hid_report_bytes.h"
#include "link/hid/hid_constants.h"

namespace kx7::emu {

namespace {

namespace code = hid::code;

// ASYNC_ENABLE modes with a meaning of their own here.
constexpr std::uint8_t kModeRaw = 4;
constexpr std::uint8_t kModeCompensated = 12;
constexpr std::uint8_t kModePassThroughDsp = 8;
constexpr std::uint8_t kModePassThroughLoader = 9;
constexpr std::uint8_t kModeLeavePassThrough = 10;
constexpr std::uint8_t kLastMode = 15;
// Maple's two modes travel in bytes 2 and 3.
constexpr std::uint8_t kMapleMode6 = 6;
constexpr std::uint8_t kMapleMode7 = 7;
constexpr std::uint8_t kMapleModeMarker = 1;

constexpr std::uint8_t kStateBusy = 1;
constexpr std::uint8_t kContactModeMulti = 2;
constexpr std::uint8_t kContactModeSingle = 1;
constexpr std::uint8_t kPenFingerLast = 2;
constexpr std::uint8_t kRebootEepValue = 2;

constexpr std::uint8_t kTabletReport = 7;
constexpr std::uint8_t kResistive13BitReport = 8;
constexpr std::uint8_t kMultiContactReport = 16;
constexpr std::uint8_t kPassThroughCountAt = 7;
constexpr std::size_t kIdLetterAt = 10;  // Block1's status letter; the others follow below
// The Larch boot loader's pages: 8 x 256 bytes.
constexpr std::uint8_t kLarchPageSizeCode = 8;
// The boot loader names itself with this second type letter.
constexpr char kBootLoaderLetter = '0';
constexpr int kFlashMemory = 9;

bool IsBigBlock(int block) { return block == 8 || (block >= 81 && block <= 83); }

}  // namespace

GenericHidController::GenericHidController(const HidFamily& family, HidControllerOptions options)
    : EmulatedHidController(family, std::move(options)) {
  multiContact_ = family_.multiContactMode;
  pointerMode_ = code::kHidMode;
  writeStatus_ = options_.writeStatus.empty() ? std::vector<std::uint8_t>{kStateBusy, kStateBusy, hid::kStateDone}
                                              : options_.writeStatus;
  if (!family_.secondProcessor.empty()) second_ = CreateDevice(family_.secondProcessor, "", false);
  if (IsLarch()) larchLoader_ = std::make_unique<HidLarchLoader>(options_.pageSizeCode.value_or(kLarchPageSizeCode), Faults());
}

bool GenericHidController::InBootLoader() const {
  std::lock_guard<std::mutex> guard(Mutex());
  return larchLoader_ && larchLoader_->Running();
}

std::vector<std::uint8_t> GenericHidController::Flash() const {
  std::lock_guard<std::mutex> guard(Mutex());
  return larchLoader_ ? larchLoader_->Flash() : std::vector<std::uint8_t>{};
}

bool GenericHidController::UefiCommitted() const {
  std::lock_guard<std::mutex> guard(Mutex());
  return larchLoader_ && larchLoader_->UefiCommitted();
}

bool GenericHidController::IsRowan() const {
  return family_.kind == HidFamilyKind::kRowanGen2 || family_.kind == HidFamilyKind::kRowanGen3 ||
         family_.kind == HidFamilyKind::kRowanGen4;
}
bool GenericHidController::IsResistive() const {
  return family_.kind == HidFamilyKind::kResistive4Wire || family_.kind == HidFamilyKind::kResistive5Wire;
}
bool GenericHidController::IsLarch() const {
  return family_.kind == HidFamilyKind::kLarch || family_.kind == HidFamilyKind::kLarch0500;
}
bool GenericHidController::IsMaple() const { return family_.kind == HidFamilyKind::kMaple; }

std::uint8_t GenericHidController::AsyncMode() const { return Locked(asyncMode_); }
bool GenericHidController::InPassThrough() const { return Locked(passThrough_) != 0; }
char GenericHidController::PassThroughTarget() const { return Locked(passThrough_); }
bool GenericHidController::MultiContactMode() const { return Locked(multiContact_); }
std::uint8_t GenericHidController::PointerMode() const { return Locked(pointerMode_); }
std::uint8_t GenericHidController::PenFinger() const { return Locked(penFinger_); }
std::vector<std::uint8_t> GenericHidController::Calibrations() const { return Locked(calibrations_); }

bool GenericHidController::IsPoll(std::uint8_t reportId) const {
  if (reportId == hid::kPassThroughReport) return true;
  if (reportId == kTabletReport) return true;
  if (IsRowan()) return reportId == kMultiContactReport;
  if (IsResistive()) return reportId == kResistive13BitReport;
  if (family_.kind == HidFamilyKind::kLarch) return reportId == LarchTouchReport(family_.sensorKind);
  return false;
}

// ---- commands -------------------------------------------------------------------------------

bool GenericHidController::HandleSet(const kx7::HidReport& report) {
  if (larchLoader_ && larchLoader_->Gone()) {
    DropOffLocked();
    return false;
  }
  switch (report[0]) {
    case hid::kCommandReport:
      return report.size() >= hid::kCommandLength && Command(report);
    case hid::kSetParamReport:
      if (report.size() >= hid::kParamLength && larchLoader_ && report[1] == HidLarchLoader::kCodePiece)
        return larchLoader_->Piece(report);
      return report.size() >= hid::kDataOffset && report[1] == code::kSetParam && SetParam(report);
    case hid::kPassThroughReport:
      return report.size() >= hid::kDataOffset && report[1] == code::kPassThroughBytes && PassThroughBytes(report);
    case hid::kBigBlockReport:
      return report.size() >= hid::kBigBlockLength && report[1] == code::kSetBigBlock && SetBigBlock(report);
    case hid::kModeSwitchReport:
      if (report.size() < 2 || (report[1] != code::kTabletMode && report[1] != code::kHidMode)) return false;
      pointerMode_ = report[1];
      RecordRestart(HidRestartKind::kModeSwitch);  // the device leaves the bus in its other mode
      return true;
    default:
      return false;
  }
}

bool GenericHidController::Command(const kx7::HidReport& report) {
  switch (report[1]) {
    case code::kSetParamIndex:
      return SetParamIndex(report);
    case code::kSetHidMode:
      multiContact_ = report[2] == kContactModeMulti;
      return true;
    case code::kCalibrate:
      if (!CalibrateCommand(report[2])) return false;
      calibrations_.push_back(report[2]);
      return true;
    case code::kAsyncEnable:
      return AsyncEnable(report);
    case code::kReset:
      return Restart(report[2]);
    case code::kRestoreDefaults:
      Parameters().RestoreBlocks();
      // Maple and Larch restart to take the defaults; the others carry on.
      if (family_.writeStatusPolled) RecordRestart(HidRestartKind::kRestoreDefaults);
      return true;
    case code::kPassThroughByte:
      if (passThrough_ == 0) return false;
      ToSecondProcessor(&report[2], 1);
      return true;
    case code::kRebootEep:
      if (report[2] != kRebootEepValue) return false;
      LeavePassThrough();
      asyncMode_ = kPowerOnAsyncMode;
      RecordRestart(HidRestartKind::kRebootEep);
      return true;
    case code::kWatchdogOff:
      watchdogOff_ = true;
      return true;
    case code::kSetDiagPins:
      diagPins_ = report[2];
      return true;
    case code::kPenFinger:
      if (report[2] > kPenFingerLast) return false;
      penFinger_ = report[2];
      return true;
    case HidLarchLoader::kCodeCommitPage:
      return larchLoader_ && larchLoader_->CommitPage(report);
    case HidLarchLoader::kCodeCommitUefi:
      return larchLoader_ && larchLoader_->CommitUefi(report);
    default:
      return false;
  }
}

bool GenericHidController::SetParamIndex(const kx7::HidReport& report) {
  const int block = report[4];
  const std::size_t index = report[5];
  const std::size_t length = ReportWord(report, 6);
  const std::vector<std::uint8_t>* bytes = Parameters().Block(block);
  if (bytes == nullptr || length == 0) return false;
  if (IsBigBlock(block)) {
    // A big block moves whole, through GET_BIGBLOCK.
    if (length != hid::kBigBlockData || index != 0 || bytes->size() != hid::kBigBlockData) return false;
    selection_ = Selection{block, 0, length};
    return true;
  }
  // Longer blocks than one answer holds are read in pieces: the index counts them.
  const std::size_t offset = index * hid::kParamDataMax;
  if (length > hid::kParamDataMax || offset >= bytes->size() || length > bytes->size() - offset) return false;
  selection_ = Selection{block, offset, length};
  return true;
}

bool GenericHidController::AsyncEnable(const kx7::HidReport& report) {
  std::uint8_t mode = 0;
  if (IsMaple()) {
    if (report[3] != kMapleModeMarker || report[2] > 1) return false;
    mode = report[2] == 0 ? kMapleMode6 : kMapleMode7;
  } else {
    mode = report[4];
  }
  if (mode > kLastMode) return false;
  if (mode == kModePassThroughDsp || mode == kModePassThroughLoader) {
    if (!second_) return false;  // nothing behind this controller to pass bytes to
    LeavePassThrough();
    passThrough_ = mode == kModePassThroughDsp ? 'D' : 'L';
    // Its loader takes the reports' bytes as they are: no DLE goes between over USB.
    if (auto* second = dynamic_cast<EmulatedController*>(second_.get()); second && passThrough_ == 'L')
      second->EnterLoader(Now());
    CollectSecondProcessor();
    return true;
  }
  if (mode == kModeLeavePassThrough) {
    LeavePassThrough();
    return true;
  }
  asyncMode_ = mode;
  return true;
}

void GenericHidController::LeavePassThrough() {
  if (auto* second = dynamic_cast<EmulatedController*>(second_.get()); second && passThrough_ == 'L')
    second->LeaveLoader();
  passThrough_ = 0;
  secondOutput_.clear();
}

bool GenericHidController::Restart(std::uint8_t kind) {
  const std::optional<HidRestartKind> restart = HidResetKind(kind);
  if (!restart) return false;
  // A Larch's fixed code is its boot loader; the EEPROM reboot starts the firmware again.
  if (larchLoader_ && *restart == HidRestartKind::kRebootRom) larchLoader_->Start();
  if (larchLoader_ && *restart == HidRestartKind::kRebootEep) larchLoader_->Stop();
  LeavePassThrough();
  asyncMode_ = kPowerOnAsyncMode;
  selection_.reset();
  writing_ = false;
  StopCalibration();
  RecordRestart(*restart);
  return true;
}

bool GenericHidController::SetParam(const kx7::HidReport& report) {
  const int block = report[4];
  const std::size_t length = ReportWord(report, 6);
  const std::vector<std::uint8_t>* current = Parameters().Block(block);
  if (current == nullptr || IsBigBlock(block)) return false;
  if (length != current->size() || length > hid::kParamDataMax || length > report.size() - hid::kDataOffset)
    return false;
  return StoreWrite(block, ReportData(report, length));
}

bool GenericHidController::SetBigBlock(const kx7::HidReport& report) {
  constexpr int kBlock8 = 8;
  if (ReportWord(report, 6) != hid::kBigBlockData || !Parameters().HasBlock(kBlock8)) return false;
  return StoreWrite(kBlock8, ReportData(report, hid::kBigBlockData));
}

bool GenericHidController::StoreWrite(int block, const std::vector<std::uint8_t>& bytes) {
  if (family_.writeStatusPolled) {
    writing_ = true;
    writeStatusAt_ = 0;
    // The write takes effect only when the controller ends up saying done.
    if (writeStatus_.back() != hid::kStateDone) return true;
  }
  return Parameters().SetBlock(block, bytes);
}

bool GenericHidController::PassThroughBytes(const kx7::HidReport& report) {
  const std::size_t length = report[2];
  if (passThrough_ == 0 || length > hid::kPassThroughDataMax || length > report.size() - hid::kDataOffset) return false;
  ToSecondProcessor(report.data() + hid::kDataOffset, length);
  return true;
}

void GenericHidController::ToSecondProcessor(const std::uint8_t* bytes, std::size_t count) {
  if (!second_ || count == 0) return;
  auto* second = dynamic_cast<EmulatedController*>(second_.get());
  if (second && passThrough_ == 'L')
    second->ToLoader(bytes, count, Now());
  else
    second_->Receive(bytes, count, Now());
  CollectSecondProcessor();
  if (second && second->TakeRestartRequest()) {
    // The second processor's loader started the new code: the controller restarts with it.
    passThrough_ = 0;
    asyncMode_ = kPowerOnAsyncMode;
    RecordRestart(HidRestartKind::kRebootEep);
  }
}

void GenericHidController::CollectSecondProcessor() {
  if (!second_) return;
  const std::uint64_t now = Now();
  second_->Advance(now);
  // A reply that changes the processor's line comes in pieces; over HID there is no line.
  constexpr int kMostPieces = 64;
  for (int i = 0; i < kMostPieces; ++i) {
    const std::vector<std::uint8_t> piece = second_->TakeOutput();
    if (piece.empty()) break;
    secondOutput_.insert(secondOutput_.end(), piece.begin(), piece.end());
  }
}

// ---- answers --------------------------------------------------------------------------------

std::optional<kx7::HidReport> GenericHidController::HandleGet(std::uint8_t reportId, std::size_t length) {
  if (larchLoader_ && larchLoader_->Running() && reportId == hid::answer::kControllerId) {
    // The boot loader's record: a planted fault leaves it unanswered or without a page size.
    if (const auto fault = larchLoader_->RecordFault()) {
      if (*fault != LoaderFaultKind::kGarbage && *fault != LoaderFaultKind::kWrongSum) return std::nullopt;
      kx7::HidReport record = ControllerId();
      record[HidLarchLoader::kPageSizeByte] = 0;
      return record;
    }
  }
  if (larchLoader_ && larchLoader_->Gone()) {
    DropOffLocked();
    return std::nullopt;
  }
  switch (reportId) {
    case hid::answer::kControllerId:
      return ControllerId();
    case hid::answer::kStatus:
      return Status();
    case hid::answer::kParam: {
      if (!selection_ || IsBigBlock(selection_->block)) return std::nullopt;
      kx7::HidReport report(hid::kParamLength, 0);
      report[0] = reportId;
      report[4] = static_cast<std::uint8_t>(selection_->block);
      PutWord(report, 6, static_cast<std::uint32_t>(selection_->length));
      PutData(report, *Parameters().Block(selection_->block), selection_->offset, selection_->length);
      return report;
    }
    case hid::answer::kBigBlock: {
      if (!selection_ || !IsBigBlock(selection_->block)) return std::nullopt;
      kx7::HidReport report(hid::kBigBlockLength, 0);
      report[0] = reportId;
      PutWord(report, 6, static_cast<std::uint32_t>(hid::kBigBlockData));
      const std::vector<std::uint8_t>& block = *Parameters().Block(selection_->block);
      std::copy(block.begin(), block.end(), report.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset));
      return report;
    }
    case hid::answer::kPointerMode: {
      kx7::HidReport report(hid::kPointerModeLength, 0);
      report[0] = reportId;
      report[1] = pointerMode_;
      return report;
    }
    case hid::answer::kMaxContacts: {
      kx7::HidReport report(hid::kMaxContactsLength, 0);
      report[0] = reportId;
      report[1] = static_cast<std::uint8_t>(family_.maxContacts);
      return report;
    }
    case hid::kPassThroughReport:
      if (passThrough_ == 0 && IsResistive() && (asyncMode_ == kModeRaw || asyncMode_ == kModeCompensated))
        return RawReport();
      return PassThroughAnswer();
    default:
      return TouchReport(reportId, length);
  }
}

char GenericHidController::BlockLetter(int block) const {
  return Parameters().HasBlock(block) ? family_.statusLetter : '\0';
}

kx7::HidReport GenericHidController::ControllerId() const {
  kx7::HidReport r(family_.longIdRecord ? hid::kLarchControllerIdLength : hid::kControllerIdLength, 0);
  r[0] = hid::answer::kControllerId;
  PutRecordHead(r);
  if (larchLoader_ && larchLoader_->Running()) r[2] = static_cast<std::uint8_t>(kBootLoaderLetter);
  r[kIdLetterAt] = static_cast<std::uint8_t>(BlockLetter(1));
  // Byte 11 is Block2's letter, and Block7's on the controllers that keep none of its own.
  r[11] = static_cast<std::uint8_t>(BlockLetter(2));
  if (IsMaple()) r[12] = static_cast<std::uint8_t>(BlockLetter(3));
  r[14] = static_cast<std::uint8_t>(BlockLetter(5));
  r[15] = static_cast<std::uint8_t>(BlockLetter(6));
  if (family_.longIdRecord) {
    r[16] = static_cast<std::uint8_t>(BlockLetter(7));
    r[17] = static_cast<std::uint8_t>(BlockLetter(8));
    r[19] = family_.modelCode;
    r[20] = family_.sensorKind;
    if (larchLoader_) r[HidLarchLoader::kPageSizeByte] = larchLoader_->PageSizeCode();
    PutWord(r, 22, family_.secondPartNumber);
  }
  return r;
}

std::uint8_t GenericHidController::StatusMode() const {
  if (family_.kind == HidFamilyKind::kRowanGen3 || family_.kind == HidFamilyKind::kRowanGen4)
    return multiContact_ ? kContactModeMulti : kContactModeSingle;
  return family_.statusMode;
}

kx7::HidReport GenericHidController::Status() {
  kx7::HidReport r(hid::kStatusLength, 0);
  r[0] = hid::answer::kStatus;
  r[2] = hid::kStateDone;
  if (const std::optional<std::uint8_t> calibration = CalibrationStatus()) r[2] = *calibration;
  if (larchLoader_)
    if (const std::optional<std::uint8_t> loader = larchLoader_->Status()) r[2] = *loader;
  if (writing_) {
    r[2] = writeStatus_[writeStatusAt_];
    if (writeStatusAt_ + 1 < writeStatus_.size()) ++writeStatusAt_;
  }
  r[7] = StatusMode();
  return r;
}

kx7::HidReport GenericHidController::PassThroughAnswer() {
  kx7::HidReport r(hid::kPassThroughLength, 0);
  r[0] = hid::kPassThroughReport;
  if (passThrough_ == 0) return r;
  CollectSecondProcessor();
  const std::size_t count = std::min(secondOutput_.size(), hid::kPassThroughDataMax);
  r[kPassThroughCountAt] = static_cast<std::uint8_t>(count);
  std::copy_n(secondOutput_.begin(), count, r.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset));
  secondOutput_.erase(secondOutput_.begin(), secondOutput_.begin() + static_cast<std::ptrdiff_t>(count));
  return r;
}

// The resistive controllers' raw report: [1..2] X, [3..4] Y, [5..6] Z (12 bits each), [7] the
// contacts touching, [8] a sample counter.
std::optional<kx7::HidReport> GenericHidController::RawReport() {
  kx7::HidReport r(hid::kPassThroughLength, 0);
  r[0] = hid::kPassThroughReport;
  const std::vector<HidTouchPoint> points = TouchPoints(family_.maxContacts);
  std::uint8_t touching = 0;
  for (const HidTouchPoint& p : points) touching = static_cast<std::uint8_t>(touching + (p.touching ? 1 : 0));
  if (!points.empty() && points.front().touching) {
    PutWord(r, 1, ScaleCoordinate(points.front().x, HidTouchLayout::kResistive, kTabletReport));
    PutWord(r, 3, ScaleCoordinate(points.front().y, HidTouchLayout::kResistive, kTabletReport));
    constexpr std::uint16_t kTouchPressure = 0x0800;
    PutWord(r, 5, kTouchPressure);
  }
  r[7] = touching;
  r[8] = rawSamples_++;
  return r;
}

std::optional<kx7::HidReport> GenericHidController::TouchReport(std::uint8_t reportId, std::size_t length) {
  HidTouchLayout layout;
  if (IsRowan()) {
    if (reportId == kMultiContactReport && family_.kind != HidFamilyKind::kRowanGen2)
      layout = HidTouchLayout::kMulti10x6;
    else if (reportId == kTabletReport)
      layout = HidTouchLayout::kTablet;
    else
      return std::nullopt;
  } else if (IsResistive()) {
    if (reportId != kTabletReport && reportId != kResistive13BitReport) return std::nullopt;
    layout = HidTouchLayout::kResistive;
  } else if (family_.kind == HidFamilyKind::kLarch) {
    if (reportId != LarchTouchReport(family_.sensorKind)) return std::nullopt;
    layout = LarchLayout(family_.sensorKind);
  } else if (family_.kind == HidFamilyKind::kLarch0500) {
    if (reportId != kTabletReport) return std::nullopt;
    layout = LarchLayout(family_.sensorKind);
  } else if (IsMaple()) {
    if (reportId != kTabletReport) return std::nullopt;
    layout = HidTouchLayout::kCoordsRecord;
  } else {
    return std::nullopt;
  }
  const int room = LayoutContacts(layout);
  const std::vector<HidTouchPoint> points = TouchPoints(std::min(room, family_.maxContacts));
  const std::size_t padded = std::min(length, family_.inputReportLength);
  return EncodeTouchReport(layout, reportId, points, NextScanTime(), loopCounter_++, padded);
}

std::optional<std::vector<std::uint8_t>> GenericHidController::HostBlockLocked(int number) const {
  return KeptBlock(number);
}

// The second processor keeps the Rowan blocks the host reads through the pass-through.
void GenericHidController::SaveMoreLocked(ControllerState& state) const {
  if (larchLoader_ && !larchLoader_->Flash().empty()) {
    ControllerState::Section& section = state.sections[kControllerSection];
    const std::vector<std::uint8_t>& flash = larchLoader_->Flash();
    section.memories[kFlashMemory] = std::vector<std::uint16_t>(flash.begin(), flash.end());
    section.wordMemories[kFlashMemory] = false;
  }
  if (const auto* second = dynamic_cast<const EmulatedController*>(second_.get()))
    second->SaveSection(state.sections[kSecondSection]);
}

void GenericHidController::LoadMoreLocked(const ControllerState& state) {
  if (const auto own = state.sections.find(kControllerSection); larchLoader_ && own != state.sections.end()) {
    if (const auto flash = own->second.memories.find(kFlashMemory); flash != own->second.memories.end()) {
      std::vector<std::uint8_t> bytes;
      bytes.reserve(flash->second.size());
      for (const std::uint16_t cell : flash->second) bytes.push_back(static_cast<std::uint8_t>(cell & 0xFF));
      larchLoader_->LoadFlash(bytes);
    }
  }
  const auto section = state.sections.find(kSecondSection);
  if (section == state.sections.end()) return;
  if (auto* second = dynamic_cast<EmulatedController*>(second_.get())) second->LoadSection(section->second);
}

}  // namespace kx7::emu
