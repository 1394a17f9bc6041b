// The view of the Replay dialog: Run, Single Step, Rewind, Stop, New File and Quit, and the two
// values "Rate (ms)" and "Chunk Size". The buttons are posted to the window as wm::kCommand, the
// values handed to it as they change, and Escape or the frame's close button post wm::kClose.
// What is enabled, the values and the title come from the window.
#pragma once

#include <QDialog>
#include <map>

#include "log/replay.h"
#include "window_views.h"

class QPushButton;
class QSpinBox;

namespace kx7 {

class ReplayView : public QDialog, public WindowView {
  Q_OBJECT

 public:
  explicit ReplayView(ReplayWindow& window, QWidget* parent = nullptr);

  // The button of a replay_button id, or null.
  QPushButton* Button(WParam id) const;
  QSpinBox* RateBox() const { return rate_; }
  QSpinBox* ChunkBox() const { return chunk_; }

  void Refresh() override;
  // Escape: the window decides whether it closes.
  void reject() override;

 private:
  void Press(WParam id);
  void HandOverValues();
  bool WindowThere() const { return loop_.Find(id_) == &window_; }

  ReplayWindow& window_;
  MessageLoop& loop_;
  WindowId id_;
  std::map<WParam, QPushButton*> buttons_;
  QSpinBox* rate_ = nullptr;
  QSpinBox* chunk_ = nullptr;
};

// Makes WindowViews show this dialog for the Replay window's kind.
void RegisterReplayView();

}  // namespace kx7
