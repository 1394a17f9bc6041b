// The terminal's companions in Qt, offscreen: the Tach and record-choice dialogs over their
// windows, the ASCII chart and the blink-code list, the terminal view's context menu and touch
// input, and a picture of the terminal with decoded lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QPointingDevice>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTouchEvent>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ascii_chart_dialog.h"
#include "blink_codes_dialog.h"
#include "controller/controller_types.h"
#include "display/terminal_commands.h"
#include "display/terminal_wnd.h"
#include "frame/command_ids.h"
#include "frame/main_frame.h"
#include "frame/messages.h"
#include "frame/tools_launcher.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "qt_ui_host.h"
#include "tach_view.h"
#include "terminal_view.h"
#include "test_application.h"
#include "views_with_scripted_questions.h"
#include "usb_reports_dialog.h"
#include "window_views.h"

namespace kx7 {
namespace {

class TerminalCompanionsTest : public ::testing::Test {
 protected:
  TerminalCompanionsTest() {
    EnsureApplication();
    RegisterTerminalView();
    RegisterTachView();
    RegisterUsbReportsView();
    RegisterAsciiChartDialog();
    RegisterBlinkCodesDialog();
    folder_ =
        std::filesystem::temp_directory_path() / ("kx7-companions-" + std::to_string(getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    main_ = std::make_unique<QMainWindow>();
    mdi_ = new QMdiArea(main_.get());
    main_->setCentralWidget(mdi_);
    main_->setGeometry(100, 80, 900, 600);
    main_->show();
    views_ = std::make_unique<WindowViews>(main_.get(), mdi_);
    qt_.SetParentWidget(main_.get());
    qt_.SetWindowOpener([this](Window& window, const Placement& placement) { return views_->Open(window, placement); });
    qt_.SetWindowCloser([this](Window& window) { views_->Close(window); });
    qt_.SetInvalidator([this](WindowId id) { views_->Invalidate(id); });
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    frame_ = std::make_unique<CMainFrame>(loop_, host_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    // A KXS controller on COM1, as far as the decoders care.
    frame_->LinkKind = 1;
    frame_->ControllerType = type::kBirch;
    launcher_ = &InstallToolsLauncher(*frame_);
    commands_ = &InstallTerminalCommands(*frame_);
    frame_->OnCommand(cmd::kTerminal);
    terminal_ = launcher_->Terminal();
    terminal_->FirstPaint();
    view_ = dynamic_cast<TerminalView*>(views_->ViewOf(terminal_->Id()));
  }
  ~TerminalCompanionsTest() override {
    frame_.reset();
    views_.reset();
    main_.reset();
    DeleteLaterOnes();
    std::filesystem::remove_all(folder_);
  }

  template <class View>
  View* ViewOf(const Window& window) const {
    return dynamic_cast<View*>(views_->ViewOf(window.Id()));
  }
  static void DeleteLaterOnes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  void Receive(const std::vector<std::uint8_t>& bytes) {
    frame_->DispatchBytes(bytes.data(), bytes.size());
    loop_.RunPending();
  }
  // The context menu's action of that text (none: nullptr).
  static QAction* Action(QMenu& menu, const char* text) {
    for (QAction* action : menu.actions())
      if (action->text() == QString::fromUtf8(text)) return action;
    return nullptr;
  }
  void Trigger(const char* text) {
    std::unique_ptr<QMenu> menu(view_->CreateContextMenu(nullptr));
    QAction* action = Action(*menu, text);
    ASSERT_NE(action, nullptr) << text;
    ASSERT_TRUE(action->isEnabled()) << text;
    action->trigger();
    loop_.RunPending();
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
  ToolsLauncher* launcher_ = nullptr;
  TerminalCommands* commands_ = nullptr;
  CTerminalWnd* terminal_ = nullptr;
  TerminalView* view_ = nullptr;
};

const std::vector<std::uint8_t> kReport = {0xC0, 0x00, 0x20, 0x00, 0x10};

// Keeps a picture of the widget for a person to look at, when KX7_SCREENSHOT_DIR names a folder.
void KeepPicture(QWidget& widget, const char* name) {
  const char* folder = std::getenv("KX7_SCREENSHOT_DIR");
  if (folder == nullptr) return;
  widget.adjustSize();
  EXPECT_TRUE(widget.grab().save(QString::fromUtf8(folder) + QLatin1Char('/') + QString::fromUtf8(name), "PNG"));
}

TEST_F(TerminalCompanionsTest, TheContextMenuOffersWhatNoMenuSends) {
  ASSERT_NE(view_, nullptr);
  std::unique_ptr<QMenu> menu(view_->CreateContextMenu(nullptr));
  QStringList texts;
  for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(texts, (QStringList{"Copy", "Select All", "Paste", "Clear All", "-", "Record keys", "Play once", "Repeat",
                                "Save key macro...", "Load key macro...", "Load key script...", "-", "Tach",
                                "ASCII chart", "Blink codes", "USB Sync - Async Reports"}));
  EXPECT_FALSE(Action(*menu, "Copy")->isEnabled()) << "nothing selected";
  KeepPicture(*menu, "context-menu.png");
  EXPECT_TRUE(Action(*menu, "Record keys")->isCheckable());
  EXPECT_FALSE(Action(*menu, "Record keys")->isChecked());
  EXPECT_TRUE(Action(*menu, "Repeat")->isCheckable());
  for (const char* text : {"Clear All", "Tach", "ASCII chart", "Blink codes", "USB Sync - Async Reports"})
    EXPECT_TRUE(Action(*menu, text)->isEnabled()) << text;
}

TEST_F(TerminalCompanionsTest, TheMenusKeyActionsReachTheTerminal) {
  Trigger("Record keys");
  EXPECT_TRUE(terminal_->Recording());
  {
    std::unique_ptr<QMenu> menu(view_->CreateContextMenu(nullptr));
    EXPECT_TRUE(Action(*menu, "Record keys")->isChecked());
  }
  frame_->settings.Options.ForceCaps = 0;
  terminal_->OnChar('k');
  Trigger("Record keys");
  EXPECT_FALSE(terminal_->Recording());
  EXPECT_EQ(terminal_->Keys(), std::vector<std::uint16_t>{'k'});
  Trigger("Repeat");
  EXPECT_TRUE(terminal_->Repeating());
  {
    std::unique_ptr<QMenu> menu(view_->CreateContextMenu(nullptr));
    EXPECT_TRUE(Action(*menu, "Repeat")->isChecked());
  }
  Trigger("Repeat");
  EXPECT_FALSE(terminal_->Repeating());
  // The file choices are asked; cancelled, nothing changes.
  for (const char* text : {"Save key macro...", "Load key macro...", "Load key script..."}) {
    questions_.ExpectFile(std::nullopt);
    Trigger(text);
  }
  EXPECT_EQ(questions_.Asked().size(), 3u);
  EXPECT_TRUE(questions_.Asked()[0].file.save);
  EXPECT_EQ(questions_.Asked()[2].file.defaultExtension, "txt");
  EXPECT_EQ(terminal_->Keys(), std::vector<std::uint16_t>{'k'});
}

TEST_F(TerminalCompanionsTest, TheMenusEditActionsSelectCopyAndClear) {
  Receive(kReport);
  Trigger("Select All");
  EXPECT_TRUE(terminal_->CurrentSelection().Active());
  Trigger("Copy");
  EXPECT_EQ(host_.ClipboardText(), "D 0512,0256\r\n");
  Trigger("Clear All");
  EXPECT_EQ(terminal_->Text().RowCount(), 1);
  EXPECT_EQ(terminal_->Text().Row(0), "");
  host_.SetClipboardText("");
  Trigger("Paste");
  EXPECT_TRUE(terminal_->Keys().empty()) << "an empty clipboard pastes nothing";
}

TEST_F(TerminalCompanionsTest, TheMenusReferenceDialogsRun) {
  questions_.ExpectDialog("AsciiChart");
  questions_.ExpectDialog("BlinkCodes");
  Trigger("ASCII chart");
  Trigger("Blink codes");
  EXPECT_TRUE(questions_.AllConsumed()) << questions_.Report();
  EXPECT_TRUE(QtUiHost::HasDialogView("AsciiChart"));
  EXPECT_TRUE(QtUiHost::HasDialogView("BlinkCodes"));
}

TEST_F(TerminalCompanionsTest, TachShowsTheRateAndResetsAndCloses) {
  Trigger("Tach");
  TachMeter& tach = terminal_->Tach();
  auto* dialog = ViewOf<TachView>(tach);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tach"));
  EXPECT_EQ(dialog->RateLabel()->text(), QStringLiteral("0 PPS"));
  for (int i = 0; i < 5; ++i) {
    Receive(kReport);
    loop_.Advance(10);
  }
  EXPECT_EQ(dialog->RateLabel()->text(), QStringLiteral("125 PPS"));
  KeepPicture(*dialog, "tach.png");
  dialog->ResetButton()->click();
  loop_.RunPending();
  EXPECT_EQ(dialog->RateLabel()->text(), QStringLiteral("0 PPS"));
  EXPECT_EQ(dialog->ContactsLabel()->text(), QString());
  dialog->reject();
  loop_.RunPending();
  EXPECT_FALSE(tach.Shown());
  EXPECT_EQ(views_->ViewOf(tach.Id()), nullptr);
}

TEST_F(TerminalCompanionsTest, RecordChoicesDialogEditsAppliesAndPauses) {
  frame_->ControllerType = type::kUsb1;
  std::vector<std::pair<int, bool>> requests;
  commands_->driverRecord = [&](int recordType, bool on) { requests.emplace_back(recordType, on); };
  Trigger("USB Sync - Async Reports");
  auto* dialog = ViewOf<UsbReportsView>(terminal_->UsbReports());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("USB Sync - Async Reports"));
  for (int item = 0; item < UsbReportsDialog::kItemCount; ++item) {
    QCheckBox* box = dialog->ItemBox(static_cast<UsbReportsDialog::Item>(item));
    EXPECT_EQ(box->text(), QString::fromUtf8(UsbReportsDialog::kLabels[static_cast<std::size_t>(item)]));
    EXPECT_EQ(box->isEnabled(), item < UsbReportsDialog::kFirstSyncItem) << item;
  }
  EXPECT_EQ(dialog->FilterBox()->value(), 50);
  KeepPicture(*dialog, "usb-reports.png");
  dialog->ItemBox(UsbReportsDialog::kAsyncStrays)->click();
  dialog->FilterBox()->setValue(12);
  dialog->ShowLoopBox()->click();
  dialog->ApplyButton()->click();
  const RecordChoices& live = terminal_->Decoder().Choices();
  EXPECT_TRUE(live.asyncStrays);
  EXPECT_TRUE(live.showLoop);
  EXPECT_EQ(live.filter, 12);
  ASSERT_EQ(requests.size(), 9u);
  EXPECT_EQ(requests[3], (std::pair<int, bool>{5, true}));
  EXPECT_EQ(dialog->PauseButton()->text(), QStringLiteral("Pause"));
  dialog->PauseButton()->click();
  EXPECT_EQ(dialog->PauseButton()->text(), QStringLiteral("Run"));
  EXPECT_FALSE(live.display);
  dialog->PauseButton()->click();
  EXPECT_EQ(dialog->PauseButton()->text(), QStringLiteral("Pause"));
  // Default puts back what the terminal has.
  dialog->ItemBox(UsbReportsDialog::kAsyncStrays)->click();
  dialog->DefaultButton()->click();
  EXPECT_TRUE(dialog->ItemBox(UsbReportsDialog::kAsyncStrays)->isChecked());
  dialog->reject();
  loop_.RunPending();
  EXPECT_FALSE(terminal_->UsbReports().Shown());
}

TEST_F(TerminalCompanionsTest, AsciiChartShowsSixteenRowsInCourierNewAndScrolls) {
  AsciiChartModel model;
  AsciiChartDialog dialog(model);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ASCII"));
  EXPECT_EQ(dialog.Cell(0, 0)->font().family(), QStringLiteral("Courier New"));
  QScrollBar* bar = dialog.ScrollBar();
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 240);
  EXPECT_EQ(bar->pageStep(), 16);
  EXPECT_EQ(dialog.Cell(0, 2)->text(), QStringLiteral("NUL ^@"));
  EXPECT_EQ(dialog.Cell(13, 2)->text(), QStringLiteral("CR  ^M"));
  EXPECT_EQ(dialog.Cell(15, 0)->text(), QStringLiteral("015"));
  bar->setValue(65);
  EXPECT_EQ(model.FirstRow(), 65);
  EXPECT_EQ(dialog.Cell(0, 0)->text(), QStringLiteral("065"));
  EXPECT_EQ(dialog.Cell(0, 1)->text(), QStringLiteral("41"));
  EXPECT_EQ(dialog.Cell(0, 2)->text(), QStringLiteral("A"));
  bar->setValue(240);
  EXPECT_EQ(dialog.Cell(0, 0)->text(), QStringLiteral("240"));
  EXPECT_EQ(dialog.Cell(15, 0)->text(), QStringLiteral("255"));
  bar->setValue(200);
  EXPECT_EQ(dialog.Cell(0, 2)->text(), QString(QChar(0x00C8)));
  bar->setValue(120);
  KeepPicture(dialog, "ascii-chart.png");
}

TEST_F(TerminalCompanionsTest, BlinkCodesAreReadOnlyWithBoldGreenNumbers) {
  BlinkCodesModel model;
  BlinkCodesDialog dialog(model);
  QTextEdit* text = dialog.TextEdit();
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->font().family(), QStringLiteral("Courier New"));
  QTextDocument* document = text->document();
  ASSERT_EQ(document->blockCount(), 18);
  EXPECT_EQ(document->findBlockByNumber(0).text(), QStringLiteral(" 1 RAM Data Error      "));
  EXPECT_EQ(document->findBlockByNumber(17).text(), QStringLiteral("18 Fixed Cal Error     "));
  // The character format after a position is the one of the character before it.
  const QTextBlock block = document->findBlockByNumber(9);
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + 1);
  EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 128, 0));
  cursor.setPosition(block.position() + 5);
  EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(Qt::black));
  KeepPicture(dialog, "blink-codes.png");
}

