// The Qt views of the draw window and the multitouch draw window. Each keeps a picture of its
// client area: a paint of the window (background, overlays, the history replayed) goes into it
// when the window asks for one or the view changes size, and what each received byte adds is
// drawn into it as it arrives, so that only the touched part of the screen is shown again. The
// cursor sprite and the Mark lie on top of the picture. Mouse, keys, touches and the context menu
// are forwarded to the core window.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <memory>

#include "draw/draw_wnd.h"
#include "draw/multi_draw_wnd.h"
#include "qt_canvas.h"
#include "window_views.h"

class QMenu;

namespace kx7 {

// The picture behind a draw window and the live canvas over it.
class DrawSurfaceView : public QWidget, public WindowView {
  Q_OBJECT

 public:
  DrawSurfaceView();
  ~DrawSurfaceView() override;

  void Refresh() override;
  const QImage& Picture() const { return image_; }
  // The menu the right button shows (the caller owns it).
  virtual QMenu* CreateContextMenu(QWidget* parent) = 0;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Calls live on the canvas until the next paint.
  void BeginLive();
  void EndLive();
  void AreaDrawn(const Rect& area);
  virtual void PaintCore(Canvas& canvas) = 0;
  virtual void PaintOverlay(Canvas&) {}
  virtual void SetLiveCanvas(Canvas* canvas) = 0;
  virtual void SetClientSize(int width, int height) = 0;
  virtual bool Alive() const = 0;

 private:
  QImage image_;
  QPainter painter_;
  std::unique_ptr<QtCanvas> canvas_;
  bool stale_ = true;
};

class DrawView : public DrawSurfaceView {
  Q_OBJECT

 public:
  explicit DrawView(CDrawWnd& window);
  ~DrawView() override;
  QMenu* CreateContextMenu(QWidget* parent) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void PaintCore(Canvas& canvas) override { window_.Paint(canvas); }
  void PaintOverlay(Canvas& canvas) override { window_.PaintOverlay(canvas); }
  void SetLiveCanvas(Canvas* canvas) override { window_.SetLiveCanvas(canvas); }
  void SetClientSize(int width, int height) override { window_.SetClientSize(width, height); }
  bool Alive() const override;

 private:
  CDrawWnd& window_;
  MessageLoop& loop_;
  WindowId id_;
};

class MultiDrawView : public DrawSurfaceView {
  Q_OBJECT

 public:
  explicit MultiDrawView(CMultiDrawWnd& window);
  ~MultiDrawView() override;
  QMenu* CreateContextMenu(QWidget* parent) override;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void PaintCore(Canvas& canvas) override { window_.Paint(canvas); }
  void SetLiveCanvas(Canvas* canvas) override { window_.SetLiveCanvas(canvas); }
  void SetClientSize(int width, int height) override { window_.SetClientSize(width, height); }
  bool Alive() const override;

 private:
  CMultiDrawWnd& window_;
  MessageLoop& loop_;
  WindowId id_;
};

void RegisterDrawViews();

}  // namespace kx7
