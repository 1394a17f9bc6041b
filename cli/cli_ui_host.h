// The console's UiHost as kx7cli needs it: the terminal window "opens" (its lines go to standard
// output instead of a screen), and the file dialogs are answered with a path given up front.
#pragma once

#include <ostream>

#include "display/terminal_wnd.h"
#include "platform/console_ui_host.h"

namespace kx7::cli {

class CliUiHost : public ConsoleUiHost {
 public:
  explicit CliUiHost(std::ostream& messages) : ConsoleUiHost(messages) {}

  // The terminal, from the launcher's opening of it until it closes; nullptr otherwise.
  CTerminalWnd* Terminal() const { return terminal_; }

  // Every other window still has no place on the console.
  bool OpenWindow(Window& window, const Placement& placement) override;
  void CloseWindow(Window& window) override;

 private:
  CTerminalWnd* terminal_ = nullptr;
};

}  // namespace kx7::cli
