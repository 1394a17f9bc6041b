#include "draw_views.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTabletEvent>
#include <QTouchEvent>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "draw/draw_constants.h"
#include "draw/draw_host.h"
#include "frame/command_ids.h"

namespace kx7 {

namespace {

// Forwards the typed characters of a key press as the window's WM_CHAR.
template <class Handler>
bool ForwardChars(QKeyEvent* event, Handler handler) {
  if (event->key() == Qt::Key_Escape) {
    handler(0x1B);
    return true;
  }
  const QString text = event->text();
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (c.unicode() < 0x100) handler(c.unicode());
  return true;
}

}  // namespace

// --- The picture --------------------------------------------------------------------------------

DrawSurfaceView::DrawSurfaceView() {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  resize(800, 600);
}

DrawSurfaceView::~DrawSurfaceView() {
  // The window was let go by the derived view already.
  canvas_.reset();
  if (painter_.isActive()) painter_.end();
}

void DrawSurfaceView::Refresh() {
  stale_ = true;
  update();
}

void DrawSurfaceView::BeginLive() {
  if (image_.isNull() || painter_.isActive()) return;
  painter_.begin(&image_);
  canvas_ = std::make_unique<QtCanvas>(painter_, image_.width(), image_.height());
  if (Alive()) SetLiveCanvas(canvas_.get());
}

void DrawSurfaceView::EndLive() {
  if (Alive()) SetLiveCanvas(nullptr);
  canvas_.reset();
  if (painter_.isActive()) painter_.end();
}

void DrawSurfaceView::AreaDrawn(const Rect& area) {
  update(QRect(area.left - 2, area.top - 2, area.Width() + 5, area.Height() + 5));
}

void DrawSurfaceView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (Alive()) SetClientSize(width(), height());
  stale_ = true;
}

void DrawSurfaceView::paintEvent(QPaintEvent* event) {
  if (!Alive()) return;
  EndLive();
  if (stale_ || image_.size() != size()) {
    // A real paint: the window draws itself again from its history.
    image_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    QPainter painter(&image_);
    QtCanvas canvas(painter, image_.width(), image_.height());
    PaintCore(canvas);
    stale_ = false;
  }
  QPainter painter(this);
  painter.drawImage(event->rect(), image_, event->rect());
  QtCanvas overlay(painter, width(), height());
  PaintOverlay(overlay);
  painter.end();
  BeginLive();
}

void DrawSurfaceView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // From the keyboard the menu stands at the client origin plus (5, 5).
  const QPoint at = event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(5, 5)) : event->globalPos();
  menu->popup(at);
}

namespace {

// A pop-up menu of frame commands, checked and enabled as the frame says.
QMenu* CommandMenu(QWidget* parent, DrawHost& host, std::initializer_list<std::pair<const char*, std::uint32_t>> items) {
  auto* menu = new QMenu(parent);
  DrawHost* target = &host;
  for (const auto& [text, id] : items) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    const DrawHost::MenuState state = host.CommandState(id);
    action->setEnabled(state.enabled);
    action->setCheckable(state.checked || std::string(text) != "E&xit");
    action->setChecked(state.checked);
    const std::uint32_t command = id;
    // Posted: the command may repaint or close the window the menu stands on.
    QObject::connect(action, &QAction::triggered, menu, [target, command] { target->PostCommand(command); });
  }
  return menu;
}

}  // namespace

// --- The draw window --------------------------------------------------------------------------

DrawView::DrawView(CDrawWnd& window) : window_(window), loop_(window.Loop()), id_(window.Id()) {
  setWindowTitle(QString::fromUtf8(draw::kDrawTitle));
  window_.onDrawn = [this](const Rect& area) { AreaDrawn(area); };
}

DrawView::~DrawView() {
  if (!Alive()) return;
  EndLive();
  window_.onDrawn = nullptr;
}

bool DrawView::Alive() const { return loop_.Find(id_) == &window_; }

QMenu* DrawView::CreateContextMenu(QWidget* parent) {
  return CommandMenu(parent, window_.Host(),
                     {{"&Grid", cmd::kDrawShowGrid},
                      {"&Dots", cmd::kDrawDots},
                      {"&16pt", cmd::kDraw16ptTargets},
                      {"&25pt", cmd::kDraw25ptTargets},
                      {"&Ext. Targets", cmd::kDrawExtendedTargets},
                      {"E&xit", cmd::kDrawExit}});
}

