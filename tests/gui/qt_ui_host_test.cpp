#include "qt_ui_host.h"

#include <gtest/gtest.h>

#include "test_application.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

// Acts on the modal widget once it is showing, as an operator would. The
// attempts are bounded so that a dialog that never shows fails the test instead
// of hanging it.
template <typename Widget>
void WhenShown(std::function<void(Widget *)> act, int attempts = 200) {
  QTimer::singleShot(5, [act, attempts] {
    if (auto *widget =
            qobject_cast<Widget *>(QApplication::activeModalWidget())) {
      act(widget);
    } else if (attempts > 0) {
      WhenShown<Widget>(act, attempts - 1);
    }
  });
}

struct Model : DialogModel {
  explicit Model(const char *kind) : kind(kind) {}
  const char *Kind() const override { return kind; }
  std::string Title() const override { return "Title"; }
  const char *kind;
};

struct Idle : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

class QtUiHostTest : public ::testing::Test {
protected:
  void SetUp() override { EnsureApplication(); }
  QtUiHost host_;
};

TEST_F(QtUiHostTest, MessageBoxShowsTheTextAndMapsTheClickedButton) {
  const struct {
    MessageButtons buttons;
    QMessageBox::StandardButton click;
    Answer expected;
  } cases[] = {
      {MessageButtons::kOk, QMessageBox::Ok, Answer::kOk},
      {MessageButtons::kOkCancel, QMessageBox::Cancel, Answer::kCancel},
      {MessageButtons::kYesNo, QMessageBox::No, Answer::kNo},
      {MessageButtons::kYesNoCancel, QMessageBox::Yes, Answer::kYes},
      {MessageButtons::kRetryCancel, QMessageBox::Retry, Answer::kRetry},
      {MessageButtons::kAbortRetryIgnore, QMessageBox::Ignore, Answer::kIgnore},
      {MessageButtons::kAbortRetryIgnore, QMessageBox::Abort, Answer::kAbort},
  };
  for (const auto &c : cases) {
    QString text;
    QString title;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    WhenShown<QMessageBox>([&](QMessageBox *box) {
      text = box->text();
      title = box->windowTitle();
      defaultButton = box->standardButton(box->defaultButton());
      box->button(c.click)->click();
    });
    EXPECT_EQ(host_.MessageBox("Line 1\rLine 2", "KX7SDU", c.buttons,
                               MessageIcon::kQuestion),
              c.expected);
    EXPECT_EQ(text, QStringLiteral("Line 1\nLine 2"));
    EXPECT_EQ(title, QStringLiteral("KX7SDU"));
    EXPECT_NE(defaultButton, QMessageBox::NoButton);
  }
}

TEST_F(QtUiHostTest, ClosingAMessageBoxWithEscapeGivesItsCancellingAnswer) {
  const struct {
    MessageButtons buttons;
    Answer expected;
  } cases[] = {{MessageButtons::kOk, Answer::kOk},
               {MessageButtons::kOkCancel, Answer::kCancel},
               {MessageButtons::kYesNo, Answer::kNo},
               {MessageButtons::kYesNoCancel, Answer::kCancel}};
  for (const auto &c : cases) {
    WhenShown<QMessageBox>([](QMessageBox *box) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(box, &escape);
    });
    EXPECT_EQ(host_.MessageBox("?", "Q", c.buttons, MessageIcon::kNone),
              c.expected);
  }
}

TEST_F(QtUiHostTest,
       SaveDialogUsesTheFolderAndFilterAndAppendsTheDefaultExtension) {
  const QString folder = QDir::tempPath();
  FileDialogRequest request;
  request.save = true;
  request.title = "Save Log";
  request.filter = "Log Files (*.log;*.txt)|*.log*;*.txt|All Files (*.*)|*.*||";
  request.defaultExtension = "log";
  request.initialFolder = folder.toStdString();
  QStringList filters;
  QString directory;
  QString title;
  WhenShown<QFileDialog>([&](QFileDialog *dialog) {
    filters = dialog->nameFilters();
    directory = dialog->directory().absolutePath();
    title = dialog->windowTitle();
    dialog->selectFile(QStringLiteral("kx7_host_test_run"));
    static_cast<QDialog *>(dialog)->accept();
  });
  const auto path = host_.FileDialog(request);
  EXPECT_EQ(filters,
            (QStringList{"Log Files (*.log* *.txt)", "All Files (*)"}));
  EXPECT_EQ(directory, QDir(folder).absolutePath());
  EXPECT_EQ(title, QStringLiteral("Save Log"));
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(
      *path,
      QDir(folder).absoluteFilePath("kx7_host_test_run.log").toStdString());
}

