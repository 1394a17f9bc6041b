// The view of the "Controller Info" window: the identity lines, the port and search status, the
// error words and the base type with its features, a "More..." button and the close button. The
// buttons are reported to the window as wm::kCommand; Escape is the close button, and Enter is
// too unless "More..." has the focus. Closing the window by its frame is reported by WindowViews.
#pragma once

#include <QDialog>
#include <array>

#include "proto/controller_info_window.h"
#include "window_views.h"

class QLabel;
class QPushButton;

namespace kx7 {

class ControllerInfoDialog : public QDialog, public WindowView {
  Q_OBJECT

 public:
  explicit ControllerInfoDialog(ControllerInfoWindow& window, QWidget* parent = nullptr);

  QLabel* LineLabel(int line) const { return lines_.at(static_cast<std::size_t>(line)); }
  QPushButton* MoreButton() const { return more_; }
  QPushButton* CloseButton() const { return close_; }

  void Refresh() override;
  // Escape: the window decides whether it closes.
  void reject() override;

 private:
  void PostCommand(WParam button);

  ControllerInfoWindow& window_;
  // What the buttons need, kept apart from the window: a message to a window that is gone is dropped.
  MessageLoop& loop_;
  WindowId id_;
  std::array<QLabel*, ControllerInfoWindow::kLineCount> lines_{};
  QPushButton* more_ = nullptr;
  QPushButton* close_ = nullptr;
};

// Makes WindowViews show this dialog for the window's kind; called at start-up.
void RegisterControllerInfoView();

}  // namespace kx7
