#include "cli_ui_host.h"

#include <cstring>

namespace kx7::cli {

bool CliUiHost::OpenWindow(Window& window, const Placement& placement) {
  const char* kind = window.ViewKind();
  if (kind == nullptr || std::strcmp(kind, "Terminal") != 0) return ConsoleUiHost::OpenWindow(window, placement);
  // Opening the open terminal again only brings it forward.
  terminal_ = dynamic_cast<CTerminalWnd*>(&window);
  return terminal_ != nullptr;
}

void CliUiHost::CloseWindow(Window& window) {
  if (terminal_ == &window) terminal_ = nullptr;
  ConsoleUiHost::CloseWindow(window);
}

}  // namespace kx7::cli
