#include "proto/restart_commands.h"

#include <algorithm>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/messages.h"
#include "link/driver/driver_constants.h"
#include "link/hid/hid_reports.h"
#include "proto/proto_constants.h"
#include "proto/usb_links.h"

namespace kx7 {

namespace {

constexpr const char* kRebootingRom = "REBOOTING ROM...";
constexpr const char* kRebootingRam = "REBOOTING RAM...";
constexpr const char* kRebootingEep = "REBOOTING EEP...";
constexpr const char* kRestoringDefaults = "Restoring Defaults...";
constexpr const char* kDestroyLinearization = "Are you SURE you want to destroy the factory linearization?";

constexpr std::uint32_t kAfterRestartCommandMs = 500;
constexpr std::uint32_t kAfterEepromRebootMs = 2000;
constexpr std::uint32_t kReconnectMs = 2000;
constexpr std::uint32_t kStatusPollGapMs = 100;
constexpr int kSoftResetStatusPolls = 29;
// A block restore's GET_STATUS repetition has no bound of its own; it gets the soft reset's.
constexpr int kBlockRestoreStatusPolls = kSoftResetStatusPolls;
constexpr std::uint32_t kBlockRestorePauseMs = 100;
constexpr int kHidReturnTries = 30;
constexpr std::uint32_t kBirch2RestorePauseMs = 1000;
constexpr int kBirch2RestoreStatusPolls = 4;
// The driver's answer to a soft reset it cannot do.
constexpr std::uint32_t kSoftResetUnsupported = 0xFFFF0003;
// Byte 18 of the driver's status record is 1 while the controller restarts.
constexpr std::size_t kStatusRestartingByte = 18;
// "Please Wait" of a driver or HID restart closes when a link is open again, or after this long
// without one (timer 40 looks every half second).
constexpr std::uint32_t kProgressTimer = 40;
constexpr std::uint32_t kProgressTimeoutMs = 10000;
constexpr std::uint32_t kProgressCheckMs = 500;

bool Answered(const ReplyBytes& reply) {
  for (std::size_t i = 0; i + 2 < reply.size(); ++i)
    if (reply[i] == kSoh && reply[i + 1] == '0' && reply[i + 2] == kCr) return true;
  return false;
}

}  // namespace

void RestoreDefaultsDialog::All() { std::fill(std::begin(controllerBlocks), std::end(controllerBlocks), true); }
void RestoreDefaultsDialog::None() { std::fill(std::begin(controllerBlocks), std::end(controllerBlocks), false); }

RestartCommands::RestartCommands(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb)
    : frame_(frame), channel_(channel), usb_(usb), progress_(frame.Loop(), frame.Ui()) {
  frame_.closeRebootProgress = [this] {
    progress_.Close();
    channel_.progressWindow = kNoWindow;
  };
  // The completion of the restart ping: only an answer starts the reconnect.
  frame_.restartAnswered = [this] { return Answered(channel_.Reply()); };
  frame_.timerHandlers[kProgressTimer] = [this] {
    if (frame_.LinkKind == link::kClosed && frame_.Loop().Now() < progressDeadline_) return;
    frame_.KillTimer(kProgressTimer);
    progress_.Close();
  };
  const auto handler = [this](std::uint32_t id) { OnCommand(id); };
  const auto updater = [this](std::uint32_t id) { return Update(id); };
  for (const std::uint32_t id : {cmd::kRestoreDefaults, cmd::kRebootEeprom, cmd::kRebootRam, cmd::kRebootRom,
                                 cmd::kSoftReset, cmd::kRestoreDefaultBlocks, cmd::kRowanParameterRestore,
                                 cmd::kHardReset})
    frame_.RegisterCommands(id, id, handler, updater);
}

RestartCommands::~RestartCommands() {
  frame_.closeRebootProgress = nullptr;
  frame_.restartAnswered = nullptr;
  frame_.timerHandlers.erase(kProgressTimer);
}

// --- Enabling --------------------------------------------------------------------------------

bool RestartCommands::GeneralRuleAllows(std::uint32_t id) const {
  if (frame_.LinkKind == link::kClosed) return false;
  const ListenerTable& listeners = frame_.listeners;
  if (listeners.IsActive(slot::kCalibration) || listeners.IsActive(slot::kLinearization) ||
      listeners.IsActive(slot::kAsymtekLinearization))
    return false;
  return id == cmd::kSoftReset || !listeners.IsActive(slot::kScope);
}

CommandState RestartCommands::Update(std::uint32_t id) const {
  if (!GeneralRuleAllows(id)) return {};
  const std::uint32_t t = frame_.ControllerType;
  const bool birch = (frame_.ControllerFeatures & feature::kBirchFamily) != 0;
  bool enabled = false;
  switch (id) {
    case cmd::kRestoreDefaults:
      enabled = t != type::kUsb1;
      break;
    case cmd::kRebootEeprom:
      enabled = IsRowanCedar(t) || birch || IsLarchType(t);
      break;
    case cmd::kRebootRam:
      enabled = birch;
      break;
    case cmd::kRebootRom:
      enabled = birch || IsLarchType(t);
      break;
    case cmd::kSoftReset:
      enabled = t != type::kBirchRom && t != type::kBirchUsbRom;
      break;
    case cmd::kRestoreDefaultBlocks:
      enabled = (t == type::kBirchUsb && (frame_.LinkKind == link::kKxUsb || (usb_ && usb_->Driver().NewerUsbDriver()))) ||
                t == type::kBirch2Hid;
      break;
    case cmd::kRowanParameterRestore:
      enabled = t == type::kRowanGen3 || t == type::kRowanUsbGen3 || t == type::kCedarGen4 || t == type::kRowanGen4;
      break;
    case cmd::kHardReset:
      enabled = t != type::kBirchRom && t != type::kBirch && t != type::kHazel2d && t != type::kAspen4 &&
                t != type::kBirchPen && t != type::kBirchUsbRom && t != type::kUsb1 && t != type::kRowanGen2;
      break;
    default:
      break;
  }
  return {enabled, false};
}

void RestartCommands::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  switch (id) {
    case cmd::kRestoreDefaults: return RestoreDefaults();
    case cmd::kRebootEeprom: return RebootDownloadCode();
    case cmd::kRebootRam: return RebootRam();
    case cmd::kRebootRom: return RebootRom();
    case cmd::kSoftReset: return SoftReset(true);
    case cmd::kRestoreDefaultBlocks: return RestoreBlocks();
    case cmd::kRowanParameterRestore: return RowanParameterRestore();
    case cmd::kHardReset: return HardReset();
    default: return;
  }
}

