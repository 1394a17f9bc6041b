// The Qt view of the terminal window: paints the terminal's rows through QtCanvas, scrolls both
// ways (bars always shown), forwards typed keys, the mouse selection and touch points, and redraws
// only the row that changed when a piece arrives. Its context menu offers what no menu of the
// main window sends: the key recorder and macros, Clear All, the rate meter, the reference
// dialogs and the record choices.
#pragma once

#include <QAbstractScrollArea>

#include "display/terminal_wnd.h"
#include "window_views.h"

class QMenu;

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
  // The context menu as it would show now (the caller owns it). Its actions post their message
  // to the terminal or their command to the frame.
  QMenu* CreateContextMenu(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void UpdateScrollBars(bool followCaret);
  void RowChanged(int row);
  int FirstRow() const;

  CTerminalWnd& terminal_;
  MessageLoop& loop_;
  WindowId id_;
  int lineHeight_ = 16;
  int charWidth_ = 8;
  bool painted_ = false;
};

void RegisterTerminalView();

}  // namespace kx7
