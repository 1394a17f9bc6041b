// The main frame: the one object that holds the program's state (the link, the identified
// controller, the six serial ports and their receive buffers, the listener table, the settings and
// the status bar) and routes every received byte and every menu command.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings_file.h"
#include "controller/controller_types.h"
#include "frame/frame_constants.h"
#include "frame/listener_table.h"
#include "frame/menu_model.h"
#include "frame/messages.h"
#include "link/receive_buffer.h"
#include "link/serial/serial_port.h"
#include "link/serial/serial_port_host.h"
#include "params/block_store.h"
#include "platform/device_watcher.h"
#include "platform/port_directory.h"
#include "platform/ui_host.h"
#include "platform/window.h"

namespace kx7 {

struct ControllerProtocol;
class LogFile;
class CTerminalWnd;
class ToolsLauncher;

// Enabled and checked state of a command, as the menus and toolbars show it.
struct CommandState {
  bool enabled = false;
  bool checked = false;
};

// A collector that the frame calls directly with every received byte (slots 3 and 6).
class ByteCollector {
 public:
  virtual ~ByteCollector() = default;
  virtual void OnByte(std::uint8_t byte) = 0;
};

// The terminal's echo of sent bytes and status lines in the "sent" colour.
class TerminalEcho {
 public:
  virtual ~TerminalEcho() = default;
  virtual void EchoChar(char c) = 0;
};

// A driver record is copied out of the receive buffer up to this length.
inline constexpr std::size_t kMaxRecordBytes = 100;
// Port menus list COM ports up to this number; only 1 to 256 can carry the controller link.
inline constexpr int kMaxListedPort = 511;
// ScannerPort value of the USB scanner dialog.
inline constexpr int kUsbScannerDialog = 35258;

class CMainFrame : public Window, public SerialPortHost {
 public:
  struct Environment {
    int screenWidth = 1280;
    int screenHeight = 1024;
    int borderX = 4;
    int borderY = 4;
    std::string settingsFolder = ".";  // the current folder at start
  };

  CMainFrame(MessageLoop& loop, UiHost& ui, PortDirectory& ports, const StartupFlags& flags,
             const Environment& environment);
  ~CMainFrame() override;

  // The creation steps after the window exists: settings, port menus, the start-up request.
  void Create();

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

  // --- State read and written by every window ---------------------------------------------
  int LinkKind = 0;
  std::uint32_t ControllerType = type::kGeneric;
  std::uint32_t ControllerFeatures = 0;
  std::uint32_t PenMode = kPenAuto;
  // The contact mode of a multi-contact controller (a Cedar option parameter or the HID status),
  // 0 when unknown.
  int MultiTouchMode = 0;
  // The controller takes two touches at once (the Birch2 identity says so); the draw tools read it.
  bool twoTouch = false;
  bool passThrough = false;
  bool touchInputMode = false;
  bool closing = false;
  bool logFileOpen = false;
  bool arrivalPending = false;
  int portSettingsDialogMode = 1;  // 1 to 6: the serial port "Port Settings" edits
  int robotPort = 0;
  std::array<int, 3> monitorPorts{};
  std::array<std::string, 3> monitorPortSettings{"9600,N,8,1", "9600,N,8,1", "9600,N,8,1"};
  int exitCode = 0;
  bool settingsDamaged = false;

  StartupFlags startup;
  SettingsFile settings;
  ListenerTable listeners;
  // The copies of the controller's parameter blocks that `ReadBlock` with no buffer fills.
  BlockStore blocks;
  LinkFlags linkFlags;
  std::array<ReceiveBuffer, kSerialPortCount> buffers;
  std::array<std::unique_ptr<CSerialPort>, kSerialPortCount> serialPorts;

  UiHost& Ui() const { return unattendedUi_ != nullptr ? *unattendedUi_ : ui_; }
  PortDirectory& Ports() const { return portDirectory_; }

  // --- Listener table and dispatch --------------------------------------------------------
  void SetListener(int slot, WindowId window) { listeners.SetListener(slot, window); }
  void ClearListener(int slot) { listeners.ClearListener(slot); }
  void DispatchBytes(const std::uint8_t* bytes, std::size_t count);
  // Slots 3 and 6 are called directly; the memory exchange and the reply collector set these.
  ByteCollector* memoryExchange = nullptr;
  ByteCollector* replyCollector = nullptr;
  TerminalEcho* terminalEcho = nullptr;

