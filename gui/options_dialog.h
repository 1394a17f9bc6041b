// The "Options" sheet as a tabbed dialog: the shown controls of the pages "General", "Terminal"
// and "Draw"; every click goes into the sheet model at once (and enables "Apply"), Enter stores
// the page without closing, OK and Cancel close.
#pragma once

#include <QDialog>
#include <vector>

#include "app/options_sheet.h"

class QAbstractButton;
class QTabWidget;
class QPushButton;

namespace kx7 {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(COptionsSheet& sheet, QWidget* parent = nullptr);

  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* ApplyButton() const { return apply_; }
  // The widget of a control (nullptr for the hidden ones).
  QWidget* ControlWidget(std::size_t page, std::size_t control) const;

  void accept() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Changed(bool stored);

  COptionsSheet& sheet_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* apply_ = nullptr;
  std::vector<std::vector<QWidget*>> widgets_;
};

void RegisterOptionsDialog();

}  // namespace kx7
