// The Birch2 Block7 sheet as a tabbed dialog: Binary Edit (eight 16-bit lines with a scroll bar,
// search, ">>", "SelfParams Valid" and the EEP file buttons), Thresholds, Filters and Other. The
// rows are read when the dialog has been shown; Apply and OK write them.
#pragma once

#include <QDialog>
#include <array>

#include "params/block7_sheet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTabWidget;

namespace kx7 {

class Block7SheetView : public QDialog {
  Q_OBJECT

 public:
  explicit Block7SheetView(Block7Sheet& sheet, QWidget* parent = nullptr);

  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* ApplyButton() const { return apply_; }
  QLineEdit* AddressBox(int line) const { return addresses_.at(static_cast<std::size_t>(line)); }
  QLineEdit* ValueBox(int line) const { return values_.at(static_cast<std::size_t>(line)); }
  QLineEdit* NameBox(int line) const { return names_.at(static_cast<std::size_t>(line)); }
  QScrollBar* ScrollBar() const { return scroll_; }
  QLineEdit* ThresholdBox(int box) const { return thresholds_.at(static_cast<std::size_t>(box)); }
  QLabel* ThresholdText(int box, int column) const;
  QLineEdit* FilterBox(int box) const { return filters_.at(static_cast<std::size_t>(box)); }
  QComboBox* Orientation() const { return orientation_; }
  QLineEdit* FrequencyBox(int box) const { return frequencies_.at(static_cast<std::size_t>(box)); }
  QLabel* FrequencyText(int box) const { return frequencyTexts_.at(static_cast<std::size_t>(box)); }

  // Reads the rows (the sheet's opening); closes the dialog when the sheet must close.
  void ReadRows();
  void Refresh();
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QWidget* BinaryPage();
  QWidget* ThresholdsPage();
  QWidget* FiltersPage();
  QWidget* OtherPage();
  void Changed();

  Block7Sheet& sheet_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* apply_ = nullptr;
  std::array<QLineEdit*, CBlock7Page1::kLines> addresses_{};
  std::array<QLineEdit*, CBlock7Page1::kLines> values_{};
  std::array<QLineEdit*, CBlock7Page1::kLines> names_{};
  QScrollBar* scroll_ = nullptr;
  QCheckBox* selfParams_ = nullptr;
  QLineEdit* search_ = nullptr;
  std::array<QPushButton*, 5> binaryButtons_{};
  std::array<QLineEdit*, CBlock7Page2::kBoxes> thresholds_{};
  std::array<std::array<QLabel*, 2>, CBlock7Page2::kBoxes> thresholdTexts_{};
  QCheckBox* palm_ = nullptr;
  std::array<QLineEdit*, CBlock7Page4::kBoxes> filters_{};
  std::array<QLabel*, CBlock7Page4::kBoxes> filterTexts_{};
  QComboBox* orientation_ = nullptr;
  std::array<QLineEdit*, CBlock7Page3::kBoxes> frequencies_{};
  std::array<QLabel*, CBlock7Page3::kBoxes> frequencyTexts_{};
  bool refreshing_ = false;
  bool read_ = false;
};

}  // namespace kx7
