#include "block_editor_views.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "block1_sheet_view.h"
#include "block7_sheet_view.h"
#include "params/comm_byte.h"
#include "param_widgets.h"
#include "qt_ui_host.h"

namespace kx7 {

namespace {

// "Dec" and "Hex" side by side.
QHBoxLayout* RadixButtons(QWidget* parent, QRadioButton*& decimal, QRadioButton*& hex) {
  auto* row = new QHBoxLayout;
  decimal = new QRadioButton(QStringLiteral("Decimal"), parent);
  hex = new QRadioButton(QStringLiteral("Hex"), parent);
  row->addWidget(decimal);
  row->addWidget(hex);
  return row;
}

}  // namespace

// --- Serial number ---------------------------------------------------------------------------

SerialNumberView::SerialNumberView(SerialNumberEditor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setWindowTitle(Latin1(editor.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    boxes_[i] = NewBox(this, 3);
    boxes_[i]->setMaxLength(8);
    row->addWidget(boxes_[i]);
    connect(boxes_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) { editor_.boxes[i] = text.toStdString(); });
    connect(boxes_[i], &QLineEdit::editingFinished, this, [this] {
      editor_.CheckBoxes();
      Show();
    });
  }
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &SerialNumberView::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Show();
}

void SerialNumberView::Show() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setText(Latin1(editor_.boxes[i]));
}

void SerialNumberView::accept() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) editor_.boxes[i] = boxes_[i]->text().toStdString();
  if (editor_.OnOk()) QDialog::accept();
  else Show();
}

// --- Block6 ----------------------------------------------------------------------------------

Block6View::Block6View(Block6Editor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setWindowTitle(Latin1(editor.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Rev."), this));
  status_ = NewBox(this, 2, true);
  top->addWidget(status_);
  top->addWidget(new QLabel(QStringLiteral("Baud Rate"), this));
  baud_ = new QComboBox(this);
  for (const std::string& item : BaudComboItems()) baud_->addItem(Latin1(item));
  top->addWidget(baud_);
  frequency_ = NewBox(this, 10, true);
  top->addWidget(frequency_);
  top->addStretch(1);
  layout->addLayout(top);
  auto* rows = new QHBoxLayout;
  auto* grid = new QGridLayout;
  for (int row = 0; row < editor_.RowsShown(); ++row) {
    indexes_.push_back(new QLabel(this));
    values_.push_back(NewBox(this, 4));
    names_.push_back(new QLabel(this));
    names_.back()->setMinimumWidth(fontMetrics().averageCharWidth() * 34);
    grid->addWidget(indexes_.back(), row, 0);
    grid->addWidget(values_.back(), row, 1);
    grid->addWidget(names_.back(), row, 2);
    grid->setColumnStretch(2, 1);
    connect(values_.back(), &QLineEdit::textEdited, this,
            [this, row](const QString& text) { editor_.boxes[static_cast<std::size_t>(row)] = text.toStdString(); });
    connect(values_.back(), &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      editor_.TakeBoxes();
      Show();
    });
  }
  rows->addLayout(grid);
  scroll_ = new QScrollBar(Qt::Vertical, this);
  rows->addWidget(scroll_);
  layout->addLayout(rows);
  auto* bottom = RadixButtons(this, decimal_, hex_);
  auto* save = NewButton(QStringLiteral("Save to File"), this);
  auto* read = NewButton(QStringLiteral("Read from File"), this);
  bottom->addStretch(1);
  bottom->addWidget(save);
  bottom->addWidget(read);
  layout->addLayout(bottom);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  for (QAbstractButton* button : buttons->buttons())
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &Block6View::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] {
    editor_.Apply();
    Show();
  });
  connect(baud_, &QComboBox::activated, this, [this](int index) {
    editor_.SetBaudIndex(index);
    Show();
  });
  connect(decimal_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(false);
    Show();
  });
  connect(hex_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(true);
    Show();
  });
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int row) {
    if (refreshing_) return;
    editor_.SetFirstRow(row);
    Show();
  });
  connect(save, &QPushButton::clicked, this, [this] { editor_.SaveFileChosen(); });
  connect(read, &QPushButton::clicked, this, [this] {
    editor_.ReadFileChosen();
    Show();
  });
  Show();
}

