// The view of the "USB Sync - Async Reports" window: the asynchronous and synchronous record
// check boxes (enabled by the controller type), "Filter", "Allow Diffs", "Show Loop" and the
// buttons "Pause"/"Run", "Default" and "Apply". The fields edit the window's copy as they
// change; the buttons act on the window at once (none of them closes it).
#pragma once

#include <QDialog>
#include <array>

#include "display/usb_reports_dialog.h"
#include "window_views.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace kx7 {

class UsbReportsView : public QDialog, public WindowView {
  Q_OBJECT

 public:
  explicit UsbReportsView(UsbReportsDialog& dialog, QWidget* parent = nullptr);

  QCheckBox* ItemBox(UsbReportsDialog::Item item) const { return items_.at(static_cast<std::size_t>(item)); }
  QSpinBox* FilterBox() const { return filter_; }
  QCheckBox* AllowDiffsBox() const { return allowDiffs_; }
  QCheckBox* ShowLoopBox() const { return showLoop_; }
  QPushButton* PauseButton() const { return pause_; }
  QPushButton* DefaultButton() const { return default_; }
  QPushButton* ApplyButton() const { return apply_; }

  void Refresh() override;
  void reject() override;

 private:
  UsbReportsDialog& dialog_;
  MessageLoop& loop_;
  WindowId id_;
  std::array<QCheckBox*, UsbReportsDialog::kItemCount> items_{};
  QSpinBox* filter_ = nullptr;
  QCheckBox* allowDiffs_ = nullptr;
  QCheckBox* showLoop_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* default_ = nullptr;
  QPushButton* apply_ = nullptr;
  bool refreshing_ = false;
};

void RegisterUsbReportsView();

}  // namespace kx7
