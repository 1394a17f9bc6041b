// The Qt views of the core windows. A view is a widget that shows one core window and hands the
// user's input back to it as messages; which view a window gets is picked by its ViewKind().
// WindowViews places the views that the core opens through UiHost::OpenWindow, keeps them by
// window id, hands them the core's refresh requests and takes them away again on CloseWindow.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/ui_host.h"
#include "platform/window.h"

class QMdiArea;

namespace kx7 {

// What a view does besides being a widget: a view class derives from a QWidget class and from
// this, and goes when its widget goes.
class WindowView {
 public:
  WindowView() = default;
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;
  virtual ~WindowView() = default;

  // Re-reads what the core window shows. Called only while the window exists.
  virtual void Refresh() = 0;
};

// Makes the view of a window; nothing when this window cannot be shown. The view comes without a
// parent: WindowViews places it.
using WindowViewFactory = std::function<std::unique_ptr<WindowView>(Window&)>;

// The view for every window whose ViewKind() is `kind`; a later registration replaces an earlier one.
void RegisterWindowView(const std::string& kind, WindowViewFactory factory);
bool HasWindowView(const std::string& kind);

// The open views, owned here. Placements:
// - kModelessDialog: a top-level dialog over the main window, centred on it, raised and active.
// - kMdiChild: a child of the MDI area at the area's next free place; kMdiChildAt: at
//   placement.rect (area coordinates). Both come maximised when placement.maximized is set (the
//   rect is then where the child goes when it is restored).
// - kFullScreen: a frameless top-level window over placement.rect (screen coordinates).
// The user's own close (title bar, Alt+F4) does not close a view: the window is sent wm::kClose
// and decides; it calls CloseWindow when it does close.
class WindowViews : public QObject {
  Q_OBJECT

 public:
  // `mdiArea` may be null: the MDI placements then fail.
  explicit WindowViews(QWidget* mainWindow, QMdiArea* mdiArea = nullptr);
  ~WindowViews() override;

  // Shows the window's view, creating it unless it is open already (then it is only raised).
  // False when no view is registered for the window's kind, the factory made none, or the
  // placement has no place here.
  bool Open(Window& window, const Placement& placement);
  // Hides the window's view and deletes it (once control is back in the event loop); nothing
  // when the window has no view.
  void Close(Window& window);
  // The view of `id` re-reads its window; false when `id` has no view (the caller refreshes
  // whatever else it shows).
  bool Invalidate(WindowId id);

  // The widget of the window's open view, null when it has none.
  QWidget* ViewOf(WindowId id) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    Window* window = nullptr;
    MessageLoop* loop = nullptr;
    // The view; valid while `widget` is (they are the same object).
    WindowView* view = nullptr;
    QPointer<QWidget> widget;
    // The top-level thing placed: the widget itself or the MDI frame around it.
    QPointer<QWidget> frame;
  };

  bool Place(Entry& entry, const Placement& placement);
  void ShowDialog(QWidget* widget);
  // Drops entries whose views were deleted by someone else (the main window going away).
  Entry* Live(WindowId id);
  static void Dispose(Entry& entry);

  QPointer<QWidget> mainWindow_;
  QPointer<QMdiArea> mdiArea_;
  std::map<WindowId, Entry> entries_;
};

}  // namespace kx7
