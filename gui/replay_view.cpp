#include "replay_view.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

#include "log/log_constants.h"

namespace kx7 {

ReplayView::ReplayView(ReplayWindow& window, QWidget* parent)
    : QDialog(parent), window_(window), loop_(window.Loop()), id_(window.Id()) {
  setModal(false);
  auto* layout = new QHBoxLayout(this);

  auto* values = new QFormLayout;
  rate_ = new QSpinBox(this);
  rate_->setRange(kReplayMinRateMs, kReplayMaxRateMs);
  chunk_ = new QSpinBox(this);
  chunk_->setRange(kReplayMinChunk, kReplayMaxChunk);
  values->addRow(QString::fromUtf8(kReplayRateText), rate_);
  values->addRow(QString::fromUtf8(kReplayChunkText), chunk_);
  layout->addLayout(values);

  auto* column = new QVBoxLayout;
  const std::pair<WParam, const char*> buttons[] = {
      {replay_button::kRun, kReplayRunText},         {replay_button::kSingleStep, kReplayStepText},
      {replay_button::kRewind, kReplayRewindText},   {replay_button::kStop, kReplayStopText},
      {replay_button::kNewFile, kReplayNewFileText}, {replay_button::kQuit, kReplayQuitText},
  };
  for (const auto& [id, text] : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    // Enter in a value field must not start a replay.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id = id] { Press(id); });
    column->addWidget(button);
    buttons_[id] = button;
  }
  column->addStretch(1);
  layout->addLayout(column);

  connect(rate_, &QSpinBox::valueChanged, this, [this](int value) {
    if (WindowThere()) window_.SetRateMs(value);
  });
  connect(chunk_, &QSpinBox::valueChanged, this, [this](int value) {
    if (WindowThere()) window_.SetChunkSize(value);
  });
  Refresh();
}

QPushButton* ReplayView::Button(WParam id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

void ReplayView::Refresh() {
  if (!WindowThere()) return;
  setWindowTitle(QString::fromStdString(window_.Title()));
  const std::pair<WParam, bool> enabled[] = {
      {replay_button::kRun, window_.RunEnabled()},         {replay_button::kSingleStep, window_.SingleStepEnabled()},
      {replay_button::kRewind, window_.RewindEnabled()},   {replay_button::kStop, window_.StopEnabled()},
      {replay_button::kNewFile, window_.NewFileEnabled()}, {replay_button::kQuit, window_.QuitEnabled()},
  };
  for (const auto& [id, on] : enabled) buttons_.at(id)->setEnabled(on);
  const QSignalBlocker rateBlocker(rate_);
  const QSignalBlocker chunkBlocker(chunk_);
  rate_->setValue(window_.RateMs());
  chunk_->setValue(window_.ChunkSize());
  rate_->setEnabled(window_.ValuesEnabled());
  chunk_->setEnabled(window_.ValuesEnabled());
}

void ReplayView::HandOverValues() {
  // A value still being typed counts as entered.
  rate_->interpretText();
  chunk_->interpretText();
  if (!WindowThere()) return;
  window_.SetRateMs(rate_->value());
  window_.SetChunkSize(chunk_->value());
}

// Posted, not sent: the window may close this view, which must not happen under its own click.
void ReplayView::Press(WParam id) {
  if (id == replay_button::kRun || id == replay_button::kSingleStep) HandOverValues();
  loop_.Post(id_, wm::kCommand, id);
}

void ReplayView::reject() { loop_.Post(id_, wm::kClose); }

void RegisterReplayView() {
  RegisterWindowView(kReplayViewKind, [](Window& window) -> std::unique_ptr<WindowView> {
    auto* replay = dynamic_cast<ReplayWindow*>(&window);
    if (replay == nullptr) return nullptr;
    return std::make_unique<ReplayView>(*replay);
  });
}

}  // namespace kx7