void DrawView::keyPressEvent(QKeyEvent* event) {
  if (!ForwardChars(event, [this](std::uint16_t key) { window_.OnChar(key); })) QWidget::keyPressEvent(event);
}

void DrawView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  window_.MouseDown(at.x(), at.y());
  update();
}

void DrawView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  window_.MouseMove(at.x(), at.y());
}

void DrawView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  window_.MouseUp(at.x(), at.y());
}

void DrawView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  window_.DoubleClick(at.x(), at.y());
}

// --- The multitouch draw window -----------------------------------------------------------------

MultiDrawView::MultiDrawView(CMultiDrawWnd& window) : window_(window), loop_(window.Loop()), id_(window.Id()) {
  setWindowTitle(QString::fromUtf8(draw::kMultiDrawTitle));
  setAttribute(Qt::WA_AcceptTouchEvents, window_.Placement().systemTouch);
  window_.onDrawn = [this](const Rect& area) { AreaDrawn(area); };
}

MultiDrawView::~MultiDrawView() {
  if (!Alive()) return;
  EndLive();
  window_.onDrawn = nullptr;
}

bool MultiDrawView::Alive() const { return loop_.Find(id_) == &window_; }

QMenu* MultiDrawView::CreateContextMenu(QWidget* parent) {
  return CommandMenu(parent, window_.Host(),
                     {{"&Grid", cmd::kMultiDrawShowGrid}, {"&Dots", cmd::kMultiDrawDots}, {"E&xit", cmd::kMultiDrawExit}});
}

bool MultiDrawView::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
      auto* touch = static_cast<QTouchEvent*>(event);
      std::vector<CMultiDrawWnd::TouchPoint> points;
      for (const QEventPoint& point : touch->points()) {
        CMultiDrawWnd::TouchPoint p;
        p.id = static_cast<std::uint32_t>(point.id());
        // Hundredths of a screen pixel, as the system's touch input gives them.
        p.x100 = static_cast<int>(std::lround(point.globalPosition().x() * 100));
        p.y100 = static_cast<int>(std::lround(point.globalPosition().y() * 100));
        p.touching = point.state() != QEventPoint::Released;
        points.push_back(p);
      }
      if (!window_.TouchInput(points)) return QWidget::event(event);
      event->accept();
      return true;
    }
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease: {
      // A pen: one contact of its own, as the pen's mouse messages are.
      auto* tablet = static_cast<QTabletEvent*>(event);
      const QPoint at = tablet->position().toPoint();
      const auto action = event->type() == QEvent::TabletPress   ? CMultiDrawWnd::MouseAction::kDown
                          : event->type() == QEvent::TabletMove ? CMultiDrawWnd::MouseAction::kMove
                                                                 : CMultiDrawWnd::MouseAction::kUp;
      if (action != CMultiDrawWnd::MouseAction::kMove || tablet->pressure() > 0)
        window_.Mouse(action, at.x(), at.y(), draw::kPenSignature);
      event->accept();
      return true;
    }
    default:
      return QWidget::event(event);
  }
}

void MultiDrawView::keyPressEvent(QKeyEvent* event) {
  if (!ForwardChars(event, [this](std::uint16_t key) { window_.OnChar(key); })) QWidget::keyPressEvent(event);
}

void MultiDrawView::mousePressEvent(QMouseEvent* event) {
  // Presses the system made from touches are the touches' business.
  if (event->button() != Qt::LeftButton || event->source() != Qt::MouseEventNotSynthesized) return;
  const QPoint at = event->position().toPoint();
  window_.Mouse(CMultiDrawWnd::MouseAction::kDown, at.x(), at.y(), 0);
}

void RegisterDrawViews() {
  RegisterWindowView("Draw", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* draw = dynamic_cast<CDrawWnd*>(&window);
    if (!draw) return nullptr;
    return std::make_unique<DrawView>(*draw);
  });
  RegisterWindowView("MultiDraw", [](Window& window) -> std::unique_ptr<WindowView> {
    auto* multi = dynamic_cast<CMultiDrawWnd*>(&window);
    if (!multi) return nullptr;
    return std::make_unique<MultiDrawView>(*multi);
  });
}

}  // namespace kx7
