#include "frame/main_frame.h"

#include "app/options_sheet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/app_texts.h"
#include "app/command_line_help.h"
#include "app/options_sheet.h"
#include "controller/controller_families.h"
#include "controller/controller_type_names.h"
#include "controller/controller_types.h"
#include "controller/usb_device_table.h"
#include "frame/command_ids.h"
#include "frame/frame_texts.h"
#include "frame/messages.h"
#include "link/serial/port_settings_dialog.h"

namespace kx7 {
namespace {

constexpr const char* kRobotSettings = "9600,E,7,1";

std::string Format(const char* pattern, int value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

}  // namespace

CMainFrame::CMainFrame(MessageLoop& loop, UiHost& ui, PortDirectory& ports, const StartupFlags& flags,
                       const Environment& environment)
    : Window(loop), startup(flags), ui_(ui), portDirectory_(ports), environment_(environment) {
  for (int slot = 0; slot < kSerialPortCount; ++slot)
    serialPorts[static_cast<std::size_t>(slot)] = std::make_unique<CSerialPort>(slot, *this, portDirectory_);
  statusTexts_[pane::kLink] = text::kPortClosed;
  RegisterFrameCommands();
}

CMainFrame::~CMainFrame() {
  while (!subsystems_.empty()) subsystems_.pop_back();
  deviceWatcher_.Stop();
  for (auto& port : serialPorts) port->ClosePort();
}

void CMainFrame::Create() {
  LoadSettings();
  if (settingsDamaged) SetStatusText(pane::kMessage, kTextSettingsDamaged);
  BuildPortMenus();
  // The "HELLO_KX7SDU" message of the haptic demo needs no registration here: another program
  // reaches us through the same message number whenever slot 27 is taken.
  if (startup.birch2Usb)
    Post(msg::kConnect, 0x10, 1);
  else if (settings.Options.FindOnLaunch && !startup.noSearch)
    Post(msg::kConnect, 0x0A, 1);
}

// --- Settings ------------------------------------------------------------------------------

int CMainFrame::LoadSettings() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::path(environment_.settingsFolder) / kSettingsFileName;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (!error) path = absolute;
  settingsPath_ = path.string();
  settingsDamaged = false;
  const SettingsLoadResult result = LoadSettingsFile(path, settings);
  int loaded = 1;
  switch (result) {
    case SettingsLoadResult::kRead:
      break;
    case SettingsLoadResult::kDamaged:
      settingsDamaged = true;
      break;
    case SettingsLoadResult::kMissing:
      settings = SettingsFile{};
      SaveSettings();
      loaded = 0;
      break;
    case SettingsLoadResult::kUnreadable:
      // Something that is not a settings file has the name (a folder, a pipe): keep the defaults
      // in memory and leave it alone.
      settings = SettingsFile{};
      loaded = 0;
      break;
  }
  LinkKind = settings.SavedLinkKind;
  return loaded;
}

void CMainFrame::SaveSettings() {
  settings.SavedLinkKind = LinkKind;
  // A folder that cannot be written keeps the settings in memory only; nothing is reported.
  SaveSettingsFile(settingsPath_, settings);
}

// --- Receive and dispatch ------------------------------------------------------------------

void CMainFrame::OnPortData(int port) {
  ReceiveBuffer& buffer = buffers[static_cast<std::size_t>(port)];
  const std::size_t count = std::min<std::size_t>(buffer.count.load(), kReceiveBufferSize);
  if (count == 0) {
    buffer.bufferFree.Set();
    return;
  }
  std::array<std::uint8_t, kReceiveBufferSize> local;
  std::copy_n(buffer.bytes.begin(), count, local.begin());
  buffer.count = 0;
  // The reader may fill the buffer again while this block is dispatched.
  buffer.bufferFree.Set();
  switch (port) {
    case port::kController:
      linkFlags.received = 1;
      if (!touchInputMode) DispatchBytes(local.data(), count);
      break;
    case port::kScanner:
      if (scannerInput) scannerInput(local.data(), count);
      break;
    case port::kRobot:
      if (robotInput) robotInput(local.data(), count);
      break;
    default: {
      const int monitor = port - port::kMonitorFirst;
      const WindowId window = monitorWindows[static_cast<std::size_t>(monitor)];
      for (std::size_t i = 0; i < count && window != kNoWindow; ++i)
        Loop().Post(window, msg::kMonitorByte1 + static_cast<MessageId>(monitor), local[i], 0);
      break;
    }
  }
}

void CMainFrame::DispatchBytes(const std::uint8_t* bytes, std::size_t count) {
  linkFlags.stopFanOut = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // The table is read again after each listener: one may have joined or left.
    for (int slot = listeners.NextActive(-1); slot >= 0; slot = listeners.NextActive(slot)) {
      if (slot == slot::kMemoryExchange) {
        if (memoryExchange) memoryExchange->OnByte(bytes[i]);
      } else if (slot == slot::kReplyCollector) {
        if (replyCollector) replyCollector->OnByte(bytes[i]);
      } else if (const WindowId window = listeners.Listener(slot); window != kNoWindow) {
        Loop().Send(window, msg::kListenerByte, bytes[i], 0);
      }
      // A listener that cleared the link drops the rest of the block.
      if (linkFlags.stopFanOut.load() == 1) return;
    }
  }
}

