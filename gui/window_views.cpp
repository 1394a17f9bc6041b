#include "window_views.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QtGlobal>
#include <algorithm>

namespace kx7 {
namespace {

std::map<std::string, WindowViewFactory>& Factories() {
  static std::map<std::string, WindowViewFactory> factories;
  return factories;
}

QRect ToQRect(const Rect& rect) { return QRect(rect.left, rect.top, rect.Width(), rect.Height()); }

// `box` moved as little as needed to lie inside `area` (its top-left corner when it is larger).
QRect KeptInside(QRect box, const QRect& area) {
  box.moveLeft(std::max(area.left(), std::min(box.left(), area.right() - box.width() + 1)));
  box.moveTop(std::max(area.top(), std::min(box.top(), area.bottom() - box.height() + 1)));
  return box;
}

}  // namespace

void RegisterWindowView(const std::string& kind, WindowViewFactory factory) { Factories()[kind] = std::move(factory); }

bool HasWindowView(const std::string& kind) {
  const auto found = Factories().find(kind);
  return found != Factories().end() && static_cast<bool>(found->second);
}

WindowViews::WindowViews(QWidget* mainWindow, QMdiArea* mdiArea) : mainWindow_(mainWindow), mdiArea_(mdiArea) {}

WindowViews::~WindowViews() {
  for (auto& item : entries_) delete item.second.frame.data();
}

bool WindowViews::Open(Window& window, const Placement& placement) {
  const QString title = QString::fromStdString(placement.title);
  if (Entry* open = Live(window.Id())) {
    // Open already: it comes forward where it is.
    if (!title.isEmpty()) open->widget->setWindowTitle(title);
    if (auto* child = qobject_cast<QMdiSubWindow*>(open->frame.data()); child != nullptr && mdiArea_) {
      // Split mode moves an open child to its part of the area, restored; Draw maximises it.
      if (placement.kind == PlacementKind::kMdiChildAt) {
        child->showNormal();
        child->setGeometry(ToQRect(placement.rect));
      } else if (placement.kind == PlacementKind::kMdiChild && placement.maximized) {
        child->showMaximized();
      } else {
        child->show();
      }
      mdiArea_->setActiveSubWindow(child);
    } else {
      open->frame->show();
      open->frame->raise();
      open->frame->activateWindow();
    }
    return true;
  }

  const char* kind = window.ViewKind();
  const auto factory = kind != nullptr ? Factories().find(kind) : Factories().end();
  if (factory == Factories().end() || !factory->second) {
    qWarning("No window view is registered for \"%s\"", kind != nullptr ? kind : "");
    return false;
  }
  const bool mdi = placement.kind == PlacementKind::kMdiChild || placement.kind == PlacementKind::kMdiChildAt;
  if (mdi && !mdiArea_) return false;

  std::unique_ptr<WindowView> view = factory->second(window);
  if (!view) return false;
  auto* widget = dynamic_cast<QWidget*>(view.get());
  if (widget == nullptr) {
    qWarning("The view made for \"%s\" is no widget", kind);
    return false;
  }
  // From here the widget owns the view (they are one object), and the widget goes with its frame.
  Entry entry;
  entry.view = view.release();
  entry.window = &window;
  entry.loop = &window.Loop();
  entry.widget = widget;
  if (!title.isEmpty()) widget->setWindowTitle(title);
  entry.view->Refresh();

  switch (placement.kind) {
    case PlacementKind::kModelessDialog:
      entry.frame = widget;
      ShowDialog(widget);
      break;
    case PlacementKind::kFullScreen:
      entry.frame = widget;
      widget->setParent(mainWindow_, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
      widget->setGeometry(ToQRect(placement.rect));
      widget->show();
      widget->raise();
      widget->activateWindow();
      break;
    case PlacementKind::kMdiChild:
    case PlacementKind::kMdiChildAt: {
      QMdiSubWindow* child = mdiArea_->addSubWindow(widget);
      // The window decides when its frame goes; the frame never deletes itself.
      child->setAttribute(Qt::WA_DeleteOnClose, false);
      // The main window tells the core which child is active by this.
      child->setProperty("kx7WindowId", window.Id());
      if (!title.isEmpty()) child->setWindowTitle(title);
      if (placement.kind == PlacementKind::kMdiChildAt) child->setGeometry(ToQRect(placement.rect));
      if (placement.maximized)
        child->showMaximized();
      else
        child->show();
      mdiArea_->setActiveSubWindow(child);
      entry.frame = child;
      break;
    }
  }
  if (!entry.frame) {
    delete widget;
    return false;
  }
  entry.frame->installEventFilter(this);
  entries_[window.Id()] = entry;
  return true;
}

void WindowViews::ShowDialog(QWidget* widget) {
  // A window of its own, kept above the main window by the window system.
  widget->setParent(mainWindow_, widget->windowFlags() | Qt::Dialog);
  widget->adjustSize();
  QScreen* screen = mainWindow_ ? mainWindow_->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  const bool overMain = mainWindow_ && mainWindow_->isVisible() && !mainWindow_->isMinimized();
  const QRect area = overMain ? mainWindow_->frameGeometry() : available;
  // Where a frame of this size goes; move() places the frame's corner.
  const auto place = [&](QSize frameSize) {
    QRect box(QPoint(0, 0), frameSize);
    box.moveCenter(area.center());
    return available.isEmpty() ? box.topLeft() : KeptInside(box, available).topLeft();
  };
  // The frame is known only once the dialog shows; until then take the main window's as a guess.
  QSize frame = widget->size();
  if (overMain) frame += mainWindow_->frameGeometry().size() - mainWindow_->geometry().size();
  widget->move(place(frame));
  widget->show();
  // Where the window system tells the real frame at once, the dialog goes exactly.
  if (const QPoint exact = place(widget->frameGeometry().size()); exact != widget->frameGeometry().topLeft())
    widget->move(exact);
  widget->raise();
  widget->activateWindow();
}

void WindowViews::Close(Window& window) {
  const auto found = entries_.find(window.Id());
  if (found == entries_.end()) return;
  Entry entry = found->second;
  entries_.erase(found);
  Dispose(entry);
}

void WindowViews::Dispose(Entry& entry) {
  QWidget* frame = entry.frame.data();
  if (frame == nullptr) return;
  frame->hide();
  if (auto* child = qobject_cast<QMdiSubWindow*>(frame); child != nullptr && child->mdiArea() != nullptr)
    child->mdiArea()->removeSubWindow(child);
  // Later, not now: the view may be the one whose event is being handled further up the stack.
  frame->deleteLater();
}

bool WindowViews::Invalidate(WindowId id) {
  Entry* entry = Live(id);
  if (entry == nullptr) return false;
  entry->view->Refresh();
  return true;
}

QWidget* WindowViews::ViewOf(WindowId id) const {
  const auto found = entries_.find(id);
  return found == entries_.end() ? nullptr : found->second.widget.data();
}

WindowViews::Entry* WindowViews::Live(WindowId id) {
  const auto found = entries_.find(id);
  if (found == entries_.end()) return nullptr;
  Entry& entry = found->second;
  // Ids are never reused, so a window that went without closing its view is no longer found.
  const bool windowThere = entry.loop->Find(id) == entry.window;
  if (entry.widget && entry.frame && windowThere) return &entry;
  Dispose(entry);
  entries_.erase(found);
  return nullptr;
}

bool WindowViews::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close) {
    for (const auto& [id, entry] : entries_) {
      if (entry.frame != watched) continue;
      // The window decides; it closes the view through CloseWindow when it agrees.
      event->ignore();
      entry.loop->Post(id, wm::kClose);
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kx7
