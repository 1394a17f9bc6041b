// The Qt view of the terminal window: paints the terminal's rows through QtCanvas, scrolls both
// ways (bars always shown), forwards typed keys and the mouse selection, and redraws only the row
// that changed when a piece arrives.
#pragma once

#include <QAbstractScrollArea>

#include "display/terminal_wnd.h"
#include "window_views.h"

namespace kx7 {

class TerminalView : public QAbstractScrollArea, public WindowView {
  Q_OBJECT

 public:
  explicit TerminalView(CTerminalWnd& terminal);
  ~TerminalView() override;

  void Refresh() override;
  int LineHeight() const { return lineHeight_; }
  int CharWidth() const { return charWidth_; }
  // The row and column under a point of the viewport.
  void RowColumnAt(const QPoint& point, int& row, int& column) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars(bool followCaret);
  void RowChanged(int row);
  int FirstRow() const;

  CTerminalWnd& terminal_;
  int lineHeight_ = 16;
  int charWidth_ = 8;
  bool painted_ = false;
};

void RegisterTerminalView();

}  // namespace kx7