TEST_F(TerminalCompanionsTest, TouchEventsOnTheViewBecomeLines) {
  ASSERT_NE(view_, nullptr);
  EXPECT_TRUE(view_->viewport()->testAttribute(Qt::WA_AcceptTouchEvents));
  QPointingDevice device(QStringLiteral("test touch screen"), 4711, QInputDevice::DeviceType::TouchScreen,
                         QPointingDevice::PointerType::Finger, QInputDevice::Capability::Position, 10, 0);
  QWidget* viewport = view_->viewport();
  const auto point = [viewport](int id, QEventPoint::State state, QPointF at) {
    return QEventPoint(id, state, at, viewport->mapToGlobal(at));
  };
  QTouchEvent begin(QEvent::TouchBegin, &device, Qt::NoModifier, {point(0, QEventPoint::Pressed, QPointF(12.7, 34.2))});
  QCoreApplication::sendEvent(viewport, &begin);
  QTouchEvent update(
      QEvent::TouchUpdate, &device, Qt::NoModifier,
      {point(0, QEventPoint::Updated, QPointF(15, 40)), point(1, QEventPoint::Pressed, QPointF(200, 100))});
  QCoreApplication::sendEvent(viewport, &update);
  QTouchEvent end(
      QEvent::TouchEnd, &device, Qt::NoModifier,
      {point(0, QEventPoint::Released, QPointF(15, 40)), point(1, QEventPoint::Released, QPointF(201, 99))});
  QCoreApplication::sendEvent(viewport, &end);
  std::vector<std::string> rows;
  for (int row = 0; row < terminal_->Text().RowCount(); ++row) rows.emplace_back(terminal_->Text().Row(row));
  EXPECT_EQ(rows, (std::vector<std::string>{"0D.0012.0034 ", "0D.0015.0040 1D.0200.0100 ", "0U.0015.0040 1U.0201.0099 ",
                                            ""}));
}

TEST_F(TerminalCompanionsTest, PictureOfTheTerminalWithDecodedLines) {
  ASSERT_NE(view_, nullptr);
  frame_->settings.Options.LoopbackSentChars = 0;
  frame_->settings.Options.FullDuplex = 0;
  for (const char c : std::string("OI\r")) terminal_->OnChar(static_cast<std::uint8_t>(c));
  Receive(kReport);
  Receive(kReport);
  Receive({0x80, 0x00, 0x20, 0x00, 0x10});
  loop_.Send(terminal_->Id(), msg::kSelectAll);
  loop_.Send(terminal_->Id(), msg::kCopy);  // no selection left in the picture
  QCoreApplication::processEvents();
  const QImage image = view_->grab().toImage();
  ASSERT_FALSE(image.isNull());
  int blue = 0, black = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
      if (c.blue() < 60 && c.red() < 60 && c.green() < 60) ++black;
    }
  EXPECT_GT(blue, 50) << "the received lines are drawn in blue";
  EXPECT_GT(black, 20) << "the typed line is drawn in black";
  KeepPicture(*view_, "terminal-view.png");
}

}  // namespace
}  // namespace kx7
