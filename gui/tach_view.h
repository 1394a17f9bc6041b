// The view of the "Tach" window: the rate ("%d PPS") in large figures, the contact count below
// it and a "Reset" button. Reset and the dialog's close are posted to the window.
#pragma once

#include <QDialog>

#include "display/tach_meter.h"
#include "window_views.h"

class QLabel;
class QPushButton;

namespace kx7 {

class TachView : public QDialog, public WindowView {
  Q_OBJECT

 public:
  explicit TachView(TachMeter& meter, QWidget* parent = nullptr);

  QLabel* RateLabel() const { return rate_; }
  QLabel* ContactsLabel() const { return contacts_; }
  QPushButton* ResetButton() const { return reset_; }

  void Refresh() override;
  // Escape: the window closes itself.
  void reject() override;

 private:
  TachMeter& meter_;
  MessageLoop& loop_;
  WindowId id_;
  QLabel* rate_ = nullptr;
  QLabel* contacts_ = nullptr;
  QPushButton* reset_ = nullptr;
};

void RegisterTachView();

}  // namespace kx7