  // --- Status bar -----------------------------------------------------------------------
  void SetStatusText(int pane, const std::string& text);
  // Recomputes panes 1 to 10 from the state, as the idle update does.
  void UpdateStatusPanes();
  const std::string& StatusText(int pane) const { return statusTexts_[static_cast<std::size_t>(pane)]; }
  std::string LinkText() const;
  std::string TypeText() const;
  // Terminal recorder state ("REC", "PLAY", ""), set by the terminal.
  std::string recorderState;
  bool robotDialogOpen = false;

  // --- Link ------------------------------------------------------------------------------
  // Closes whatever link LinkKind names; 1 for the driver and HID links that need a pause.
  int CloseLink();
  // The parts of a link the driver and HID layers own; they install these.
  std::function<void(int linkKind)> closeUsbLink;
  std::function<bool()> usbDevicePresent;
  // The search of a find request (0x800E); `restart` is its lParam. Without it no controller is
  // looked for.
  std::function<void(std::uint32_t flags, bool restart)> startSearch;
  std::function<bool()> searchRunning;
  std::function<bool()> connectBirch2Usb;
  // The reply time-out (timer 2) and HID polling (timer 41) belong to their layers.
  std::function<void()> onReplyTimeout;
  std::function<void()> onHidPoll;
  std::function<void()> hideControllerInfo;
  std::function<void()> closeControllerInfo;
  std::function<void()> resetTerminalDecoder;
  std::function<void()> exitPassThrough;
  std::function<void(std::uint8_t)> sendByte;             // message 0x801B
  std::function<void(bool fullScreen)> openDrawWindow;    // message 0x8009
  // A Format command was chosen: the report format now in force, or the poll toggle's id.
  std::function<void(std::uint32_t format)> formatChanged;
  std::function<void()> closeRebootProgress;              // message 0x8014
  // Whether the restart ping of 0x8014 was answered (a time-out also ends it, without a search).
  std::function<bool()> restartAnswered;
  std::function<void()> stopLogging;
  std::function<void()> openRobotDialog;
  std::function<void(const std::uint8_t*, std::size_t)> scannerInput;  // port 1
  std::function<void(const std::uint8_t*, std::size_t)> robotInput;    // port 2
  std::array<WindowId, 3> monitorWindows{};                            // ports 3 to 5
  // Timers of later subsystems that run on the frame.
  std::map<std::uint32_t, std::function<void()>> timerHandlers;
  // What the link text shows for the driver and HID links.
  std::string driverDeviceName;
  bool birch2UsbVariant = false;
  int hidIndex = -1;
  // True while the draw window in slot 0 is the full-screen one.
  bool drawIsFullScreen = false;
  bool Closed() const { return closed_; }
  // The subsystems that live as long as the frame (the controller protocol, later the tools);
  // destroyed first and in reverse order when the frame goes.
  void AddSubsystem(std::shared_ptr<void> subsystem) { subsystems_.push_back(std::move(subsystem)); }
  // Makes a subsystem of type T from the arguments and keeps it.
  template <class T, class... Arguments>
  T& MakeSubsystem(Arguments&&... arguments) {
    auto subsystem = std::make_shared<T>(std::forward<Arguments>(arguments)...);
    T& made = *subsystem;
    AddSubsystem(std::move(subsystem));
    return made;
  }
  // The controller protocol, once installed (it is one of the subsystems).
  ControllerProtocol* protocol = nullptr;
  // The log file, once installed (a subsystem too).
  LogFile* logFile = nullptr;
  // The open terminal window (listener slot 2), or nullptr.
  CTerminalWnd* terminal = nullptr;
  // The tools launcher, once installed.
  ToolsLauncher* launcher = nullptr;
  // The report decoder of the terminal and the draw window (a Format-menu id, not saved).
  std::uint32_t ReportFormat = 32816;
  // The Format menu's controller modes: poll (the decoders send 0x11 after each report), Z and
  // down/up.
  bool pollMode = false;
  bool zMode = false;
  bool downUpMode = false;
  // Brings a window to the front (the user interface sets it).
  std::function<void(WindowId window)> activateWindow;

