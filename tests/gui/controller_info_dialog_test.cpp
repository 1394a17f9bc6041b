#include "controller_info_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/virtual_time_loop.h"
#include "qt_ui_host.h"
#include "test_application.h"
#include "window_views.h"

namespace kx7 {
namespace {

using Info = ControllerInfoWindow;

struct Received {
  MessageId message;
  WParam wParam;
  bool operator==(const Received&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Received& received) {
  return out << "{0x" << std::hex << received.message << std::dec << ", " << received.wParam << "}";
}

// The real window, with a record of what its view sent it.
class RecordingInfoWindow : public ControllerInfoWindow {
 public:
  using ControllerInfoWindow::ControllerInfoWindow;
  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override {
    received.push_back({message, wParam});
    return ControllerInfoWindow::OnMessage(message, wParam, lParam);
  }
  std::vector<Received> received;
};

// A window of another kind, for the placements the info window does not use.
class ProbeWindow : public Window {
 public:
  using Window::Window;
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    received.push_back({message, wParam});
    return 0;
  }
  const char* ViewKind() const override { return "Probe"; }
  std::vector<Received> received;
};

class ProbeView : public QLabel, public WindowView {
 public:
  void Refresh() override { ++refreshes; }
  int refreshes = 0;
};

class ControllerInfoDialogTest : public ::testing::Test {
 protected:
  ControllerInfoDialogTest() {
    EnsureApplication();
    RegisterControllerInfoView();
    RegisterWindowView("Probe", [](Window&) { return std::make_unique<ProbeView>(); });
    main_ = std::make_unique<QMainWindow>();
    mdi_ = new QMdiArea(main_.get());
    main_->setCentralWidget(mdi_);
    main_->setGeometry(100, 80, 600, 400);
    main_->show();
    views_ = std::make_unique<WindowViews>(main_.get(), mdi_);
    host_.SetParentWidget(main_.get());
    host_.SetWindowOpener(
        [this](Window& window, const Placement& placement) { return views_->Open(window, placement); });
    host_.SetWindowCloser([this](Window& window) { views_->Close(window); });
    host_.SetInvalidator([this](WindowId id) {
      if (!views_->Invalidate(id)) ++mainRefreshes_;
    });
    window_ = std::make_unique<RecordingInfoWindow>(loop_, host_);
  }

