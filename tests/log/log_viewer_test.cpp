#include "log/log_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/command_ids.h"
#include "log/log_fixture.h"

namespace kx7 {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Column = LogTable::Column;

TEST(LogTableTest, ReadsLinesIntoOneColumnOrTabSeparatedFieldsIntoMany) {
  const std::string longField(1200, 'x');
  const struct {
    const char* name;
    std::string text;
    std::vector<Column> columns;
    Rows rows;
  } cases[] = {
      {"lines ended by CR", "first\rsecond\r", {{"/logs/a.log", 1000}}, {{"first"}, {"second"}}},
      {"lines ended by CR LF", "first\r\nsecond\r\n", {{"/logs/a.log", 1000}}, {{"first"}, {"second"}}},
      {"an empty line is a row", "a\r\rb\r", {{"/logs/a.log", 1000}}, {{"a"}, {""}, {"b"}}},
      {"NUL is dropped, even inside CR LF", std::string("a\0b\r\0\nc\r", 8), {{"/logs/a.log", 1000}}, {{"ab"}, {"c"}}},
      {"a last line without CR", "first\rlast", {{"/logs/a.log", 1000}}, {{"first"}, {"last"}}},
      {"nothing after the last CR", "only\r", {{"/logs/a.log", 1000}}, {{"only"}}},
      {"lines ended by LF alone", "one\ntwo\n\nthree", {{"/logs/a.log", 1000}}, {{"one"}, {"two"}, {""}, {"three"}}},
      {"an empty file", "", {{"/logs/a.log", 1000}}, {}},
      {"a long line keeps 1000 characters",
       longField + "\rnext\r",
       {{"/logs/a.log", 1000}},
       {{std::string(1000, 'x')}, {"next"}}},
      {"rows of three and five fields",
       "a\tb\tc\r1\t2\t3\t4\t5\r",
       {{"Column 0", 100}, {"Column 1", 100}, {"Column 2", 100}, {"Column 3", 100}, {"Column 4", 100}},
       {{"a", "b", "c"}, {"1", "2", "3", "4", "5"}}},
      {"one tab anywhere makes every line a record of fields",
       "plain\rx\ty\r",
       {{"Column 0", 100}, {"Column 1", 100}},
       {{"plain"}, {"x", "y"}}},
      {"empty fields count", "\t\t\r", {{"Column 0", 100}, {"Column 1", 100}, {"Column 2", 100}}, {{"", "", ""}}},
      {"each field keeps 1000 characters",
       longField + "\t" + longField + "x\r",
       {{"Column 0", 100}, {"Column 1", 100}},
       {{std::string(1000, 'x'), std::string(1000, 'x')}}},
  };
  for (const auto& c : cases) {
    const LogTable table = LogTableOfFile(c.text, "/logs/a.log");
    EXPECT_EQ(table.columns, c.columns) << c.name;
    EXPECT_EQ(table.rows, c.rows) << c.name;
  }
}

TEST(LogTableTest, TextInPiecesReadsAsTheWhole) {
  const std::string text = "a\tb\r\nc\r\n\0d\te\rf";
  const LogTable whole = LogTableOfFile(text, "x");
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    LogTableParser parser(true);
    parser.Feed(std::string_view(text).substr(0, cut));
    parser.Feed(std::string_view(text).substr(cut));
    parser.Finish();
    EXPECT_EQ(parser.TakeRows(), whole.rows) << cut;
  }
}

TEST(LogTableTest, AReadyTextIsCutAtCrIntoOneColumnTitledByTheTool) {
  const LogTable table = LogTableOfText("R0 = 12\tAB\rR1 = 34\r", "Larch Register Dump");
  EXPECT_EQ(table.columns, (std::vector<Column>{{"Larch Register Dump", 1000}}));
  EXPECT_EQ(table.rows, (Rows{{"R0 = 12\tAB"}, {"R1 = 34"}}));
}

class LogViewerTest : public LogFixture {
 protected:
  LogViewerWindow* OpenViewer(const std::string& path) {
    ui_.ExpectFile(path);
    if (!Command(cmd::kViewLogFile)) return nullptr;
    return LastOpened<LogViewerWindow>();
  }
};

