#include "ascii_chart_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "qt_ui_host.h"

namespace kx7 {

namespace {

QFont ChartFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  // Where no such face is installed the system's fixed font keeps the columns straight.
  if (!QFontInfo(font).fixedPitch()) {
    const int size = font.pointSize();
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    font.setPointSize(size);
  }
  return font;
}

}  // namespace

AsciiChartDialog::AsciiChartDialog(AsciiChartModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromStdString(model.Title()));
  const QFont font = ChartFont();
  auto* layout = new QVBoxLayout(this);
  auto* chart = new QHBoxLayout;
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(QFontMetrics(font).horizontalAdvance(QStringLiteral("  ")));
  grid->setVerticalSpacing(0);
  const QFontMetrics metrics(font);
  // Each column as wide as its longest text, so the columns do not move while scrolling.
  const int widths[kColumns] = {metrics.horizontalAdvance(QStringLiteral("000")),
                                metrics.horizontalAdvance(QStringLiteral("00")),
                                metrics.horizontalAdvance(QStringLiteral("SPACE^`"))};
  for (int row = 0; row < AsciiChartModel::kVisibleRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      auto* cell = new QLabel(this);
      cell->setFont(font);
      cell->setTextFormat(Qt::PlainText);
      cell->setMinimumWidth(widths[column]);
      grid->addWidget(cell, row, column);
      cells_[static_cast<std::size_t>(row * kColumns + column)] = cell;
    }
  }
  chart->addLayout(grid);
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setRange(0, AsciiChartModel::kLastFirstRow);
  scrollBar_->setPageStep(AsciiChartModel::kVisibleRows);
  scrollBar_->setSingleStep(1);
  scrollBar_->setValue(model_.FirstRow());
  chart->addWidget(scrollBar_);
  layout->addLayout(chart);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
    model_.SetFirstRow(value);
    ShowRows();
  });
  ShowRows();
}

void AsciiChartDialog::ShowRows() {
  for (int row = 0; row < AsciiChartModel::kVisibleRows; ++row) {
    const AsciiRow texts = AsciiChartModel::Row(model_.FirstRow() + row);
    Cell(row, 0)->setText(QString::fromStdString(texts.decimal));
    Cell(row, 1)->setText(QString::fromStdString(texts.hex));
    Cell(row, 2)->setText(QString::fromUtf8(texts.character.data(), static_cast<qsizetype>(texts.character.size())));
  }
}

void AsciiChartDialog::wheelEvent(QWheelEvent* event) { QCoreApplication::sendEvent(scrollBar_, event); }

void AsciiChartDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      scrollBar_->triggerAction(QAbstractSlider::SliderSingleStepSub);
      return;
    case Qt::Key_Down:
      scrollBar_->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      return;
    case Qt::Key_PageUp:
      scrollBar_->triggerAction(QAbstractSlider::SliderPageStepSub);
      return;
    case Qt::Key_PageDown:
      scrollBar_->triggerAction(QAbstractSlider::SliderPageStepAdd);
      return;
    case Qt::Key_Home:
      scrollBar_->triggerAction(QAbstractSlider::SliderToMinimum);
      return;
    case Qt::Key_End:
      scrollBar_->triggerAction(QAbstractSlider::SliderToMaximum);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void RegisterAsciiChartDialog() {
  QtUiHost::RegisterDialogView("AsciiChart", [](DialogModel& model, QWidget* parent) {
    auto& chart = static_cast<AsciiChartModel&>(model);
    AsciiChartDialog dialog(chart, parent);
    return dialog.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