  // Every info dialog there is, shown or not (one that is deleted later still counts).
  QList<ControllerInfoDialog*> Dialogs() const {
    QList<ControllerInfoDialog*> found;
    for (QWidget* widget : QApplication::allWidgets())
      if (auto* dialog = qobject_cast<ControllerInfoDialog*>(widget)) found << dialog;
    return found;
  }
  ControllerInfoDialog* Dialog() const {
    const QList<ControllerInfoDialog*> found = Dialogs();
    return found.size() == 1 ? found.first() : nullptr;
  }
  static void DeleteLaterOnes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  VirtualTimeLoop loop_;
  QtUiHost host_;
  std::unique_ptr<QMainWindow> main_;
  QMdiArea* mdi_ = nullptr;
  std::unique_ptr<WindowViews> views_;
  int mainRefreshes_ = 0;
  std::unique_ptr<RecordingInfoWindow> window_;
};

TEST_F(ControllerInfoDialogTest, OpensAModelessDialogWithTheLinesInTheirGroups) {
  const char* texts[Info::kLineCount] = {"OI:   AQ3063",     "UV: QMP00000", "UT: QM000000", "NM: Hazel3",
                                         "COM 1 9600,N,8,1", "Found",        "ROM PWM",      "Hazel3 Linden Quince "};
  for (int line = 0; line < Info::kLineCount; ++line) window_->SetLine(line, texts[line]);
  ASSERT_TRUE(window_->Show());

  ControllerInfoDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Controller Info"));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
  EXPECT_EQ(dialog->parentWidget(), main_.get());
  EXPECT_EQ(views_->ViewOf(window_->Id()), dialog);

  const struct {
    int line;
    const char* group;  // nullptr: no group box
  } places[] = {
      {Info::kOi, nullptr},       {Info::kUv, nullptr},
      {Info::kUt, nullptr},       {Info::kNm, nullptr},
      {Info::kPort, "Comm Port"}, {Info::kStatus, "Comm Port"},
      {Info::kErrors, "Errors"},  {Info::kBaseType, "Base Type + Features"},
  };
  int previousTop = -1;
  for (const auto& place : places) {
    QLabel* label = dialog->LineLabel(place.line);
    ASSERT_NE(label, nullptr) << place.line;
    EXPECT_EQ(label->text(), QString::fromLatin1(texts[place.line])) << place.line;
    EXPECT_TRUE(label->isVisible()) << place.line;
    auto* box = qobject_cast<QGroupBox*>(label->parentWidget());
    if (place.group == nullptr) {
      EXPECT_EQ(box, nullptr) << place.line;
    } else {
      EXPECT_TRUE(box != nullptr && box->title() == QString::fromLatin1(place.group)) << place.line;
    }
    // The lines read from top to bottom in their order.
    const int top = label->mapTo(dialog, QPoint(0, 0)).y();
    EXPECT_GT(top, previousTop) << place.line;
    previousTop = top;
  }
  EXPECT_EQ(dialog->MoreButton()->text(), QStringLiteral("More..."));
  EXPECT_EQ(dialog->CloseButton()->text(), QStringLiteral("OK"));
  EXPECT_TRUE(dialog->CloseButton()->isDefault());
  // No identification has offered "More..." yet.
  EXPECT_FALSE(dialog->MoreButton()->isEnabled());
}

TEST_F(ControllerInfoDialogTest, ShowsWhatTheWindowChangesWhileOpen) {
  ASSERT_TRUE(window_->Show());
  ControllerInfoDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);

  window_->SetLine(Info::kStatus, "Searching");
  EXPECT_EQ(dialog->LineLabel(Info::kStatus)->text(), QStringLiteral("Searching"));
  // Controller replies are bytes; each shows as one character.
  window_->SetLine(Info::kNm, "NM: \xE9t\xE9");
  EXPECT_EQ(dialog->LineLabel(Info::kNm)->text(), QStringLiteral("NM: \u00E9t\u00E9"));

  window_->BeginSearch();
  EXPECT_EQ(dialog->CloseButton()->text(), QStringLiteral("Cancel"));
  window_->EndSearch();
  EXPECT_EQ(dialog->CloseButton()->text(), QStringLiteral("OK"));

  window_->onMore = [] {};
  window_->SetMoreEnabled(true);
  EXPECT_TRUE(dialog->MoreButton()->isEnabled());
  window_->SetMoreEnabled(false);
  EXPECT_FALSE(dialog->MoreButton()->isEnabled());

  window_->ClearLines();
  for (int line = 0; line < Info::kLineCount; ++line) EXPECT_TRUE(dialog->LineLabel(line)->text().isEmpty()) << line;

