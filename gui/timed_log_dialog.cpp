#include "timed_log_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <string>

#include "log/log_constants.h"
#include "qt_ui_host.h"

namespace kx7 {
namespace {

// Wide enough for a path of some depth.
constexpr int kFileFieldWidthInCharacters = 48;

}  // namespace

TimedLogDialog::TimedLogDialog(TimedLogDialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromStdString(model_.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;

  auto* fileRow = new QHBoxLayout;
  file_ = new QLineEdit(this);
  file_->setReadOnly(true);
  file_->setMinimumWidth(file_->fontMetrics().averageCharWidth() * kFileFieldWidthInCharacters);
  browse_ = new QPushButton(QString::fromUtf8(log_text::kTimedLogBrowse), this);
  browse_->setAutoDefault(false);
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  form->addRow(QString::fromUtf8(log_text::kTimedLogFileLabel), fileRow);

  limit_ = new QSpinBox(this);
  limit_->setRange(0, kTimedLogMaxMinutes);
  limit_->setValue(model_.timeLimitMinutes);
  form->addRow(QString::fromUtf8(log_text::kTimedLogLimitLabel), limit_);
  layout->addLayout(form);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse_, &QPushButton::clicked, this, [this] {
    model_.Browse();
    ShowFile();
  });
  ShowFile();
  limit_->setFocus();
  limit_->selectAll();
}

void TimedLogDialog::ShowFile() {
  const std::string name = model_.LogFileName();
  file_->setText(QString::fromStdString(name));
}

void TimedLogDialog::accept() {
  limit_->interpretText();
  model_.timeLimitMinutes = limit_->value();
  if (model_.OnOk()) QDialog::accept();
}

void RegisterTimedLogDialog() {
  QtUiHost::RegisterDialogView(kTimedLogDialogKind, [](DialogModel& model, QWidget* parent) {
    auto* timed = dynamic_cast<TimedLogDialogModel*>(&model);
    if (timed == nullptr) return false;
    TimedLogDialog dialog(*timed, parent);
    return dialog.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
