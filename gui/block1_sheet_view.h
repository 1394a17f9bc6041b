// The Block1 property sheet as a tabbed dialog: Binary Edit (a box a byte, decimal or hex, the
// "Rev." letter, the file buttons) and the family's pages, built from their fields. OK, Cancel
// and Apply; every edit goes to the sheet's model at once.
#pragma once

#include <QDialog>
#include <vector>

#include "params/block1_sheet.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace kx7 {

class Block1SheetView : public QDialog {
  Q_OBJECT

 public:
  explicit Block1SheetView(Block1Sheet& sheet, QWidget* parent = nullptr);

  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* ApplyButton() const { return apply_; }
  QLineEdit* ByteBox(std::size_t index) const { return bytes_.at(index); }
  QLineEdit* Revision() const { return revision_; }
  // The control of a field of a family page (nullptr for none): a QLineEdit, QComboBox, QCheckBox
  // or QSlider.
  QWidget* FieldControl(std::size_t page, std::size_t field) const;
  // Shows the model again (after Apply, a file read, a page switch).
  void Refresh();
  void accept() override;

 private:
  struct FieldWidgets {
    QWidget* control = nullptr;
    QLabel* companion = nullptr;
  };
  QWidget* BinaryPage();
  QWidget* FamilyPage(std::size_t index);
  void ShowBinary();
  void ShowFamily(std::size_t page);

  Block1Sheet& sheet_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* apply_ = nullptr;
  std::vector<QLineEdit*> bytes_;
  QLineEdit* revision_ = nullptr;
  QRadioButton* decimal_ = nullptr;
  QRadioButton* hex_ = nullptr;
  std::vector<std::vector<FieldWidgets>> fields_;  // by page (0: Binary Edit, empty)
  bool refreshing_ = false;
};

}  // namespace kx7
