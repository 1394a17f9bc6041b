#include "hid_controller.h"

#include <chrono>
#include <cstdio>
#include <tuple>

#include "factory_blocks.h"
#include "hid_report_bytes.h"
#include "link/hid/hid_constants.h"

namespace kx7::emu {

namespace {

constexpr std::uint16_t kUsageVendor = 0xFF00;
constexpr std::uint16_t kUsageControllerCommands = 0x0001;
constexpr std::uint16_t kUsagePageDigitizer = 0x000D;
constexpr std::uint16_t kUsageTouchScreen = 0x0004;
constexpr std::uint16_t kUsagePageDesktop = 0x0001;
constexpr std::uint16_t kUsageMouse = 0x0002;
constexpr std::size_t kDigitizerInput = 64;
constexpr std::size_t kMouseInput = 5;
constexpr std::size_t kSecondInterfaceInput = 64;
constexpr std::uint8_t kSeedBase = 101;

std::uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint32_t SeedOf(const std::string& name) {
  std::uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash % 100000u + kSeedBase;
}

HidFamily Apply(const HidFamily& base, const HidControllerOptions& options) {
  HidFamily f = base;
  if (options.vendor) f.vendor = *options.vendor;
  if (options.product) f.product = *options.product;
  if (options.modelCode) f.modelCode = *options.modelCode;
  if (options.sensorKind) f.sensorKind = *options.sensorKind;
  if (options.secondTypeLetter) f.typeLetters[1] = *options.secondTypeLetter;
  if (options.versionMajor) f.versionMajor = *options.versionMajor;
  if (options.versionMinor) f.versionMinor = *options.versionMinor;
  if (options.flags) f.flags = *options.flags;
  if (options.serialNumber) f.serialNumber = *options.serialNumber;
  if (f.longIdRecord) {
    f.maxContacts = LayoutContacts(LarchLayout(f.sensorKind));
    // The Sequoia model keeps a 64-byte block 6.
    constexpr std::uint8_t kModelSequoia = 4;
    constexpr std::size_t kSequoiaBlock6 = 64;
    if (f.modelCode == kModelSequoia)
      for (auto& [number, length] : f.blocks)
        if (number == 6) length = kSequoiaBlock6;
  }
  return f;
}

}  // namespace

std::optional<HidRestartKind> HidResetKind(std::uint8_t kind) {
  switch (kind) {
    case hid::reset::kSoft:
      return HidRestartKind::kSoftReset;
    case hid::reset::kHard:
      return HidRestartKind::kHardReset;
    case hid::reset::kRebootRom:
      return HidRestartKind::kRebootRom;
    case hid::reset::kRebootRam:
      return HidRestartKind::kRebootRam;
    case hid::reset::kRebootEep:
      return HidRestartKind::kRebootEep;
    case hid::reset::kRebootAlt:
      return HidRestartKind::kRebootAlt;
    default:
      return std::nullopt;
  }
}

EmulatedHidController::EmulatedHidController(const HidFamily& family, HidControllerOptions options)
    : family_(Apply(family, options)),
      options_(std::move(options)),
      faults_(options_.faults),
      touches_(family_.maxContacts, SeedOf(family_.name)) {
  if (!options_.clock) options_.clock = SteadyMs;
  lastHostMs_ = options_.clock();
  if (options_.ownTouches)
    touches_.SetRandomStroke(lastHostMs_ + options_.handsOffMs);
  else
    touches_.SetNone();
  DefineBlocks();
}

void EmulatedHidController::DefineBlocks() {
  for (const auto& [number, length] : family_.blocks) {
    std::vector<std::uint8_t> bytes(length);
    if (number == 5) {
      for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((family_.serialNumber >> (8 * i)) & 0xFF);
    } else {
      bytes = HidFactoryBlock(family_, number, length);
    }
    parameters_.DefineBlock(number, std::move(bytes));
  }
}

std::vector<kx7::HidDeviceInfo> EmulatedHidController::Entries(const std::string& path) const {
  kx7::HidDeviceInfo controller;
  controller.path = path;
  controller.vendor = family_.vendor;
  controller.product = family_.product;
  controller.release = family_.release;
  controller.interfaceNumber = 0;
  controller.usagePage = kUsageVendor;
  controller.usage = kUsageControllerCommands;
  controller.productString = family_.productString;
  controller.serialNumber = SerialText();
  controller.inputReportLength = family_.inputReportLength;
  controller.featureReportLength = family_.featureReportLength;

  std::vector<kx7::HidDeviceInfo> entries;
  if (HasSeveralCollections(family_.vendor, family_.product)) {
    // The touch screen and the mouse the system reads come first, as the descriptor lists them.
    // Both are input-only collections beside the controller's.
    for (const auto& [usagePage, usage, input] : {std::tuple{kUsagePageDigitizer, kUsageTouchScreen, kDigitizerInput},
                                                  std::tuple{kUsagePageDesktop, kUsageMouse, kMouseInput}}) {
      kx7::HidDeviceInfo entry = controller;
      entry.usagePage = usagePage;
      entry.usage = usage;
      entry.inputReportLength = input;
      entry.featureReportLength = 0;
      entries.push_back(entry);
    }
  }
  entries.push_back(controller);
  // The second interface looks like a controller collection on its own; only its number tells.
  kx7::HidDeviceInfo second = controller;
  second.path = path + kSecondInterfaceSuffix;
  second.interfaceNumber = 1;
  second.inputReportLength = kSecondInterfaceInput;
  entries.push_back(second);
  return entries;
}

std::string EmulatedHidController::HardwareId() const {
  char text[40];
  std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", family_.vendor, family_.product, family_.release);
  return text;
}

std::string EmulatedHidController::SerialText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(family_.serialNumber));
  return text;
}