  // --- Terminal --------------------------------------------------------------------------
  void EchoToTerminal(const std::string& text);
  void EchoToTerminal(char c);
  void ShowInTerminal(const std::string& text);

  // --- Windows and timers ----------------------------------------------------------------
  // The one pending notification: when a controller search ends, `message` is posted to `window`
  // once (wParam = lParam = message) and the notification is cleared. A tool that reboots the
  // controller leaves it before it asks for the search, and so learns that the controller is
  // back (or that the search gave up).
  struct PendingNotification {
    WindowId window = kNoWindow;
    MessageId message = 0;
  };
  PendingNotification pendingNotification;
  void SetPendingNotification(WindowId window, MessageId message) { pendingNotification = {window, message}; }
  // A user interface that answers for the operator while a command-line job runs (nothing:
  // the program's own one).
  void SetUnattendedUi(UiHost* ui) { unattendedUi_ = ui; }
  Rect FullScreenRect() const;
  void PostLater(WindowId window, MessageId message, std::uint32_t delayMs);
  void PostWhenLinked(WindowId window, MessageId message, std::uint32_t delayMs);

  // --- Commands --------------------------------------------------------------------------
  using CommandHandler = std::function<void(std::uint32_t id)>;
  using CommandUpdater = std::function<CommandState(std::uint32_t id)>;
  // Later subsystems take over command ranges; an id without a handler stays disabled.
  void RegisterCommands(std::uint32_t first, std::uint32_t last, CommandHandler handler, CommandUpdater updater);
  bool OnCommand(std::uint32_t id);
  CommandState UpdateCommand(std::uint32_t id) const;
  // The active MDI child for Copy, Select All, Paste and Close; set by the user interface.
  WindowId activeChild = kNoWindow;

  const std::vector<MenuItem>& Menus() const { return menus_; }
  // Set by the user interface to rebuild toolbars (33112, 33115) and to end the program.
  std::function<void()> rebuildToolbars;
  std::function<void()> destroyWindow;

  // --- Settings --------------------------------------------------------------------------
  int LoadSettings();
  void SaveSettings();
  const std::string& SettingsPath() const { return settingsPath_; }

  // --- Devices ---------------------------------------------------------------------------
  DeviceWatcher& Devices() { return deviceWatcher_; }
  void OnDeviceChange(WParam event, const DeviceChange* change);
  bool registeredForDevices = false;

  // --- SerialPortHost --------------------------------------------------------------------
  ReceiveBuffer& Buffer(int slot) override { return buffers[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return linkFlags; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override { Post(message, wParam, lParam); }
  void RestartLineErrorTimer() override { Post(msg::kRestartLineErrorTimer); }
  void OnOpenTimedOut() override;

 private:
  void OnPortData(int port);
  void OnRecord(std::size_t length);
  void OnTimer(std::uint32_t id);
  void OnClose();
  void OnConnectRequest(std::uint32_t flags, LParam restart);
  void OnLineError(WParam bits, LParam count);
  void OnControllerPortCommand(std::uint32_t id);
  void OnRobotPortCommand(std::uint32_t id);
  bool OpenSerial(int slot, int number, const std::string& portSettings);
  void BuildPortMenus();
  void RegisterForDeviceNotifications();
  void RegisterFrameCommands();
  void CloseDrawAndScopeWindows();
  void SendToListener(int slot, MessageId message, WParam wParam, LParam lParam);

  UiHost& ui_;
  UiHost* unattendedUi_ = nullptr;
  PortDirectory& portDirectory_;
  Environment environment_;
  std::string settingsPath_;
  std::array<std::string, kStatusPaneCount> statusTexts_;
  std::vector<MenuItem> menus_;
  std::vector<int> listedPorts_;
  struct CommandRange {
    std::uint32_t first;
    std::uint32_t last;
    CommandHandler handler;
    CommandUpdater updater;
  };
  std::vector<CommandRange> commandRanges_;
  struct Delayed {
    WindowId window = kNoWindow;
    MessageId message = 0;
  };
  Delayed postLater_;
  Delayed postWhenLinked_;
  DeviceWatcher deviceWatcher_;
  bool closed_ = false;
  std::vector<std::shared_ptr<void>> subsystems_;
};

}  // namespace kx7
