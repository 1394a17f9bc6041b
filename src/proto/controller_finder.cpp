#include "proto/controller_finder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "controller/usb_device_table.h"
#include "platform/usb_hardware_ids.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

std::string PrintfInt(const char* pattern, int value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

bool Contains(const ReplyBytes& reply, std::size_t limit, const std::string& needle) {
  const std::string text(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(std::min(limit, reply.size())));
  return text.find(needle) != std::string::npos;
}

}  // namespace

ControllerFinder::ControllerFinder(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                                   ControllerIdentifier& identifier)
    : frame_(frame), channel_(channel), info_(info), identifier_(identifier) {
  usbHardwareIds = [] { return PresentUsbHardwareIds(); };
  frame_.startSearch = [this](std::uint32_t flags, bool restart) { FindController(flags, restart); };
  frame_.searchRunning = [this] { return running_; };
  frame_.hideControllerInfo = [this] { info_.Hide(); };
  frame_.closeControllerInfo = [this] { info_.Hide(); };
}

ControllerFinder::~ControllerFinder() {
  frame_.startSearch = nullptr;
  frame_.searchRunning = nullptr;
  frame_.hideControllerInfo = nullptr;
  frame_.closeControllerInfo = nullptr;
}

void ControllerFinder::SetFindRequester(WindowId window, MessageId message) {
  frame_.SetPendingNotification(window, message);
}

void ControllerFinder::Log(const std::string& text) { frame_.EchoToTerminal(text); }

bool ControllerFinder::PortAvailable(int number) const {
  return number >= 1 && number < static_cast<int>(available_.size()) && available_[static_cast<std::size_t>(number)];
}

void ControllerFinder::BuildPortAvailability() {
  available_.fill(false);
  for (const PortEntry& entry : frame_.Ports().Ports())
    if (entry.number >= 1 && entry.number < static_cast<int>(available_.size()) && !entry.bluetooth)
      available_[static_cast<std::size_t>(entry.number)] = true;
}

int ControllerFinder::ScanUsb(bool logging) {
  int matches = 0;
  const std::vector<std::string> ids = usbHardwareIds ? usbHardwareIds() : std::vector<std::string>{};
  for (const std::string& raw : ids) {
    std::string id = "[" + raw + "]";
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::toupper(c); });
    if (id.find("VID") == std::string::npos) continue;
    for (const UsbDeviceEntry& entry : UsbDeviceTable()) {
      if (entry.type == 0) break;
      if (id.find(entry.pattern) == std::string::npos) continue;
      if (logging) Log(id + "\r");
      usbScan_.type = entry.type;
      usbScan_.product = entry.product;
      usbScan_.known = true;
      ++matches;
    }
  }
  return matches;
}

void ControllerFinder::FindController(std::uint32_t flags, bool restart) {
  if (running_) return;
  running_ = true;
  Run(flags, restart);
  running_ = false;
  info_.EndSearch();
}

void ControllerFinder::Run(std::uint32_t flags, bool restart) {
  requestFlags_ = flags;
  if (restart) ScanUsb(true);
  hideAfter_ = (flags & find::kHideAfter) != 0;
  info_.BeginSearch();
  if (flags & find::kShowWindow) {
    info_.SetMoreEnabled(!hideAfter_);
    info_.SetLine(ControllerInfoWindow::kStatus, text::kSearching);
    info_.Show();
  }
  BuildPortAvailability();

  const int previous = frame_.LinkKind;
  frame_.CloseLink();
  bool retry = previous == link::kRivetwareDriver || previous == link::kRivetwareUsb || previous == link::kHid ||
               previous == link::kKxHid || (flags & find::kRetry) != 0;

  if (!usbScan_.known) ScanUsb(true);
  const UsbScanResult candidate = usbScan_;
  usbScan_ = UsbScanResult{};

  // The KX7 driver's controllers.
  if (!frame_.startup.noRivetwareSearch && kx7DriverStep) {
    switch (kx7DriverStep()) {
      case StepResult::kConnected:
        return;
      case StepResult::kCancelled:
        frame_.CloseLink();
        info_.Hide();
        FinishFind();
        return;
      case StepResult::kNotConnected:
        retry = false;
        break;
      case StepResult::kNothing:
        break;
    }
  }

  // HID controllers: several are picked from a list; one is opened by the USB scan's type.
  const int count = countHidControllers ? countHidControllers() : 0;
  Log(PrintfInt(count == 1 ? text::kCountedHidOne : text::kCountedHidMany, count));
  bool connected = false;
  if (count >= 2) {
    const StepResult picked = pickHidController ? pickHidController(count) : StepResult::kCancelled;
    if (picked == StepResult::kCancelled) {
      Fail();
      return;
    }
    connected = picked == StepResult::kConnected;
  } else if (candidate.known && connectByType) {
    connected = connectByType(candidate.type, candidate.product);
  }
  if (connected) return;
  if (flags & find::kStopAfterHid) {
    Fail();
    return;
  }

  frame_.LinkKind = retry ? previous : link::kRivetwareDriver;
  if (frame_.LinkKind == link::kRivetwareDriver && !frame_.startup.noRivetwareSearch && openRivetwareDriver &&
      openRivetwareDriver()) {
    frame_.Loop().Sleep(find::kRivetwareSettleMs);
    if (Cancelled()) {
      frame_.LinkKind = link::kClosed;
      return;
    }
    Log(text::kTryingRvDriver);
    if (PingController(0) > 0) return;
  }
  SerialScan(retry);
}

