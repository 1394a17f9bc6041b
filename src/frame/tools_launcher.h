// The tools launcher: the one handler of commands 32957 to 33042 that opens the tool windows,
// refuses a window while a conflicting one is open, asks the pen-or-finger question where it
// belongs, and enables each command by the link and the controller. The tool windows register
// their openers here as their subsystems come; a command whose window is not built stays
// disabled. The terminal is the launcher's own, and so is split mode (the draw window's side of
// it comes with the draw window). Also Clear All (32808) for the open terminal.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "display/terminal_wnd.h"
#include "frame/main_frame.h"
#include "platform/window.h"

namespace kx7 {

// What the enabling and refusal rules read.
struct LauncherState {
  bool linkOpen = false;
  int linkKind = 0;
  std::uint32_t type = 0;
  std::uint32_t features = 0;
  bool multiTouch = false;
  std::array<bool, 31> listening{};  // listener slots in use (not "slots": a Qt keyword)
  bool trackMouse = false;
  bool linearizeSwitch = false;  // "-linearize"
  bool robotPortOpen = false;
  bool robotDialogOpen = false;  // "Asymtek Control"
  bool Busy() const { return listening[1] || listening[5] || listening[10]; }
};

// The enabling column of the launcher's table.
bool LauncherCommandEnabled(std::uint32_t id, const LauncherState& state);
// The refusal column: true when the command must do nothing now.
bool LauncherCommandRefused(std::uint32_t id, const LauncherState& state);
// The commands that ask the pen-or-finger question first (of a pen-capable controller in Auto).
bool AsksPenQuestion(std::uint32_t id);

class ToolsLauncher : public Window {
 public:
  explicit ToolsLauncher(CMainFrame& frame);
  ~ToolsLauncher() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

  void OnCommand(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;
  LauncherState State() const;
  // The command a command stands for now (Cal by Tablet2ptOnToolbar, 3-target types, the
  // multi-touch draw windows, split mode).
  std::uint32_t Resolve(std::uint32_t id) const;

  // A tool subsystem opens these commands (ids within 32957..33042).
  using ToolOpener = std::function<void(std::uint32_t id)>;
  void RegisterTool(std::uint32_t first, std::uint32_t last, ToolOpener open);
  bool ToolBuilt(std::uint32_t id) const;

  // The draw window's part of split mode: open or move the draw window ("Multitouch Draw" for a
  // multi-touch controller) to `rect` of the client area. Set by the draw subsystem.
  std::function<bool(const Rect& rect, bool multiTouch)> placeDrawWindow;
  // Clear All for the open draw window: true when that also cleared the terminal.
  std::function<bool()> eraseDrawWindow;
  std::function<bool()> drawWindowOpen;
  // The client area of the frame (MDI area), set by the user interface.
  std::function<Rect()> clientArea;
  // The pen-or-finger question of the calibration tools; false: the user cancelled.
  std::function<bool()> askPenOrFinger;

  // Opens the terminal, or brings the open one to the front maximised.
  CTerminalWnd* OpenTerminal();
  CTerminalWnd* Terminal() const { return terminal_.get(); }
  // The draw window on the left two thirds, the terminal on the right third.
  void SplitMode();

  // A tool window as an MDI child, maximised in the client area; "Can't open window" and false
  // when it cannot be created.
  bool OpenChild(const std::string& title, Window& window);
  // A tool window as a frameless, top-most popup over FullScreenRect.
  bool OpenFullScreen(Window& window);

 private:
  static constexpr MessageId kDeleteClosed = wm::kUser + 1;
  CTerminalWnd* MakeTerminal(const Placement& placement);
  Rect ClientArea() const;

  CMainFrame& frame_;
  std::unique_ptr<CTerminalWnd> terminal_;
  std::unique_ptr<CTerminalWnd> closedTerminal_;  // deleted once its close has unwound
  std::map<std::uint32_t, ToolOpener> tools_;
};

// Makes the launcher for the frame; the frame keeps it.
ToolsLauncher& InstallToolsLauncher(CMainFrame& frame);
// The launcher installed in the frame, or nullptr.
ToolsLauncher* LauncherOf(CMainFrame& frame);

}  // namespace kx7
