#include "restart_views.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QPushButton>
#include <memory>

#include "platform/virtual_time_loop.h"
#include "qt_ui_host.h"
#include "test_application.h"
#include "window_views.h"

namespace kx7 {
namespace {

QPushButton* Button(QWidget& parent, const QString& text) {
  for (QPushButton* button : parent.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

// "Please Wait" as the restart commands open it: one dialog with the text, kept by a second Show.
TEST(RebootProgressView, ShowsTheTextAndKeepsIt) {
  EnsureApplication();
  RegisterRestartViews();
  QMainWindow main;
  auto* mdi = new QMdiArea(&main);
  main.setCentralWidget(mdi);
  main.show();
  WindowViews views(&main, mdi);
  QtUiHost host;
  host.SetParentWidget(&main);
  host.SetWindowOpener([&](Window& window, const Placement& placement) { return views.Open(window, placement); });
  host.SetWindowCloser([&](Window& window) { views.Close(window); });
  host.SetInvalidator([&](WindowId id) { views.Invalidate(id); });
  VirtualTimeLoop loop;
  RebootProgressWindow progress(loop, host);

  progress.Show("REBOOTING ROM...");
  auto* view = dynamic_cast<RebootProgressView*>(views.ViewOf(progress.Id()));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->windowTitle(), QStringLiteral("Please Wait"));
  EXPECT_EQ(view->Label()->text(), QStringLiteral("REBOOTING ROM..."));
  progress.Show("Restoring Defaults...");
  EXPECT_EQ(views.ViewOf(progress.Id()), view);
  EXPECT_EQ(view->Label()->text(), QStringLiteral("REBOOTING ROM..."));
  progress.Close();
  EXPECT_EQ(views.ViewOf(progress.Id()), nullptr);
}

// All and None change the controller's boxes only; OK hands the boxes to the dialog's model.
TEST(RestoreDefaultsView, AllNoneAndOk) {
  EnsureApplication();
  RestoreDefaultsDialog model;
  model.controllerBlocks[2] = true;
  RestoreDefaultsView view(model);
  EXPECT_EQ(view.windowTitle(), QStringLiteral("Restore Defaults"));
  EXPECT_TRUE(view.ControllerBox(3)->isChecked());
  view.CableBox()->setChecked(true);
  Button(view, QStringLiteral("All"))->click();
  for (int block = 1; block <= 8; ++block) EXPECT_TRUE(view.ControllerBox(block)->isChecked()) << block;
  EXPECT_TRUE(view.CableBox()->isChecked());
  Button(view, QStringLiteral("None"))->click();
  for (int block = 1; block <= 8; ++block) EXPECT_FALSE(view.ControllerBox(block)->isChecked()) << block;
  EXPECT_TRUE(view.CableBox()->isChecked()) << "None leaves the cable's box";
  view.ControllerBox(5)->setChecked(true);
  view.accept();
  EXPECT_TRUE(model.cableBlock4);
  for (int block = 1; block <= 8; ++block) EXPECT_EQ(model.controllerBlocks[block - 1], block == 5) << block;
}

}  // namespace
}  // namespace kx7
