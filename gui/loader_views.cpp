#include "loader_views.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "firmware/birch2_image_loader.h"
#include "firmware/cedar_gen3_loader.h"
#include "firmware/firmware_loader.h"
#include "qt_ui_host.h"

namespace kx7 {

namespace {

QString Text(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<int>(text.size())); }

// A progress range of more than an int holds is shown scaled down.
int Clamp(std::size_t value) { return static_cast<int>(std::min<std::size_t>(value, 0x7FFFFFFF)); }

}  // namespace

LoaderView::LoaderView(firmware::LoaderDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  setWindowTitle(Text(dialog.Title()));
  auto* layout = new QVBoxLayout(this);

  auto* fileRow = new QHBoxLayout;
  select_ = new QPushButton(tr("Select File ..."), this);
  previous_ = new QPushButton(QStringLiteral("<"), this);
  next_ = new QPushButton(QStringLiteral(">"), this);
  previous_->setFixedWidth(previous_->fontMetrics().averageCharWidth() * 4);
  next_->setFixedWidth(next_->fontMetrics().averageCharWidth() * 4);
  fileRow->addWidget(select_);
  fileRow->addWidget(previous_);
  fileRow->addWidget(next_);
  fileRow->addStretch(1);
  layout->addLayout(fileRow);
  file_ = new QLabel(this);
  file_->setTextFormat(Qt::PlainText);
  layout->addWidget(file_);

  layout->addWidget(new QLabel(tr("Image File"), this));
  image_ = new QPlainTextEdit(this);
  image_->setReadOnly(true);
  image_->setMinimumSize(image_->fontMetrics().averageCharWidth() * 44, image_->fontMetrics().height() * 8);
  layout->addWidget(image_);

  auto* boxes = new QHBoxLayout;
  if (auto* firmwareLoader = dynamic_cast<firmware::FirmwareLoader*>(&dialog_)) {
    reboot_ = new QCheckBox(tr("Reboot"), this);
    reboot_->setChecked(firmwareLoader->reboot);
    connect(reboot_, &QCheckBox::toggled, this, [firmwareLoader](bool on) { firmwareLoader->reboot = on; });
    boxes->addWidget(reboot_);
  }
  if (auto* birch2 = dynamic_cast<firmware::Birch2ImageLoader*>(&dialog_)) {
    turbo_ = new QCheckBox(tr("Turbo"), this);
    preserve_ = new QCheckBox(tr("Preserve Linearization Data and ID"), this);
    turbo_->setChecked(birch2->turbo && birch2->TurboOffered());
    preserve_->setChecked(birch2->preserve);
    connect(turbo_, &QCheckBox::toggled, this, [birch2](bool on) { birch2->turbo = on; });
    connect(preserve_, &QCheckBox::toggled, this, [birch2](bool on) { birch2->preserve = on; });
    boxes->addWidget(turbo_);
    boxes->addWidget(preserve_);
    copy_ = new QPushButton(tr("Copy Controller to File"), this);
    connect(copy_, &QPushButton::clicked, this, [this] { CopyToFile(); });
  }
  if (auto* gen3 = dynamic_cast<firmware::CedarGen3Loader*>(&dialog_)) {
    boxes->addWidget(new QLabel(tr("Protocol"), this));
    protocol_ = new QComboBox(this);
    protocol_->addItem(tr("Standard"));
    protocol_->addItem(tr("RAM Utility"));
    protocol_->setCurrentIndex(-1);  // none chosen: the header form
    connect(protocol_, &QComboBox::currentIndexChanged, this, [gen3](int index) {
      gen3->protocol = index == 0   ? firmware::Gen3Protocol::kStandard
                       : index == 1 ? firmware::Gen3Protocol::kRamUtility
                                    : firmware::Gen3Protocol::kHeader;
    });
    boxes->addWidget(protocol_);
  }
  boxes->addStretch(1);
  layout->addLayout(boxes);

  status_ = new QLabel(this);
  status_->setTextFormat(Qt::PlainText);
  layout->addWidget(status_);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  layout->addWidget(progress_);

  auto* buttons = new QHBoxLayout;
  if (copy_ != nullptr) buttons->addWidget(copy_);
  const bool cedar = dynamic_cast<firmware::CedarGen3Loader*>(&dialog_) != nullptr;
  start_ = new QPushButton(cedar ? tr("Start") : tr("Send File to Controller"), this);
  close_ = new QPushButton(tr("Close"), this);
  buttons->addWidget(start_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  layout->addLayout(buttons);

  connect(select_, &QPushButton::clicked, this, [this] { dialog_.SelectFile(); });
  connect(previous_, &QPushButton::clicked, this, [this] { dialog_.PreviousFile(); });
  connect(next_, &QPushButton::clicked, this, [this] { dialog_.NextFile(); });
  connect(start_, &QPushButton::clicked, this, [this] { dialog_.Start(); });
  connect(close_, &QPushButton::clicked, this, [this] { reject(); });

  dialog_.changed = [this] {
    Refresh();
    if (dialog_.CloseRequested()) QTimer::singleShot(0, this, [this] { done(dialog_.Result() == firmware::DownloadResult::kDone ? Accepted : Rejected); });
  };
  Refresh();
}

LoaderView::~LoaderView() { dialog_.changed = nullptr; }

void LoaderView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  QTimer::singleShot(0, this, [this] { dialog_.OnShown(); });
}

