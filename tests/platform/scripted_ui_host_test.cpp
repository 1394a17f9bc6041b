#include "platform/scripted_ui_host.h"

#include <gtest/gtest.h>

#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

struct Model : DialogModel {
  const char* Kind() const override { return "PortSettings"; }
  std::string Title() const override { return "Port Settings"; }
  bool OnOk() override {
    ++okCalls;
    return acceptOk;
  }
  int value = 0;
  int okCalls = 0;
  bool acceptOk = true;
};

struct Idle : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

TEST(ScriptedUiHost, AnswersQuestionsInTheScriptedOrder) {
  ScriptedUiHost host;
  host.ExpectMessage("Overwrite?", Answer::kYes);
  host.ExpectFile(std::string("/tmp/a.log"));
  host.ExpectList(1);
  host.ExpectFile(std::nullopt);
  host.ExpectList(std::nullopt);

  EXPECT_EQ(host.MessageBox("Overwrite?", "KX7SDU", MessageButtons::kYesNo, MessageIcon::kQuestion), Answer::kYes);
  FileDialogRequest request;
  request.save = true;
  request.title = "Log File";
  request.filter = "Log Files (*.log)|*.log||";
  EXPECT_EQ(host.FileDialog(request), std::optional<std::string>("/tmp/a.log"));
  EXPECT_EQ(host.ChooseFromList("Pick", {"a", "b"}), std::optional<std::size_t>(1));
  EXPECT_EQ(host.FileDialog(request), std::nullopt);
  EXPECT_EQ(host.ChooseFromList("Pick", {"a", "b"}), std::nullopt);

  EXPECT_TRUE(host.AllConsumed());
  EXPECT_TRUE(host.Unexpected().empty()) << host.Report();
  ASSERT_EQ(host.Asked().size(), 5u);
  EXPECT_EQ(host.Asked()[0].caption, "KX7SDU");
  EXPECT_EQ(host.Asked()[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(host.Asked()[1].file.save);
  EXPECT_EQ(host.Asked()[1].file.filter, "Log Files (*.log)|*.log||");
  EXPECT_EQ(host.Asked()[2].lines, (std::vector<std::string>{"a", "b"}));
}

TEST(ScriptedUiHost, AnUnexpectedQuestionIsRecordedCancelledAndLeavesTheScriptInPlace) {
  ScriptedUiHost host;
  host.ExpectMessage("Block Read Failed", Answer::kOk);

  // Wrong text, wrong kind, then the one that was scripted.
  EXPECT_EQ(host.MessageBox("Can't Open Port", "KX7SDU", MessageButtons::kOk, MessageIcon::kError), Answer::kCancel);
  EXPECT_EQ(host.FileDialog({}), std::nullopt);
  EXPECT_EQ(host.ChooseFromList("Pick", {"a"}), std::nullopt);
  Model model;
  EXPECT_FALSE(host.RunDialog(model));
  EXPECT_EQ(model.okCalls, 0);
  EXPECT_FALSE(host.AllConsumed());
  EXPECT_EQ(host.MessageBox("Block Read Failed", "KX7SDU", MessageButtons::kOk, MessageIcon::kError), Answer::kOk);

  ASSERT_EQ(host.Unexpected().size(), 4u);
  EXPECT_EQ(host.Unexpected()[0].text, "Can't Open Port");
  EXPECT_EQ(host.Unexpected()[1].kind, ScriptedUiHost::QuestionKind::kFile);
  EXPECT_EQ(host.Unexpected()[2].kind, ScriptedUiHost::QuestionKind::kList);
  EXPECT_EQ(host.Unexpected()[3].dialogKind, "PortSettings");
  EXPECT_TRUE(host.AllConsumed());
  EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Can't Open Port", "Block Read Failed"}));
  EXPECT_NE(host.Report().find("unexpected: message box \"Can't Open Port\""), std::string::npos) << host.Report();
}

TEST(ScriptedUiHost, ReportNamesExpectationsLeftOver) {
  ScriptedUiHost host;
  host.ExpectDialog("PortSettings");
  EXPECT_FALSE(host.AllConsumed());
  EXPECT_NE(host.Report().find("still expected: dialog PortSettings"), std::string::npos) << host.Report();
}

TEST(ScriptedUiHost, ListIndexPastTheLinesIsAScriptError) {
  ScriptedUiHost host;
  host.ExpectList(2);
  EXPECT_EQ(host.ChooseFromList("Pick", {"a", "b"}), std::nullopt);
  EXPECT_EQ(host.Unexpected().size(), 1u);
}

TEST(ScriptedUiHost, DialogsAreFilledThenConfirmedThroughTheModel) {
  const struct {
    const char* name;
    bool pressOk;
    bool modelAccepts;
    bool expected;
    int okCalls;
  } cases[] = {
      {"ok", true, true, true, 1},
      {"cancel", false, true, false, 0},
      {"ok refused by the model", true, false, false, 1},
  };
  for (const auto& c : cases) {
    ScriptedUiHost host;
    host.ExpectDialog("PortSettings", [&](DialogModel& model) {
      static_cast<Model&>(model).value = 42;
      return c.pressOk;
    });
    Model model;
    model.acceptOk = c.modelAccepts;
    EXPECT_EQ(host.RunDialog(model), c.expected) << c.name;
    EXPECT_EQ(model.value, 42) << c.name;
    EXPECT_EQ(model.okCalls, c.okCalls) << c.name;
    ASSERT_EQ(host.Asked().size(), 1u);
    EXPECT_EQ(host.Asked()[0].text, "Port Settings");
    EXPECT_EQ(host.Asked()[0].accepted, c.expected) << c.name;
    EXPECT_TRUE(host.Unexpected().empty()) << c.name;
  }

  ScriptedUiHost host;
  host.ExpectDialog("PortSettings");
  Model model;
  EXPECT_TRUE(host.RunDialog(model));
  EXPECT_EQ(model.okCalls, 1);
}

TEST(ScriptedUiHost, RecordsWindowsWithTheirPlacementsAndAnswersAsConfigured) {
  VirtualTimeLoop loop;
  Idle first(loop);
  Idle second(loop);
  ScriptedUiHost host;
  Placement placement;
  placement.kind = PlacementKind::kMdiChildAt;
  placement.title = "Terminal";
  placement.rect = {1, 2, 300, 200};
  placement.maximized = false;
  EXPECT_TRUE(host.OpenWindow(first, placement));
  host.SetOpenWindowResult(false);
  EXPECT_FALSE(host.OpenWindow(second, Placement{}));
  host.CloseWindow(first);
  host.Invalidate(second.Id());

  ASSERT_EQ(host.Opened().size(), 2u);
  EXPECT_EQ(host.Opened()[0].window, first.Id());
  EXPECT_EQ(host.Opened()[0].placement.kind, PlacementKind::kMdiChildAt);
  EXPECT_EQ(host.Opened()[0].placement.title, "Terminal");
  EXPECT_EQ(host.Opened()[0].placement.rect, (Rect{1, 2, 300, 200}));
  EXPECT_EQ(host.Opened()[1].window, second.Id());
  EXPECT_EQ(host.Closed(), std::vector<WindowId>{first.Id()});
  EXPECT_EQ(host.Invalidated(), std::vector<WindowId>{second.Id()});
}

}  // namespace
}  // namespace kx7