  // All of that went to the dialog, none of it to the main window.
  EXPECT_EQ(mainRefreshes_, 0);
  EXPECT_EQ(Dialogs().size(), 1);
}

TEST_F(ControllerInfoDialogTest, ButtonsKeysAndTheFramePostTheirMessages) {
  const auto key = [](int code) {
    return [code](ControllerInfoDialog* dialog) {
      QWidget* target = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
      QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
      QCoreApplication::sendEvent(target, &press);
    };
  };
  const struct {
    const char* name;
    std::function<void(ControllerInfoDialog*)> act;
    Received expected;
    bool staysOpen;
  } cases[] = {
      {"More...", [](ControllerInfoDialog* d) { d->MoreButton()->click(); }, {wm::kCommand, Info::kMoreButton}, true},
      {"close button",
       [](ControllerInfoDialog* d) { d->CloseButton()->click(); },
       {wm::kCommand, Info::kCloseButton},
       false},
      {"Escape", key(Qt::Key_Escape), {wm::kCommand, Info::kCloseButton}, false},
      {"Return", key(Qt::Key_Return), {wm::kCommand, Info::kCloseButton}, false},
      {"keypad Enter", key(Qt::Key_Enter), {wm::kCommand, Info::kCloseButton}, false},
      {"Return on a line the user clicked",
       [key](ControllerInfoDialog* d) {
         d->LineLabel(Info::kNm)->setFocus(Qt::MouseFocusReason);
         key(Qt::Key_Return)(d);
       },
       {wm::kCommand, Info::kCloseButton},
       false},
      {"frame close", [](ControllerInfoDialog* d) { d->close(); }, {wm::kClose, 0}, false},
  };
  for (const auto& c : cases) {
    int mores = 0;
    window_->onMore = [&mores] { ++mores; };
    window_->SetMoreEnabled(true);
    window_->received.clear();
    ASSERT_TRUE(window_->Show()) << c.name;
    ControllerInfoDialog* dialog = Dialog();
    ASSERT_NE(dialog, nullptr) << c.name;
    QPointer<ControllerInfoDialog> watched(dialog);

    c.act(dialog);
    // Posted, not handled at once: the view itself stays as it is until the window decides.
    EXPECT_TRUE(window_->received.empty()) << c.name;
    ASSERT_TRUE(watched) << c.name;
    EXPECT_TRUE(watched->isVisible()) << c.name;

    loop_.RunPending();
    EXPECT_EQ(window_->received, std::vector<Received>{c.expected}) << c.name;
    EXPECT_EQ(mores, c.expected.wParam == Info::kMoreButton && c.expected.message == wm::kCommand ? 1 : 0) << c.name;
    EXPECT_EQ(window_->Shown(), c.staysOpen) << c.name;
    DeleteLaterOnes();
    EXPECT_EQ(static_cast<bool>(watched), c.staysOpen) << c.name;
    EXPECT_EQ(Dialogs().size(), c.staysOpen ? 1 : 0) << c.name;
    window_->Hide();
    DeleteLaterOnes();
  }
}

TEST_F(ControllerInfoDialogTest, CancelDuringASearchCancelsIt) {
  window_->BeginSearch();
  ASSERT_TRUE(window_->Show());
  ControllerInfoDialog* dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->CloseButton()->text(), QStringLiteral("Cancel"));
  dialog->CloseButton()->click();
  loop_.RunPending();
  EXPECT_TRUE(window_->Cancelled());
  EXPECT_FALSE(window_->Shown());
  EXPECT_EQ(views_->ViewOf(window_->Id()), nullptr);
}

TEST_F(ControllerInfoDialogTest, CloseWindowHidesAndDeletesTheViewAndShowMakesAFreshOne) {
  ASSERT_TRUE(window_->Show());
  QPointer<ControllerInfoDialog> first(Dialog());
  ASSERT_TRUE(first);

  window_->Hide();
  EXPECT_FALSE(first->isVisible());
  EXPECT_EQ(views_->ViewOf(window_->Id()), nullptr);
  DeleteLaterOnes();
  EXPECT_FALSE(first);

  // With no view the refresh request goes to the main window as before.
  host_.Invalidate(window_->Id());
  EXPECT_EQ(mainRefreshes_, 1);

  // What changed while hidden is there when it shows again.
  window_->SetLine(Info::kPort, "COM 3 19200,N,8,1");
  window_->BeginSearch();
  ASSERT_TRUE(window_->Show());
  ControllerInfoDialog* second = Dialog();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isVisible());
  EXPECT_EQ(second->LineLabel(Info::kPort)->text(), QStringLiteral("COM 3 19200,N,8,1"));
  EXPECT_EQ(second->CloseButton()->text(), QStringLiteral("Cancel"));
}

