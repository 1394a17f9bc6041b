#include "block1_sheet_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "param_widgets.h"
#include "params/radix_text.h"

namespace kx7 {

namespace {

constexpr int kBinaryColumns = 5;
constexpr int kBinaryRows = 10;
constexpr int kByteBoxChars = 5;

}  // namespace

Block1SheetView::Block1SheetView(Block1Sheet& sheet, QWidget* parent) : QDialog(parent), sheet_(sheet) {
  setWindowTitle(Latin1(sheet.Title()));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  // Every page's tab in sight.
  tabs_->setUsesScrollButtons(false);
  layout->addWidget(tabs_);
  fields_.resize(sheet_.Pages().size());
  tabs_->addTab(BinaryPage(), Latin1(sheet_.Pages()[0]->Title()));
  for (std::size_t page = 1; page < sheet_.Pages().size(); ++page)
    tabs_->addTab(FamilyPage(page), Latin1(sheet_.Pages()[page]->Title()));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (refreshing_ || index < 0) return;
    sheet_.Activate(static_cast<std::size_t>(index));
    Refresh();
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &Block1SheetView::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] {
    sheet_.Apply();
    Refresh();
  });
  Refresh();
}

QWidget* Block1SheetView::BinaryPage() {
  auto* page = new QWidget(tabs_);
  auto* layout = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  CBlock1Page1& binary = sheet_.BinaryEdit();
  const int boxWidth = fontMetrics().horizontalAdvance(QString(kByteBoxChars, QLatin1Char('W'))) + 8;
  for (std::size_t i = 0; i < CBlock1Page1::kBoxes; ++i) {
    const int row = static_cast<int>(i) % kBinaryRows;
    const int column = static_cast<int>(i) / kBinaryRows;
    auto* label = new QLabel(QString::number(i), page);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* box = new QLineEdit(page);
    box->setObjectName(QStringLiteral("byte%1").arg(i));
    box->setFixedWidth(boxWidth);
    grid->addWidget(label, row, 2 * column);
    grid->addWidget(box, row, 2 * column + 1);
    bytes_.push_back(box);
    connect(box, &QLineEdit::textEdited, this, [this, i, &binary](const QString& text) {
      binary.EditBox(i, text.toStdString());
      apply_->setEnabled(sheet_.AnyModified());
    });
  }
  layout->addLayout(grid);
  auto* controls = new QHBoxLayout;
  decimal_ = new QRadioButton(QStringLiteral("Dec"), page);
  hex_ = new QRadioButton(QStringLiteral("Hex"), page);
  controls->addWidget(decimal_);
  controls->addWidget(hex_);
  controls->addWidget(new QLabel(QStringLiteral("Rev."), page));
  revision_ = new QLineEdit(page);
  revision_->setReadOnly(true);
  revision_->setFixedWidth(boxWidth);
  controls->addWidget(revision_);
  controls->addStretch(1);
  auto* save = new QPushButton(QStringLiteral("Save File"), page);
  auto* read = new QPushButton(QStringLiteral("Read File"), page);
  save->setAutoDefault(false);
  read->setAutoDefault(false);
  controls->addWidget(save);
  controls->addWidget(read);
  layout->addLayout(controls);
  connect(decimal_, &QRadioButton::toggled, this, [this, &binary](bool on) {
    if (refreshing_ || !on) return;
    binary.SetRadix(CBlock1Page1::Radix::kDecimal);
    ShowBinary();
  });
  connect(hex_, &QRadioButton::toggled, this, [this, &binary](bool on) {
    if (refreshing_ || !on) return;
    binary.SetRadix(CBlock1Page1::Radix::kHex);
    ShowBinary();
  });
  connect(save, &QPushButton::clicked, this, [this] {
    sheet_.SaveBinaryFile();
    Refresh();
  });
  connect(read, &QPushButton::clicked, this, [this] {
    sheet_.ReadBinaryFile();
    Refresh();
  });
  return page;
}

