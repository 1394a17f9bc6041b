#include "port_settings_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QString>
#include <QVBoxLayout>
#include <string_view>

#include "qt_ui_host.h"

namespace kx7 {
namespace {

using Parity = PortSettingsDialogModel::Parity;

// The kind PortSettingsDialogModel reports; RunDialog routes by it.
constexpr std::string_view kKind = "PortSettings";

QRadioButton* AddRadio(QButtonGroup* group, QWidget* box, const QString& text, int id) {
  auto* button = new QRadioButton(text, box);
  group->addButton(button, id);
  return button;
}

}  // namespace

PortSettingsDialog::PortSettingsDialog(PortSettingsDialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromStdString(model_.Title()));

  auto* baudBox = new QGroupBox(QStringLiteral("&Baud"), this);
  auto* baudLayout = new QGridLayout(baudBox);
  baud_ = new QButtonGroup(this);
  const int rows = static_cast<int>(PortSettingsDialogModel::kBaudRates.size() + 1) / 2;
  for (int i = 0; i < static_cast<int>(PortSettingsDialogModel::kBaudRates.size()); ++i) {
    QRadioButton* button = AddRadio(baud_, baudBox, QString::number(PortSettingsDialogModel::kBaudRates[i]), i);
    baudLayout->addWidget(button, i % rows, i / rows);
  }

  auto* parityBox = new QGroupBox(QStringLiteral("&Parity"), this);
  auto* parityLayout = new QVBoxLayout(parityBox);
  parity_ = new QButtonGroup(this);
  parityLayout->addWidget(AddRadio(parity_, parityBox, QStringLiteral("None"), static_cast<int>(Parity::kNone)));
  parityLayout->addWidget(AddRadio(parity_, parityBox, QStringLiteral("Odd"), static_cast<int>(Parity::kOdd)));
  parityLayout->addWidget(AddRadio(parity_, parityBox, QStringLiteral("Even"), static_cast<int>(Parity::kEven)));

  auto* dataBox = new QGroupBox(QStringLiteral("&Data Bits"), this);
  auto* dataLayout = new QHBoxLayout(dataBox);
  dataBits_ = new QButtonGroup(this);
  dataLayout->addWidget(AddRadio(dataBits_, dataBox, QStringLiteral("7"), 7));
  dataLayout->addWidget(AddRadio(dataBits_, dataBox, QStringLiteral("8"), 8));

  auto* stopBox = new QGroupBox(QStringLiteral("&Stop Bits"), this);
  auto* stopLayout = new QHBoxLayout(stopBox);
  stopBits_ = new QButtonGroup(this);
  stopLayout->addWidget(AddRadio(stopBits_, stopBox, QStringLiteral("1"), 1));
  stopLayout->addWidget(AddRadio(stopBits_, stopBox, QStringLiteral("2"), 2));

  rts_ = new QCheckBox(QStringLiteral("RTS"), this);
  dtr_ = new QCheckBox(QStringLiteral("DTR"), this);
  auto* lines = new QHBoxLayout;
  lines->addWidget(rts_);
  lines->addWidget(dtr_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PortSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PortSettingsDialog::reject);

  auto* right = new QVBoxLayout;
  right->addWidget(parityBox);
  right->addWidget(dataBox);
  right->addWidget(stopBox);
  right->addLayout(lines);
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addWidget(baudBox);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(buttons);

  ShowChoices();
}

void PortSettingsDialog::ShowChoices() {
  // The model normally holds valid choices; anything else shows the defaults of "9600,n,8,1"
  // rather than a group with nothing selected.
  const int baudCount = static_cast<int>(PortSettingsDialogModel::kBaudRates.size());
  const int baud = model_.baudIndex >= 0 && model_.baudIndex < baudCount ? model_.baudIndex : 5;
  baud_->button(baud)->setChecked(true);
  QAbstractButton* parity = parity_->button(static_cast<int>(model_.parity));
  (parity ? parity : parity_->button(static_cast<int>(Parity::kNone)))->setChecked(true);
  dataBits_->button(model_.dataBits == 7 ? 7 : 8)->setChecked(true);
  stopBits_->button(model_.stopBits == 2 ? 2 : 1)->setChecked(true);
  rts_->setChecked(model_.rts);
  dtr_->setChecked(model_.dtr);
}

void PortSettingsDialog::StoreChoices() {
  model_.baudIndex = baud_->checkedId();
  model_.parity = static_cast<Parity>(parity_->checkedId());
  model_.dataBits = dataBits_->checkedId();
  model_.stopBits = stopBits_->checkedId();
  model_.rts = rts_->isChecked();
  model_.dtr = dtr_->isChecked();
}

void PortSettingsDialog::accept() {
  StoreChoices();
  if (model_.OnOk()) QDialog::accept();
}

QRadioButton* PortSettingsDialog::BaudButton(int index) const {
  return qobject_cast<QRadioButton*>(baud_->button(index));
}

QRadioButton* PortSettingsDialog::ParityButton(Parity parity) const {
  return qobject_cast<QRadioButton*>(parity_->button(static_cast<int>(parity)));
}

QRadioButton* PortSettingsDialog::DataBitsButton(int bits) const {
  return qobject_cast<QRadioButton*>(dataBits_->button(bits));
}

QRadioButton* PortSettingsDialog::StopBitsButton(int bits) const {
  return qobject_cast<QRadioButton*>(stopBits_->button(bits));
}

void RegisterPortSettingsDialog() {
  QtUiHost::RegisterDialogView(std::string(kKind), [](DialogModel& model, QWidget* parent) {
    if (model.Kind() != kKind) return false;
    PortSettingsDialog dialog(static_cast<PortSettingsDialogModel&>(model), parent);
    return dialog.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
