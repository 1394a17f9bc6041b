// The views of the restart commands: "Please Wait" while a controller restarts, and the
// "Restore Defaults" dialog that picks the blocks to restore.
#pragma once

#include <QDialog>
#include <array>

#include "proto/reboot_progress_window.h"
#include "proto/restart_commands.h"
#include "window_views.h"

class QCheckBox;
class QLabel;

namespace kx7 {

class RebootProgressView : public QDialog, public WindowView {
  Q_OBJECT

 public:
  explicit RebootProgressView(RebootProgressWindow& window, QWidget* parent = nullptr);
  QLabel* Label() const { return label_; }
  void Refresh() override;

 private:
  RebootProgressWindow& window_;
  QLabel* label_ = nullptr;
};

class RestoreDefaultsView : public QDialog {
  Q_OBJECT

 public:
  explicit RestoreDefaultsView(RestoreDefaultsDialog& model, QWidget* parent = nullptr);
  QCheckBox* CableBox() const { return cable_; }
  QCheckBox* ControllerBox(int block) const { return controller_.at(static_cast<std::size_t>(block - 1)); }
  void accept() override;

 private:
  void Show();
  void Take();

  RestoreDefaultsDialog& model_;
  QCheckBox* cable_ = nullptr;
  std::array<QCheckBox*, 8> controller_{};
};

// Registers both with WindowViews and the UI host; called at start-up.
void RegisterRestartViews();

}  // namespace kx7