TEST_F(ControllerInfoDialogTest, OpeningTwiceKeepsOneDialog) {
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  placement.title = "Controller Info";
  ASSERT_TRUE(host_.OpenWindow(*window_, placement));
  ControllerInfoDialog* first = Dialog();
  ASSERT_NE(first, nullptr);
  first->hide();
  ASSERT_TRUE(host_.OpenWindow(*window_, placement));
  EXPECT_EQ(Dialogs().size(), 1);
  EXPECT_EQ(Dialog(), first);
  EXPECT_TRUE(first->isVisible());
  host_.CloseWindow(*window_);
}

TEST_F(ControllerInfoDialogTest, SitsCentredOverTheMainWindowOnTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  enum class Expect { kOverMain, kOverScreen, kInTheCorner };
  const struct {
    const char* name;
    QRect main;
    bool mainShown;
    Expect expect;
  } cases[] = {
      {"main window in the middle", QRect(screen.left() + 100, screen.top() + 80, 600, 400), true, Expect::kOverMain},
      // Centred on it the dialog would hang over the screen's corner.
      {"main window at the bottom right", QRect(screen.right() - 150, screen.bottom() - 100, 300, 200), true,
       Expect::kInTheCorner},
      {"main window hidden", QRect(screen.left(), screen.top(), 300, 200), false, Expect::kOverScreen},
  };
  for (const auto& c : cases) {
    main_->setGeometry(c.main);
    main_->setVisible(c.mainShown);
    ASSERT_TRUE(window_->Show()) << c.name;
    ControllerInfoDialog* dialog = Dialog();
    ASSERT_NE(dialog, nullptr) << c.name;
    const QRect box = dialog->frameGeometry();
    EXPECT_TRUE(screen.contains(box)) << c.name;
    switch (c.expect) {
      case Expect::kOverMain:
        EXPECT_LE((box.center() - main_->frameGeometry().center()).manhattanLength(), 2) << c.name;
        break;
      case Expect::kOverScreen:
        EXPECT_LE((box.center() - screen.center()).manhattanLength(), 2) << c.name;
        break;
      case Expect::kInTheCorner:
        EXPECT_EQ(box.bottomRight(), screen.bottomRight()) << c.name;
        break;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), dialog) << c.name;
    window_->Hide();
    DeleteLaterOnes();
  }
}

TEST_F(ControllerInfoDialogTest, WindowsWithoutAViewDoNotOpen) {
  struct Unnamed : Window {
    using Window::Window;
    LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
  } unnamed(loop_);
  struct Unknown : Unnamed {
    using Unnamed::Unnamed;
    const char* ViewKind() const override { return "NoSuchView"; }
  } unknown(loop_);
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  EXPECT_FALSE(host_.OpenWindow(unnamed, placement));
  EXPECT_FALSE(host_.OpenWindow(unknown, placement));
  EXPECT_EQ(views_->ViewOf(unknown.Id()), nullptr);
  EXPECT_TRUE(HasWindowView("ControllerInfo"));
  EXPECT_FALSE(HasWindowView("NoSuchView"));
}

TEST_F(ControllerInfoDialogTest, ViewsOutlivedByTheirWindowOrMainWindowAreLetGo) {
  // The main window takes the dialog with it; the window can still hide and refresh safely.
  ASSERT_TRUE(window_->Show());
  main_.reset();
  EXPECT_TRUE(Dialogs().isEmpty());
  EXPECT_EQ(views_->ViewOf(window_->Id()), nullptr);
  window_->SetLine(Info::kOi, "OI:   AQ3063");
  EXPECT_EQ(mainRefreshes_, 1);
  window_->Hide();

  // A window that goes without closing its view does not leave it behind.
  auto probe = std::make_unique<ProbeWindow>(loop_);
  const WindowId id = probe->Id();
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  ASSERT_TRUE(host_.OpenWindow(*probe, placement));
  QPointer<QWidget> view(views_->ViewOf(id));
  ASSERT_TRUE(view);
  probe.reset();
  EXPECT_FALSE(views_->Invalidate(id));
  DeleteLaterOnes();
  EXPECT_FALSE(view);
}