// --- Pieces ----------------------------------------------------------------------------------

void RestartCommands::ShowProgress(const std::string& text) {
  progress_.Show(text);
  channel_.progressWindow = progress_.IsOpen() ? progress_.Id() : kNoWindow;
}

// The controller drops off the line while it restarts; a "Z" answered says it is back.
void RestartCommands::AwaitRestart() {
  channel_.ClearLink();
  channel_.BeginReply(frame_.Id(), msg::kRestartDone, 3, reply::kLongWait);
  channel_.SendCommand("Z");
}

// A driver or HID restart: the controller is looked for again when timer 28 runs out.
void RestartCommands::ReconnectLater() {
  frame_.SetTimer(timer::kConnectPlugged, kReconnectMs);
  CloseProgressLater();
}

// Without a ping to wait for, "Please Wait" goes when the controller is linked again (found on
// its plug-in or by timer 28), or after a while.
void RestartCommands::CloseProgressLater() {
  if (!progress_.IsOpen()) return;
  progressDeadline_ = frame_.Loop().Now() + kProgressTimeoutMs;
  frame_.SetTimer(kProgressTimer, kProgressCheckMs);
}

bool RestartCommands::HidSend(const HidReport& report, std::uint32_t flags) {
  if (usb_ == nullptr || report.empty()) return false;
  return usb_->Hid().HidSetFeature(report, flags);
}

bool RestartCommands::PollDriverStatus(int tries, std::uint32_t gapMs, bool untilReady) {
  if (usb_ == nullptr) return false;
  for (int i = 0; i < tries; ++i) {
    const DriverResult status = usb_->Driver().Request(driver::kGetStatus, {}, driver::kStatusRecordSize);
    if (status.success && (!untilReady || status.bytes.size() <= kStatusRestartingByte ||
                           status.bytes[kStatusRestartingByte] != 1))
      return true;
    frame_.Loop().Sleep(gapMs);
  }
  return false;
}

bool RestartCommands::PollBirch2Status(int tries) {
  if (usb_ == nullptr) return false;
  for (int i = 0; i < tries; ++i) {
    const auto status = usb_->Hid().HidGetFeature(hid::answer::kBirch2Status, hid::kBirch2StatusLength);
    if (status && status->size() > 3 && (*status)[3] == hid::kBirch2StateReady) return true;
    if (!usb_->Hid().IsOpen()) return false;
    frame_.Loop().Sleep(kStatusPollGapMs);
  }
  return false;
}

// Maple and Larch USB come back on the bus after a reset; the search finds them again.
void RestartCommands::WaitForHidReturn() {
  if (usb_ == nullptr) return;
  const std::uint16_t vendor = usb_->Hid().Vendor();
  const std::uint16_t product = usb_->Hid().Product();
  if (WaitForDevice(vendor, product)) ReconnectLater();
}