void Block6View::Show() {
  refreshing_ = true;
  for (int row = 0; row < editor_.RowsShown(); ++row) {
    indexes_[static_cast<std::size_t>(row)]->setText(Latin1(editor_.RowIndex(row)));
    values_[static_cast<std::size_t>(row)]->setText(Latin1(editor_.boxes[static_cast<std::size_t>(row)]));
    values_[static_cast<std::size_t>(row)]->setEnabled(editor_.RowEnabled(row));
    names_[static_cast<std::size_t>(row)]->setText(Latin1(editor_.RowName(row)));
  }
  const int length = static_cast<int>(editor_.Length());
  scroll_->setRange(0, std::max(0, length - editor_.RowsShown()));
  scroll_->setPageStep(editor_.RowsShown());
  scroll_->setValue(editor_.FirstRow());
  status_->setText(Latin1(editor_.status));
  frequency_->setText(Latin1(editor_.FrequencyText()));
  baud_->setEnabled(editor_.BaudEnabled());
  baud_->setCurrentIndex(editor_.BaudIndex().value_or(-1));
  decimal_->setChecked(!editor_.Hex());
  hex_->setChecked(editor_.Hex());
  apply_->setEnabled(editor_.ApplyEnabled());
  refreshing_ = false;
}

void Block6View::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    editor_.OnEnter();
    Show();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Block6View::wheelEvent(QWheelEvent* event) {
  editor_.OnWheel(event->angleDelta().y());
  Show();
  event->accept();
}

void Block6View::accept() {
  if (QWidget* focus = focusWidget()) focus->clearFocus();
  if (editor_.OnOk()) QDialog::accept();
  else Show();
}

// --- Block8 ----------------------------------------------------------------------------------

Block8View::Block8View(Block8Editor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setWindowTitle(Latin1(editor.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Rev."), this));
  status_ = NewBox(this, 2, true);
  top->addWidget(status_);
  top->addStretch(1);
  layout->addLayout(top);
  auto* rows = new QHBoxLayout;
  auto* grid = new QGridLayout;
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int row = 0; row < Block8Editor::kRowsShown; ++row) {
    labels_.push_back(new QLabel(this));
    labels_.back()->setFont(fixed);
    values_.push_back(NewBox(this, 6, editor_.EventLog()));
    grid->addWidget(labels_.back(), row, 0);
    grid->addWidget(values_.back(), row, 1);
    grid->setColumnStretch(2, 1);
    connect(values_.back(), &QLineEdit::textEdited, this,
            [this, row](const QString& text) { editor_.EditBox(row, text.toStdString()); });
    connect(values_.back(), &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      editor_.TakeBoxes();
      Show();
    });
  }
  rows->addLayout(grid);
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->setRange(0, 256 - Block8Editor::kRowsShown);
  scroll_->setPageStep(Block8Editor::kRowsShown);
  rows->addWidget(scroll_);
  layout->addLayout(rows);
  auto* bottom = RadixButtons(this, decimal_, hex_);
  auto* copy = NewButton(QStringLiteral("Copy"), this);
  auto* save = NewButton(QStringLiteral("Save to File"), this);
  auto* read = NewButton(QStringLiteral("Read from File"), this);
  read->setEnabled(!editor_.EventLog());
  bottom->addStretch(1);
  bottom->addWidget(copy);
  bottom->addWidget(save);
  bottom->addWidget(read);
  layout->addLayout(bottom);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  for (QAbstractButton* button : buttons->buttons())
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &Block8View::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] {
    // Apply writes and the dialog closes.
    if (editor_.Apply()) QDialog::accept();
    else Show();
  });
  connect(copy, &QPushButton::clicked, this, [this] {
    editor_.Copy();
    QDialog::reject();
  });
  connect(save, &QPushButton::clicked, this, [this] { editor_.SaveFileChosen(); });
  connect(read, &QPushButton::clicked, this, [this] {
    editor_.ReadFileChosen();
    Show();
  });
  connect(decimal_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(false);
    Show();
  });
  connect(hex_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(true);
    Show();
  });
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int row) {
    if (refreshing_) return;
    editor_.SetFirstRow(row);
    Show();
  });
  Show();
}