void CMainFrame::OnRecord(std::size_t length) {
  ReceiveBuffer& buffer = buffers[port::kController];
  std::array<std::uint8_t, kMaxRecordBytes> record{};
  const std::size_t count = std::min<std::size_t>(length, kMaxRecordBytes);
  std::copy_n(buffer.bytes.begin(), count, record.begin());
  buffer.count = 0;
  buffer.bufferFree.Set();
  linkFlags.stopFanOut = 0;
  for (int slot = 0; slot < kListenerSlots; ++slot) {
    if (!listeners.IsActive(slot)) continue;
    if (const WindowId window = listeners.Listener(slot); window != kNoWindow)
      Loop().Send(window, msg::kListenerRecord, count, reinterpret_cast<LParam>(record.data()));
    if (linkFlags.stopFanOut.load() == 1) return;
  }
}

void CMainFrame::SendToListener(int slot, MessageId message, WParam wParam, LParam lParam) {
  if (listeners.IsActive(slot)) Loop().Send(listeners.Listener(slot), message, wParam, lParam);
}

// --- Messages ------------------------------------------------------------------------------

LResult CMainFrame::OnMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case msg::kPortData:
    case msg::kScannerData:
    case msg::kRobotData:
    case msg::kMonitorData1:
    case msg::kMonitorData2:
    case msg::kMonitorData3:
      OnPortData(static_cast<int>(message - msg::kPortData));
      return 0;
    case msg::kByteReceived: {
      linkFlags.received = 1;
      const std::uint8_t byte = static_cast<std::uint8_t>(wParam);
      DispatchBytes(&byte, 1);
      return 0;
    }
    case msg::kOpenDrawWindow:
      if (openDrawWindow) openDrawWindow(wParam != 0);
      return 0;
    case msg::kConnect:
      OnConnectRequest(static_cast<std::uint32_t>(wParam), lParam);
      return 0;
    case msg::kRecord:
      OnRecord(wParam);
      return 0;
    case msg::kRestartDone:
      if (closeRebootProgress) closeRebootProgress();
      if (!restartAnswered || restartAnswered()) Post(msg::kConnect, 1, 0);
      return 0;
    case msg::kSendByte: {
      if (!sendByte) return 0;
      const std::uint8_t byte = static_cast<std::uint8_t>(wParam);
      sendByte(byte);
      // In pass-through a serial Rowan/Cedar controller (or a haptic Birch) takes DLE doubled.
      const bool stuffs = IsSerialRowanCedar(ControllerType) || (ControllerFeatures & feature::kHaptic) != 0;
      if (passThrough && LinkKind != link::kHid && byte == 0x10 && stuffs) sendByte(byte);
      return 0;
    }
    case msg::kLineOverrun:
    case msg::kLineOverflow:
      OnLineError(wParam, lParam);
      return 0;
    case msg::kCloseLinkRequest:
      CloseLink();
      LinkKind = link::kClosed;
      return 0;
    case msg::kHelloValue:
      SendToListener(slot::kHaptic, msg::kHelloValue, wParam, lParam);
      return 0;
    case msg::kRestartLineErrorTimer:
      SetTimer(timer::kLineError, kLineErrorMs);
      return 0;
    case msg::kDeviceEvents:
      for (const DeviceChange& change : deviceWatcher_.TakeEvents())
        OnDeviceChange(change.kind == DeviceChange::Kind::kArrival ? device_event::kArrival
                                                                   : device_event::kRemoveComplete,
                       &change);
      return 0;
    case wm::kDeviceChange:
      OnDeviceChange(wParam, nullptr);
      return 1;
    case wm::kTimer:
      OnTimer(static_cast<std::uint32_t>(wParam));
      return 0;
    case wm::kClose:
      OnClose();
      return 0;
    case wm::kCommand:
      OnCommand(static_cast<std::uint32_t>(wParam));
      return 0;
    default:
      return 0;
  }
}