// Up to 30 looks, 100 ms apart, for the controller on the bus again.
bool RestartCommands::WaitForDevice(std::uint16_t vendor, std::uint16_t product) {
  for (int i = 0; i < kHidReturnTries; ++i) {
    frame_.Loop().Sleep(kStatusPollGapMs);
    if (!DefaultHidBackend().Enumerate(vendor, product).empty()) return true;
  }
  return false;
}

// --- Commands --------------------------------------------------------------------------------

void RestartCommands::SoftReset(bool fromMenu) {
  if (fromMenu && frame_.listeners.IsActive(slot::kScope)) {
    frame_.Loop().Post(frame_.listeners.Listener(slot::kScope), msg::kScopeReset);
    return;
  }
  const int link = frame_.LinkKind;
  if (link == link::kClosed) return;
  const std::uint32_t t = frame_.ControllerType;
  if (t == type::kBirch2Hid && IsHidLink(link)) {
    if (HidSend(hid::Birch2Reset(hid::reset::kSoft), 0)) PollBirch2Status(kSoftResetStatusPolls);
  } else if (IsHidLink(link)) {
    const bool waits = IsMapleOrLarchUsb(t);
    std::uint16_t vendor = 0, product = 0;
    if (usb_) {
      usb_->Hid().SetAsyncMode(6);
      vendor = usb_->Hid().Vendor();
      product = usb_->Hid().Product();
    }
    HidSend(hid::Reset(hid::reset::kSoft), hid::flag::kClosesLink);
    // The others are found again through their plug-in.
    if (waits && WaitForDevice(vendor, product)) ReconnectLater();
  } else if (IsUsbDriverLink(link)) {
    const DriverResult result = usb_ ? usb_->Driver().Request(driver::kSoftReset, {}, 0) : DriverResult::Failed(0);
    if (result.success || result.error != kSoftResetUnsupported)
      PollDriverStatus(kSoftResetStatusPolls, kStatusPollGapMs, true);
  } else {
    channel_.SendCommand("R");
    channel_.WaitOk();
  }
  if (fromMenu && (frame_.ReportFormat == cmd::kFormatRaw || frame_.ReportFormat == cmd::kFormatRawSignals) && setReportFormat)
    setReportFormat(cmd::kFormatKxs);
}

void RestartCommands::HardReset() {
  const int link = frame_.LinkKind;
  const std::uint32_t t = frame_.ControllerType;
  if (t == type::kRowanGen3) {
    channel_.SendCommand("H");
  } else if (IsHidLink(link)) {
    HidSend(t == type::kBirch2Hid ? hid::Birch2Reset(hid::reset::kHard) : hid::Reset(hid::reset::kHard),
            hid::flag::kClosesLink);
  } else if (IsUsbDriverLink(link)) {
    if (usb_) usb_->Driver().Request(driver::kHardReset, {}, 0);
  } else {
    channel_.SendCommand("QH");
  }
}

void RestartCommands::RebootRom() {
  const int link = frame_.LinkKind;
  const std::uint32_t t = frame_.ControllerType;
  if (t == type::kBirch2Hid) {
    ShowProgress(kRebootingRom);
    HidSend(hid::Birch2Reset(hid::reset::kRebootRom), hid::flag::kClosesLink);
    CloseProgressLater();
  } else if (IsLarchUsbType(t) && link == link::kKxHid) {
    HidSend(hid::Reset(hid::reset::kRebootRom), hid::flag::kClosesLink);
    ReconnectLater();
  } else if (IsLarchUsbType(t)) {
    // Reached directly, the controller is found again through its plug-in.
    ShowProgress(kRebootingRom);
    HidSend(hid::Reset(hid::reset::kRebootRom), hid::flag::kClosesLink);
    CloseProgressLater();
  } else if (IsUsbDriverLink(link)) {
    if (usb_) usb_->Driver().Request(driver::kRomReboot, {}, 0);
    ReconnectLater();
  } else {
    ShowProgress(kRebootingRom);
    channel_.SendCommand("RE1");
    frame_.Loop().Sleep(kAfterRestartCommandMs);
    AwaitRestart();
  }
}

// The Birch2 HID controller's RAM reboot: the command table names value 4 REBOOT RAM for it, and
// that is what is sent (the ROM reboot's value 3 would start the wrong code).
void RestartCommands::RebootRam() {
  ShowProgress(kRebootingRam);
  if (frame_.ControllerType == type::kBirch2Hid) {
    HidSend(hid::Birch2Reset(hid::reset::kRebootRam), hid::flag::kClosesLink);
    CloseProgressLater();
  } else if (IsUsbDriverLink(frame_.LinkKind)) {
    if (usb_) usb_->Driver().Request(driver::kRamReboot, {}, 0);
    CloseProgressLater();
  } else {
    channel_.SendCommand("RE2");
    frame_.Loop().Sleep(kAfterRestartCommandMs);
    AwaitRestart();
  }
}

