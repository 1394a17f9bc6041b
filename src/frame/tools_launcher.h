// The tools launcher: the one handler of commands 32957 to 33042 that opens the tool windows in
// their form (full screen, MDI child, dialog), refuses a window while a conflicting one is open,
// and enables each command by the link and the controller. A tool window that is not built yet
// keeps its command disabled. Also Clear All (32808) for the active terminal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "display/terminal_wnd.h"
#include "frame/main_frame.h"
#include "platform/window.h"

namespace kx7 {

class ToolsLauncher : public Window {
 public:
  explicit ToolsLauncher(CMainFrame& frame);
  ~ToolsLauncher() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

  void OnCommand(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;

  // Opens the terminal, or brings the open one to the front maximised.
  CTerminalWnd* OpenTerminal();
  CTerminalWnd* Terminal() const { return terminal_.get(); }

  // A tool window as an MDI child, maximised in the client area; "Can't open window" and false
  // when it cannot be created. (With a draw window open the child takes the draw window's place;
  // the draw window comes with its subsystem.)
  bool OpenChild(const std::string& title, Window& window);
  // A tool window as a frameless, top-most popup over FullScreenRect.
  bool OpenFullScreen(Window& window);

  // "Busy": the scope or a linearization window listens.
  bool Busy() const;

 private:
  static constexpr MessageId kDeleteClosed = wm::kUser + 1;

  CMainFrame& frame_;
  std::unique_ptr<CTerminalWnd> terminal_;
  std::unique_ptr<CTerminalWnd> closedTerminal_;  // deleted once its close has unwound
};

// Makes the launcher for the frame; the frame keeps it.
ToolsLauncher& InstallToolsLauncher(CMainFrame& frame);

}  // namespace kx7
