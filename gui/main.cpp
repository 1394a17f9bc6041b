// kx7sdu: the desktop program.
#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QDir>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyle>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line_help.h"
#include "app/diagnostic_app.h"
#include "display/terminal_wnd.h"
#include "emulator/emulation_session.h"
#include "emulator/sensor_items.h"
#include "frame/tools_launcher.h"

#include "ascii_chart_dialog.h"
#include "blink_codes_dialog.h"
#include "block_editor_views.h"
#include "command_line_help_dialog.h"
#include "controller_info_dialog.h"
#include "draw_views.h"
#include "loader_views.h"
#include "log_views.h"
#include "main_window.h"
#include "options_dialog.h"
#include "port_settings_dialog.h"
#include "qt_message_loop.h"
#include "restart_views.h"
#include "qt_ui_host.h"
#include "tach_view.h"
#include "terminal_view.h"
#include "usb_reports_dialog.h"
#include "window_views.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signalNumber) {
  const char byte = static_cast<char>(signalNumber);
  // Only the pipe is touched here; the close sequence runs on the user-interface thread.
  if (write(signalPipe[1], &byte, 1) < 0) _exit(128 + signalNumber);
}

void InstallTerminationHandlers() {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kx7::CDiagnosticApp app;
  if (!app.InitInstance(arguments, std::cout, std::cerr)) return app.exitCode;

  // The emulated controller is on its port before the frame lists the ports and searches; it
  // serves until the program ends.
  std::unique_ptr<kx7::emu::EmulationSession> emulator;
  if (app.frontEnd.emulateStateFile && !app.frontEnd.emulateFamily) {
    std::fprintf(stderr, "kx7sdu: --emulate-state keeps the state of the controller --emulate serves; there is none\n");
    return 2;
  }
  if (app.frontEnd.emulateFamily) {
    std::string problem;
    bool badUsage = false;
    kx7::emu::EmulationExtras extras;
    if (app.frontEnd.sensorItems) {
      extras.sensor = kx7::emu::ParseSensorItems(*app.frontEnd.sensorItems, problem);
      if (!extras.sensor) {
        std::fprintf(stderr, "kx7sdu: --sensor %s: %s\n", app.frontEnd.sensorItems->c_str(), problem.c_str());
        return 2;
      }
    }
    extras.stateFile = app.frontEnd.emulateStateFile;
    extras.touchFeed = app.frontEnd.touchFeed;
    extras.feedProblems = [](const std::string& line) { std::fprintf(stderr, "kx7sdu: --touch-feed: %s\n", line.c_str()); };
    emulator = kx7::emu::EmulationSession::Start(*app.frontEnd.emulateFamily, app.frontEnd.emulateSettings, problem,
                                                 badUsage, extras);
    if (!emulator) {
      std::fprintf(stderr, "kx7sdu: %s%s\n", problem.rfind("--emulate", 0) == 0 ? "" : "--emulate: ", problem.c_str());
      return badUsage ? 2 : 1;
    }
    // A USB family runs in this process; a serial one is found on its pseudo-terminal.
    if (!emulator->SerialPath().empty()) {
      const std::string override = "COM" + std::to_string(app.frontEnd.emulatePort) + "=" + emulator->SerialPath();
      if (!app.ports.AddOverride(override, &problem)) {
        std::fprintf(stderr, "kx7sdu: --emulate-port: %s\n", problem.c_str());
        return 2;
      }
    }
  }

  const bool noDisplay = std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
                         std::getenv("QT_QPA_PLATFORM") == nullptr;
  if (noDisplay) {
    std::fprintf(stderr, "kx7sdu: no display found; running offscreen\n");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KX7SDU"));
  InstallTerminationHandlers();

  kx7::QtMessageLoop loop;
  kx7::QtUiHost ui;
  kx7::RegisterPortSettingsDialog();
  kx7::RegisterControllerInfoView();
  kx7::RegisterRestartViews();
  kx7::RegisterCommandLineHelpDialog();
  kx7::RegisterLogViews();
  kx7::RegisterTerminalView();
  kx7::RegisterTachView();
  kx7::RegisterUsbReportsView();
  kx7::RegisterAsciiChartDialog();
  kx7::RegisterBlinkCodesDialog();
  kx7::RegisterParamViews();
  kx7::RegisterDrawViews();
  kx7::RegisterOptionsDialog();
  kx7::RegisterLoaderViews();

  kx7::CMainFrame::Environment environment;
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                        : QRect(0, 0, 1280, 1024);
  environment.screenWidth = screen.width();
  environment.screenHeight = screen.height();
  environment.borderX = application.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  environment.borderY = environment.borderX;
  environment.settingsFolder = QDir::currentPath().toStdString();

  auto frame = app.CreateMainFrame(loop, ui, environment);
  kx7::MainWindow window(*frame);
  ui.SetParentWidget(&window);
  // The core's windows get their views here; the frame itself is the main window.
  kx7::WindowViews views(&window, window.MdiArea());
  ui.SetWindowOpener(
      [&views](kx7::Window& shown, const kx7::Placement& placement) { return views.Open(shown, placement); });
  ui.SetWindowCloser([&views](kx7::Window& closed) { views.Close(closed); });
  ui.SetViewFinder([&views](kx7::WindowId id) { return views.ViewOf(id); });
  if (kx7::ToolsLauncher* launcher = kx7::LauncherOf(*frame)) {
    launcher->clientArea = [&window] {
      const QRect area = window.MdiArea()->viewport()->rect();
      return kx7::Rect{0, 0, area.width(), area.height()};
    };
  }
  frame->activateWindow = [&views](kx7::WindowId id) {
    if (QWidget* view = views.ViewOf(id)) {
      view->raise();
      view->activateWindow();
    }
  };
  ui.SetInvalidator([&window, &views](kx7::WindowId id) {
    if (!views.Invalidate(id)) QTimer::singleShot(0, &window, &kx7::MainWindow::RefreshFromFrame);
  });
  frame->destroyWindow = [&] {
    window.AllowClose();
    window.close();
    QApplication::quit();
  };
  frame->rebuildToolbars = [&window] { window.RebuildToolbars(); };

  // A close refused while an exchange runs is asked again until it goes through; one timer serves
  // every request (signals, the screenshot).
  auto* closeRetry = new QTimer(&window);
  closeRetry->setInterval(200);
  QObject::connect(closeRetry, &QTimer::timeout, &window, [&] {
    if (frame->Closed())
      closeRetry->stop();
    else
      frame->Loop().Send(frame->Id(), kx7::wm::kClose);
  });
  auto requestClose = [&] {
    if (frame->Closed()) return;
    closeRetry->start();
    frame->Loop().Send(frame->Id(), kx7::wm::kClose);
  };

  if (signalPipe[0] >= 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&] {
      char byte = 0;
      while (read(signalPipe[0], &byte, 1) > 0) {
      }
      requestClose();
    });
  }

  const kx7::Rect placement = kx7::MainWindowPlacement(app.flags, environment.screenWidth, environment.screenHeight);
  window.setGeometry(placement.left, placement.top, placement.Width(), placement.Height());
  if (app.flags.download)
    window.showMinimized();
  else
    window.show();

  for (const std::uint32_t command : app.frontEnd.commands) frame->Post(kx7::wm::kCommand, command, 0);

  if (app.frontEnd.screenshotFile) {
    const QString file = QString::fromStdString(*app.frontEnd.screenshotFile);
    QTimer::singleShot(static_cast<int>(app.frontEnd.screenshotDelayMs), &window, [&, file] {
      window.RefreshFromFrame();
      const bool saved = window.grab().save(file, "PNG");
      if (saved)
        std::printf("Saved a picture of the main window: %s\n", QFileInfo(file).absoluteFilePath().toUtf8().constData());
      else
        std::fprintf(stderr, "kx7sdu: could not save %s\n", file.toUtf8().constData());
      // A full-screen window stands apart from the main window: its picture goes beside it.
      int fullScreenCount = 0;
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == &window || !top->isVisible() || !(top->windowFlags() & Qt::FramelessWindowHint)) continue;
        const QFileInfo info(file);
        const QString name = info.path() + "/" + info.completeBaseName() + "-full" +
                             (fullScreenCount++ ? QString::number(fullScreenCount) : QString()) + "." + info.suffix();
        if (top->grab().save(name, "PNG"))
          std::printf("Saved a picture of the full-screen window: %s\n",
                      QFileInfo(name).absoluteFilePath().toUtf8().constData());
      }
      // A modal dialog open now (a loader dialog, ...): its picture goes beside the main window's,
      // and it is closed so that the program can end.
      int dialogCount = 0;
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (dialog == nullptr || !dialog->isVisible()) continue;
        const QFileInfo info(file);
        const QString name = info.path() + "/" + info.completeBaseName() + "-dialog" +
                             (dialogCount++ ? QString::number(dialogCount) : QString()) + "." + info.suffix();
        if (dialog->grab().save(name, "PNG"))
          std::printf("Saved a picture of the dialog \"%s\": %s\n", dialog->windowTitle().toUtf8().constData(),
                      QFileInfo(name).absoluteFilePath().toUtf8().constData());
        dialog->done(QDialog::Rejected);
      }
      std::printf("Status bar: %s\n", window.StatusBarText().toUtf8().constData());
      // What the terminal shows, when one is open: its last lines.
      if (const kx7::CTerminalWnd* terminal = frame->terminal) {
        const kx7::TerminalText& text = terminal->Text();
        for (int row = std::max(0, text.RowCount() - 6); row < text.RowCount(); ++row)
          if (!text.Row(row).empty())
            std::printf("Terminal: %.*s\n", static_cast<int>(text.Row(row).size()), text.Row(row).data());
      }
      std::fflush(stdout);
      requestClose();
    });
  }

  application.exec();
  const int exitCode = app.ExitInstance(frame.get());
  frame.reset();
  // The emulated controller's state goes back to its file (--emulate-state).
  std::string problem;
  if (emulator && !emulator->SaveState(problem)) std::fprintf(stderr, "kx7sdu: %s\n", problem.c_str());
  return exitCode;
}