void RestartCommands::RebootDownloadCode() {
  if (IsUsbDriverLink(frame_.LinkKind) || frame_.LinkKind == link::kKxHid) {
    RebootEeprom(false);
    ReconnectLater();
  } else {
    RebootEeprom(true);
  }
}

void RestartCommands::RebootEeprom(bool showProgress) {
  const std::uint32_t t = frame_.ControllerType;
  if (IsSerialRowanCedar(t)) {
    channel_.SendCommand("RE3");
    channel_.WaitOk();
    return;
  }
  if (IsUsbRowanCedar(t)) {
    HidSend(hid::RebootEep(), hid::flag::kClosesLink);
    return;
  }
  if (IsLarchUsbType(t)) {
    HidSend(hid::Reset(hid::reset::kRebootEep), hid::flag::kClosesLink);
    return;
  }
  if (t == type::kBirch2Hid) {
    if (showProgress) ShowProgress(kRebootingEep);
    HidSend(hid::Birch2Reset(hid::reset::kRebootEep), hid::flag::kClosesLink);
    CloseProgressLater();
    return;
  }
  if (showProgress) ShowProgress(kRebootingEep);
  if (IsUsbDriverLink(frame_.LinkKind)) {
    if (usb_) usb_->Driver().Request(driver::kEepromReboot, {}, 0);
    CloseProgressLater();
    return;
  }
  channel_.SendCommand("RE3");
  if (showProgress) channel_.WaitOk();
  frame_.Loop().Sleep(kAfterEepromRebootMs);
  if (showProgress) {
    channel_.ClearLink();
    channel_.SendCommand("Z");
    channel_.BeginReply(frame_.Id(), msg::kRestartDone, 3, reply::kLongWait);
  }
}

void RestartCommands::RestoreDefaults() {
  const int link = frame_.LinkKind;
  const std::uint32_t t = frame_.ControllerType;
  if (IsUsbDriverLink(link)) {
    if (usb_) usb_->Driver().Request(driver::kRestoreDefaults, {}, 0);
  } else if (IsHidLink(link) && t == type::kBirch2Hid) {
    if (HidSend(hid::Birch2RestoreDefaults(0, 0), 0)) {
      frame_.Loop().Sleep(kBirch2RestorePauseMs);
      PollBirch2Status(kBirch2RestoreStatusPolls);
    }
  } else if (IsHidLink(link)) {
    if (HidSend(hid::RestoreDefaults(), 0) && (t == type::kMaple || t == type::kLarchUsb)) WaitForHidReturn();
  } else {
    RestoreDefaultsCommandSet();
  }
}

void RestartCommands::RestoreDefaultsCommandSet() {
  ShowProgress(kRestoringDefaults);
  channel_.SendCommand("RD");
  frame_.Loop().Sleep(kAfterRestartCommandMs);
  AwaitRestart();
}

bool RestartCommands::RestoreBlock(int area, int block) {
  if (usb_ == nullptr) return false;
  if (frame_.ControllerType == type::kBirch2Hid)
    return HidSend(hid::Birch2RestoreDefaults(static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(block)), 0);
  const std::uint8_t input[driver::kRestoreBlockSize] = {static_cast<std::uint8_t>(area), 0,
                                                         static_cast<std::uint8_t>(block), 0};
  if (!usb_->Driver().Request(driver::kRestoreMDefaults, input, 0).success) return false;
  frame_.Loop().Sleep(kBlockRestorePauseMs);
  return PollDriverStatus(kBlockRestoreStatusPolls, kStatusPollGapMs, false);
}

void RestartCommands::RestoreBlocks() {
  if (!IsUsbDriverLink(frame_.LinkKind) && frame_.ControllerType != type::kBirch2Hid) {
    if (IsHidLink(frame_.LinkKind))
      RestoreDefaults();
    else
      RestoreDefaultsCommandSet();
    return;
  }
  RestoreDefaultsDialog dialog;
  if (!frame_.Ui().RunDialog(dialog)) return;
  for (int block = 1; block <= 8; ++block)
    if (dialog.controllerBlocks[block - 1]) RestoreBlock(0, block);
  if (dialog.cableBlock4 && frame_.Ui().MessageBox(kDestroyLinearization, "KX7SDU", MessageButtons::kYesNo,
                                                   MessageIcon::kWarning) == Answer::kYes)
    RestoreBlock(1, 4);
}

void RestartCommands::RowanParameterRestore() {
  const bool usbLink = frame_.LinkKind >= link::kRivetwareUsb && frame_.LinkKind <= link::kKxHid;
  const bool entered = usbLink && !frame_.passThrough;
  if (entered && !channel_.EnterPassThrough('D')) return;
  channel_.SendCommand("PRD");
  channel_.WaitOk();
  if (entered) channel_.ExitPassThrough();
}

}  // namespace kx7
