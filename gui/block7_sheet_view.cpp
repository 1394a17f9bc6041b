#include "block7_sheet_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "param_widgets.h"

namespace kx7 {

namespace {

// A text a parameter may lack: empty then.
QString Shown(const OptionalText& text) { return text ? Latin1(*text) : QString(); }

// A spin's two arrows: the upper one notifies a delta of -1, the lower one +1 (the value a page
// shows goes up with the upper arrow).
QWidget* Spin(QWidget* parent, const std::function<void(int)>& onDelta) {
  auto* spin = new QWidget(parent);
  auto* layout = new QVBoxLayout(spin);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* up = new QToolButton(spin);
  up->setArrowType(Qt::UpArrow);
  auto* down = new QToolButton(spin);
  down->setArrowType(Qt::DownArrow);
  for (QToolButton* arrow : {up, down}) arrow->setFixedSize(18, 12);
  layout->addWidget(up);
  layout->addWidget(down);
  QObject::connect(up, &QToolButton::clicked, spin, [onDelta] { onDelta(-1); });
  QObject::connect(down, &QToolButton::clicked, spin, [onDelta] { onDelta(1); });
  return spin;
}

}  // namespace

Block7SheetView::Block7SheetView(Block7Sheet& sheet, QWidget* parent) : QDialog(parent), sheet_(sheet) {
  setWindowTitle(Latin1(sheet.Title()));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setUsesScrollButtons(false);
  layout->addWidget(tabs_);
  tabs_->addTab(BinaryPage(), QString::fromLatin1(Block7Sheet::PageTitle(Block7Sheet::kBinaryEdit)));
  tabs_->addTab(ThresholdsPage(), QString::fromLatin1(Block7Sheet::PageTitle(Block7Sheet::kThresholds)));
  tabs_->addTab(FiltersPage(), QString::fromLatin1(Block7Sheet::PageTitle(Block7Sheet::kFilters)));
  tabs_->addTab(OtherPage(), QString::fromLatin1(Block7Sheet::PageTitle(Block7Sheet::kOther)));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (refreshing_ || index < 0) return;
    sheet_.Activate(static_cast<Block7Sheet::Page>(index));
    Refresh();
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  for (QAbstractButton* button : buttons->buttons())
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &Block7SheetView::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] {
    sheet_.Apply();
    if (sheet_.CloseRequested()) reject();
    Refresh();
  });
  Refresh();
}

