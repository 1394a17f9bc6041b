// The Qt main window around the frame: rebuilding the menus leaves no old menus behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <filesystem>
#include <string>

#include "app/command_line.h"
#include "frame/main_frame.h"
#include "main_window.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "test_application.h"

namespace kx7 {
namespace {

TEST(MainWindowMenus, RebuildingReplacesTheMenusInsteadOfAddingToThem) {
  EnsureApplication();
  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  PortDirectory ports;
  CMainFrame::Environment environment;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kx7-main-window-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  environment.settingsFolder = folder.string();
  CMainFrame frame(loop, ui, ports, ParseStartupFlags({"-nosearch"}), environment);
  frame.Create();  // the menus come with the port list
  MainWindow window(frame);
  window.RebuildMenus();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const auto menus = window.findChildren<QMenu*>().size();
  ASSERT_GT(menus, 5);
  for (int i = 0; i < 4; ++i) window.RebuildMenus();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window.findChildren<QMenu*>().size(), menus);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kx7
