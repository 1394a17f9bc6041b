#include "tach_view.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace kx7 {

TachView::TachView(TachMeter& meter, QWidget* parent)
    : QDialog(parent), meter_(meter), loop_(meter.Loop()), id_(meter.Id()) {
  setWindowTitle(QString::fromUtf8(TachMeter::kTitle));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  rate_ = new QLabel(this);
  QFont big = rate_->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  rate_->setFont(big);
  rate_->setAlignment(Qt::AlignCenter);
  // Room for "99999 PPS", so the dialog keeps its size as the rate changes.
  rate_->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("99999 PPS")) + 16);
  contacts_ = new QLabel(this);
  contacts_->setAlignment(Qt::AlignCenter);
  contacts_->setMinimumHeight(contacts_->fontMetrics().height());
  layout->addWidget(rate_);
  layout->addWidget(contacts_);
  auto* buttons = new QHBoxLayout;
  reset_ = new QPushButton(QStringLiteral("Reset"), this);
  buttons->addStretch(1);
  buttons->addWidget(reset_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  connect(reset_, &QPushButton::clicked, this, [this] { loop_.Post(id_, wm::kCommand, TachMeter::kResetButton); });
  Refresh();
}

void TachView::Refresh() {
  rate_->setText(QString::fromStdString(meter_.RateText()));
  contacts_->setText(QString::fromStdString(meter_.ContactsText()));
}

void TachView::reject() { loop_.Post(id_, wm::kClose); }

void RegisterTachView() {
  RegisterWindowView("Tach", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* meter = dynamic_cast<TachMeter*>(&window);
    if (meter == nullptr) return nullptr;
    return std::make_unique<TachView>(*meter);
  });
}

}  // namespace kx7