void CMainFrame::OnLineError(WParam bits, LParam count) {
  if (bits == 0) {
    SetStatusText(pane::kMessage, "");
    return;
  }
  if (bits & 0x2) SetStatusText(pane::kMessage, text::kUartOverrun);
  if (bits & 0x1) SetStatusText(pane::kMessage, Format(text::kDriverOverflow, static_cast<int>(count)));
}

void CMainFrame::OnTimer(std::uint32_t id) {
  switch (id) {
    case timer::kMemoryExchange:
      ClearListener(slot::kMemoryExchange);
      ClearListener(slot::kReplyCollector);
      KillTimer(id);
      break;
    case timer::kReply:
      if (onReplyTimeout)
        onReplyTimeout();
      else
        KillTimer(id);
      break;
    case timer::kHideControllerInfo:
      KillTimer(id);
      if (hideControllerInfo) hideControllerInfo();
      break;
    case timer::kLineError:
      linkFlags.parityError = 0;
      linkFlags.framingError = 0;
      KillTimer(id);
      break;
    case timer::kConnectPlugged:
      KillTimer(id);
      Post(msg::kConnect, 0x0E, 0);
      break;
    case timer::kPostLater:
      KillTimer(id);
      Loop().Post(postLater_.window, postLater_.message, postLater_.message, 0);
      break;
    case timer::kPostWhenLinked:
      if (LinkKind != link::kClosed) {
        KillTimer(id);
        postLater_ = postWhenLinked_;
        SetTimer(timer::kPostLater, kPostWhenLinkedStepMs);
      }
      break;
    case timer::kHidPoll:
      if (onHidPoll)
        onHidPoll();
      else
        KillTimer(id);
      break;
    default:
      if (auto it = timerHandlers.find(id); it != timerHandlers.end())
        it->second();
      else
        KillTimer(id);
      break;
  }
}

void CMainFrame::PostLater(WindowId window, MessageId message, std::uint32_t delayMs) {
  if (closing) {
    Post(wm::kClose);
    return;
  }
  postLater_ = Delayed{window, message};
  SetTimer(timer::kPostLater, delayMs);
}

void CMainFrame::PostWhenLinked(WindowId window, MessageId message, std::uint32_t delayMs) {
  if (closing) {
    Post(wm::kClose);
    return;
  }
  postWhenLinked_ = Delayed{window, message};
  SetTimer(timer::kPostWhenLinked, delayMs);
}

// --- Start-up request ----------------------------------------------------------------------

void CMainFrame::OnConnectRequest(std::uint32_t flags, LParam restart) {
  if (flags & 0x10) {
    // The connect says "Couldn't connect" itself when the device does not open.
    if (connectBirch2Usb)
      connectBirch2Usb();
    else
      ShowMessage(ui_, text::kCouldntConnect);
    return;
  }
  if (searchRunning && searchRunning()) return;
  if (restart != 0) {
    // The search scans the USB devices itself when it is asked to restart.
    LinkKind = link::kClosed;
    if (settings.ScannerPort == kUsbScannerDialog) settings.ScannerPort = 0;
    if (settings.ScannerPort >= 1 && settings.ScannerPort <= 16) {
      serialPorts[port::kScanner]->ClosePort();
      if (!OpenSerial(port::kScanner, settings.ScannerPort, settings.ScannerPortSettings)) settings.ScannerPort = 0;
    }
    if (robotPort >= 1 && robotPort <= 16) {
      serialPorts[port::kRobot]->ClosePort();
      if (!OpenSerial(port::kRobot, robotPort, kRobotSettings)) robotPort = 0;
    }
    RegisterForDeviceNotifications();
  }
  if (startSearch) {
    startSearch(flags, restart != 0);
  } else if (startup.download) {
    // Nothing can be found without a search: the download job ends as "not found".
    exitCode = 1;
    Post(wm::kClose);
  }
}

