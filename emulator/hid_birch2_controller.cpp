#include "hid_birch2_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "factory_blocks.h"
#include "hid_report_bytes.h"
#include "link/hid/hid_constants.h"

namespace kx7::emu {

namespace {

// The Birch2 HID code of the firmware image (memory 9).
constexpr std::uint8_t kFirmwareMemory = 9;

namespace b2 = hid::birch2;

constexpr std::uint8_t kCoordinatesReport = 1;
constexpr std::uint8_t kTextReport = 3;
constexpr std::uint8_t kCornersReport = 5;
constexpr std::size_t kTextLength = 17;
constexpr std::size_t kCornersLength = 35;
constexpr std::size_t kTextAt = 3;
constexpr std::size_t kLastStreamMode = 3;
constexpr std::uint8_t kBlock4 = 4;
constexpr std::uint8_t kBlock5 = 5;
constexpr std::size_t kBlock4Bytes = 60;
constexpr std::uint8_t kRevCMarker = 3;
constexpr std::uint8_t kRevCSubMarker = 1;
// The ASIC revision as the firmware keeps it in memory 10.
constexpr std::uint8_t kRamMemory = 10;
constexpr std::size_t kAsicTextAddress = 455;
constexpr char kRevCText[] = "049 ";
constexpr std::uint8_t kGain = 7;
// Memory 7, the EEPROM parameter area, at the linear offsets of this route.
constexpr std::uint8_t kParameterCellsCode = 23;

// Memory codes of the Birch2 HID controller: 0, 9 to 13, and 17 to 24 for memories 1 to 8; the
// parameter blocks are memories 1, 2, 4, 6 and code 48.
bool IsMemoryCode(std::uint8_t code) {
  return code == 0 || (code >= 9 && code <= 13) || (code >= 17 && code <= 24) || code == b2::kSubBlock5;
}

int BlockOfCode(std::uint8_t code) {
  switch (code) {
    case b2::kSubBlock1:
      return 1;
    case b2::kSubBlock2:
      return 2;
    case b2::kSubBlock4:
      return 4;
    case b2::kSubBlock5:
      return 5;
    case b2::kSubBlock6:
      return 6;
    default:
      return 0;
  }
}

// The stray values of a clean sensor: Q and I of UL, UR, LL, LR.
constexpr std::int32_t kStrays[8] = {1210, -815, 1187, -790, 1233, -802, 1175, -826};

}  // namespace

void SwapPairs(std::vector<std::uint8_t>& bytes, std::size_t count) {
  count = std::min(count, bytes.size());
  for (std::size_t i = 0; i + 1 < count; i += 2) std::swap(bytes[i], bytes[i + 1]);
}

Birch2HidController::Birch2HidController(const HidFamily& family, HidControllerOptions options)
    : EmulatedHidController(family, std::move(options)) {
  // The factory content of Block2 stands in the controller's order.
  if (std::vector<std::uint8_t>* block2 = Parameters().MutableBlock(2)) {
    SwapPairs(*block2, hid::kBirch2SwapBytes);
    Parameters().DefineBlock(2, *block2);
  }
  std::vector<std::uint8_t>& cells = Memory(kParameterCellsCode);
  for (const auto& [offset, value] : Birch2LinearCells()) cells[offset] = value;
  if (family_.revC) {
    std::vector<std::uint8_t>& ram = Memory(kRamMemory);
    std::copy_n(kRevCText, sizeof kRevCText - 1, ram.begin() + static_cast<std::ptrdiff_t>(kAsicTextAddress));
  }
}

std::uint8_t Birch2HidController::StreamMode() const { return Locked(stream_); }
bool Birch2HidController::Pen() const { return Locked(pen_); }
bool Birch2HidController::Finger() const { return Locked(finger_); }

std::optional<std::vector<std::uint8_t>> Birch2HidController::StoredBlock(int number) const {
  std::lock_guard<std::mutex> guard(Mutex());
  return KeptBlock(number);
}

std::optional<std::vector<std::uint8_t>> Birch2HidController::HostBlockLocked(int number) const {
  std::optional<std::vector<std::uint8_t>> host = KeptBlock(number);
  if (host && number == 2) SwapPairs(*host, host->size());
  return host;
}

bool Birch2HidController::IsStatusReport(std::uint8_t reportId) const { return reportId == hid::answer::kBirch2Status; }

bool Birch2HidController::IsPoll(std::uint8_t reportId) const {
  return reportId == kCoordinatesReport || reportId == kTextReport || reportId == kCornersReport;
}

std::vector<std::uint8_t>& Birch2HidController::Memory(std::uint8_t code) {
  std::vector<std::uint8_t>& memory = memories_[code];
  if (memory.empty()) memory.assign(kMemoryBytes, 0);
  return memory;
}

bool Birch2HidController::ValidArea(std::uint8_t code, std::size_t address, std::size_t length) const {
  if (!IsMemoryCode(code) || length == 0 || length > hid::kParamDataMax) return false;
  const int block = BlockOfCode(code);
  const std::size_t size = block != 0 ? Parameters().BlockLength(block) : kMemoryBytes;
  return address < size && length <= size - address;
}

// ---- commands -------------------------------------------------------------------------------

bool Birch2HidController::HandleSet(const kx7::HidReport& report) {
  if (report[0] == b2::kCommandReport) return report.size() >= hid::kCommandLength && Command(report);
  if (report[0] == b2::kSetParamReport)
    return report.size() >= hid::kDataOffset && report[1] == b2::kSetParam && SetParam(report);
  return false;
}

bool Birch2HidController::Command(const kx7::HidReport& report) {
  switch (report[1]) {
    case b2::kAsyncEnable:
      if (report[2] > kLastStreamMode) return false;
      stream_ = report[2];
      streamSubMode_ = report[3];
      return true;
    case b2::kCalibrate:
      return CalibrateCommand(report[2]);
    case b2::kReset: {
      // The alternate reboot is the generic controllers' only.
      const std::optional<HidRestartKind> kind = HidResetKind(report[2]);
      if (!kind || *kind == HidRestartKind::kRebootAlt) return false;
      // The firmware starts again with its streams off.
      stream_ = 0;
      selection_.reset();
      StopCalibration();
      RecordRestart(*kind);
      return true;
    }
    case b2::kRestoreDefaults:
      Parameters().RestoreBlocks();
      return true;
    case b2::kCommand20:
      command20Word_ = ReportWord(report, 4);
      settings_[report[2]] = report[3];
      return true;
    case b2::kCommand21:
      // The setting that byte 2 selects, and byte 3 as the controller echoes it.
      answer21_[0] = settings_.count(report[2]) != 0 ? settings_[report[2]] : 0;
      answer21_[1] = report[3];
      return true;
    case b2::kSetParamIndex: {
      const std::uint8_t code = report[2];
      const std::size_t address = ReportWord(report, 4);
      const std::size_t length = report[6];
      if (!ValidArea(code, address, length)) return false;
      selection_ = Selection{code, address, length};
      return true;
    }
    case b2::kCommand23:
      settings_[report[2]] = report[3];
      return true;
    case b2::kPenFinger:
      switch (report[3]) {
        case b2::kPenFingerBoth:
          if (report[2] != 1) return false;
          pen_ = finger_ = true;
          return true;
        case b2::kPenFingerPen:
          pen_ = report[2] != 0;
          return true;
        case b2::kPenFingerFinger:
          finger_ = report[2] != 0;
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

bool Birch2HidController::SetParam(const kx7::HidReport& report) {
  const std::uint8_t code = report[2];
  const std::size_t address = ReportWord(report, 4);
  const std::size_t length = report[6];
  if (!ValidArea(code, address, length) || length > report.size() - hid::kDataOffset) return false;
  std::vector<std::uint8_t> bytes = ReportData(report, length);
  const int block = BlockOfCode(code);
  if (code == kFirmwareMemory) {
    // The firmware image: a planted fault refuses the piece, loses it, or takes the controller off.
    if (const auto fault = Faults().Step("SET_PARAM")) {
      if (*fault == LoaderFaultKind::kDropOff) DropOffLocked();
      return false;
    }
  }
  if (block == 0) {
    std::copy(bytes.begin(), bytes.end(), Memory(code).begin() + static_cast<std::ptrdiff_t>(address));
    return true;
  }
  std::vector<std::uint8_t>& stored = *Parameters().MutableBlock(block);
  if (address != 0 || length != stored.size()) {
    // Part of a block: the bytes as they come, in the controller's order.
    std::copy(bytes.begin(), bytes.end(), stored.begin() + static_cast<std::ptrdiff_t>(address));
    return true;
  }
  // A whole block arrives with its first 50 bytes swapped in pairs (not block 5). Block2 stays in
  // that order, since it is read back that way; the other blocks are read back as kept, so they
  // are kept in the host's order (Block4, which the host had swapped whole, swapped back whole).
  if (block != kBlock5 && block != 2) {
    SwapPairs(bytes, hid::kBirch2SwapBytes);
    if (block == kBlock4) SwapPairs(bytes, kBlock4Bytes);
  }
  stored = std::move(bytes);
  return true;
}

// ---- answers --------------------------------------------------------------------------------

std::optional<kx7::HidReport> Birch2HidController::HandleGet(std::uint8_t reportId, std::size_t /*length*/) {
  switch (reportId) {
    case hid::answer::kBirch2Param: {
      if (!selection_) return std::nullopt;
      kx7::HidReport r(hid::kParamLength, 0);
      r[0] = reportId;
      r[2] = selection_->code;
      PutWord(r, 4, static_cast<std::uint32_t>(selection_->address));
      r[6] = static_cast<std::uint8_t>(selection_->length);
      const int block = BlockOfCode(selection_->code);
      const std::vector<std::uint8_t>& source = block != 0 ? *Parameters().Block(block) : Memory(selection_->code);
      PutData(r, source, selection_->address, selection_->length);
      return r;
    }
    case hid::answer::kBirch2Status:
      return Status();
    case hid::answer::kBirch2Identity:
      return Identity();
    case hid::answer::kBirch2Strays:
      return Strays();
    case hid::answer::kBirch2Command: {
      kx7::HidReport r(hid::kBirch2CommandAnswerLength, 0);
      r[0] = reportId;
      r[1] = answer21_[0];
      r[2] = answer21_[1];
      return r;
    }
    case kCornersReport:
      if (stream_ == 0) return std::nullopt;
      return Corners();
    case kTextReport:
      return Text();
    case kCoordinatesReport:
      return Coordinates();
    default:
      return std::nullopt;
  }
}

kx7::HidReport Birch2HidController::Identity() const {
  kx7::HidReport r(hid::kBirch2IdentityLength, 0);
  r[0] = hid::answer::kBirch2Identity;
  PutRecordHead(r);
  PutLong(r, 18, family_.cdePartNumber);
  if (family_.revC) {
    r[22] = kRevCMarker;
    r[23] = kRevCSubMarker;
  }
  return r;
}

kx7::HidReport Birch2HidController::Status() {
  kx7::HidReport r(hid::kBirch2StatusLength, 0);
  r[0] = hid::answer::kBirch2Status;
  r[3] = hid::kBirch2StateReady;
  // A calibration that ran shows its state until the host restarts the controller.
  if (const std::optional<std::uint8_t> calibration = CalibrationStatus()) r[3] = *calibration;
  return r;
}

kx7::HidReport Birch2HidController::Strays() const {
  kx7::HidReport r(hid::kBirch2StraysLength, 0);
  r[0] = hid::answer::kBirch2Strays;
  for (std::size_t k = 0; k < 8; ++k) PutLong(r, hid::kDataOffset + 4 * k, static_cast<std::uint32_t>(kStrays[k]));
  return r;
}

kx7::HidReport Birch2HidController::Corners() {
  kx7::HidReport r(kCornersLength, 0);
  r[0] = kCornersReport;
  r[1] = loopCounter_++;
  r[2] = kGain;
  const std::vector<HidTouchPoint> points = TouchPoints(family_.maxContacts);
  const bool touching = !points.empty() && points.front().touching;
  // A finger draws current from each corner the more, the nearer it is.
  constexpr double kCorners[4][2] = {{0, 0}, {2047, 0}, {0, 2047}, {2047, 2047}};
  constexpr double kIdle = 40000;
  constexpr double kTouchSignal = 9000;
  for (std::size_t corner = 0; corner < 4; ++corner) {
    double i = kIdle;
    double q = -kIdle / 2;
    if (touching) {
      const double dx = points.front().x - kCorners[corner][0];
      const double dy = points.front().y - kCorners[corner][1];
      const double nearness = 1.0 - std::min(1.0, std::sqrt(dx * dx + dy * dy) / 2896.0);
      i += kTouchSignal * nearness;
      q -= kTouchSignal / 4 * nearness;
    }
    PutLong(r, 3 + 8 * corner, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(i))));
    PutLong(r, 7 + 8 * corner, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(q))));
  }
  return r;
}

