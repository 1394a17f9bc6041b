// The blink-code list: a read-only rich text in "Courier New" with the numbers in bold green.
#pragma once

#include <QDialog>

#include "display/blink_codes.h"

class QTextEdit;

namespace kx7 {

class BlinkCodesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit BlinkCodesDialog(const BlinkCodesModel& model, QWidget* parent = nullptr);
  QTextEdit* TextEdit() const { return text_; }

 private:
  QTextEdit* text_ = nullptr;
};

void RegisterBlinkCodesDialog();

}  // namespace kx7
