// The terminal window in the frame: opened by the launcher, taking data from its first paint,
// decoding what arrives, echoing and sending typed keys, pasting a key script with a reply wait,
// key macro files, copy, Clear All and closing.
#include <gtest/gtest.h>

#include <fstream>

#include "controller/controller_types.h"
#include "display_frame_fixture.h"

namespace kx7 {
namespace {

namespace fs = std::filesystem;

class TerminalWindowTest : public testing::DisplayFrameTest {};

TEST_F(TerminalWindowTest, OpensAsAMaximisedChildAndTakesDataFromItsFirstPaint) {
  frame_->OnCommand(cmd::kTerminal);
  CTerminalWnd* terminal = launcher_->Terminal();
  ASSERT_TRUE(terminal);
  ASSERT_EQ(ui_.Opened().size(), 1u);
  EXPECT_EQ(ui_.Opened()[0].placement.kind, PlacementKind::kMdiChild);
  EXPECT_EQ(ui_.Opened()[0].placement.title, "Terminal");
  EXPECT_FALSE(frame_->listeners.IsActive(slot::kTerminal));
  Receive({0xC0, 0x00, 0x20, 0x00, 0x10});
  EXPECT_EQ(Rows(*terminal), std::vector<std::string>{""}) << "nothing before the first paint";
  terminal->FirstPaint();
  EXPECT_EQ(frame_->listeners.Listener(slot::kTerminal), terminal->Id());
  Receive({0xC0, 0x00, 0x20, 0x00, 0x10, 0xC0, 0x00, 0x20, 0x00, 0x10});
  EXPECT_EQ(Rows(*terminal), (std::vector<std::string>{"D 0512,0256", ". 0512,0256", ""}));
  frame_->OnCommand(cmd::kTerminal);
  EXPECT_EQ(launcher_->Terminal(), terminal) << "one terminal; the open one comes to the front";
}

// A USB Larch is a multi-touch controller whatever its feature bits: on the HID link its
// 64-byte reports are decoded as contacts, not shown as undecoded bytes.
TEST_F(TerminalWindowTest, AUsbLarchsReportsAreDecodedAsContacts) {
  CTerminalWnd& terminal = OpenTerminal();
  frame_->LinkKind = link::kHid;
  frame_->ControllerType = type::kLarchUsb;
  frame_->ControllerFeatures = feature::kLarchSensor1 | feature::kLarchModelSpruce;
  std::vector<std::uint8_t> report(64, 0);
  report[0] = 115;
  report[1] = 0x07;  // tip, in range, valid
  report[2] = 1;
  report[3] = 0x34;
  report[4] = 0x02;
  report[5] = 0x78;
  report[6] = 0x05;
  report[61] = 1;
  Receive(report);
  const std::vector<std::string> rows = Rows(terminal);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].rfind("1D.234.578", 0), 0u) << rows[0];
}

TEST_F(TerminalWindowTest, TypedKeysGoToTheControllerAndShowOnceInTheirColour) {
  CTerminalWnd& terminal = OpenTerminal();
  frame_->settings.Options.LoopbackSentChars = 0;
  frame_->settings.Options.FullDuplex = 0;
  terminal.OnChar('z');
  EXPECT_EQ(Rows(terminal), std::vector<std::string>{"Z"}) << "ForceCaps, shown locally";
  EXPECT_EQ(terminal.Text().RowColour(0), TerminalText::Colour::kSent);
  terminal.ClearAll();
  frame_->settings.Options.LoopbackSentChars = 1;
  terminal.OnChar('q');
  EXPECT_EQ(Rows(terminal), std::vector<std::string>{"Q"}) << "the frame's echo shows it instead, once";
  loop_.Advance(20);
  EXPECT_EQ(recorder_->received, "ZQ");
}

TEST_F(TerminalWindowTest, PastedScriptSendsKeysAndWaitsForTheReply) {
  CTerminalWnd& terminal = OpenTerminal();
  frame_->settings.Options.ForceCaps = 0;
  ui_.SetClipboardText("ab<0D>?x");
  loop_.Send(terminal.Id(), msg::kPaste);
  EXPECT_EQ(recorder_->received, "ab\r") << "the x is still on the wire";
  loop_.Advance(20);
  EXPECT_EQ(recorder_->received, "ab\rx");
  EXPECT_EQ(terminal.Keys().size(), 5u);
}

struct ScriptCase {
  const char* script;
  std::vector<std::uint16_t> keys;
};

class KeyScripts : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(KeyScripts, Parse) { EXPECT_EQ(CTerminalWnd::ParseKeyScript(GetParam().script), GetParam().keys); }

