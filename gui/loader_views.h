// The views of the firmware loader dialogs: the image file with "Select File ...", "<" and ">",
// what the image holds, the dialog's boxes, the start button, the status line and a progress bar
// that moves with every piece. The dialog model does the work; the view forwards the clicks and
// shows what the model says, and closes when the model asks to.
#pragma once

#include <QDialog>

#include "firmware/loader_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kx7 {

// No signals or slots of its own (lambdas connect the buttons), so no meta-object either.
class LoaderView : public QDialog {
 public:
  explicit LoaderView(firmware::LoaderDialog& dialog, QWidget* parent = nullptr);
  ~LoaderView() override;

  QProgressBar* Progress() const { return progress_; }
  QPushButton* StartButton() const { return start_; }
  QLabel* Status() const { return status_; }
  void Refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void CopyToFile();

  firmware::LoaderDialog& dialog_;
  QLabel* file_ = nullptr;
  QPushButton* select_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QPlainTextEdit* image_ = nullptr;
  QCheckBox* reboot_ = nullptr;
  QCheckBox* turbo_ = nullptr;
  QCheckBox* preserve_ = nullptr;
  QComboBox* protocol_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  bool shown_ = false;
};

// Registers the views under the dialogs' titles.
void RegisterLoaderViews();

}  // namespace kx7
