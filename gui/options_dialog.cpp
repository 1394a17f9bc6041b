#include "options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "qt_ui_host.h"

namespace kx7 {

namespace {

// "Show" stands in the group of the 16pt prove targets.
QString Label(const OptionControl& control) {
  return QString::fromUtf8(control.label);
}

}  // namespace

OptionsDialog::OptionsDialog(COptionsSheet& sheet, QWidget* parent) : QDialog(parent), sheet_(sheet) {
  setWindowTitle(QString::fromStdString(sheet_.Title()));
  tabs_ = new QTabWidget(this);
  widgets_.resize(sheet_.PageCount());
  for (std::size_t page = 0; page < sheet_.PageCount(); ++page) {
    const OptionsPage& options = sheet_.Page(page);
    auto* tab = new QWidget(tabs_);
    auto* layout = new QVBoxLayout(tab);
    QGroupBox* prove = nullptr;  // the group the next controls go into
    widgets_[page].assign(options.controls.size(), nullptr);
    for (std::size_t i = 0; i < options.controls.size(); ++i) {
      const OptionControl& control = options.controls[i];
      if (control.hidden) continue;  // it still carries its value through the sheet
      QWidget* widget = nullptr;
      if (control.kind == OptionControlKind::kCheck) {
        auto* box = new QCheckBox(Label(control), tab);
        box->setChecked(sheet_.Value(page, i) != 0);
        connect(box, &QCheckBox::toggled, this,
                [this, page, i](bool on) { Changed(sheet_.SetValue(page, i, on ? 1 : 0)); });
        widget = box;
      } else if (control.kind == OptionControlKind::kList) {
        auto* row = new QWidget(tab);
        auto* form = new QFormLayout(row);
        form->setContentsMargins(0, 0, 0, 0);
        auto* list = new QComboBox(row);
        for (const char* item : control.items) list->addItem(QString::fromUtf8(item));
        list->setCurrentIndex(sheet_.Value(page, i));
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, page, i](int index) { Changed(sheet_.SetValue(page, i, index)); });
        form->addRow(Label(control), list);
        widgets_[page][i] = list;
        layout->addWidget(row);
        continue;
      } else {
        auto* edit = new QLineEdit(QString::fromStdString(sheet_.Text(page, i)), tab);
        connect(edit, &QLineEdit::editingFinished, this,
                [this, page, i, edit] { Changed(sheet_.SetText(page, i, edit->text().toStdString())); });
        widget = edit;
      }
      widgets_[page][i] = widget;
      // Two groups: "Data Display" on the Terminal page, "16pt Prove Targets" on the Draw page.
      if (control.field == &OptionsBlock::WrapOnCR) {
        prove = new QGroupBox(QStringLiteral("Data Display"), tab);
        auto* group = new QVBoxLayout(prove);
        widget->setParent(prove);
        group->addWidget(widget);
        layout->addWidget(prove);
      } else if (prove != nullptr && (control.field == &OptionsBlock::WrapOnBit7 ||
                                      control.field == &OptionsBlock::FullBirch2Resolution)) {
        widget->setParent(prove);
        prove->layout()->addWidget(widget);
      } else if (options.title == std::string("Draw") && control.field == &OptionsBlock::Show16ptTargets) {
        prove = new QGroupBox(QStringLiteral("16pt Prove Targets"), tab);
        auto* group = new QVBoxLayout(prove);
        widget->setParent(prove);
        group->addWidget(widget);
        layout->addWidget(prove);
      } else if (prove != nullptr && control.field == &OptionsBlock::ExtTargets) {
        widget->setParent(prove);
        prove->layout()->addWidget(widget);
      } else {
        layout->addWidget(widget);
      }
    }
    layout->addStretch(1);
    tabs_->addTab(tab, QString::fromUtf8(options.title));
  }
  connect(tabs_, &QTabWidget::currentChanged, this,
          [this](int index) { sheet_.SetActivePage(static_cast<std::size_t>(std::max(index, 0))); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  apply_->setEnabled(false);
  // Enter goes to the page, not to OK.
  for (QAbstractButton* button : buttons->buttons())
    if (auto* push = qobject_cast<QPushButton*>(button)) {
      push->setAutoDefault(false);
      push->setDefault(false);
    }
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] { Changed(sheet_.Apply()); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

QWidget* OptionsDialog::ControlWidget(std::size_t page, std::size_t control) const {
  return page < widgets_.size() && control < widgets_[page].size() ? widgets_[page][control] : nullptr;
}

void OptionsDialog::Changed(bool) { apply_->setEnabled(sheet_.ApplyEnabled()); }

void OptionsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // The sheet's hidden default button: the page is stored and the sheet stays.
    Changed(sheet_.Enter());
    return;
  }
  QDialog::keyPressEvent(event);
}

void OptionsDialog::accept() {
  if (sheet_.OnOk()) QDialog::accept();
}

void RegisterOptionsDialog() {
  QtUiHost::RegisterDialogView("Options", [](DialogModel& model, QWidget* parent) {
    auto* sheet = dynamic_cast<COptionsSheet*>(&model);
    if (!sheet) return false;
    OptionsDialog dialog(*sheet, parent);
    return dialog.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
