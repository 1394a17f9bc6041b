#include "log_views.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "frame/frame_constants.h"
#include "frame/main_frame.h"
#include "log/log_constants.h"
#include "log/log_file.h"
#include "log/log_viewer.h"
#include "log/replay.h"
#include "log/timed_log_dialog.h"
#include "log_viewer_view.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "qt_ui_host.h"
#include "replay_view.h"
#include "test_application.h"
#include "views_with_scripted_questions.h"
#include "timed_log_dialog.h"
#include "window_views.h"

namespace kx7 {
namespace {

class LogViewsTest : public ::testing::Test {
 protected:
  LogViewsTest() {
    EnsureApplication();
    RegisterLogViews();
    folder_ =
        std::filesystem::temp_directory_path() / ("kx7-log-views-" + std::to_string(getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);

    main_ = std::make_unique<QMainWindow>();
    mdi_ = new QMdiArea(main_.get());
    main_->setCentralWidget(mdi_);
    main_->setGeometry(100, 80, 800, 600);
    main_->show();
    views_ = std::make_unique<WindowViews>(main_.get(), mdi_);
    qt_.SetParentWidget(main_.get());
    qt_.SetWindowOpener([this](Window& window, const Placement& placement) { return views_->Open(window, placement); });
    qt_.SetWindowCloser([this](Window& window) { views_->Close(window); });
    qt_.SetInvalidator([this](WindowId id) { views_->Invalidate(id); });

    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    frame_ = std::make_unique<CMainFrame>(loop_, host_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    log_ = &InstallLogging(*frame_);
  }
  ~LogViewsTest() override {
    frame_.reset();
    views_.reset();
    main_.reset();
    DeleteLaterOnes();
    std::filesystem::remove_all(folder_);
  }

  std::string Write(const std::string& name, const std::string& content) const {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  template <class View>
  View* ViewOf(const Window& window) const {
    return dynamic_cast<View*>(views_->ViewOf(window.Id()));
  }

  static void DeleteLaterOnes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  static void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(target, &press);
  }

  std::filesystem::path folder_;
  VirtualTimeLoop loop_;
  QtUiHost qt_;
  ScriptedUiHost questions_;
  ViewsWithScriptedQuestions host_{qt_, questions_};
  PortDirectory ports_;
  std::unique_ptr<QMainWindow> main_;
  QMdiArea* mdi_ = nullptr;
  std::unique_ptr<WindowViews> views_;
  std::unique_ptr<CMainFrame> frame_;
  LogFile* log_ = nullptr;
};

TEST_F(LogViewsTest, EveryViewIsRegistered) {
  EXPECT_TRUE(HasWindowView("LogViewer"));
  EXPECT_TRUE(HasWindowView("Replay"));
  EXPECT_TRUE(QtUiHost::HasDialogView("TimedLog"));
}

TEST_F(LogViewsTest, TheViewerIsAReportListFillingItsMdiChild) {
  questions_.ExpectFile(Write("fields.log", "a\tb\tc\r1\t2\t3\t4\t5\r"));
  LogViewerWindow* viewer = log_->OpenLogViewer();
  ASSERT_NE(viewer, nullptr) << questions_.Report();
  auto* view = ViewOf<LogViewerView>(*viewer);
  ASSERT_NE(view, nullptr);

  ASSERT_EQ(mdi_->subWindowList().size(), 1);
  QMdiSubWindow* child = mdi_->subWindowList().first();
  EXPECT_EQ(child->widget(), view);
  EXPECT_EQ(child->windowTitle(), QStringLiteral("Log Viewer"));
  EXPECT_TRUE(child->isMaximized());
  EXPECT_TRUE(view->showGrid());
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(view->verticalHeader()->isVisible());

  QAbstractItemModel* model = view->model();
  ASSERT_EQ(model->columnCount(), 5);
  ASSERT_EQ(model->rowCount(), 2);
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), QStringLiteral("Column %1").arg(column));
    EXPECT_EQ(view->columnWidth(column), 100) << column;
  }
  EXPECT_EQ(model->index(0, 2).data().toString(), QStringLiteral("c"));
  EXPECT_EQ(model->index(0, 4).data().toString(), QString());
  EXPECT_EQ(model->index(1, 4).data().toString(), QStringLiteral("5"));