void CMainFrame::RegisterForDeviceNotifications() {
  if (registeredForDevices) return;
  registeredForDevices = deviceWatcher_.Start([this] { Post(msg::kDeviceEvents); });
}

// --- Link ----------------------------------------------------------------------------------

bool CMainFrame::OpenSerial(int slot, int number, const std::string& portSettings) {
  CSerialPort& port = *serialPorts[static_cast<std::size_t>(slot)];
  port.SetSettings(portSettings);
  return port.OpenPort(number);
}

void CMainFrame::OnOpenTimedOut() {
  if (hideControllerInfo) hideControllerInfo();
  CloseLink();
}

void CMainFrame::CloseDrawAndScopeWindows() {
  if (listeners.IsActive(slot::kDraw) && drawIsFullScreen)
    Loop().Send(listeners.Listener(slot::kDraw), wm::kClose);
  if (listeners.IsActive(slot::kScope)) Loop().Send(listeners.Listener(slot::kScope), wm::kClose);
}

int CMainFrame::CloseLink() {
  touchInputMode = false;
  if (LinkKind == link::kClosed) {
    passThrough = false;
    return 0;
  }
  CloseDrawAndScopeWindows();
  if (passThrough && exitPassThrough) exitPassThrough();
  passThrough = false;
  if (IsSerialLink(LinkKind)) {
    serialPorts[port::kController]->ClosePort();
    LinkKind = link::kClosed;
    linkFlags.parityError = 0;
    linkFlags.framingError = 0;
    linkFlags.cts = 0;
    linkFlags.dsr = 0;
  } else if (LinkKind == link::kDriverFile) {
    if (closeUsbLink) closeUsbLink(LinkKind);
    LinkKind = link::kClosed;
  } else if (LinkKind == link::kRivetwareDriver || LinkKind == link::kRivetwareUsb || LinkKind == link::kHid ||
             LinkKind == link::kKxHid) {
    if (closeUsbLink) closeUsbLink(LinkKind);
    LinkKind = link::kClosed;
    // The drivers need a moment before the device can be opened again.
    Loop().Sleep(kDriverSettleMs);
    ControllerType = type::kGeneric;
    return 1;
  } else if (LinkKind == link::kKxUsb) {
    if (closeUsbLink) closeUsbLink(LinkKind);
    LinkKind = link::kClosed;
  } else {
    LinkKind = link::kClosed;
    return 0;
  }
  ControllerType = type::kGeneric;
  return 0;
}

// --- Closing -------------------------------------------------------------------------------

void CMainFrame::OnClose() {
  if (closed_) return;
  closing = true;
  if (closeControllerInfo) closeControllerInfo();
  // A running exchange sees the closing flag and gives up; the user closes again.
  if (listeners.IsActive(slot::kMemoryExchange) || listeners.IsActive(slot::kReplyCollector)) return;
  if (LinkKind != link::kClosed && listeners.IsActive(slot::kScope))
    Loop().Send(listeners.Listener(slot::kScope), wm::kClose);
  deviceWatcher_.Stop();
  registeredForDevices = false;
  CloseLink();
  if (settings.ScannerPort != 0) serialPorts[port::kScanner]->ClosePort();
  if (robotPort != 0) serialPorts[port::kRobot]->ClosePort();
  for (int i = 0; i < 3; ++i)
    if (monitorPorts[static_cast<std::size_t>(i)] != 0)
      serialPorts[static_cast<std::size_t>(port::kMonitorFirst + i)]->ClosePort();
  if (stopLogging) stopLogging();
  SaveSettings();
  closed_ = true;
  // Nested waits still on the stack end with the loop.
  Loop().Quit();
  if (destroyWindow) destroyWindow();
}

// --- Device changes ------------------------------------------------------------------------

