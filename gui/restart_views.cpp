#include "restart_views.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt_ui_host.h"

namespace kx7 {

RebootProgressView::RebootProgressView(RebootProgressWindow& window, QWidget* parent)
    : QDialog(parent), window_(window) {
  setWindowTitle(QString::fromUtf8(RebootProgressWindow::kTitle));
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel(this);
  label_->setTextFormat(Qt::PlainText);
  label_->setMinimumWidth(label_->fontMetrics().averageCharWidth() * 24);
  layout->addWidget(label_);
  Refresh();
}

void RebootProgressView::Refresh() {
  label_->setText(QString::fromStdString(window_.Text()));
  repaint();
}

RestoreDefaultsView::RestoreDefaultsView(RestoreDefaultsDialog& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromStdString(model.Title()));
  auto* layout = new QVBoxLayout(this);
  auto* cable = new QGroupBox(tr("Cable"), this);
  auto* cableLayout = new QVBoxLayout(cable);
  cable_ = new QCheckBox(QStringLiteral("Block4"), cable);
  cableLayout->addWidget(cable_);
  layout->addWidget(cable);
  auto* controller = new QGroupBox(tr("Controller"), this);
  auto* grid = new QGridLayout(controller);
  for (int block = 1; block <= 8; ++block) {
    auto* box = new QCheckBox(QStringLiteral("Block%1").arg(block), controller);
    controller_[static_cast<std::size_t>(block - 1)] = box;
    grid->addWidget(box, (block - 1) % 4, (block - 1) / 4);
  }
  layout->addWidget(controller);
  auto* choices = new QHBoxLayout;
  auto* all = new QPushButton(tr("All"), this);
  auto* none = new QPushButton(tr("None"), this);
  all->setAutoDefault(false);
  none->setAutoDefault(false);
  choices->addWidget(all);
  choices->addWidget(none);
  layout->addLayout(choices);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &RestoreDefaultsView::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(all, &QPushButton::clicked, this, [this] {
    Take();
    model_.All();
    Show();
  });
  connect(none, &QPushButton::clicked, this, [this] {
    Take();
    model_.None();
    Show();
  });
  Show();
}

void RestoreDefaultsView::Show() {
  cable_->setChecked(model_.cableBlock4);
  for (std::size_t i = 0; i < controller_.size(); ++i) controller_[i]->setChecked(model_.controllerBlocks[i]);
}

void RestoreDefaultsView::Take() {
  model_.cableBlock4 = cable_->isChecked();
  for (std::size_t i = 0; i < controller_.size(); ++i) model_.controllerBlocks[i] = controller_[i]->isChecked();
}

void RestoreDefaultsView::accept() {
  Take();
  QDialog::accept();
}

void RegisterRestartViews() {
  RegisterWindowView("RebootProgress", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* progress = dynamic_cast<RebootProgressWindow*>(&window);
    if (progress == nullptr) return nullptr;
    return std::make_unique<RebootProgressView>(*progress);
  });
  QtUiHost::RegisterDialogView("RestoreDefaults", [](DialogModel& model, QWidget* parent) {
    RestoreDefaultsView view(static_cast<RestoreDefaultsDialog&>(model), parent);
    return view.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