QWidget* Block7SheetView::BinaryPage() {
  auto* page = new QWidget(tabs_);
  auto* outer = new QVBoxLayout(page);
  auto* lines = new QHBoxLayout;
  auto* grid = new QGridLayout;
  for (std::size_t line = 0; line < CBlock7Page1::kLines; ++line) {
    addresses_[line] = NewBox(page, 5, true);
    values_[line] = NewBox(page, 5);
    names_[line] = NewBox(page, 26, true);
    values_[line]->setObjectName(QStringLiteral("value%1").arg(line));
    grid->addWidget(addresses_[line], static_cast<int>(line), 0);
    grid->addWidget(values_[line], static_cast<int>(line), 1);
    grid->addWidget(names_[line], static_cast<int>(line), 2);
    connect(values_[line], &QLineEdit::textEdited, this,
            [this, line](const QString& text) { sheet_.BinaryEdit().values[line] = text.toStdString(); });
    connect(values_[line], &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      sheet_.BinaryEdit().TakeBoxes();
      Changed();
    });
  }
  lines->addLayout(grid);
  scroll_ = new QScrollBar(Qt::Vertical, page);
  scroll_->setPageStep(static_cast<int>(CBlock7Page1::kLines));
  scroll_->setSingleStep(2);
  lines->addWidget(scroll_);
  outer->addLayout(lines);
  connect(scroll_, &QScrollBar::actionTriggered, this, [this](int action) {
    if (refreshing_) return;
    CBlock7Page1& binary = sheet_.BinaryEdit();
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd:
        binary.OnScroll(CBlock7Page1::Scroll::kLineDown);
        break;
      case QAbstractSlider::SliderSingleStepSub:
        binary.OnScroll(CBlock7Page1::Scroll::kLineUp);
        break;
      case QAbstractSlider::SliderPageStepAdd:
        binary.OnScroll(CBlock7Page1::Scroll::kPageDown);
        break;
      case QAbstractSlider::SliderPageStepSub:
        binary.OnScroll(CBlock7Page1::Scroll::kPageUp);
        break;
      case QAbstractSlider::SliderMove:
        binary.SetTopRow(static_cast<std::size_t>(std::max(0, scroll_->sliderPosition())));
        break;
      default:
        return;
    }
    // The model decides where the top row goes; the bar only shows it.
    QTimer::singleShot(0, this, [this] { Refresh(); });
  });

  auto* row = new QHBoxLayout;
  auto* next = NewButton(QStringLiteral(">>"), page);
  selfParams_ = new QCheckBox(QStringLiteral("SelfParams Valid"), page);
  search_ = NewBox(page, 16);
  auto* find = NewButton(QStringLiteral("Search"), page);
  row->addWidget(next);
  row->addWidget(selfParams_);
  row->addStretch(1);
  row->addWidget(search_);
  row->addWidget(find);
  outer->addLayout(row);
  auto* files = new QHBoxLayout;
  auto* reset = NewButton(QStringLiteral("Soft Reset"), page);
  auto* read = NewButton(QStringLiteral("Read EEP File"), page);
  auto* save = NewButton(QStringLiteral("Save EEP File"), page);
  files->addWidget(reset);
  files->addStretch(1);
  files->addWidget(read);
  files->addWidget(save);
  outer->addLayout(files);
  binaryButtons_ = {next, find, reset, read, save};

  connect(next, &QPushButton::clicked, this, [this] {
    sheet_.BinaryEdit().NextSection();
    Refresh();
  });
  connect(selfParams_, &QCheckBox::clicked, this, [this](bool on) {
    sheet_.BinaryEdit().SetSelfParamsValid(on);
    Changed();
  });
  connect(find, &QPushButton::clicked, this, [this] {
    sheet_.BinaryEdit().Search(search_->text().toStdString());
    Refresh();
  });
  connect(reset, &QPushButton::clicked, this, [this] {
    if (sheet_.softReset) sheet_.softReset();
  });
  connect(read, &QPushButton::clicked, this, [this] {
    sheet_.ReadEepFileChosen();
    Changed();
  });
  connect(save, &QPushButton::clicked, this, [this] { sheet_.SaveEepFileChosen(); });
  return page;
}

QWidget* Block7SheetView::ThresholdsPage() {
  auto* page = new QWidget(tabs_);
  auto* grid = new QGridLayout(page);
  const char* labels[CBlock7Page2::kBoxes] = {"Touch", "Liftoff", "Fast Stray", "Slow Stray", "Min Effect", "Body K"};
  const int widths[CBlock7Page2::kBoxes] = {8, 4, 8, 4, 4, 8};
  for (int box = 0; box < CBlock7Page2::kBoxes; ++box) {
    grid->addWidget(new QLabel(QString::fromLatin1(labels[box]), page), box, 0);
    thresholds_[static_cast<std::size_t>(box)] = NewBox(page, widths[box]);
    grid->addWidget(thresholds_[static_cast<std::size_t>(box)], box, 1);
    if (box <= CBlock7Page2::kSlowStray)
      grid->addWidget(Spin(page,
                           [this, box](int delta) {
                             sheet_.Thresholds().Spin(static_cast<CBlock7Page2::Box>(box), delta);
                             Changed();
                           }),
                      box, 2);
    for (int column = 0; column < 2; ++column) {
      thresholdTexts_[static_cast<std::size_t>(box)][static_cast<std::size_t>(column)] = new QLabel(page);
      grid->addWidget(thresholdTexts_[static_cast<std::size_t>(box)][static_cast<std::size_t>(column)], box, 3 + column);
    }
    connect(thresholds_[static_cast<std::size_t>(box)], &QLineEdit::textEdited, this,
            [this, box](const QString& text) { sheet_.Thresholds().boxes[static_cast<std::size_t>(box)] = text.toStdString(); });
    connect(thresholds_[static_cast<std::size_t>(box)], &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      sheet_.Thresholds().TakeBoxes();
      Changed();
    });
  }
  palm_ = new QCheckBox(QStringLiteral("Palm Enable"), page);
  grid->addWidget(palm_, CBlock7Page2::kBoxes, 0, 1, 2);
  grid->setColumnStretch(5, 1);
  grid->setRowStretch(CBlock7Page2::kBoxes + 1, 1);
  connect(palm_, &QCheckBox::clicked, this, [this](bool on) {
    sheet_.Thresholds().SetPalmEnable(on);
    Changed();
  });
  return page;
}

