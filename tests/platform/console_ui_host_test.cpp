#include "platform/console_ui_host.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

struct Model : DialogModel {
  const char* Kind() const override { return "PortSettings"; }
  std::string Title() const override { return "Port Settings"; }
  bool OnOk() override {
    ++okCalls;
    return true;
  }
  int okCalls = 0;
};

struct Idle : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

TEST(ConsoleUiHost, MessagesAreOneLineOfCaptionAndTextWithCrAsNewline) {
  std::ostringstream out;
  ConsoleUiHost host(out);
  host.MessageBox("Block Read Failed", "KX7SDU", MessageButtons::kOk, MessageIcon::kError);
  host.MessageBox("Line 1\rLine 2\r\nLine 3\r", "Result", MessageButtons::kOk, MessageIcon::kNone);
  host.MessageBox("No caption", "", MessageButtons::kOk, MessageIcon::kNone);
  EXPECT_EQ(out.str(), "KX7SDU: Block Read Failed\nResult: Line 1\nLine 2\nLine 3\n\nNo caption\n");
}

TEST(ConsoleUiHost, AnswersFollowTheAssumeYesPolicy) {
  const struct {
    MessageButtons buttons;
    Answer withoutAssumeYes;
    Answer withAssumeYes;
  } cases[] = {
      {MessageButtons::kOk, Answer::kOk, Answer::kOk},
      {MessageButtons::kOkCancel, Answer::kCancel, Answer::kOk},
      {MessageButtons::kYesNo, Answer::kNo, Answer::kYes},
      {MessageButtons::kYesNoCancel, Answer::kCancel, Answer::kYes},
      {MessageButtons::kRetryCancel, Answer::kCancel, Answer::kCancel},
      {MessageButtons::kAbortRetryIgnore, Answer::kAbort, Answer::kAbort},
  };
  std::ostringstream out;
  ConsoleUiHost host(out);
  for (const auto& c : cases) {
    host.SetAssumeYes(false);
    EXPECT_EQ(host.MessageBox("?", "Q", c.buttons, MessageIcon::kQuestion), c.withoutAssumeYes)
        << static_cast<int>(c.buttons);
    host.SetAssumeYes(true);
    EXPECT_EQ(host.MessageBox("?", "Q", c.buttons, MessageIcon::kQuestion), c.withAssumeYes)
        << static_cast<int>(c.buttons);
  }
}

TEST(ConsoleUiHost, FileAndListAnswersComeFromPresets) {
  std::ostringstream out;
  ConsoleUiHost host(out);
  FileDialogRequest request;
  request.title = "Open Firmware";
  EXPECT_EQ(host.FileDialog(request), std::nullopt);
  EXPECT_NE(out.str().find("Open Firmware: "), std::string::npos);
  host.SetFileAnswer(std::string("/tmp/fw.hex"));
  EXPECT_EQ(host.FileDialog(request), std::optional<std::string>("/tmp/fw.hex"));

  EXPECT_EQ(host.ChooseFromList("Controllers", {"COM1", "COM3"}), std::nullopt);
  EXPECT_NE(out.str().find("Controllers: 1 COM3\n"), std::string::npos) << out.str();
  host.SetListAnswer(1);
  EXPECT_EQ(host.ChooseFromList("Controllers", {"COM1", "COM3"}), std::optional<std::size_t>(1));
  host.SetListAnswer(2);
  EXPECT_EQ(host.ChooseFromList("Controllers", {"COM1", "COM3"}), std::nullopt);
}

TEST(ConsoleUiHost, DialogsAreConfirmedOnlyWhenAcceptingAndWindowsNeverOpen) {
  std::ostringstream out;
  ConsoleUiHost host(out);
  Model model;
  EXPECT_FALSE(host.RunDialog(model));
  EXPECT_EQ(model.okCalls, 0);
  host.SetAcceptDialogs(true);
  EXPECT_TRUE(host.RunDialog(model));
  EXPECT_EQ(model.okCalls, 1);

  VirtualTimeLoop loop;
  Idle window(loop);
  EXPECT_FALSE(host.OpenWindow(window, Placement{}));
  host.CloseWindow(window);
  host.Invalidate(window.Id());
}

}  // namespace
}  // namespace kx7