TEST_F(LogViewerTest, OpensTheChosenFileAsAnMdiChild) {
  const std::string path = Write("run.log", "a\tb\tc\r1\t2\t3\t4\t5\r");
  LogViewerWindow* viewer = OpenViewer(path);
  ASSERT_NE(viewer, nullptr) << ui_.Report();
  ASSERT_EQ(ui_.Opened().size(), 1u);
  EXPECT_EQ(ui_.Opened()[0].placement.kind, PlacementKind::kMdiChild);
  EXPECT_EQ(ui_.Opened()[0].placement.title, "Log Viewer");
  EXPECT_EQ(viewer->ViewKind(), std::string("LogViewer"));
  EXPECT_EQ(viewer->Table().columns.size(), 5u);
  EXPECT_EQ(viewer->Table().rows.size(), 2u);

  const FileDialogRequest& request = ui_.Asked().front().file;
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.filter, "Log Files (*.log;*.txt)|*.log*;*.txt|All Files (*.*)|*.*||");
  EXPECT_EQ(request.defaultExtension, "log");

  // A one-column file is titled with its path.
  const std::string lines = Write("lines.txt", "one\rtwo\r");
  LogViewerWindow* second = OpenViewer(lines);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, viewer);
  EXPECT_EQ(second->Table().columns, (std::vector<Column>{{lines, 1000}}));
}

TEST_F(LogViewerTest, CancelOrAFileThatCannotBeReadOpensNothing) {
  const struct {
    const char* name;
    std::optional<std::string> path;
    std::vector<std::string> messages;
  } cases[] = {
      {"cancelled", std::nullopt, {}},
      {"not there", PathOf("missing.log"), {"Failed to open file!"}},
      {"a folder", folder_.string(), {"Failed to open file!"}},
  };
  for (const auto& c : cases) {
    ui_.ExpectFile(c.path);
    for (const std::string& message : c.messages) ui_.ExpectMessage(message, Answer::kOk);
    ASSERT_TRUE(Command(cmd::kViewLogFile)) << c.name;
    EXPECT_TRUE(ui_.Opened().empty()) << c.name;
    EXPECT_TRUE(ui_.AllConsumed()) << c.name << ui_.Report();
  }
}

TEST_F(LogViewerTest, CopyPutsTheSelectedRowsOnTheClipboard) {
  LogViewerWindow* viewer = OpenViewer(Write("copy.log", "a\tb\tc\r1\t2\t3\t4\t5\rlast\r"));
  ASSERT_NE(viewer, nullptr);
  frame_->activeChild = viewer->Id();

  const struct {
    const char* name;
    std::vector<std::size_t> selection;
    std::string expected;  // empty: the clipboard is left alone
  } cases[] = {
      {"one row", {1}, "1\t2\t3\t4\t5\r\n"},
      {"rows top to bottom, whatever order they were picked in", {2, 0, 2, 7}, "a\tb\tc\r\nlast\r\n"},
      {"nothing selected", {}, ""},
  };
  for (const auto& c : cases) {
    ui_.SetClipboardText("untouched");
    viewer->SetSelectedRows(c.selection);
    // The frame's Copy goes to the active child.
    ASSERT_TRUE(Command(cmd::kCopy));
    loop_.RunPending();
    EXPECT_EQ(ui_.ClipboardText(), c.expected.empty() ? "untouched" : c.expected) << c.name;
  }

  ASSERT_TRUE(Command(cmd::kSelectAll));
  loop_.RunPending();
  EXPECT_EQ(viewer->SelectedRows(), (std::vector<std::size_t>{0, 1, 2}));
  viewer->Copy();
  EXPECT_EQ(ui_.ClipboardText(), "a\tb\tc\r\n1\t2\t3\t4\t5\r\nlast\r\n");
}

TEST_F(LogViewerTest, ClosingTakesTheViewAndThenTheWindowAway) {
  LogViewerWindow* viewer = OpenViewer(Write("close.log", "x\r"));
  ASSERT_NE(viewer, nullptr);
  const WindowId id = viewer->Id();
  viewer->Post(wm::kClose);
  loop_.RunPending();
  EXPECT_EQ(ui_.Closed(), std::vector<WindowId>{id});
  EXPECT_EQ(loop_.Find(id), nullptr);
}

TEST_F(LogViewerTest, OtherToolsShowAReadyText) {
  LogViewerWindow* viewer = log_->OpenTextViewer("Larch Register Dump", "R0\rR1\r");
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(LastOpened<LogViewerWindow>(), viewer);
  EXPECT_EQ(viewer->Table().columns, (std::vector<Column>{{"Larch Register Dump", 1000}}));
  EXPECT_EQ(viewer->Table().rows, (Rows{{"R0"}, {"R1"}}));
  EXPECT_TRUE(ui_.Asked().empty());

  // A user interface that cannot show it leaves nothing behind.
  ui_.SetOpenWindowResult(false);
  EXPECT_EQ(log_->OpenTextViewer("Tool", "x\r"), nullptr);
  ASSERT_EQ(ui_.Opened().size(), 2u);
  loop_.RunPending();
  EXPECT_EQ(loop_.Find(ui_.Opened().back().window), nullptr);
}

}  // namespace
}  // namespace kx7