void CMainFrame::OnDeviceChange(WParam event, const DeviceChange* change) {
  switch (event) {
    case device_event::kArrival: {
      if (LinkKind != link::kClosed) return;
      CloseDrawAndScopeWindows();
      arrivalPending = true;
      const bool known = change != nullptr && FindUsbDevice(change->vendor, change->product) != nullptr;
      if (known && LinkKind == link::kClosed) {
        EchoToTerminal(text::kControllerPlugged);
        SetTimer(timer::kConnectPlugged, startup.longPlugDelay ? kLongPlugDelayMs : kPlugDelayMs);
      }
      return;
    }
    case device_event::kRemoveComplete:
    case device_event::kNodesChanged: {
      if (!IsUsbLink(LinkKind)) return;
      KillTimer(timer::kConnectPlugged);
      arrivalPending = false;
      if (usbDevicePresent && usbDevicePresent()) return;
      if (event == device_event::kRemoveComplete) EchoToTerminal(text::kUsbRemoveComplete);
      EchoToTerminal(text::kClosingUsb);
      if (closeUsbLink) closeUsbLink(LinkKind);
      if (resetTerminalDecoder) resetTerminalDecoder();
      LinkKind = link::kClosed;
      passThrough = false;
      touchInputMode = false;
      ControllerType = type::kGeneric;
      ControllerFeatures = 0;
      SetStatusText(pane::kLink, text::kPortClosed);
      SetStatusText(pane::kType, "");
      CloseDrawAndScopeWindows();
      EchoToTerminal(text::kControllerRemoved);
      return;
    }
    case device_event::kRemovePending:
      KillTimer(timer::kConnectPlugged);
      return;
    default:
      return;
  }
}

// --- Status bar ----------------------------------------------------------------------------

void CMainFrame::SetStatusText(int pane, const std::string& text) {
  if (pane < 0 || pane >= kStatusPaneCount) return;
  statusTexts_[static_cast<std::size_t>(pane)] = text;
  ui_.Invalidate(Id());
}

std::string CMainFrame::LinkText() const {
  std::string text;
  if (IsSerialLink(LinkKind)) {
    text = Format("COM%d ", LinkKind) + settings.MainPortSettings;
  } else {
    switch (LinkKind) {
      case link::kClosed:
        return text::kPortClosed;
      case link::kRivetwareDriver:
        text = "RVDriver @" + driverDeviceName;
        break;
      case link::kDriverFile:
        text = "KXDriver @" + driverDeviceName;
        break;
      case link::kRivetwareUsb:
        text = birch2UsbVariant ? "Birch2 RVUSB Driver" : "RVUSB Driver";
        break;
      case link::kHid:
        text = hidIndex >= 0 ? Format("HID #%d", hidIndex + 1) : std::string("HID Driver");
        break;
      case link::kKxUsb:
        text = "KXUSB Driver";
        break;
      case link::kKxHid:
        text = "KXHID Driver";
        break;
      default:
        return text::kPortClosed;
    }
  }
  return passThrough ? text::kPassThruPrefix + text : text;
}

std::string CMainFrame::TypeText() const {
  if (ControllerType == 0 || LinkKind == link::kClosed) return std::string();
  return ControllerTypeText(ControllerType, ControllerFeatures, PenMode);
}

void CMainFrame::UpdateStatusPanes() {
  const bool serial = IsSerialLink(LinkKind);
  statusTexts_[pane::kParity] = serial && linkFlags.parityError ? text::kPaneParity : "";
  statusTexts_[pane::kFraming] = linkFlags.framingError ? text::kPaneFraming : "";
  statusTexts_[pane::kCts] = linkFlags.cts ? text::kPaneCts : "";
  statusTexts_[pane::kDsr] = linkFlags.dsr ? text::kPaneDsr : "";
  statusTexts_[pane::kRecorder] = recorderState;
  statusTexts_[pane::kLink] = LinkText();
  statusTexts_[pane::kType] = TypeText();
  statusTexts_[pane::kRobot] = robotDialogOpen ? text::kPaneRobot : "";
  statusTexts_[pane::kScanner] = settings.ScannerPort != 0 ? text::kPaneScanner : "";
  statusTexts_[pane::kLog] = logFileOpen ? text::kPaneLog : "";
}

// --- Terminal ------------------------------------------------------------------------------

void CMainFrame::EchoToTerminal(char c) {
  if (terminalEcho && listeners.IsActive(slot::kTerminal) && settings.Options.LoopbackSentChars) terminalEcho->EchoChar(c);
}