QWidget* Block1SheetView::FamilyPage(std::size_t index) {
  auto* page = new QWidget(tabs_);
  auto* outer = new QHBoxLayout(page);
  auto* form = new QFormLayout;
  outer->addLayout(form);
  Block1Page& model = *sheet_.Pages()[index];
  std::vector<FieldWidgets>& widgets = fields_[index];
  for (std::size_t f = 0; f < model.fields.size(); ++f) {
    const Block1Field& field = model.fields[f];
    FieldWidgets shown;
    auto* row = new QHBoxLayout;
    const auto set = [this, index, f](int value) {
      if (refreshing_) return;
      sheet_.Pages()[index]->SetValue(f, value);
      ShowFamily(index);
      apply_->setEnabled(sheet_.AnyModified());
    };
    switch (field.kind) {
      case FieldKind::kCombo: {
        auto* combo = new QComboBox(page);
        for (const std::string& item : field.items) combo->addItem(Latin1(item));
        connect(combo, &QComboBox::activated, this, set);
        shown.control = combo;
        break;
      }
      case FieldKind::kCheck: {
        auto* check = new QCheckBox(page);
        connect(check, &QCheckBox::toggled, this, [set](bool on) { set(on ? 1 : 0); });
        shown.control = check;
        break;
      }
      case FieldKind::kSlider: {
        auto* slider = new QSlider(Qt::Horizontal, page);
        slider->setRange(field.minimum, field.maximum);
        slider->setPageStep(field.pageStep);
        slider->setMinimumWidth(fontMetrics().averageCharWidth() * 30);
        connect(slider, &QSlider::valueChanged, this, set);
        shown.control = slider;
        break;
      }
      case FieldKind::kNumber:
      case FieldKind::kHexNumber: {
        auto* box = new QLineEdit(page);
        box->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWW")) + 12);
        const bool hex = field.kind == FieldKind::kHexNumber;
        connect(box, &QLineEdit::editingFinished, this, [this, box, hex, set, index] {
          if (refreshing_) return;
          const std::optional<unsigned> value = ReadRadixText(box->text().toStdString(), hex);
          if (value) set(static_cast<int>(std::min<unsigned>(*value, 0x7FFFFFFF)));
          else ShowFamily(index);
        });
        shown.control = box;
        break;
      }
    }
    shown.control->setObjectName(Latin1(field.label));
    row->addWidget(shown.control);
    if (field.companion) {
      shown.companion = new QLabel(page);
      shown.companion->setMinimumWidth(fontMetrics().averageCharWidth() * 8);
      row->addWidget(shown.companion);
    }
    row->addStretch(1);
    form->addRow(Latin1(field.label), row);
    widgets.push_back(shown);
  }
  if (!model.legend.empty()) {
    auto* legend = new QVBoxLayout;
    for (const std::string& line : model.legend) {
      auto* label = new QLabel(Latin1(line), page);
      label->setFont(QFont(QStringLiteral("Monospace")));
      legend->addWidget(label);
    }
    legend->addStretch(1);
    outer->addLayout(legend);
  }
  return page;
}

QWidget* Block1SheetView::FieldControl(std::size_t page, std::size_t field) const {
  if (page >= fields_.size() || field >= fields_[page].size()) return nullptr;
  return fields_[page][field].control;
}

void Block1SheetView::ShowBinary() {
  const bool was = refreshing_;
  refreshing_ = true;
  CBlock1Page1& binary = sheet_.BinaryEdit();
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    bytes_[i]->setText(Latin1(binary.boxes[i]));
    bytes_[i]->setEnabled(binary.BoxEnabled(i));
  }
  decimal_->setChecked(binary.CurrentRadix() == CBlock1Page1::Radix::kDecimal);
  hex_->setChecked(binary.CurrentRadix() == CBlock1Page1::Radix::kHex);
  revision_->setText(Latin1(binary.revision));
  refreshing_ = was;
}

void Block1SheetView::ShowFamily(std::size_t page) {
  const bool was = refreshing_;
  refreshing_ = true;
  const Block1Page& model = *sheet_.Pages()[page];
  for (std::size_t f = 0; f < model.fields.size() && f < fields_[page].size(); ++f) {
    const Block1Field& field = model.fields[f];
    const FieldWidgets& shown = fields_[page][f];
    shown.control->setEnabled(field.enabled);
    if (auto* combo = qobject_cast<QComboBox*>(shown.control)) {
      combo->setCurrentIndex(field.value ? *field.value : -1);
    } else if (auto* check = qobject_cast<QCheckBox*>(shown.control)) {
      check->setChecked(field.value.value_or(0) != 0);
    } else if (auto* slider = qobject_cast<QSlider*>(shown.control)) {
      slider->setValue(field.value.value_or(0));
    } else if (auto* box = qobject_cast<QLineEdit*>(shown.control)) {
      box->setText(field.value ? Latin1(field.kind == FieldKind::kHexNumber ? ByteText(static_cast<unsigned>(*field.value), true)
                                                                          : std::to_string(*field.value))
                               : QString());
    }
    if (shown.companion != nullptr) shown.companion->setText(Latin1(field.Companion()));
  }
  refreshing_ = was;
}

void Block1SheetView::Refresh() {
  refreshing_ = true;
  tabs_->setCurrentIndex(static_cast<int>(sheet_.ActivePage()));
  refreshing_ = false;
  if (sheet_.ActivePage() == 0)
    ShowBinary();
  else
    ShowFamily(sheet_.ActivePage());
  apply_->setEnabled(sheet_.AnyModified());
}

void Block1SheetView::accept() {
  // A box still being edited counts.
  if (QWidget* focus = focusWidget()) focus->clearFocus();
  if (sheet_.OnOk()) QDialog::accept();
  else Refresh();
}

}  // namespace kx7
