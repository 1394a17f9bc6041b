#include "controller_info_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <memory>
#include <string>

#include "proto/proto_constants.h"

namespace kx7 {
namespace {

using Info = ControllerInfoWindow;

// The kind ControllerInfoWindow reports; WindowViews picks the view by it.
constexpr const char* kKind = "ControllerInfo";

// Wide enough for the usual identity lines, so the dialog keeps its size while a search fills it.
constexpr int kLineWidthInCharacters = 44;

QLabel* NewLine(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  // The user may copy what the controller said.
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(label->fontMetrics().averageCharWidth() * kLineWidthInCharacters);
  // An empty line keeps its row.
  label->setMinimumHeight(label->fontMetrics().height());
  return label;
}

}  // namespace

ControllerInfoDialog::ControllerInfoDialog(ControllerInfoWindow& window, QWidget* parent)
    : QDialog(parent), window_(window), loop_(window.Loop()), id_(window.Id()) {
  setWindowTitle(QString::fromUtf8(text::kControllerInfoTitle));
  setModal(false);

  auto* layout = new QVBoxLayout(this);
  for (int line : {Info::kOi, Info::kUv, Info::kUt, Info::kNm}) {
    lines_[static_cast<std::size_t>(line)] = NewLine(this);
    layout->addWidget(lines_[static_cast<std::size_t>(line)]);
  }
  // The search status sits with the port it is about.
  const std::initializer_list<std::initializer_list<int>> groups = {
      {Info::kPort, Info::kStatus}, {Info::kErrors}, {Info::kBaseType}};
  for (const auto& members : groups) {
    const int first = *members.begin();
    auto* box = new QGroupBox(QString::fromUtf8(Info::kGroups[static_cast<std::size_t>(first)]), this);
    auto* boxLayout = new QVBoxLayout(box);
    for (int line : members) {
      lines_[static_cast<std::size_t>(line)] = NewLine(box);
      boxLayout->addWidget(lines_[static_cast<std::size_t>(line)]);
    }
    layout->addWidget(box);
  }

  auto* buttons = new QHBoxLayout;
  more_ = new QPushButton(QStringLiteral("More..."), this);
  close_ = new QPushButton(this);
  close_->setDefault(true);
  buttons->addWidget(more_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  layout->addLayout(buttons);

  connect(more_, &QPushButton::clicked, this, [this] { PostCommand(Info::kMoreButton); });
  connect(close_, &QPushButton::clicked, this, [this] { PostCommand(Info::kCloseButton); });

  Refresh();
  close_->setFocus();
}

void ControllerInfoDialog::Refresh() {
  for (std::size_t line = 0; line < lines_.size(); ++line) {
    // The lines carry the controller's replies byte for byte; each byte shows as one character.
    const std::string& text = window_.LineText(static_cast<int>(line));
    lines_[line]->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
  more_->setEnabled(window_.MoreEnabled());
  close_->setText(QString::fromStdString(window_.CloseButtonText()));
}

void ControllerInfoDialog::reject() { PostCommand(Info::kCloseButton); }

// Posted, not sent: the window may close this view, which must not happen under its own click.
void ControllerInfoDialog::PostCommand(WParam button) { loop_.Post(id_, wm::kCommand, button); }

void RegisterControllerInfoView() {
  RegisterWindowView(kKind, [](Window& window) -> std::unique_ptr<WindowView> {
    auto* info = dynamic_cast<ControllerInfoWindow*>(&window);
    if (info == nullptr) return nullptr;
    return std::make_unique<ControllerInfoDialog>(*info);
  });
}

}  // namespace kx7