void CMainFrame::EchoToTerminal(const std::string& text) {
  for (char c : text) EchoToTerminal(c);
}

void CMainFrame::ShowInTerminal(const std::string& text) {
  for (char c : text) SendToListener(slot::kTerminal, msg::kListenerByte, static_cast<std::uint8_t>(c), 0);
}

Rect CMainFrame::FullScreenRect() const {
  return FullScreenRectFor(startup, environment_.screenWidth, environment_.screenHeight, environment_.borderX,
                           environment_.borderY);
}

// --- Commands ------------------------------------------------------------------------------

void CMainFrame::RegisterCommands(std::uint32_t first, std::uint32_t last, CommandHandler handler,
                                  CommandUpdater updater) {
  // A later registration takes over the ids it covers.
  commandRanges_.insert(commandRanges_.begin(), CommandRange{first, last, std::move(handler), std::move(updater)});
}

bool CMainFrame::OnCommand(std::uint32_t id) {
  for (const CommandRange& range : commandRanges_) {
    if (id < range.first || id > range.last) continue;
    // A command whose item is disabled does nothing, whoever sends it.
    if (range.updater && !range.updater(id).enabled) return false;
    range.handler(id);
    return true;
  }
  return false;
}

CommandState CMainFrame::UpdateCommand(std::uint32_t id) const {
  for (const CommandRange& range : commandRanges_)
    if (id >= range.first && id <= range.last) return range.updater ? range.updater(id) : CommandState{true, false};
  return CommandState{};
}

void CMainFrame::BuildPortMenus() {
  menus_ = BuildMainMenu();
  std::vector<std::pair<int, std::string>> items;
  listedPorts_.clear();
  for (const PortEntry& entry : portDirectory_.Ports()) {
    if (entry.number < 0 || entry.number > kMaxListedPort) continue;
    items.emplace_back(entry.number, PortDirectory::MenuText(entry));
    listedPorts_.push_back(entry.number);
  }
  InsertPortItems(menus_, items);
}

void CMainFrame::RegisterFrameCommands() {
  // Controller port menu.
  RegisterCommands(
      cmd::kCloseActivePort, cmd::kCloseActivePort + kMaxListedPort,
      [this](std::uint32_t id) { OnControllerPortCommand(id); },
      [this](std::uint32_t id) {
        const int number = static_cast<int>(id - cmd::kCloseActivePort);
        if (number == 0) return CommandState{true, LinkKind == link::kClosed};
        // Only ports 1 to 256 can carry the controller link; the scanner's own port is taken.
        const bool usable = number <= link::kLastComPort && number != settings.ScannerPort;
        return CommandState{usable, usable && LinkKind == number};
      });
  // Robot port.
  RegisterCommands(
      cmd::kRobotPortOff, cmd::kRobotPortOff + 4, [this](std::uint32_t id) { OnRobotPortCommand(id); },
      [this](std::uint32_t id) { return CommandState{true, static_cast<int>(id - cmd::kRobotPortOff) == robotPort}; });
  // Copy, Select All and Paste are the active child's business.
  auto toChild = [this](MessageId message) {
    return [this, message](std::uint32_t) {
      if (activeChild != kNoWindow) Loop().Post(activeChild, message);
    };
  };
  auto always = [](std::uint32_t) { return CommandState{true, false}; };
  RegisterCommands(cmd::kCopy, cmd::kCopy, toChild(msg::kCopy), always);
  RegisterCommands(cmd::kSelectAll, cmd::kSelectAll, toChild(msg::kSelectAll), always);
  RegisterCommands(cmd::kPaste, cmd::kPaste, toChild(msg::kPaste), always);
  RegisterCommands(
      cmd::kCloseChild, cmd::kCloseChild,
      [this](std::uint32_t) {
        if (activeChild != kNoWindow) Loop().Post(activeChild, wm::kClose);
      },
      [this](std::uint32_t) { return CommandState{activeChild != kNoWindow, false}; });
  RegisterCommands(
      cmd::kShowTextLabels, cmd::kShowTextLabels,
      [this](std::uint32_t) {
        settings.Options.ShowTextLabels = settings.Options.ShowTextLabels ? 0 : 1;
        if (rebuildToolbars) rebuildToolbars();
      },
      [this](std::uint32_t) { return CommandState{true, settings.Options.ShowTextLabels != 0}; });
  RegisterCommands(
      cmd::kClassicToolbar, cmd::kClassicToolbar,
      [this](std::uint32_t) {
        settings.Options.ClassicToolbar = settings.Options.ClassicToolbar ? 0 : 1;
        if (rebuildToolbars) rebuildToolbars();
      },
      [this](std::uint32_t) { return CommandState{true, settings.Options.ClassicToolbar != 0}; });
  RegisterCommands(cmd::kExit, cmd::kExit, [this](std::uint32_t) { Post(wm::kClose); }, always);
  RegisterCommands(
      cmd::kAbout, cmd::kAbout,
      [this](std::uint32_t) { ui_.MessageBox(AboutText(), kAboutCaption, MessageButtons::kOk, MessageIcon::kInformation); },
      always);
  RegisterCommands(
      cmd::kOptions, cmd::kOptions,
      [this](std::uint32_t) {
        COptionsSheet sheet(settings.Options, ui_, [this](const OptionsBlock& options, bool ok) {
          settings.Options = options;
          // Apply repaints the draw window of a single-touch controller; OK rebuilds the
          // toolbars and repaints whichever draw window is open.
          const bool drawOpen = listeners.IsActive(slot::kDraw);
          if (ok && rebuildToolbars) rebuildToolbars();
          if (drawOpen && (ok || !IsMultiTouchController(ControllerType, ControllerFeatures)))
            ui_.Invalidate(listeners.Listener(slot::kDraw));
        });
        ui_.RunDialog(sheet);
      },
      always);
  RegisterCommands(
      cmd::kCommandLineHelp, cmd::kCommandLineHelp,
      [this](std::uint32_t) {
        CommandLineHelpModel help;
        ui_.RunDialog(help);
      },
      always);
}

