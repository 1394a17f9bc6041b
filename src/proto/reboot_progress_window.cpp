#include "proto/reboot_progress_window.h"

namespace kx7 {

RebootProgressWindow::RebootProgressWindow(MessageLoop& loop, UiHost& ui) : Window(loop), ui_(ui) {}

RebootProgressWindow::~RebootProgressWindow() { Close(); }

LResult RebootProgressWindow::OnMessage(MessageId message, WParam, LParam) {
  if (message == wm::kClose) Close();
  return 0;
}

void RebootProgressWindow::Show(const std::string& text) {
  if (!open_) {
    text_ = text;
    Placement placement;
    placement.kind = PlacementKind::kModelessDialog;
    placement.title = kTitle;
    placement.maximized = false;
    open_ = ui_.OpenWindow(*this, placement);
  }
  ui_.Invalidate(Id());
}

void RebootProgressWindow::Close() {
  if (!open_) return;
  open_ = false;
  ui_.CloseWindow(*this);
}

}  // namespace kx7