QWidget* Block7SheetView::FiltersPage() {
  auto* page = new QWidget(tabs_);
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("alpha"), page), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Secs"), page), 0, 2);
  const char* labels[CBlock7Page4::kBoxes] = {"Slow Stray", "Fast Stray Up", "Fast Stray Down", "Stray Delay",
                                              "Noise Filter"};
  for (int box = 0; box < CBlock7Page4::kBoxes; ++box) {
    grid->addWidget(new QLabel(QString::fromLatin1(labels[box]), page), box + 1, 0);
    filters_[static_cast<std::size_t>(box)] = NewBox(page, box == CBlock7Page4::kStrayDelay ? 8 : 4);
    filterTexts_[static_cast<std::size_t>(box)] = new QLabel(page);
    grid->addWidget(filters_[static_cast<std::size_t>(box)], box + 1, 1);
    grid->addWidget(filterTexts_[static_cast<std::size_t>(box)], box + 1, 2);
    connect(filters_[static_cast<std::size_t>(box)], &QLineEdit::textEdited, this,
            [this, box](const QString& text) { sheet_.Filters().boxes[static_cast<std::size_t>(box)] = text.toStdString(); });
    connect(filters_[static_cast<std::size_t>(box)], &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      sheet_.Filters().TakeBoxes();
      Changed();
    });
  }
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(CBlock7Page4::kBoxes + 1, 1);
  return page;
}

QWidget* Block7SheetView::OtherPage() {
  auto* page = new QWidget(tabs_);
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("Orientation"), page), 0, 0);
  orientation_ = new QComboBox(page);
  for (const char* text : kBlock7Orientations) orientation_->addItem(QString::fromLatin1(text));
  grid->addWidget(orientation_, 0, 1, 1, 3);
  connect(orientation_, &QComboBox::activated, this, [this](int index) {
    sheet_.Other().SetOrientation(index);
    Changed();
  });
  const char* labels[CBlock7Page3::kBoxes] = {"Freq", "Pen Freq"};
  for (int box = 0; box < CBlock7Page3::kBoxes; ++box) {
    const auto which = static_cast<CBlock7Page3::Box>(box);
    grid->addWidget(new QLabel(QString::fromLatin1(labels[box]), page), box + 1, 0);
    frequencies_[static_cast<std::size_t>(box)] = NewBox(page, 4);
    frequencyTexts_[static_cast<std::size_t>(box)] = new QLabel(page);
    frequencyTexts_[static_cast<std::size_t>(box)]->setMinimumWidth(fontMetrics().averageCharWidth() * 10);
    grid->addWidget(frequencies_[static_cast<std::size_t>(box)], box + 1, 1);
    grid->addWidget(Spin(page,
                         [this, which](int delta) {
                           sheet_.Other().SpinValue(which, delta);
                           Changed();
                         }),
                    box + 1, 2);
    grid->addWidget(frequencyTexts_[static_cast<std::size_t>(box)], box + 1, 3);
    grid->addWidget(Spin(page,
                         [this, which](int delta) {
                           sheet_.Other().SpinFrequency(which, delta);
                           Changed();
                         }),
                    box + 1, 4);
    connect(frequencies_[static_cast<std::size_t>(box)], &QLineEdit::textEdited, this,
            [this, box](const QString& text) { sheet_.Other().boxes[static_cast<std::size_t>(box)] = text.toStdString(); });
    connect(frequencies_[static_cast<std::size_t>(box)], &QLineEdit::editingFinished, this, [this] {
      if (refreshing_) return;
      sheet_.Other().TakeBoxes();
      Changed();
    });
  }
  grid->setColumnStretch(5, 1);
  grid->setRowStretch(CBlock7Page3::kBoxes + 1, 1);
  return page;
}

QLabel* Block7SheetView::ThresholdText(int box, int column) const {
  return thresholdTexts_.at(static_cast<std::size_t>(box)).at(static_cast<std::size_t>(column));
}

