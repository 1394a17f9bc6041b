#include "terminal_view.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "qt_canvas.h"

namespace kx7 {

TerminalView::TerminalView(CTerminalWnd& terminal) : terminal_(terminal) {
  setWindowTitle(QStringLiteral("Terminal"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  Font font;
  const QFontMetrics metrics(QtCanvas::ToQFont(font));
  lineHeight_ = std::max(1, metrics.height());
  charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
  terminal_.onRowChanged = [this](int row) { RowChanged(row); };
  terminal_.onScrolled = [this] {
    UpdateScrollBars(true);
    viewport()->update();
  };
  resize(800, 500);
}

TerminalView::~TerminalView() {
  terminal_.onRowChanged = nullptr;
  terminal_.onScrolled = nullptr;
}

void TerminalView::Refresh() {
  UpdateScrollBars(false);
  viewport()->update();
}

int TerminalView::FirstRow() const { return verticalScrollBar()->value() / lineHeight_; }

void TerminalView::UpdateScrollBars(bool followCaret) {
  const int document = terminal_.Text().RowCount() * lineHeight_;
  const int height = viewport()->height();
  QScrollBar* vertical = verticalScrollBar();
  vertical->setPageStep(height);
  vertical->setSingleStep(lineHeight_);
  vertical->setRange(0, std::max(0, std::max(document, height) - height));
  QScrollBar* horizontal = horizontalScrollBar();
  horizontal->setPageStep(viewport()->width());
  horizontal->setSingleStep(charWidth_);
  horizontal->setRange(0, std::max(0, TerminalText::kColumns * charWidth_ - viewport()->width()));
  if (followCaret) {
    // Keep the caret's line in view.
    const int caretBottom = terminal_.Text().RowCount() * lineHeight_;
    if (caretBottom - vertical->value() > height) vertical->setValue(caretBottom - height);
  }
}

void TerminalView::RowChanged(int row) {
  const int top = (row - FirstRow()) * lineHeight_ - verticalScrollBar()->value() % lineHeight_;
  if (top + lineHeight_ > viewport()->height() || top < -lineHeight_) {
    UpdateScrollBars(true);
    viewport()->update();
    return;
  }
  // Only the row that changed is drawn again.
  viewport()->update(QRect(0, top, viewport()->width(), lineHeight_ + 1));
}

void TerminalView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  QtCanvas canvas(painter, viewport()->width(), viewport()->height());
  // Rows are drawn from the first visible one; their y is relative to the scroll position.
  const int offset = verticalScrollBar()->value() % lineHeight_;
  painter.translate(0, -offset);
  terminal_.Paint(canvas, FirstRow(), lineHeight_, charWidth_, horizontalScrollBar()->value());
  if (!painted_) {
    painted_ = true;
    terminal_.FirstPaint();
  }
}

void TerminalView::RowColumnAt(const QPoint& point, int& row, int& column) const {
  row = (point.y() + verticalScrollBar()->value()) / lineHeight_;
  column = (point.x() + horizontalScrollBar()->value()) / charWidth_;
}

void TerminalView::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    terminal_.OnChar('\r');
    return;
  }
  if (text.isEmpty()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  for (const QChar c : text) {
    const ushort code = c.unicode();
    if (code < 0x100) terminal_.OnChar(code);
  }
}

void TerminalView::mousePressEvent(QMouseEvent* event) {
  int row = 0, column = 0;
  RowColumnAt(event->position().toPoint(), row, column);
  terminal_.MouseDown(row, column);
}

void TerminalView::mouseMoveEvent(QMouseEvent* event) {
  int row = 0, column = 0;
  RowColumnAt(event->position().toPoint(), row, column);
  terminal_.MouseDrag(row, column);
}

void TerminalView::mouseReleaseEvent(QMouseEvent*) { terminal_.MouseUp(); }

void TerminalView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars(false);
}

void TerminalView::wheelEvent(QWheelEvent* event) {
  // Two lines a notch.
  const int notches = event->angleDelta().y() / 120;
  verticalScrollBar()->setValue(verticalScrollBar()->value() - notches * 2 * lineHeight_);
}

void TerminalView::scrollContentsBy(int, int) { viewport()->update(); }

void RegisterTerminalView() {
  RegisterWindowView("Terminal", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* terminal = dynamic_cast<CTerminalWnd*>(&window);
    if (!terminal) return nullptr;
    return std::make_unique<TerminalView>(*terminal);
  });
}

}  // namespace kx7