void Block8View::Show() {
  refreshing_ = true;
  for (int row = 0; row < Block8Editor::kRowsShown; ++row) {
    labels_[static_cast<std::size_t>(row)]->setText(Latin1(editor_.Label(row)));
    values_[static_cast<std::size_t>(row)]->setText(Latin1(editor_.boxes[static_cast<std::size_t>(row)]));
  }
  scroll_->setValue(editor_.FirstRow());
  status_->setText(Latin1(editor_.status));
  decimal_->setChecked(!editor_.Hex());
  hex_->setChecked(editor_.Hex());
  apply_->setEnabled(editor_.ApplyEnabled());
  refreshing_ = false;
}

void Block8View::wheelEvent(QWheelEvent* event) {
  editor_.OnWheel(event->angleDelta().y());
  Show();
  event->accept();
}

void Block8View::accept() {
  if (QWidget* focus = focusWidget()) focus->clearFocus();
  if (editor_.OnOk()) QDialog::accept();
  else Show();
}

// --- Larch block 7 ---------------------------------------------------------------------------

LarchBlock7View::LarchBlock7View(LarchBlock7Editor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setWindowTitle(Latin1(editor.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  for (int column = 0; column < LarchBlock7Editor::kColumns; ++column) {
    headings_.push_back(new QLabel(this));
    grid->addWidget(headings_.back(), 0, column + 1);
  }
  for (int row = 0; row < LarchBlock7Editor::kRows; ++row)
    grid->addWidget(new QLabel(Latin1(LarchBlock7Editor::RowLabel(row)), this), row + 1, 0);
  for (int column = 0; column < LarchBlock7Editor::kColumns; ++column)
    for (int row = 0; row < LarchBlock7Editor::kRows; ++row) {
      QLineEdit* box = NewBox(this, 4);
      boxes_.push_back(box);
      grid->addWidget(box, row + 1, column + 1);
      grid->setColumnStretch(LarchBlock7Editor::kColumns + 1, 1);
      const auto index = static_cast<std::size_t>(column * LarchBlock7Editor::kRows + row);
      connect(box, &QLineEdit::textEdited, this, [this, index](const QString& text) { editor_.boxes[index] = text.toStdString(); });
    }
  layout->addLayout(grid);
  auto* bottom = RadixButtons(this, decimal_, hex_);
  auto* previous = NewButton(QStringLiteral("<<"), this);
  page_ = new QLabel(this);
  auto* next = NewButton(QStringLiteral(">>"), this);
  auto* save = NewButton(QStringLiteral("Save to File"), this);
  auto* read = NewButton(QStringLiteral("Read from File"), this);
  bottom->addStretch(1);
  bottom->addWidget(previous);
  bottom->addWidget(page_);
  bottom->addWidget(next);
  bottom->addStretch(1);
  bottom->addWidget(save);
  bottom->addWidget(read);
  layout->addLayout(bottom);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  // The edited block is not written to the controller.
  buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &LarchBlock7View::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(previous, &QPushButton::clicked, this, [this] {
    editor_.PreviousPage();
    Show();
  });
  connect(next, &QPushButton::clicked, this, [this] {
    editor_.NextPage();
    Show();
  });
  connect(save, &QPushButton::clicked, this, [this] { editor_.SaveFileChosen(); });
  connect(read, &QPushButton::clicked, this, [this] {
    editor_.ReadFileChosen();
    Show();
  });
  connect(decimal_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(false);
    Show();
  });
  connect(hex_, &QRadioButton::toggled, this, [this](bool on) {
    if (refreshing_ || !on) return;
    editor_.SetHex(true);
    Show();
  });
  Show();
}

QLineEdit* LarchBlock7View::ByteBox(int column, int row) const {
  return boxes_.at(static_cast<std::size_t>(column * LarchBlock7Editor::kRows + row));
}

void LarchBlock7View::Show() {
  refreshing_ = true;
  for (int column = 0; column < LarchBlock7Editor::kColumns; ++column) {
    headings_[static_cast<std::size_t>(column)]->setText(Latin1(editor_.ColumnHeading(column)));
    for (int row = 0; row < LarchBlock7Editor::kRows; ++row) {
      QLineEdit* box = ByteBox(column, row);
      box->setText(Latin1(editor_.boxes[static_cast<std::size_t>(column * LarchBlock7Editor::kRows + row)]));
      box->setEnabled(editor_.BoxEnabled(column, row));
    }
  }
  page_->setText(Latin1(editor_.PageText()));
  decimal_->setChecked(!editor_.Hex());
  hex_->setChecked(editor_.Hex());
  refreshing_ = false;
}

void LarchBlock7View::accept() {
  editor_.OnOk();
  QDialog::accept();
}

// --- Register dump ---------------------------------------------------------------------------

RegisterDumpView::RegisterDumpView(RegisterDumpViewer& viewer, QWidget* parent) : QDialog(parent) {
  setWindowTitle(Latin1(viewer.Title()));
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QString lines;
  for (const std::string& line : viewer.Lines()) lines += Latin1(line) + QLatin1Char('\n');
  text_->setPlainText(lines);
  text_->setMinimumSize(text_->fontMetrics().averageCharWidth() * 56, text_->fontMetrics().height() * 24);
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

// --- Rowan Default Params --------------------------------------------------------------------

RowanDefaultParamsView::RowanDefaultParamsView(RowanDefaultParams& tool, QWidget* parent)
    : QDialog(parent), tool_(tool) {
  setWindowTitle(Latin1(tool.Title()));
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Existing Panel Type:"), this), 0, 0);
  existing_ = NewBox(this, 40, true);
  layout->addWidget(existing_, 0, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("New panel type:"), this), 1, 0);
  newPanel_ = NewBox(this, 40, true);
  layout->addWidget(newPanel_, 1, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("File (.dat)"), this), 2, 0);
  file_ = NewBox(this, 40, true);
  layout->addWidget(file_, 2, 1);
  browse_ = NewButton(QStringLiteral("Browse..."), this);
  layout->addWidget(browse_, 2, 2);
  clear_ = new QCheckBox(QStringLiteral("Clear Params"), this);
  layout->addWidget(clear_, 3, 0);
  start_ = NewButton(QStringLiteral("Start"), this);
  layout->addWidget(start_, 3, 2);
  connect(browse_, &QPushButton::clicked, this, [this] {
    tool_.Browse();
    if (tool_.CloseRequested()) reject();
    Show();
  });
  connect(clear_, &QCheckBox::toggled, this, [this](bool on) {
    tool_.SetClearParams(on);
    Show();
  });
  connect(start_, &QPushButton::clicked, this, [this] {
    start_->setEnabled(false);
    tool_.Start();
    accept();
  });
  Show();
}