constexpr std::uint16_t kPause = CTerminalWnd::kPauseKey;
INSTANTIATE_TEST_SUITE_P(
    Cases, KeyScripts,
    ::testing::Values(ScriptCase{"ab<0D>?", {'a', 'b', 0x0D, kPause}}, ScriptCase{"Z\r\n", {'Z', '\r'}},
                      ScriptCase{"<1234>", {0x34}}, ScriptCase{"<zz>q", {'q'}}, ScriptCase{"a<", {'a', '<'}},
                      ScriptCase{"??", {kPause, kPause}}));

TEST_F(TerminalWindowTest, KeyMacroFilesRoundTripAndATruncatedOneLoadsWhatItHolds) {
  CTerminalWnd& terminal = OpenTerminal();
  ui_.SetClipboardText("");
  loop_.Send(terminal.Id(), msg::kKeyRecordToggle);
  EXPECT_EQ(frame_->recorderState, "REC");
  terminal.OnChar('1');
  terminal.OnChar('2');
  loop_.Send(terminal.Id(), msg::kKeyRecordToggle);
  const std::string path = (folder_ / "keys.mac").string();
  ui_.ExpectFile(path);
  loop_.Send(terminal.Id(), msg::kKeyMacroSave);
  ui_.ExpectFile(path);
  loop_.Send(terminal.Id(), msg::kKeyMacroLoad);
  EXPECT_EQ(terminal.Keys(), (std::vector<std::uint16_t>{'1', '2'}));
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write("\x09\x00\x41\x00\x42", 5);  // nine keys promised, one and a half there
  }
  ui_.ExpectFile(path);
  loop_.Send(terminal.Id(), msg::kKeyMacroLoad);
  EXPECT_EQ(terminal.Keys(), (std::vector<std::uint16_t>{'A'}));
  ui_.ExpectFile((folder_ / "missing" / "keys.mac").string());
  loop_.Send(terminal.Id(), msg::kKeyMacroLoad);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"Failed to open file!"});
}

TEST_F(TerminalWindowTest, CopySelectAllClearAndClose) {
  CTerminalWnd& terminal = OpenTerminal();
  Receive({0xC0, 0x00, 0x20, 0x00, 0x10});
  loop_.Send(terminal.Id(), msg::kSelectAll);
  loop_.Send(terminal.Id(), msg::kCopy);
  EXPECT_EQ(ui_.ClipboardText(), "D 0512,0256\r\n");
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kClearAll).enabled);
  frame_->OnCommand(cmd::kClearAll);
  EXPECT_EQ(Rows(terminal), std::vector<std::string>{""});
  loop_.Send(terminal.Id(), wm::kClose);
  loop_.RunPending();
  EXPECT_FALSE(frame_->listeners.IsActive(slot::kTerminal));
  EXPECT_EQ(frame_->terminal, nullptr);
  EXPECT_EQ(launcher_->Terminal(), nullptr);
  EXPECT_FALSE(frame_->UpdateCommand(cmd::kClearAll).enabled);
}

TEST_F(TerminalWindowTest, LauncherOffersOnlyWhatIsBuilt) {
  EXPECT_TRUE(frame_->UpdateCommand(cmd::kTerminal).enabled);
  for (std::uint32_t id : {cmd::kCalibrate, cmd::kDraw, cmd::kSplitMode, cmd::kScope, cmd::kGridMaker})
    EXPECT_FALSE(frame_->UpdateCommand(id).enabled) << id;
}

TEST_F(TerminalWindowTest, ToolWindowsOpenAsChildrenOrFullScreenAndAFailureIsSaid) {
  struct Tool : Window {
    using Window::Window;
    LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
  } tool(loop_);
  EXPECT_TRUE(launcher_->OpenChild("2pt Cal", tool));
  EXPECT_EQ(ui_.Opened().back().placement.kind, PlacementKind::kMdiChild);
  EXPECT_EQ(ui_.Opened().back().placement.title, "2pt Cal");
  EXPECT_TRUE(launcher_->OpenFullScreen(tool));
  EXPECT_EQ(ui_.Opened().back().placement.kind, PlacementKind::kFullScreen);
  EXPECT_EQ(ui_.Opened().back().placement.rect, frame_->FullScreenRect());
  ui_.SetOpenWindowResult(false);
  EXPECT_FALSE(launcher_->OpenChild("2pt Cal", tool));
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"Can't open window"});
  frame_->OnCommand(cmd::kTerminal);
  EXPECT_EQ(launcher_->Terminal(), nullptr) << "a terminal that cannot be made ends the command silently";
  EXPECT_EQ(ui_.MessageTexts().size(), 1u);
}

}  // namespace
}  // namespace kx7