kx7::HidReport Birch2HidController::Text() {
  kx7::HidReport r(kTextLength, 0);
  r[0] = kTextReport;
  r[1] = loopCounter_++;
  const std::vector<HidTouchPoint> points = TouchPoints(family_.maxContacts);
  if (!points.empty() && points.front().touching) {
    char text[kTextLength];
    const int n = std::snprintf(text, sizeof text, "%04d,%04d\r", static_cast<int>(std::lround(points.front().x)),
                                static_cast<int>(std::lround(points.front().y)));
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), kTextLength - kTextAt);
    r[2] = static_cast<std::uint8_t>(count);
    std::copy_n(text, count, r.begin() + static_cast<std::ptrdiff_t>(kTextAt));
  }
  return r;
}

kx7::HidReport Birch2HidController::Coordinates() {
  const std::vector<HidTouchPoint> points = TouchPoints(1);
  return EncodeTouchReport(HidTouchLayout::kCoordsRecord, kCoordinatesReport, points, 0, loopCounter_++,
                           family_.inputReportLength);
}

// The memories by their codes, the parameter cells of code 23 among them (the RAM of code 10 is
// the firmware's and starts afresh).
void Birch2HidController::SaveMoreLocked(ControllerState& state) const {
  ControllerState::Section& section = state.sections[kControllerSection];
  for (const auto& [code, bytes] : memories_)
    if (code != kRamMemory) section.memories[code] = std::vector<std::uint16_t>(bytes.begin(), bytes.end());
}

void Birch2HidController::LoadMoreLocked(const ControllerState& state) {
  const auto section = state.sections.find(kControllerSection);
  if (section == state.sections.end()) return;
  for (const auto& [code, cells] : section->second.memories) {
    if (code < 0 || code > 255 || code == kRamMemory || cells.size() != kMemoryBytes ||
        !IsMemoryCode(static_cast<std::uint8_t>(code)))
      continue;
    std::vector<std::uint8_t>& memory = Memory(static_cast<std::uint8_t>(code));
    for (std::size_t i = 0; i < cells.size(); ++i) memory[i] = static_cast<std::uint8_t>(cells[i] & 0xFF);
  }
}

}  // namespace kx7::emu