void Block7SheetView::Changed() {
  sheet_.Redisplay();
  Refresh();
}

void Block7SheetView::Refresh() {
  refreshing_ = true;
  tabs_->setCurrentIndex(static_cast<int>(sheet_.ActivePage()));
  const CBlock7Page1& binary = sheet_.BinaryEdit();
  const auto lines = binary.Lines();
  for (std::size_t line = 0; line < CBlock7Page1::kLines; ++line) {
    addresses_[line]->setText(Latin1(lines[line].address));
    values_[line]->setText(Latin1(binary.values[line]));
    names_[line]->setText(Latin1(lines[line].name));
    values_[line]->setEnabled(!lines[line].address.empty());
  }
  const int count = static_cast<int>(sheet_.Table().Count());
  scroll_->setRange(0, std::max(0, count - static_cast<int>(CBlock7Page1::kRowsShown)));
  scroll_->setValue(static_cast<int>(binary.TopRow()));
  const bool controls = sheet_.ControlsEnabled();
  scroll_->setEnabled(controls);
  for (QPushButton* button : binaryButtons_) button->setEnabled(controls);
  const std::optional<bool> valid = binary.SelfParamsValid();
  selfParams_->setEnabled(controls && valid.has_value());
  selfParams_->setChecked(valid.value_or(false));

  const Block7Units units = ComputeBlock7Units(sheet_.Table());
  const Block7Units::Level* levels[CBlock7Page2::kBoxes] = {&units.touch,     &units.liftoff,   &units.fastStray,
                                                            &units.slowStray, &units.minEffect, &units.bodyK};
  for (std::size_t box = 0; box < CBlock7Page2::kBoxes; ++box) {
    thresholds_[box]->setText(Latin1(sheet_.Thresholds().boxes[box]));
    thresholdTexts_[box][0]->setText(Shown(levels[box]->percent));
    thresholdTexts_[box][1]->setText(Shown(levels[box]->capacitance));
  }
  const std::optional<bool> palm = sheet_.Thresholds().PalmEnable();
  palm_->setEnabled(palm.has_value());
  palm_->setChecked(palm.value_or(false));
  const Block7Units::Filter* filters[] = {&units.slowStrayFilter, &units.fastStrayUp, &units.fastStrayDown,
                                          &units.strayDelay};
  for (std::size_t box = 0; box < CBlock7Page4::kBoxes; ++box) {
    filters_[box]->setText(Latin1(sheet_.Filters().boxes[box]));
    filterTexts_[box]->setText(box < 4 ? Shown(filters[box]->seconds) : Shown(units.noiseFilter.milliseconds));
  }
  const std::optional<int> orientation = sheet_.Other().Orientation();
  orientation_->setCurrentIndex(orientation.value_or(-1));
  for (std::size_t box = 0; box < CBlock7Page3::kBoxes; ++box) {
    frequencies_[box]->setText(Latin1(sheet_.Other().boxes[box]));
    frequencyTexts_[box]->setText(Shown(box == 0 ? units.freq.frequency : units.penFreq.frequency));
  }
  apply_->setEnabled(read_ && sheet_.Modified() && !sheet_.Busy());
  refreshing_ = false;
}

void Block7SheetView::ReadRows() {
  sheet_.OnShown();
  read_ = true;
  if (sheet_.CloseRequested()) {
    reject();
    return;
  }
  Refresh();
}

void Block7SheetView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!read_) QTimer::singleShot(0, this, [this] {
      if (!read_) ReadRows();
    });
}

void Block7SheetView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (search_->hasFocus()) {
      sheet_.BinaryEdit().Search(search_->text().toStdString());
    } else {
      sheet_.OnEnter();
    }
    Changed();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Block7SheetView::wheelEvent(QWheelEvent* event) {
  if (sheet_.ActivePage() == Block7Sheet::kBinaryEdit && sheet_.ControlsEnabled()) {
    sheet_.BinaryEdit().OnWheel(event->angleDelta().y());
    Refresh();
  }
  event->accept();
}

void Block7SheetView::accept() {
  if (QWidget* focus = focusWidget()) focus->clearFocus();
  if (sheet_.OnOk()) QDialog::accept();
  else if (sheet_.CloseRequested()) reject();
  else Refresh();
}

}  // namespace kx7