void RowanDefaultParamsView::Show() {
  existing_->setText(Latin1(tool_.existingPanelType));
  newPanel_->setText(Latin1(tool_.newPanelType));
  file_->setText(QString::fromStdString(tool_.filePath));
  file_->setEnabled(tool_.FileBoxEnabled());
  browse_->setEnabled(tool_.FileBoxEnabled());
  clear_->setChecked(tool_.ClearParams());
  start_->setEnabled(tool_.StartEnabled());
}

// --- Registration ----------------------------------------------------------------------------

namespace {

// RunDialog shows a `View` over a model of kind `kind`; OK is the view's accept.
template <class Model, class View>
void RegisterView(const char* kind) {
  QtUiHost::RegisterDialogView(kind, [](DialogModel& model, QWidget* parent) {
    View view(static_cast<Model&>(model), parent);
    return view.exec() == QDialog::Accepted;
  });
}

}  // namespace

void RegisterParamViews() {
  RegisterView<Block1Sheet, Block1SheetView>("Block1Sheet");
  RegisterView<Block7Sheet, Block7SheetView>("Block7Sheet");
  RegisterView<SerialNumberEditor, SerialNumberView>("SerialNumber");
  RegisterView<Block6Editor, Block6View>("Block6");
  RegisterView<Block8Editor, Block8View>("Block8");
  RegisterView<LarchBlock7Editor, LarchBlock7View>("LarchBlock7");
  RegisterView<RegisterDumpViewer, RegisterDumpView>("RegisterDump");
  RegisterView<RowanDefaultParams, RowanDefaultParamsView>("RowanDefaultParams");
}

}  // namespace kx7
