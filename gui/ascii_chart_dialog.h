// The "ASCII" chart dialog: 16 rows of code, hexadecimal and character in "Courier New", and a
// scroll bar whose value is the code of the top row (0 to 240). The wheel and the keys scroll too.
#pragma once

#include <QDialog>
#include <array>

#include "display/ascii_chart.h"

class QLabel;
class QScrollBar;

namespace kx7 {

class AsciiChartDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kColumns = 3;

  explicit AsciiChartDialog(AsciiChartModel& model, QWidget* parent = nullptr);

  QLabel* Cell(int row, int column) const { return cells_.at(static_cast<std::size_t>(row * kColumns + column)); }
  QScrollBar* ScrollBar() const { return scrollBar_; }

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowRows();

  AsciiChartModel& model_;
  std::array<QLabel*, AsciiChartModel::kVisibleRows * kColumns> cells_{};
  QScrollBar* scrollBar_ = nullptr;
};

void RegisterAsciiChartDialog();

}  // namespace kx7