bool ControllerFinder::OpenControllerPort(int number) {
  CSerialPort& port = *frame_.serialPorts[port::kController];
  port.ClosePort();
  port.SetSettings(frame_.settings.MainPortSettings);
  return port.OpenPort(number);
}

bool ControllerFinder::SerialScan(bool retry) {
  if (frame_.startup.noSerialSearch) {
    Fail();
    return false;
  }
  const int current = frame_.LinkKind;
  for (int entry = 0; entry < kSearchSettingsCount; ++entry) {
    int first = 1;
    int last = link::kLastComPort;
    if (retry) {
      if (!IsSerialLink(current)) break;
      first = last = current;
    }
    for (int number = first; number <= last; ++number) {
      if (!PortAvailable(number)) continue;
      if (Cancelled()) {
        frame_.settings.MainPortSettings = kDefaultPortSettings;
        frame_.CloseLink();
        frame_.LinkKind = link::kClosed;
        return false;
      }
      frame_.LinkKind = number;
      if (entry > 0) frame_.settings.MainPortSettings = kSearchSettings[static_cast<std::size_t>(entry)];
      if (!OpenControllerPort(number)) {
        available_[static_cast<std::size_t>(number)] = false;
        frame_.LinkKind = link::kClosed;
        continue;
      }
      info_.SetLine(ControllerInfoWindow::kPort, PrintfInt("COM%2d ", number) + frame_.settings.MainPortSettings);
      const int result = PingController(reply::kShortWait);
      if (result > 0) return frame_.LinkKind != link::kClosed;
      if (result < 0) available_[static_cast<std::size_t>(number)] = false;
    }
  }
  Fail();
  return false;
}

void ControllerFinder::Fail() {
  frame_.CloseLink();
  frame_.LinkKind = link::kClosed;
  // The last settings tried are no one's choice: the next "Existing" starts from the default.
  frame_.settings.MainPortSettings = kDefaultPortSettings;
  info_.Hide();
  if (frame_.startup.download) {
    // A command-line job ends the program when nothing was found.
    frame_.exitCode = 1;
    frame_.Post(wm::kClose);
    return;
  }
  ShowMessage(frame_.Ui(), text::kCantFindController);
  FinishFind();
}

int ControllerFinder::PingController(std::uint32_t flags) {
  if (Cancelled()) {
    Log(text::kFindCanceled);
    frame_.settings.MainPortSettings = kDefaultPortSettings;
    frame_.CloseLink();
    return 1;
  }
  Log(text::kPing + info_.LineText(ControllerInfoWindow::kPort) + "\r");
  channel_.SendCommand("Z");
  const ReplyBytes reply = channel_.Transact(3, flags | reply::kEndOnZ | reply::kEndOnOk);
  const bool echo = (reply.size() == 2 && Contains(reply, 63, "\x01Z")) ||
                    (reply.size() > 2 && Contains(reply, 63, "\x01Z\r"));
  if (echo) {
    frame_.CloseLink();
    return -1;
  }
  if (reply.size() >= 3 && Contains(reply, 63, "\x01"
                                               "0\r")) {
    info_.SetLine(ControllerInfoWindow::kStatus, text::kFound);
    if (channel_.HighBitSeen()) {
      if (IsSerialLink(frame_.LinkKind)) {
        // An 8-bit controller read at 7 bits: keep the speed, change the framing.
        std::string settings = frame_.settings.MainPortSettings;
        const std::size_t comma = settings.find(',');
        settings = (comma == std::string::npos ? settings : settings.substr(0, comma)) + ",N,7,2";
        frame_.settings.MainPortSettings = settings;
        OpenControllerPort(frame_.LinkKind);
      } else {
        channel_.SendCommand("PN81");
        channel_.WaitOk();
      }
    }
    identifier_.IdentifyThroughCommandSet();
    FinishFind();
    return 1;
  }
  frame_.CloseLink();
  return 0;
}

void ControllerFinder::FinishFind() {
  if (frame_.startup.download && !jobStarted_) {
    jobStarted_ = true;
    if (startDownloadJob) {
      startDownloadJob();
    } else {
      // Nothing can load firmware in this build: the job ends as failed.
      frame_.exitCode = 1;
      frame_.Post(wm::kClose);
    }
    return;
  }
  if (info_.Shown()) {
    info_.SetLine(ControllerInfoWindow::kStatus, text::kFound);
    info_.SetCloseButtonText("OK");
    frame_.Loop().Sleep(find::kWaitAfterFoundMs);
  }
  if (const CMainFrame::PendingNotification pending = frame_.pendingNotification; pending.window != kNoWindow) {
    info_.Hide();
    frame_.Loop().Post(pending.window, pending.message, pending.message, static_cast<LParam>(pending.message));
    frame_.pendingNotification = {};
    return;
  }
  if (!(requestFlags_ & find::kShowWindow)) info_.Hide();
  if (hideAfter_) frame_.SetTimer(timer::kHideControllerInfo, kHideControllerInfoMs);
}

}  // namespace kx7