bool EmulatedHidController::OnSetFeature(const kx7::HidReport& report) {
  std::vector<HidRestart> announce;
  std::function<void(const HidRestart&)> handler;
  bool taken = false;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (report.empty() || gone_) return false;
    lastHostMs_ = Now();
    heardHost_ = true;
    taken = HandleSet(report);
    announce.swap(unannounced_);
    handler = restartHandler_;
  }
  if (handler)
    for (const HidRestart& restart : announce) handler(restart);
  return taken;
}

std::optional<kx7::HidReport> EmulatedHidController::OnGetFeature(std::uint8_t reportId, std::size_t length) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (length == 0 || gone_) return std::nullopt;
  // The status polls that follow a calibration are not the host talking: the hand touches then.
  if (!IsPoll(reportId) && !(calibration_.Running() && IsStatusReport(reportId))) {
    lastHostMs_ = Now();
    heardHost_ = true;
  }
  return HandleGet(reportId, length);
}

std::vector<HidRestart> EmulatedHidController::Restarts() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return restarts_;
}

bool EmulatedHidController::ReplugPending() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return replugPending_;
}

void EmulatedHidController::ClearReplugPending() {
  std::lock_guard<std::mutex> guard(mutex_);
  replugPending_ = false;
}

void EmulatedHidController::SetRestartHandler(std::function<void(const HidRestart&)> handler) {
  std::lock_guard<std::mutex> guard(mutex_);
  restartHandler_ = std::move(handler);
}

void EmulatedHidController::WithTouches(const std::function<void(TouchSource&)>& change) {
  std::lock_guard<std::mutex> guard(mutex_);
  change(touches_);
}

bool EmulatedHidController::Calibrating() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calibration_.Running();
}

std::vector<ScreenPoint> EmulatedHidController::CalibrationTouches() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calibration_.Taken();
}

bool EmulatedHidController::CalibrateCommand(std::uint8_t kind) {
  return calibration_.Command(kind, touches_, options_.ownTouches, Now());
}

std::optional<std::uint8_t> EmulatedHidController::CalibrationStatus() {
  return calibration_.Status(touches_, options_.ownTouches, Now());
}

void EmulatedHidController::StopCalibration() { calibration_.Stop(touches_, options_.ownTouches, Now()); }

std::optional<std::vector<std::uint8_t>> EmulatedHidController::HostBlock(int number) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return HostBlockLocked(number);
}

std::uint64_t EmulatedHidController::Now() const { return options_.clock(); }

void EmulatedHidController::SaveState(ControllerState& state) const {
  std::lock_guard<std::mutex> guard(mutex_);
  SaveStores(parameters_, nullptr, state.sections[kControllerSection]);
  SaveMoreLocked(state);
}

void EmulatedHidController::LoadState(const ControllerState& state) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (const auto section = state.sections.find(kControllerSection); section != state.sections.end())
    LoadStores(section->second, parameters_, nullptr);
  LoadMoreLocked(state);
}

void EmulatedHidController::PutRecordHead(kx7::HidReport& record) const {
  record[1] = static_cast<std::uint8_t>(family_.typeLetters[0]);
  record[2] = static_cast<std::uint8_t>(family_.typeLetters[1]);
  record[3] = family_.versionMajor;
  record[4] = family_.versionMinor;
  record[5] = family_.flags;
  PutWord(record, 6, family_.partNumber);
  PutWord(record, 8, family_.maxParamWrite);
}

std::optional<std::vector<std::uint8_t>> EmulatedHidController::KeptBlock(int number) const {
  const std::vector<std::uint8_t>* block = parameters_.Block(number);
  if (block == nullptr) return std::nullopt;
  return *block;
}

void EmulatedHidController::RecordRestart(HidRestartKind kind) {
  const HidRestart restart{kind, Now()};
  restarts_.push_back(restart);
  unannounced_.push_back(restart);
  replugPending_ = true;
}

bool EmulatedHidController::HandsOff(std::uint64_t now) const {
  return options_.ownTouches && options_.handsOffMs != 0 && (!heardHost_ || now < lastHostMs_ + options_.handsOffMs);
}

std::vector<HidTouchPoint> EmulatedHidController::TouchPoints(int maxContacts) {
  const std::uint64_t now = Now();
  std::vector<HidTouchPoint> points;
  std::map<int, HidTouchPoint> touching;
  if (!HandsOff(now)) {
    for (const Contact& contact : touches_.At(now)) {
      if (static_cast<int>(points.size()) >= maxContacts) break;
      const HidTouchPoint point{contact.id, contact.point.x, contact.point.y, true};
      points.push_back(point);
      touching[contact.id] = point;
    }
  }
  for (const auto& [id, last] : lastTouching_) {
    if (touching.count(id) != 0 || static_cast<int>(points.size()) >= maxContacts) continue;
    HidTouchPoint lift = last;
    lift.touching = false;
    points.push_back(lift);
  }
  lastTouching_ = std::move(touching);
  return points;
}

std::uint16_t EmulatedHidController::NextScanTime() {
  // The controller's scan clock in 100 us steps, as the touch screens count it.
  constexpr std::uint64_t kTicksPerMs = 10;
  scanTime_ = static_cast<std::uint16_t>((Now() * kTicksPerMs) & 0xFFFF);
  return scanTime_;
}

}  // namespace kx7::emu
