#include "terminal_view.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTouchEvent>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "frame/command_ids.h"
#include "frame/messages.h"
#include "qt_canvas.h"

namespace kx7 {

TerminalView::TerminalView(CTerminalWnd& terminal) : terminal_(terminal), loop_(terminal.Loop()), id_(terminal.Id()) {
  setWindowTitle(QStringLiteral("Terminal"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  // Touches on the terminal are shown as lines, not turned into mouse selections.
  viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
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
  // The view goes once control is back in the event loop; by then the terminal may be gone too
  // (ids are never reused, so a gone terminal is not found).
  if (loop_.Find(id_) != &terminal_) return;
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

bool TerminalView::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
      auto* touch = static_cast<QTouchEvent*>(event);
      std::vector<CTerminalWnd::TouchPoint> points;
      for (const QEventPoint& point : touch->points()) {
        CTerminalWnd::TouchPoint shown;
        shown.id = point.id();
        shown.released = point.state() == QEventPoint::Released;
        // In the view's pixels, from the screen position (which every touch event carries, also
        // one that did not come through the window system); whole pixels, cut towards zero as
        // the system's hundredths are.
        const QPointF at = viewport()->mapFromGlobal(point.globalPosition());
        shown.x = static_cast<int>(std::trunc(at.x()));
        shown.y = static_cast<int>(std::trunc(at.y()));
        points.push_back(shown);
      }
      if (!terminal_.TouchInput(points)) return QAbstractScrollArea::viewportEvent(event);
      event->accept();
      return true;
    }
    default:
      return QAbstractScrollArea::viewportEvent(event);
  }
}

QMenu* TerminalView::CreateContextMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  MessageLoop* loop = &terminal_.Loop();
  const WindowId terminal = terminal_.Id();
  CMainFrame& frame = terminal_.Frame();
  const WindowId frameId = frame.Id();
  // Posted, not called: an action may open a modal dialog or close windows, which must not
  // happen while the menu is still on the stack.
  const auto message = [&](const char* text, MessageId id) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    connect(action, &QAction::triggered, menu, [loop, terminal, id] { loop->Post(terminal, id, 0, 0); });
    return action;
  };
  const auto command = [&](const char* text, std::uint32_t id) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    const CommandState state = frame.UpdateCommand(id);
    action->setEnabled(state.enabled);
    connect(action, &QAction::triggered, menu, [loop, frameId, id] { loop->Post(frameId, wm::kCommand, id, 0); });
    return action;
  };
  message("Copy", msg::kCopy)->setEnabled(terminal_.CurrentSelection().Active());
  message("Select All", msg::kSelectAll);
  message("Paste", msg::kPaste);
  command("Clear All", cmd::kClearAll);
  menu->addSeparator();
  QAction* record = message("Record keys", msg::kKeyRecordToggle);
  record->setCheckable(true);
  record->setChecked(terminal_.Recording());
  message("Play once", msg::kKeyPlayOnce);
  QAction* repeat = message("Repeat", msg::kKeyPlayRepeat);
  repeat->setCheckable(true);
  repeat->setChecked(terminal_.Repeating());
  message("Save key macro...", msg::kKeyMacroSave);
  message("Load key macro...", msg::kKeyMacroLoad);
  message("Load key script...", msg::kKeyScriptLoad);
  menu->addSeparator();
  command("Tach", cmd::kTach);
  command("ASCII chart", cmd::kAsciiChart);
  command("Blink codes", cmd::kBlinkCodes);
  command("USB Sync - Async Reports", cmd::kUsbSyncAsyncReports);
  return menu;
}

void TerminalView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void RegisterTerminalView() {
  RegisterWindowView("Terminal", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* terminal = dynamic_cast<CTerminalWnd*>(&window);
    if (!terminal) return nullptr;
    return std::make_unique<TerminalView>(*terminal);
  });
}

}  // namespace kx7
