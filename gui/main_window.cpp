#include "main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "frame/command_ids.h"
#include "frame/frame_texts.h"
#include "frame/toolbar_model.h"
#include "toolbar_icons.h"

namespace kx7 {
namespace {

// The idle update of menus, toolbar buttons and status panes.
constexpr int kIdleUpdateMs = 100;

}  // namespace

MainWindow::MainWindow(CMainFrame& frame) : frame_(frame) {
  setWindowTitle(QString::fromUtf8(text::kWindowTitle));
  mdi_ = new QMdiArea(this);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);

  for (int pane = 0; pane < kStatusPaneCount; ++pane) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("pane%1").arg(pane));
    const StatusPaneLayout& layout = kStatusPanes[static_cast<std::size_t>(pane)];
    if (pane == 0) {
      statusBar()->addWidget(label, 1);
    } else {
      // Pane widths were set for an old 8-pixel font; scale them to the font in use.
      const int width = layout.width * fontMetrics().averageCharWidth() / 6 + 8;
      label->setMinimumWidth(width);
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      label->setAlignment(Qt::AlignCenter);
      statusBar()->addPermanentWidget(label);
    }
    panes_.push_back(label);
  }

  RebuildMenus();
  RebuildToolbars();

  auto* idle = new QTimer(this);
  connect(idle, &QTimer::timeout, this, &MainWindow::RefreshFromFrame);
  idle->start(kIdleUpdateMs);
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    const QVariant id = window ? window->property("kx7WindowId") : QVariant();
    frame_.activeChild = id.isValid() ? id.toUInt() : kNoWindow;
  });
  RefreshFromFrame();
}

QAction* MainWindow::ActionFor(std::uint32_t id, const QString& text, bool checkable) {
  auto* action = new QAction(text, this);
  action->setCheckable(checkable);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] {
    switch (id) {
      case cmd::kCascade:
        mdi_->cascadeSubWindows();
        break;
      case cmd::kTileHorizontal:
      case cmd::kTileVertical:
        mdi_->tileSubWindows();
        break;
      default:
        frame_.Loop().Send(frame_.Id(), wm::kCommand, id, 0);
        break;
    }
    RefreshFromFrame();
  });
  actions_[id].push_back(action);
  return action;
}

void MainWindow::AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items) {
  for (const MenuItem& item : items) {
    if (item.separator) {
      menu->addSeparator();
    } else if (!item.children.empty() || item.id == 0) {
      QMenu* sub = menu->addMenu(QString::fromStdString(item.text));
      AddMenuItems(sub, item.children);
    } else {
      menu->addAction(ActionFor(item.id, QString::fromStdString(item.text), item.checkable));
    }
  }
}

void MainWindow::RebuildMenus() {
  // Only menu actions are rebuilt; toolbar actions stay with their toolbars.
  for (auto it = actions_.begin(); it != actions_.end(); ++it) {
    QVector<QAction*> kept;
    for (QAction* action : it.value()) {
      if (action->property("kx7Toolbar").toBool())
        kept.push_back(action);
      else
        action->deleteLater();
    }
    it.value() = kept;
  }
  menuBar()->clear();
  // clear() takes the menus off the bar but leaves them alive; they go now, with their submenus.
  for (QMenu* old : menus_) old->deleteLater();
  menus_.clear();
  for (const MenuItem& top : frame_.Menus()) {
    QMenu* menu = menuBar()->addMenu(QString::fromStdString(top.text));
    menus_.push_back(menu);
    AddMenuItems(menu, top.children);
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::RefreshFromFrame);
  }
}

void MainWindow::RebuildToolbars() {
  for (QToolBar* toolbar : toolbars_) {
    for (QAction* action : toolbar->actions()) {
      const std::uint32_t id = action->data().toUInt();
      actions_[id].removeAll(action);
    }
    removeToolBar(toolbar);
    toolbar->deleteLater();
  }
  toolbars_.clear();
  const OptionsBlock& options = frame_.settings.Options;
  const bool labels = options.ShowTextLabels != 0;
  for (const Toolbar& model :
       BuildToolbars(options.ClassicToolbar != 0, options.AsymtekToolbar != 0, options.DevelopmentToolbar != 0)) {
    auto* toolbar = new QToolBar(QString::fromStdString(model.name), this);
    toolbar->setObjectName(QString::fromStdString(model.name));
    toolbar->setToolButtonStyle(labels ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    toolbar->setIconSize(QSize(22, 22));
    for (const ToolbarButton& button : model.buttons) {
      if (button.separator) {
        toolbar->addSeparator();
        continue;
      }
      const QString label = QString::fromStdString(button.label);
      QAction* action = ActionFor(button.id, label, button.check);
      action->setProperty("kx7Toolbar", true);
      action->setIcon(ToolbarIcon(label, options.ClassicToolbar != 0));
      action->setToolTip(label);
      toolbar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, toolbar);
    toolbar->setVisible(model.shown);
    toolbars_.push_back(toolbar);
  }
  RefreshFromFrame();
}

void MainWindow::RefreshFromFrame() {
  frame_.UpdateStatusPanes();
  for (int pane = 0; pane < kStatusPaneCount && pane < panes_.size(); ++pane) {
    const QString text = QString::fromStdString(frame_.StatusText(pane));
    if (panes_[pane]->text() != text) panes_[pane]->setText(text);
  }
  for (auto it = actions_.begin(); it != actions_.end(); ++it) {
    const std::uint32_t id = it.key();
    CommandState state = frame_.UpdateCommand(id);
    if (id == cmd::kCascade || id == cmd::kTileHorizontal || id == cmd::kTileVertical)
      state = CommandState{!mdi_->subWindowList().isEmpty(), false};
    for (QAction* action : it.value()) {
      if (action->isEnabled() != state.enabled) action->setEnabled(state.enabled);
      if (action->isCheckable() && action->isChecked() != state.checked) action->setChecked(state.checked);
    }
  }
}

QString MainWindow::StatusBarText() const {
  QStringList texts;
  for (QLabel* label : panes_)
    if (!label->text().isEmpty()) texts << label->text();
  return texts.join(QStringLiteral(" | "));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeAllowed_) {
    event->accept();
    return;
  }
  // The frame runs its close sequence; when it is done it lets the window close.
  event->ignore();
  frame_.Loop().Send(frame_.Id(), wm::kClose);
}

}  // namespace kx7
