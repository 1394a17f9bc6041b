#include "log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "log/log_constants.h"
#include "log/log_fixture.h"
#include "log/timed_log_dialog.h"

namespace kx7 {
namespace {

using LogFileTest = LogFixture;

TEST_F(LogFileTest, TwoStartsIntoOneFileAppend) {
  const std::string path = Write("session.log", "earlier\r");
  for (const char* text : {"first\r", "second\r"}) {
    ui_.ExpectFile(path);
    ASSERT_TRUE(Command(cmd::kToggleLogging));
    ASSERT_TRUE(log_->Open()) << ui_.Report();
    EXPECT_EQ(log_->CurrentName(), path);
    log_->WriteLog(text);
    ASSERT_TRUE(Command(cmd::kToggleLogging));
    EXPECT_FALSE(log_->Open());
  }
  EXPECT_EQ(Read(path), "earlier\rfirst\rsecond\r");
  EXPECT_TRUE(log_->CurrentName().empty());
  EXPECT_EQ(log_->LastName(), path);

  // The question the user was asked.
  ASSERT_FALSE(ui_.Asked().empty());
  const FileDialogRequest& request = ui_.Asked().front().file;
  EXPECT_EQ(request.title, "Open a Log File");
  EXPECT_EQ(request.filter, "Log Files (*.log)|*.log|All Files (*.*)|*.*||");
  EXPECT_EQ(request.defaultExtension, "log");
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

TEST_F(LogFileTest, TheStatusBarShowsLogWhileALogIsOpen) {
  ui_.ExpectFile(PathOf("status.log"));
  log_->StartLog();
  frame_->UpdateStatusPanes();
  EXPECT_TRUE(frame_->logFileOpen);
  EXPECT_EQ(frame_->StatusText(pane::kLog), "LOG");
  log_->StopLog();
  frame_->UpdateStatusPanes();
  EXPECT_FALSE(frame_->logFileOpen);
  EXPECT_EQ(frame_->StatusText(pane::kLog), "");
}

TEST_F(LogFileTest, StartingWhileALogIsOpenAsksNothing) {
  ui_.ExpectFile(PathOf("one.log"));
  ASSERT_TRUE(log_->StartLog());
  EXPECT_TRUE(log_->StartLog());
  EXPECT_TRUE(log_->ReopenLastLog());
  EXPECT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(log_->CurrentName(), PathOf("one.log"));
}

TEST_F(LogFileTest, CancellingTheFileDialogLeavesTheLogClosed) {
  ui_.ExpectFile(std::nullopt);
  EXPECT_FALSE(log_->StartLog());
  EXPECT_FALSE(log_->Open());
  EXPECT_FALSE(frame_->logFileOpen);
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

TEST_F(LogFileTest, LogLinefeedsEndEveryLineWithCrLfAndNeverDoubleTheLf) {
  const struct {
    const char* name;
    int logLinefeeds;
    std::vector<std::string> texts;
    std::string expected;
  } cases[] = {
      {"off: a line as the terminal ends it", 0, {"line\r"}, "line\r"},
      {"off: CR LF stays", 0, {"a\r\n"}, "a\r\n"},
      {"on: text plus CR", 1, {"line\r"}, "line\r\n"},
      {"on: text ending with CR LF", 1, {"line\r\n"}, "line\r\n"},
      {"on: several lines", 1, {"a\rb\r\nc"}, "a\r\nb\r\nc"},
      {"on: CR and its LF written apart", 1, {"line\r", "\n", "next\r"}, "line\r\nnext\r\n"},
      {"on: a LF of its own", 1, {"x\n"}, "x\n"},
      {"on: a LF after other text", 1, {"x\r", "y", "\n"}, "x\r\ny\n"},
      {"on: empty lines", 1, {"\r\r\n"}, "\r\n\r\n"},
  };
  int index = 0;
  for (const auto& c : cases) {
    frame_->settings.Options.LogLinefeeds = c.logLinefeeds;
    const std::string path = PathOf("lf" + std::to_string(index++) + ".log");
    ui_.ExpectFile(path);
    ASSERT_TRUE(log_->StartLog()) << c.name;
    for (const std::string& text : c.texts) log_->WriteLog(text);
    log_->StopLog();
    EXPECT_EQ(Read(path), c.expected) << c.name;
  }
}

TEST_F(LogFileTest, WritingWithoutALogDoesNothing) {
  log_->WriteLog("nowhere\r");
  log_->WriteLogByte(0x41);
  EXPECT_TRUE(ui_.Asked().empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

TEST_F(LogFileTest, AFileThatCannotBeOpenedIsReported) {
  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"a folder", folder_.string()},
      {"in a folder that is not there", PathOf("missing/x.log")},
  };
  for (const auto& c : cases) {
    ui_.ExpectFile(c.path);
    ui_.ExpectMessage("Failed to open file!", Answer::kOk);
    EXPECT_FALSE(log_->StartLog()) << c.name;
    EXPECT_FALSE(log_->Open()) << c.name;
    EXPECT_FALSE(frame_->logFileOpen) << c.name;
    EXPECT_TRUE(log_->CurrentName().empty()) << c.name;
    EXPECT_TRUE(ui_.AllConsumed()) << c.name << ui_.Report();
  }
}

TEST_F(LogFileTest, ReopeningTheLastLogAsksOnlyWhenThereIsNone) {
  const std::string path = PathOf("again.log");
  // No last log yet: it is asked for.
  ui_.ExpectFile(path);
  ASSERT_TRUE(log_->ReopenLastLog());
  log_->WriteLog("one\r");
  log_->StopLog();
  // Now it opens without a question and appends.
  ASSERT_TRUE(log_->ReopenLastLog());
  log_->WriteLog("two\r");
  log_->StopLog();
  EXPECT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(Read(path), "one\rtwo\r");

  // The last log went away with its folder.
  std::filesystem::create_directories(folder_ / "gone");
  ui_.ExpectFile(PathOf("gone/x.log"));
  ASSERT_TRUE(log_->StartLog());
  log_->StopLog();
  std::filesystem::remove_all(folder_ / "gone");
  ui_.ExpectMessage("Failed to open file!", Answer::kOk);
  EXPECT_FALSE(log_->ReopenLastLog());
  EXPECT_FALSE(log_->Open());
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

TEST_F(LogFileTest, ARawLogTakesTheBytesAsReceivedAndEndsWithTheLog) {
  frame_->settings.Options.LogLinefeeds = 1;
  const std::string path = PathOf("raw.log");
  ui_.ExpectFile(path);
  ASSERT_TRUE(Command(cmd::kRawLog));
  EXPECT_TRUE(log_->Open());
  EXPECT_TRUE(log_->RawMode());
  EXPECT_TRUE(log_->TerminalSuppressed());
  EXPECT_FALSE(log_->TakesTerminalText());
  for (const std::uint8_t byte : {0x0D, 0x00, 0xFF, 0x0A}) log_->WriteLogByte(byte);
  ASSERT_TRUE(Command(cmd::kToggleLogging));
  EXPECT_EQ(Read(path), std::string("\r\0\xFF\n", 4));
  EXPECT_FALSE(log_->RawMode());

  // The next plain log takes the terminal's text again.
  EXPECT_FALSE(log_->TerminalSuppressed());
  ui_.ExpectFile(PathOf("text.log"));
  ASSERT_TRUE(Command(cmd::kToggleLogging));
  EXPECT_FALSE(log_->RawMode());
  EXPECT_TRUE(log_->TakesTerminalText());
  log_->StopLog();

  // Cancelling the raw log's file dialog changes nothing.
  ui_.ExpectFile(std::nullopt);
  ASSERT_TRUE(Command(cmd::kRawLog));
  EXPECT_FALSE(log_->RawMode());
  EXPECT_FALSE(log_->TerminalSuppressed());
}

TEST_F(LogFileTest, AToolsSuppressionOutlastsTheLog) {
  log_->SetTerminalSuppressed(true);
  ui_.ExpectFile(PathOf("tool.log"));
  ASSERT_TRUE(log_->StartLog());
  EXPECT_FALSE(log_->TakesTerminalText());
  log_->StopLog();
  EXPECT_TRUE(log_->TerminalSuppressed());

  // A tool that takes the flag over during a raw log keeps it too.
  log_->SetTerminalSuppressed(false);
  ui_.ExpectFile(PathOf("raw.log"));
  ASSERT_TRUE(Command(cmd::kRawLog));
  log_->SetTerminalSuppressed(true);
  log_->StopLog();
  EXPECT_TRUE(log_->TerminalSuppressed());
}

TEST_F(LogFileTest, TimedAndRawLogsNeedTheLogClosedTheOthersAreAlwaysThere) {
  const struct {
    std::uint32_t id;
    bool withoutLog;
    bool withLog;
  } cases[] = {
      {cmd::kToggleLogging, true, true}, {cmd::kViewLogFile, true, true}, {cmd::kReplayLog, true, true},
      {cmd::kTimedLog, true, false},     {cmd::kRawLog, true, false},     {cmd::kCloseLogFile, false, false},
  };
  for (const auto& c : cases) EXPECT_EQ(Enabled(c.id), c.withoutLog) << c.id;
  ui_.ExpectFile(PathOf("open.log"));
  ASSERT_TRUE(log_->StartLog());
  for (const auto& c : cases) EXPECT_EQ(Enabled(c.id), c.withLog) << c.id;
  // Disabled is disabled, whoever sends it: no second log, no change of mode.
  EXPECT_FALSE(Command(cmd::kRawLog));
  EXPECT_FALSE(Command(cmd::kTimedLog));
  EXPECT_FALSE(log_->RawMode());
  EXPECT_EQ(ui_.Asked().size(), 1u);
  for (const auto& c : cases) EXPECT_FALSE(frame_->UpdateCommand(c.id).checked) << c.id;
}

TEST_F(LogFileTest, ATimedLogStopsAfterItsLimit) {
  for (const int minutes : {1, 3}) {
    const std::string path = PathOf("timed" + std::to_string(minutes) + ".log");
    ui_.ExpectFile(path);
    ui_.ExpectDialog("TimedLog", [&](DialogModel& model) {
      auto& dialog = dynamic_cast<TimedLogDialogModel&>(model);
      // The log was started when the dialog opened, and the dialog shows it.
      EXPECT_EQ(dialog.LogFileName(), path);
      dialog.timeLimitMinutes = minutes;
      return true;
    });
    ASSERT_TRUE(Command(cmd::kTimedLog));
    ASSERT_TRUE(ui_.AllConsumed()) << ui_.Report();
    ASSERT_TRUE(log_->Open());
    EXPECT_EQ(log_->MinutesLeft(), minutes - 1);
    const std::uint64_t started = loop_.Now();
    loop_.Advance(static_cast<std::uint64_t>(minutes) * 60000 - 1);
    EXPECT_TRUE(log_->Open()) << minutes;
    loop_.Advance(1);
    EXPECT_FALSE(log_->Open()) << minutes;
    EXPECT_EQ(loop_.Now() - started, static_cast<std::uint64_t>(minutes) * 60000);
    EXPECT_FALSE(loop_.HasTimer(frame_->Id(), timer::kTimedLog));
  }
}

TEST_F(LogFileTest, TheTimedLogDialogWithoutALimitLeavesAPlainLog) {
  const struct {
    const char* name;
    int limit;
    bool ok;
  } cases[] = {{"OK with 0", 0, true}, {"OK with -5", -5, true}, {"Cancel with 2", 2, false}};
  for (const auto& c : cases) {
    ui_.ExpectFile(PathOf("plain.log"));
    ui_.ExpectDialog("TimedLog", [&](DialogModel& model) {
      dynamic_cast<TimedLogDialogModel&>(model).timeLimitMinutes = c.limit;
      return c.ok;
    });
    ASSERT_TRUE(Command(cmd::kTimedLog)) << c.name;
    // The log started with the dialog stays open, without a limit.
    EXPECT_TRUE(log_->Open()) << c.name;
    EXPECT_FALSE(loop_.HasTimer(frame_->Id(), timer::kTimedLog)) << c.name;
    loop_.Advance(10 * 60000);
    EXPECT_TRUE(log_->Open()) << c.name;
    log_->StopLog();
  }
}

TEST_F(LogFileTest, TheBrowseButtonStartsALogWhenNoneIsOpen) {
  const std::string path = PathOf("browsed.log");
  ui_.ExpectFile(std::nullopt);  // cancelled when the dialog opened
  ui_.ExpectDialog("TimedLog", [&](DialogModel& model) {
    auto& dialog = dynamic_cast<TimedLogDialogModel&>(model);
    EXPECT_EQ(dialog.LogFileName(), "");
    ui_.ExpectFile(path);
    dialog.Browse();
    EXPECT_EQ(dialog.LogFileName(), path);
    // With a log open "..." asks nothing more.
    dialog.Browse();
    dialog.timeLimitMinutes = 2;
    return true;
  });
  ASSERT_TRUE(Command(cmd::kTimedLog));
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(log_->MinutesLeft(), 1);
  EXPECT_TRUE(loop_.HasTimer(frame_->Id(), timer::kTimedLog));
}

TEST_F(LogFileTest, ALimitWithoutALogStartsNoTimer) {
  ui_.ExpectFile(std::nullopt);
  ui_.ExpectDialog("TimedLog", [](DialogModel& model) {
    dynamic_cast<TimedLogDialogModel&>(model).timeLimitMinutes = 5;
    return true;
  });
  ASSERT_TRUE(Command(cmd::kTimedLog));
  EXPECT_FALSE(log_->Open());
  EXPECT_FALSE(loop_.HasTimer(frame_->Id(), timer::kTimedLog));
}

TEST_F(LogFileTest, StoppingATimedLogByHandEndsItsCountdown) {
  ui_.ExpectFile(PathOf("hand.log"));
  ASSERT_TRUE(log_->StartLog());
  log_->LimitTo(5);
  loop_.Advance(60000);
  EXPECT_EQ(log_->MinutesLeft(), 3);
  ASSERT_TRUE(Command(cmd::kToggleLogging));
  EXPECT_FALSE(loop_.HasTimer(frame_->Id(), timer::kTimedLog));
  // A log opened later is not cut short by the old limit.
  ASSERT_TRUE(log_->ReopenLastLog());
  loop_.Advance(10 * 60000);
  EXPECT_TRUE(log_->Open());
}

TEST_F(LogFileTest, ClosingTheProgramClosesTheLog) {
  const std::string path = PathOf("closing.log");
  ui_.ExpectFile(path);
  ASSERT_TRUE(log_->StartLog());
  log_->WriteLog("last words\r");
  loop_.Send(frame_->Id(), wm::kClose);
  ASSERT_TRUE(frame_->Closed());
  EXPECT_FALSE(log_->Open());
  EXPECT_FALSE(frame_->logFileOpen);
  EXPECT_EQ(Read(path), "last words\r");
}

TEST_F(LogFileTest, FileDialogsStartInTheLastFolderAndRememberTheChosenOne) {
  std::filesystem::create_directories(folder_ / "logs");
  const std::string path = PathOf("logs/a.log");
  ui_.ExpectFile(path);
  ASSERT_TRUE(log_->StartLog());
  log_->StopLog();
  EXPECT_EQ(std::string(frame_->settings.Options.LastFolder), (folder_ / "logs").string());
  ui_.ExpectFile(std::nullopt);
  ASSERT_TRUE(Command(cmd::kViewLogFile));
  ASSERT_EQ(ui_.Asked().size(), 2u);
  EXPECT_EQ(ui_.Asked().back().file.initialFolder, (folder_ / "logs").string());
}

}  // namespace
}  // namespace kx7
