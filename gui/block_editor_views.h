// The small block editors as dialogs: the serial number ("Controller ID"), Block6 ("Block6"), the
// row drive levels and the event log ("Block8", "Event Log"), the Larch block 7 ("Block Edit"),
// the ASIC register dump, and the Rowan Default Params tool. Each shows its core model and hands
// every edit to it.
#pragma once

#include <QDialog>
#include <array>
#include <vector>

#include "params/block6_editor.h"
#include "params/block8_editor.h"
#include "params/larch_block7_editor.h"
#include "params/register_dump_viewer.h"
#include "params/rowan_default_params.h"
#include "params/serial_number_editor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kx7 {

class SerialNumberView : public QDialog {
  Q_OBJECT
 public:
  explicit SerialNumberView(SerialNumberEditor& editor, QWidget* parent = nullptr);
  QLineEdit* Box(int index) const { return boxes_.at(static_cast<std::size_t>(index)); }
  void accept() override;

 private:
  void Show();
  SerialNumberEditor& editor_;
  std::array<QLineEdit*, 4> boxes_{};
};

class Block6View : public QDialog {
  Q_OBJECT
 public:
  explicit Block6View(Block6Editor& editor, QWidget* parent = nullptr);
  QLineEdit* ValueBox(int row) const { return values_.at(static_cast<std::size_t>(row)); }
  QLabel* NameLabel(int row) const { return names_.at(static_cast<std::size_t>(row)); }
  QLabel* IndexLabel(int row) const { return indexes_.at(static_cast<std::size_t>(row)); }
  QPushButton* ApplyButton() const { return apply_; }
  QComboBox* Baud() const { return baud_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  void Show();
  void accept() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  Block6Editor& editor_;
  std::vector<QLabel*> indexes_;
  std::vector<QLineEdit*> values_;
  std::vector<QLabel*> names_;
  QScrollBar* scroll_ = nullptr;
  QLineEdit* status_ = nullptr;
  QLineEdit* frequency_ = nullptr;
  QComboBox* baud_ = nullptr;
  QRadioButton* decimal_ = nullptr;
  QRadioButton* hex_ = nullptr;
  QPushButton* apply_ = nullptr;
  bool refreshing_ = false;
};

class Block8View : public QDialog {
  Q_OBJECT
 public:
  explicit Block8View(Block8Editor& editor, QWidget* parent = nullptr);
  QLineEdit* ValueBox(int row) const { return values_.at(static_cast<std::size_t>(row)); }
  QLabel* Label(int row) const { return labels_.at(static_cast<std::size_t>(row)); }
  QPushButton* ApplyButton() const { return apply_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  void Show();
  void accept() override;

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  Block8Editor& editor_;
  std::vector<QLabel*> labels_;
  std::vector<QLineEdit*> values_;
  QScrollBar* scroll_ = nullptr;
  QLineEdit* status_ = nullptr;
  QRadioButton* decimal_ = nullptr;
  QRadioButton* hex_ = nullptr;
  QPushButton* apply_ = nullptr;
  bool refreshing_ = false;
};

class LarchBlock7View : public QDialog {
  Q_OBJECT
 public:
  explicit LarchBlock7View(LarchBlock7Editor& editor, QWidget* parent = nullptr);
  QLineEdit* ByteBox(int column, int row) const;
  QLabel* PageLabel() const { return page_; }
  QLabel* Heading(int column) const { return headings_.at(static_cast<std::size_t>(column)); }
  void Show();
  void accept() override;

 private:
  LarchBlock7Editor& editor_;
  std::vector<QLineEdit*> boxes_;
  std::vector<QLabel*> headings_;
  QLabel* page_ = nullptr;
  QRadioButton* decimal_ = nullptr;
  QRadioButton* hex_ = nullptr;
  bool refreshing_ = false;
};

class RegisterDumpView : public QDialog {
  Q_OBJECT
 public:
  explicit RegisterDumpView(RegisterDumpViewer& viewer, QWidget* parent = nullptr);
  QPlainTextEdit* Text() const { return text_; }

 private:
  QPlainTextEdit* text_ = nullptr;
};

class RowanDefaultParamsView : public QDialog {
  Q_OBJECT
 public:
  explicit RowanDefaultParamsView(RowanDefaultParams& tool, QWidget* parent = nullptr);
  QLineEdit* ExistingPanel() const { return existing_; }
  QLineEdit* NewPanel() const { return newPanel_; }
  QLineEdit* FileBox() const { return file_; }
  QCheckBox* ClearParams() const { return clear_; }
  QPushButton* StartButton() const { return start_; }
  void Show();

 private:
  RowanDefaultParams& tool_;
  QLineEdit* existing_ = nullptr;
  QLineEdit* newPanel_ = nullptr;
  QLineEdit* file_ = nullptr;
  QPushButton* browse_ = nullptr;
  QCheckBox* clear_ = nullptr;
  QPushButton* start_ = nullptr;
};

// The views of every dialog of the parameter blocks (the two sheets among them) for RunDialog.
void RegisterParamViews();

}  // namespace kx7