  // One column of whole lines, titled with the path; the bytes show one character each.
  const std::string path = Write("lines.log", "caf\xE9\rsecond\r");
  questions_.ExpectFile(path);
  LogViewerWindow* lines = log_->OpenLogViewer();
  ASSERT_NE(lines, nullptr);
  auto* linesView = ViewOf<LogViewerView>(*lines);
  ASSERT_NE(linesView, nullptr);
  ASSERT_EQ(linesView->model()->columnCount(), 1);
  EXPECT_EQ(linesView->model()->headerData(0, Qt::Horizontal).toString(), QString::fromStdString(path));
  EXPECT_EQ(linesView->columnWidth(0), 1000);
  EXPECT_EQ(linesView->model()->index(0, 0).data().toString(), QStringLiteral("caf\u00E9"));
}

TEST_F(LogViewsTest, SelectedRowsReachTheClipboardByCtrlCAndSelectAllShowsInTheList) {
  LogViewerWindow* viewer = log_->OpenTextViewer("Tool", "first\rsecond\rthird\r");
  ASSERT_NE(viewer, nullptr);
  auto* view = ViewOf<LogViewerView>(*viewer);
  ASSERT_NE(view, nullptr);

  QItemSelection picked;
  picked.select(view->model()->index(0, 0), view->model()->index(0, 0));
  picked.select(view->model()->index(2, 0), view->model()->index(2, 0));
  view->selectionModel()->select(picked, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EXPECT_EQ(viewer->SelectedRows(), (std::vector<std::size_t>{0, 2}));

  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  Key(view, Qt::Key_C, Qt::ControlModifier);
  // The window copies when its message comes round.
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  loop_.RunPending();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("first\r\nthird\r\n"));

  viewer->Post(msg::kSelectAll);
  loop_.RunPending();
  EXPECT_EQ(view->selectionModel()->selectedRows().size(), 3);
  EXPECT_EQ(viewer->SelectedRows(), (std::vector<std::size_t>{0, 1, 2}));
}

TEST_F(LogViewsTest, ClosingTheChildClosesTheViewer) {
  LogViewerWindow* viewer = log_->OpenTextViewer("Tool", "x\r");
  ASSERT_NE(viewer, nullptr);
  const WindowId id = viewer->Id();
  QPointer<QWidget> view(views_->ViewOf(id));
  ASSERT_TRUE(view);
  ASSERT_EQ(mdi_->subWindowList().size(), 1);
  EXPECT_FALSE(mdi_->subWindowList().first()->close());
  loop_.RunPending();
  EXPECT_EQ(loop_.Find(id), nullptr);
  DeleteLaterOnes();
  EXPECT_FALSE(view);
  EXPECT_TRUE(mdi_->subWindowList().isEmpty());
}

TEST_F(LogViewsTest, TheReplayDialogFollowsItsWindow) {
  questions_.ExpectFile(Write("dump.log", "D0 1F 0D"));
  ReplayWindow* replay = log_->OpenReplay();
  ASSERT_NE(replay, nullptr);
  auto* view = ViewOf<ReplayView>(*replay);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isWindow());
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowModality(), Qt::NonModal);
  EXPECT_EQ(view->windowTitle(), QStringLiteral("Replay - dump.log"));
  EXPECT_EQ(view->RateBox()->value(), 1);
  EXPECT_EQ(view->ChunkBox()->value(), 5);

  const struct {
    WParam id;
    const char* text;
  } buttons[] = {{replay_button::kRun, "Run"},          {replay_button::kSingleStep, "Single Step"},
                 {replay_button::kRewind, "Rewind"},    {replay_button::kStop, "Stop"},
                 {replay_button::kNewFile, "New File"}, {replay_button::kQuit, "Quit"}};
  const auto enabled = [&] {
    std::vector<bool> states;
    for (const auto& button : buttons) states.push_back(view->Button(button.id)->isEnabled());
    states.push_back(view->RateBox()->isEnabled());
    return states;
  };
  for (const auto& button : buttons) {
    ASSERT_NE(view->Button(button.id), nullptr) << button.text;
    EXPECT_EQ(view->Button(button.id)->text(), QString::fromUtf8(button.text));
  }
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false, true, true, true}));

  // The values go to the window with Run.
  view->RateBox()->setValue(20);
  view->ChunkBox()->setValue(2);
  view->Button(replay_button::kRun)->click();
  EXPECT_FALSE(replay->Running());
  loop_.RunPending();
  ASSERT_TRUE(replay->Running());
  EXPECT_EQ(replay->RateMs(), 20);
  EXPECT_EQ(replay->ChunkSize(), 2);
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true, false, false, false}));

  loop_.Advance(40);
  EXPECT_FALSE(replay->Running());
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false, true, true, true}));

  // New File: cancelled, the title says so and there is nothing to run.
  questions_.ExpectFile(std::nullopt);
  view->Button(replay_button::kNewFile)->click();
  loop_.RunPending();
  EXPECT_EQ(view->windowTitle(), QStringLiteral("Replay"));
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, false, true, true, true}));

  // Escape closes it.
  QPointer<ReplayView> watched(view);
  Key(view, Qt::Key_Escape);
  loop_.RunPending();
  EXPECT_EQ(log_->Replay(), nullptr);
  DeleteLaterOnes();
  EXPECT_FALSE(watched);
  EXPECT_TRUE(questions_.AllConsumed()) << questions_.Report();
}

TEST_F(LogViewsTest, TheTimedLogDialogStartsTheLogAndTakesTheLimit) {
  TimedLogDialogModel model(*log_);
  TimedLogDialog dialog(model, main_.get());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Timed Log"));
  EXPECT_TRUE(dialog.FileField()->text().isEmpty());
  EXPECT_EQ(dialog.BrowseButton()->text(), QStringLiteral("..."));
  EXPECT_EQ(dialog.LimitBox()->value(), 0);
  QStringList labels;
  for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("Log File"))) << labels.join(", ").toStdString();
  EXPECT_TRUE(labels.contains(QStringLiteral("Time Limit ( Minutes )"))) << labels.join(", ").toStdString();

  const std::string path = (folder_ / "timed.log").string();
  questions_.ExpectFile(path);
  dialog.BrowseButton()->click();
  EXPECT_EQ(dialog.FileField()->text(), QString::fromStdString(path));
  ASSERT_TRUE(log_->Open());

  dialog.LimitBox()->setValue(3);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(log_->MinutesLeft(), 2);
  EXPECT_TRUE(loop_.HasTimer(frame_->Id(), timer::kTimedLog));
}

}  // namespace
}  // namespace kx7