void CMainFrame::OnControllerPortCommand(std::uint32_t id) {
  const int previous = LinkKind;
  const bool wasSerial = IsSerialLink(previous);
  CloseLink();
  if (id == cmd::kCloseActivePort) {
    LinkKind = link::kClosed;
    return;
  }
  const int number = static_cast<int>(id - cmd::kCloseActivePort);
  CSerialPort& port = *serialPorts[port::kController];
  if (!OpenSerial(port::kController, number, settings.MainPortSettings)) {
    ShowMessage(ui_, text::kCantOpenPort);
    LinkKind = link::kClosed;
    return;
  }
  port.ClosePort();
  linkFlags.parityError = linkFlags.framingError = linkFlags.cts = linkFlags.dsr = 0;
  portSettingsDialogMode = 1;
  PortSettingsDialogModel dialog(settings.MainPortSettings, port.Rts(), port.Dtr(),
                                 [this, &port](const std::string& text, bool rts, bool dtr) {
                                   port.SetSettings(text);
                                   settings.MainPortSettings = text;
                                   port.SetRts(rts);
                                   port.SetDtr(dtr);
                                 });
  const bool confirmed = ui_.RunDialog(dialog);
  // The program may have closed while the dialog was open; nothing is reopened then.
  if (closing) return;
  if (confirmed) {
    linkFlags.parityError = linkFlags.framingError = linkFlags.cts = linkFlags.dsr = 0;
    if (OpenSerial(port::kController, number, settings.MainPortSettings)) {
      LinkKind = number;
    } else {
      ShowMessage(ui_, text::kCantOpenPort);
      LinkKind = link::kClosed;
    }
    return;
  }
  if (wasSerial && OpenSerial(port::kController, previous, settings.MainPortSettings)) LinkKind = previous;
}

void CMainFrame::OnRobotPortCommand(std::uint32_t id) {
  CSerialPort& port = *serialPorts[port::kRobot];
  port.ClosePort();
  const int number = static_cast<int>(id - cmd::kRobotPortOff);
  robotPort = 0;
  if (number == 0) return;
  port.SetSettings(kRobotSettings);
  port.SetRts(true);
  port.SetDtr(true);
  if (!port.OpenPort(number)) {
    ShowMessage(ui_, text::kCantOpenAsymtekPort);
    return;
  }
  robotPort = number;
  if (openRobotDialog) openRobotDialog();
}

}  // namespace kx7