TEST_F(QtUiHostTest, CancelledFileDialogGivesNothing) {
  WhenShown<QFileDialog>(
      [](QFileDialog *dialog) { static_cast<QDialog *>(dialog)->reject(); });
  FileDialogRequest request;
  request.filter = "garbage without terminator";
  EXPECT_EQ(host_.FileDialog(request), std::nullopt);
}

TEST_F(QtUiHostTest, ListChoiceReturnsTheChosenRow) {
  const struct {
    const char *name;
    std::function<void(QDialog *, QListWidget *)> act;
    std::optional<std::size_t> expected;
  } cases[] = {
      {"first row is preselected",
       [](QDialog *d, QListWidget *) { d->accept(); }, 0},
      {"row chosen then OK",
       [](QDialog *d, QListWidget *list) {
         list->setCurrentRow(2);
         d->findChild<QDialogButtonBox *>()
             ->button(QDialogButtonBox::Ok)
             ->click();
       },
       2},
      {"double click",
       [](QDialog *, QListWidget *list) {
         emit list->itemDoubleClicked(list->item(1));
       },
       1},
      {"cancel", [](QDialog *d, QListWidget *) { d->reject(); }, std::nullopt},
  };
  for (const auto &c : cases) {
    QString title;
    WhenShown<QDialog>([&](QDialog *dialog) {
      title = dialog->windowTitle();
      c.act(dialog,
            dialog->findChild<QListWidget *>(QStringLiteral("choices")));
    });
    EXPECT_EQ(host_.ChooseFromList("Pick", {"a", "b", "c"}), c.expected)
        << c.name;
    EXPECT_EQ(title, QStringLiteral("Pick")) << c.name;
  }
}

TEST_F(QtUiHostTest, EmptyListCannotBeConfirmed) {
  bool okEnabled = true;
  WhenShown<QDialog>([&](QDialog *dialog) {
    okEnabled = dialog->findChild<QDialogButtonBox *>()
                    ->button(QDialogButtonBox::Ok)
                    ->isEnabled();
    dialog->accept();
  });
  EXPECT_EQ(host_.ChooseFromList("Pick", {}), std::nullopt);
  EXPECT_FALSE(okEnabled);
}

TEST_F(QtUiHostTest, DialogsGoToTheViewRegisteredForTheirKind) {
  QWidget parent;
  host_.SetParentWidget(&parent);
  QWidget *seenParent = nullptr;
  DialogModel *seenModel = nullptr;
  QtUiHost::RegisterDialogView("HostTestKind",
                               [&](DialogModel &model, QWidget *p) {
                                 seenModel = &model;
                                 seenParent = p;
                                 return true;
                               });
  Model model("HostTestKind");
  EXPECT_TRUE(host_.RunDialog(model));
  EXPECT_EQ(seenModel, &model);
  EXPECT_EQ(seenParent, &parent);
  Model unknown("NoSuchDialogKind");
  EXPECT_FALSE(QtUiHost::HasDialogView("NoSuchDialogKind"));
  EXPECT_FALSE(host_.RunDialog(unknown));
}

TEST_F(QtUiHostTest, WindowsGoThroughTheMainWindowsCallbacks) {
  VirtualTimeLoop loop;
  Idle window(loop);
  EXPECT_FALSE(host_.OpenWindow(window, Placement{}));
  host_.CloseWindow(window);
  host_.Invalidate(window.Id());

  std::vector<std::string> calls;
  host_.SetWindowOpener([&](Window &w, const Placement &p) {
    calls.push_back("open " + std::to_string(w.Id()) + " " + p.title);
    return p.title == "ok";
  });
  host_.SetWindowCloser(
      [&](Window &w) { calls.push_back("close " + std::to_string(w.Id())); });
  host_.SetInvalidator([&](WindowId id) {
    calls.push_back("invalidate " + std::to_string(id));
  });
  Placement placement;
  placement.title = "ok";
  EXPECT_TRUE(host_.OpenWindow(window, placement));
  placement.title = "no";
  EXPECT_FALSE(host_.OpenWindow(window, placement));
  host_.CloseWindow(window);
  host_.Invalidate(window.Id());
  const std::string id = std::to_string(window.Id());
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "open " + id + " ok", "open " + id + " no",
                       "close " + id, "invalidate " + id}));
}

} // namespace
} // namespace kx7