void LoaderView::reject() {
  // A running transfer stops at its next step; the view closes when the model is done.
  dialog_.Cancel();
  if (!dialog_.Busy()) QDialog::reject();
}

void LoaderView::CopyToFile() {
  auto* birch2 = dynamic_cast<firmware::Birch2ImageLoader*>(&dialog_);
  if (birch2 == nullptr) return;
  const QString path = QFileDialog::getSaveFileName(this, tr("Save As"), QString(), tr("Hex Files (*.hex)"));
  if (path.isEmpty()) return;
  birch2->CopyControllerToFile(path.toStdString());
  Refresh();
}

void LoaderView::Refresh() {
  const bool busy = dialog_.Busy();
  const bool choosing = !busy && !dialog_.Automatic();
  select_->setEnabled(choosing);
  previous_->setEnabled(dialog_.CanStepFiles());
  next_->setEnabled(dialog_.CanStepFiles());
  file_->setText(Text(dialog_.ImagePath()));
  bool canStart = false;
  std::string imageText;
  if (auto* firmwareLoader = dynamic_cast<firmware::FirmwareLoader*>(&dialog_)) {
    canStart = firmwareLoader->CanSend();
    imageText = firmwareLoader->ImageText();
    reboot_->setEnabled(choosing);
  } else if (auto* birch2 = dynamic_cast<firmware::Birch2ImageLoader*>(&dialog_)) {
    canStart = birch2->CanSend();
    imageText = birch2->SummaryText();
    turbo_->setEnabled(!busy && birch2->TurboOffered());
    preserve_->setEnabled(!busy && birch2->PreserveOffered());
    copy_->setEnabled(choosing && birch2->CanCopy());
  } else if (auto* gen3 = dynamic_cast<firmware::CedarGen3Loader*>(&dialog_)) {
    canStart = gen3->CanStart();
    imageText = gen3->ImageText();
    protocol_->setEnabled(!busy);
  }
  start_->setEnabled(canStart && !dialog_.Automatic());
  if (image_->toPlainText() != Text(imageText)) image_->setPlainText(Text(imageText));
  status_->setText(Text(dialog_.StatusText()));
  progress_->setRange(0, std::max(1, Clamp(dialog_.ProgressRange())));
  progress_->setValue(Clamp(dialog_.ProgressPosition()));
  close_->setEnabled(true);
  // The transfer runs inside the model's waits: paint what changed now.
  repaint();
}

void RegisterLoaderViews() {
  for (const char* title : {firmware::title::kFirmwareLoader, firmware::title::kBirch2Image, firmware::title::kCedarGen3}) {
    QtUiHost::RegisterDialogView(title, [](DialogModel& model, QWidget* parent) {
      auto* dialog = dynamic_cast<firmware::LoaderDialog*>(&model);
      if (dialog == nullptr) return false;
      LoaderView view(*dialog, parent);
      if (dialog->Automatic()) {
        // Started from the command line: in the middle of the screen, nothing to choose.
        view.setWindowModality(Qt::ApplicationModal);
      }
      return view.exec() == QDialog::Accepted;
    });
  }
}

}  // namespace kx7