TEST_F(ControllerInfoDialogTest, PlacesViewsInTheMdiAreaAndFullScreen) {
  const struct {
    const char* name;
    PlacementKind kind;
    Rect rect;
    bool maximized;
  } cases[] = {
      {"MDI child, maximised", PlacementKind::kMdiChild, {}, true},
      {"MDI child at a place", PlacementKind::kMdiChildAt, {10, 20, 310, 220}, false},
      {"MDI child at a place, maximised", PlacementKind::kMdiChildAt, {10, 20, 310, 220}, true},
      {"full screen", PlacementKind::kFullScreen, {-4, -4, 808, 608}, false},
  };
  for (const auto& c : cases) {
    ProbeWindow probe(loop_);
    Placement placement{c.kind, "Probe title", c.rect, c.maximized};
    ASSERT_TRUE(host_.OpenWindow(probe, placement)) << c.name;
    auto* view = dynamic_cast<ProbeView*>(views_->ViewOf(probe.Id()));
    ASSERT_NE(view, nullptr) << c.name;
    EXPECT_TRUE(view->isVisible()) << c.name;
    EXPECT_GE(view->refreshes, 1) << c.name;
    const int refreshes = view->refreshes;
    host_.Invalidate(probe.Id());
    EXPECT_EQ(view->refreshes, refreshes + 1) << c.name;
    EXPECT_EQ(mainRefreshes_, 0) << c.name;

    QWidget* frame = view;
    if (c.kind == PlacementKind::kFullScreen) {
      EXPECT_TRUE(view->isWindow()) << c.name;
      EXPECT_TRUE(view->windowFlags().testFlag(Qt::FramelessWindowHint)) << c.name;
      EXPECT_EQ(view->geometry(), QRect(-4, -4, 812, 612)) << c.name;
      EXPECT_TRUE(mdi_->subWindowList().isEmpty()) << c.name;
    } else {
      ASSERT_EQ(mdi_->subWindowList().size(), 1) << c.name;
      QMdiSubWindow* child = mdi_->subWindowList().first();
      frame = child;
      EXPECT_EQ(child->widget(), view) << c.name;
      EXPECT_EQ(child->windowTitle(), QStringLiteral("Probe title")) << c.name;
      EXPECT_EQ(child->property("kx7WindowId").toUInt(), probe.Id()) << c.name;
      EXPECT_EQ(child->isMaximized(), c.maximized) << c.name;
      EXPECT_EQ(mdi_->activeSubWindow(), child) << c.name;
      if (!c.maximized && c.kind == PlacementKind::kMdiChildAt) {
        EXPECT_EQ(child->geometry(), QRect(10, 20, 300, 200)) << c.name;
      }
    }

    // The frame's own close asks the window, and the view stays until the window says.
    EXPECT_FALSE(frame->close()) << c.name;
    EXPECT_TRUE(frame->isVisible()) << c.name;
    loop_.RunPending();
    EXPECT_EQ(probe.received, (std::vector<Received>{{wm::kClose, 0}})) << c.name;

    QPointer<QWidget> watched(frame);
    host_.CloseWindow(probe);
    EXPECT_TRUE(mdi_->subWindowList().isEmpty()) << c.name;
    DeleteLaterOnes();
    EXPECT_FALSE(watched) << c.name;
  }
}

TEST_F(ControllerInfoDialogTest, MdiPlacementsNeedAnMdiArea) {
  WindowViews withoutArea(main_.get());
  ProbeWindow probe(loop_);
  for (PlacementKind kind : {PlacementKind::kMdiChild, PlacementKind::kMdiChildAt}) {
    Placement placement;
    placement.kind = kind;
    EXPECT_FALSE(withoutArea.Open(probe, placement));
    EXPECT_EQ(withoutArea.ViewOf(probe.Id()), nullptr);
  }
  Placement dialog;
  dialog.kind = PlacementKind::kModelessDialog;
  EXPECT_TRUE(withoutArea.Open(probe, dialog));
  withoutArea.Close(probe);
}

}  // namespace
}  // namespace kx7
