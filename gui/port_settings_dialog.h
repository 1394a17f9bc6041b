// The "Port Settings" dialog: shows the choices of a PortSettingsDialogModel and hands them back
// to it on OK.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QRadioButton>

#include "link/serial/port_settings_dialog.h"

namespace kx7 {

class PortSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  PortSettingsDialog(PortSettingsDialogModel& model, QWidget* parent = nullptr);

  QRadioButton* BaudButton(int index) const;
  QRadioButton* ParityButton(PortSettingsDialogModel::Parity parity) const;
  QRadioButton* DataBitsButton(int bits) const;
  QRadioButton* StopBitsButton(int bits) const;
  QCheckBox* RtsBox() const { return rts_; }
  QCheckBox* DtrBox() const { return dtr_; }

  // Writes the choices into the model; the dialog closes only when the model takes them.
  void accept() override;

 private:
  void ShowChoices();
  void StoreChoices();

  PortSettingsDialogModel& model_;
  QButtonGroup* baud_ = nullptr;
  QButtonGroup* parity_ = nullptr;
  QButtonGroup* dataBits_ = nullptr;
  QButtonGroup* stopBits_ = nullptr;
  QCheckBox* rts_ = nullptr;
  QCheckBox* dtr_ = nullptr;
};

// Makes RunDialog show this dialog for the model's kind; the main window calls it at start-up.
void RegisterPortSettingsDialog();

}  // namespace kx7
