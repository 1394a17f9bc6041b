#include "proto/controller_info_window.h"

#include "proto/proto_constants.h"

namespace kx7 {

ControllerInfoWindow::ControllerInfoWindow(MessageLoop& loop, UiHost& ui) : Window(loop), ui_(ui) {
  lines_[kErrors] = text::kInfoErrorsPlaceholder;
}

ControllerInfoWindow::~ControllerInfoWindow() {
  if (shown_) ui_.CloseWindow(*this);
}

LResult ControllerInfoWindow::OnMessage(MessageId message, WParam wParam, LParam) {
  switch (message) {
    case wm::kClose:
      UserClosed();
      return 0;
    case wm::kCommand:
      if (wParam == kMoreButton && MoreEnabled()) onMore();
      if (wParam == kCloseButton) UserClosed();
      return 0;
    default:
      return 0;
  }
}

bool ControllerInfoWindow::Show() {
  if (shown_) return true;
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  placement.title = text::kControllerInfoTitle;
  placement.maximized = false;
  shown_ = ui_.OpenWindow(*this, placement);
  return shown_;
}

void ControllerInfoWindow::Hide() {
  if (!shown_) return;
  shown_ = false;
  ui_.CloseWindow(*this);
}

void ControllerInfoWindow::BeginSearch() {
  active_ = true;
  cancelled_ = false;
  SetCloseButtonText("Cancel");
}

void ControllerInfoWindow::EndSearch() {
  active_ = false;
  SetCloseButtonText("OK");
}

void ControllerInfoWindow::UserClosed() {
  if (active_) cancelled_ = true;
  Hide();
}

void ControllerInfoWindow::SetLine(int line, const std::string& text) {
  if (line < 0 || line >= kLineCount) return;
  lines_[static_cast<std::size_t>(line)] = text;
  Refresh();
}

void ControllerInfoWindow::ClearLines() {
  for (std::string& line : lines_) line.clear();
  Refresh();
}

void ControllerInfoWindow::SetCloseButtonText(const std::string& text) {
  closeText_ = text;
  Refresh();
}

void ControllerInfoWindow::SetMoreEnabled(bool enabled) {
  moreEnabled_ = enabled;
  Refresh();
}

void ControllerInfoWindow::Refresh() {
  if (shown_) ui_.Invalidate(Id());
}

}  // namespace kx7
