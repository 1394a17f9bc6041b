// The Qt main window around the core main frame: MDI area, menus, the three toolbars and the
// eleven-pane status bar. It shows the frame's state and hands every command and close request to
// the frame; the behaviour is the frame's.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QVector>

#include <cstdint>
#include <vector>

#include "frame/main_frame.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace kx7 {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(CMainFrame& frame);

  QMdiArea* MdiArea() const { return mdi_; }
  // Rebuilds the menus (after the port list changed) and the toolbars (after the settings did).
  void RebuildMenus();
  void RebuildToolbars();
  // Re-reads command states and status panes now, as the idle update does.
  void RefreshFromFrame();
  QString StatusBarText() const;
  // Lets the next close through: the frame has finished its close sequence.
  void AllowClose() { closeAllowed_ = true; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items);
  QAction* ActionFor(std::uint32_t id, const QString& text, bool checkable);

  CMainFrame& frame_;
  QMdiArea* mdi_ = nullptr;
  QVector<QLabel*> panes_;
  QVector<QToolBar*> toolbars_;
  QVector<QMenu*> menus_;  // the menu bar's menus
  QMap<std::uint32_t, QVector<QAction*>> actions_;
  bool closeAllowed_ = false;
};

}  // namespace kx7
