#include "usb_reports_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

namespace kx7 {

using Dialog = UsbReportsDialog;

UsbReportsView::UsbReportsView(UsbReportsDialog& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog), loop_(dialog.Loop()), id_(dialog.Id()) {
  setWindowTitle(QString::fromUtf8(Dialog::kTitle));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* groups = new QHBoxLayout;
  auto* async = new QGroupBox(QStringLiteral("Async Reports"), this);
  auto* asyncLayout = new QVBoxLayout(async);
  auto* sync = new QGroupBox(QStringLiteral("Sync Reports"), this);
  auto* syncLayout = new QVBoxLayout(sync);
  for (int item = 0; item < Dialog::kItemCount; ++item) {
    const bool isSync = item >= Dialog::kFirstSyncItem;
    auto* box =
        new QCheckBox(QString::fromUtf8(Dialog::kLabels[static_cast<std::size_t>(item)]), isSync ? sync : async);
    (isSync ? syncLayout : asyncLayout)->addWidget(box);
    items_[static_cast<std::size_t>(item)] = box;
    connect(box, &QCheckBox::toggled, this, [this, item](bool on) {
      if (!refreshing_) dialog_.SetChecked(static_cast<Dialog::Item>(item), on);
    });
  }
  syncLayout->addStretch(1);
  groups->addWidget(async);
  groups->addWidget(sync, 0, Qt::AlignTop);
  layout->addLayout(groups);

  auto* options = new QFormLayout;
  filter_ = new QSpinBox(this);
  filter_->setRange(0, Dialog::kMaxFilter);
  options->addRow(QStringLiteral("Filter"), filter_);
  layout->addLayout(options);
  allowDiffs_ = new QCheckBox(QStringLiteral("Allow Diffs"), this);
  showLoop_ = new QCheckBox(QStringLiteral("Show Loop"), this);
  layout->addWidget(allowDiffs_);
  layout->addWidget(showLoop_);
  connect(filter_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!refreshing_) dialog_.SetFilter(value);
  });
  connect(allowDiffs_, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) dialog_.SetAllowDiffs(on);
  });
  connect(showLoop_, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) dialog_.SetShowLoop(on);
  });

  auto* buttons = new QHBoxLayout;
  pause_ = new QPushButton(this);
  default_ = new QPushButton(QStringLiteral("Default"), this);
  apply_ = new QPushButton(QStringLiteral("Apply"), this);
  // Enter in the filter field must not press a button behind the user's back.
  for (QPushButton* button : {pause_, default_, apply_}) button->setAutoDefault(false);
  buttons->addWidget(pause_);
  buttons->addStretch(1);
  buttons->addWidget(default_);
  buttons->addWidget(apply_);
  layout->addLayout(buttons);
  connect(pause_, &QPushButton::clicked, this, [this] { dialog_.TogglePause(); });
  connect(default_, &QPushButton::clicked, this, [this] { dialog_.Default(); });
  connect(apply_, &QPushButton::clicked, this, [this] {
    // A value typed into the filter counts even before the field lost the focus.
    filter_->interpretText();
    dialog_.Apply();
  });
  Refresh();
}

void UsbReportsView::Refresh() {
  refreshing_ = true;
  for (int item = 0; item < Dialog::kItemCount; ++item) {
    QCheckBox* box = items_[static_cast<std::size_t>(item)];
    box->setChecked(dialog_.Checked(static_cast<Dialog::Item>(item)));
    box->setEnabled(dialog_.ItemEnabled(static_cast<Dialog::Item>(item)));
  }
  filter_->setValue(dialog_.Filter());
  allowDiffs_->setChecked(dialog_.AllowDiffs());
  showLoop_->setChecked(dialog_.ShowLoop());
  pause_->setText(QString::fromStdString(dialog_.PauseButtonText()));
  refreshing_ = false;
}

void UsbReportsView::reject() { loop_.Post(id_, wm::kClose); }

void RegisterUsbReportsView() {
  RegisterWindowView("UsbReports", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* dialog = dynamic_cast<UsbReportsDialog*>(&window);
    if (dialog == nullptr) return nullptr;
    return std::make_unique<UsbReportsView>(*dialog);
  });
}

}  // namespace kx7
