// The timed log dialog: the open log's name with "..." to start one, and the time limit in
// minutes. OK hands the limit to the model, which decides.
#pragma once

#include <QDialog>

#include "log/timed_log_dialog.h"

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kx7 {

class TimedLogDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TimedLogDialog(TimedLogDialogModel& model, QWidget* parent = nullptr);

  QLineEdit* FileField() const { return file_; }
  QPushButton* BrowseButton() const { return browse_; }
  QSpinBox* LimitBox() const { return limit_; }

  void accept() override;

 private:
  void ShowFile();

  TimedLogDialogModel& model_;
  QLineEdit* file_ = nullptr;
  QPushButton* browse_ = nullptr;
  QSpinBox* limit_ = nullptr;
};

// Makes RunDialog show this dialog for the model's kind.
void RegisterTimedLogDialog();

}  // namespace kx7
