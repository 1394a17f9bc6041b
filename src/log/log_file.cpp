#include "log/log_file.h"

#include <algorithm>
#include <vector>

#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "log/file_choice.h"
#include "log/log_constants.h"
#include "log/log_viewer.h"
#include "log/replay.h"
#include "log/timed_log_dialog.h"

namespace kx7 {

// Owns the viewers and the Replay dialog. A window that closed is let go on a message of its own
// rather than at once: its close may be running under one of its own handlers.
class LogFile::Windows : public Window {
 public:
  explicit Windows(CMainFrame& frame) : Window(frame.Loop()), frame_(frame) {}

  LResult OnMessage(MessageId message, WParam, LParam) override {
    if (message == kSweep) Sweep();
    return 0;
  }

  LogViewerWindow& AddViewer() { return Add(std::make_unique<LogViewerWindow>(frame_)); }

  ReplayWindow& AddReplay() {
    ReplayWindow& replay = Add(std::make_unique<ReplayWindow>(frame_));
    replay_ = &replay;
    return replay;
  }

  ReplayWindow* Replay() const { return replay_; }

 private:
  static constexpr MessageId kSweep = wm::kUser + 1;

  struct Entry {
    std::unique_ptr<Window> window;
    bool closed = false;
  };

  template <class Kind>
  Kind& Add(std::unique_ptr<Kind> window) {
    Kind& added = *window;
    added.onClosed = [this, id = added.Id()] { Closed(id); };
    entries_.push_back({std::move(window)});
    return added;
  }

  void Closed(WindowId id) {
    for (Entry& entry : entries_)
      if (entry.window->Id() == id) entry.closed = true;
    if (replay_ != nullptr && replay_->Id() == id) replay_ = nullptr;
    Post(kSweep);
  }

  void Sweep() {
    std::erase_if(entries_, [](const Entry& entry) { return entry.closed; });
  }

  CMainFrame& frame_;
  std::vector<Entry> entries_;
  ReplayWindow* replay_ = nullptr;
};

LogFile::LogFile(CMainFrame& frame) : frame_(frame), windows_(std::make_unique<Windows>(frame)) {
  RegisterCommands();
  frame_.timerHandlers[timer::kTimedLog] = [this] { OnMinuteTimer(); };
  frame_.stopLogging = [this] { StopLog(); };
}

LogFile::~LogFile() {
  windows_.reset();
  // The program is going: the file is closed without a word.
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  frame_.KillTimer(timer::kTimedLog);
  frame_.timerHandlers.erase(timer::kTimedLog);
  frame_.stopLogging = nullptr;
  frame_.logFileOpen = false;
  if (frame_.logFile == this) frame_.logFile = nullptr;
}

// --- Opening and closing -------------------------------------------------------------------

bool LogFile::StartLog() {
  if (Open()) return true;
  FileDialogRequest request;
  // A new log may be named here; an existing one is appended to.
  request.save = true;
  request.title = log_text::kOpenLogTitle;
  request.filter = log_text::kLogFilter;
  request.defaultExtension = log_text::kLogExtension;
  const std::optional<std::string> path = ChooseFile(frame_, request);
  if (!path) return false;
  return OpenFile(*path);
}

bool LogFile::ReopenLastLog() {
  if (Open()) return true;
  if (lastName_.empty()) return StartLog();
  return OpenFile(lastName_);
}

bool LogFile::OpenFile(const std::string& name) {
  file_ = std::fopen(name.c_str(), "ab");
  if (file_ == nullptr) {
    ShowMessage(frame_.Ui(), log_text::kFailedToOpenFile);
    currentName_.clear();
    ShowOpenState();
    return false;
  }
  std::fseek(file_, 0, SEEK_END);
  currentName_ = name;
  lastName_ = name;
  afterCr_ = false;
  ShowOpenState();
  return true;
}

void LogFile::StopLog() {
  frame_.KillTimer(timer::kTimedLog);
  minutesLeft_ = 0;
  if (file_ != nullptr) {
    std::fflush(file_);
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!currentName_.empty()) lastName_ = currentName_;
  currentName_.clear();
  rawMode_ = false;
  // The suppression a raw log brought ends with it; a tool's own stays until the tool ends it.
  if (rawSuppressed_) terminalSuppressed_ = false;
  rawSuppressed_ = false;
  afterCr_ = false;
  ShowOpenState();
}

void LogFile::ShowOpenState() {
  frame_.logFileOpen = Open();
  frame_.Ui().Invalidate(frame_.Id());
}

// --- Writing -------------------------------------------------------------------------------

void LogFile::WriteLog(std::string_view text) {
  if (file_ == nullptr || text.empty()) return;
  if (frame_.settings.Options.LogLinefeeds == 0) {
    std::fwrite(text.data(), 1, text.size(), file_);
    afterCr_ = false;
    return;
  }
  // Every CR LF becomes CR and then every CR becomes CR LF, over the log as a whole: the
  // terminal writes a line's CR and the LF that follows it as two texts.
  std::string converted;
  converted.reserve(text.size() + text.size() / 8 + 2);
  for (const char c : text) {
    if (c == '\n' && afterCr_) {
      afterCr_ = false;
      continue;
    }
    afterCr_ = c == '\r';
    converted += c;
    if (afterCr_) converted += '\n';
  }
  std::fwrite(converted.data(), 1, converted.size(), file_);
}

void LogFile::WriteLogByte(std::uint8_t byte) {
  if (file_ == nullptr) return;
  std::fputc(byte, file_);
  afterCr_ = false;
}

// --- Timed log -----------------------------------------------------------------------------

void LogFile::LimitTo(int minutes) {
  if (!Open() || minutes <= 0) return;
  minutesLeft_ = minutes - 1;
  frame_.SetTimer(timer::kTimedLog, kTimedLogMinuteMs);
}

void LogFile::OnMinuteTimer() {
  // Without a log there is nothing left to count down for.
  if (!Open()) {
    frame_.KillTimer(timer::kTimedLog);
    minutesLeft_ = 0;
    return;
  }
  if (minutesLeft_ <= 0) {
    StopLog();
    return;
  }
  frame_.SetTimer(timer::kTimedLog, kTimedLogMinuteMs);
  --minutesLeft_;
}

void LogFile::RunTimedLogDialog() {
  TimedLogDialogModel dialog(*this);
  dialog.StartLogIfClosed();
  frame_.Ui().RunDialog(dialog);
}

// --- Windows -------------------------------------------------------------------------------

LogViewerWindow* LogFile::OpenLogViewer() {
  LogViewerWindow& viewer = windows_->AddViewer();
  if (!viewer.ChooseAndLoad() || !viewer.Show()) {
    viewer.Close();
    return nullptr;
  }
  return &viewer;
}

LogViewerWindow* LogFile::OpenTextViewer(const std::string& title, const std::string& text) {
  LogViewerWindow& viewer = windows_->AddViewer();
  viewer.SetTable(LogTableOfText(text, title));
  if (!viewer.Show()) {
    viewer.Close();
    return nullptr;
  }
  return &viewer;
}

ReplayWindow* LogFile::OpenReplay() {
  if (ReplayWindow* open = windows_->Replay()) {
    open->Show();
    return open;
  }
  ReplayWindow& replay = windows_->AddReplay();
  if (!replay.Show()) {
    replay.Close();
    return nullptr;
  }
  return &replay;
}

ReplayWindow* LogFile::Replay() const { return windows_->Replay(); }

// --- Commands ------------------------------------------------------------------------------

void LogFile::RegisterCommands() {
  const auto always = [](std::uint32_t) { return CommandState{true, false}; };
  // A timed or raw log is a new log: there must be none open.
  const auto withoutLog = [this](std::uint32_t) { return CommandState{!Open(), false}; };
  frame_.RegisterCommands(
      cmd::kToggleLogging, cmd::kToggleLogging,
      [this](std::uint32_t) {
        if (Open())
          StopLog();
        else
          StartLog();
      },
      always);
  frame_.RegisterCommands(
      cmd::kViewLogFile, cmd::kViewLogFile, [this](std::uint32_t) { OpenLogViewer(); }, always);
  frame_.RegisterCommands(
      cmd::kReplayLog, cmd::kReplayLog, [this](std::uint32_t) { OpenReplay(); }, always);
  frame_.RegisterCommands(
      cmd::kTimedLog, cmd::kTimedLog, [this](std::uint32_t) { RunTimedLogDialog(); }, withoutLog);
  frame_.RegisterCommands(
      cmd::kRawLog, cmd::kRawLog,
      [this](std::uint32_t) {
        if (!StartLog()) return;
        rawMode_ = true;
        terminalSuppressed_ = true;
        rawSuppressed_ = true;
      },
      withoutLog);
  // "Close log file" has a name but no action; nothing offers it, so it stays disabled.
  frame_.RegisterCommands(
      cmd::kCloseLogFile, cmd::kCloseLogFile, [](std::uint32_t) {},
      [](std::uint32_t) {
        return CommandState{false, false};
      });
}

LogFile& InstallLogging(CMainFrame& frame) {
  LogFile& installed = frame.MakeSubsystem<LogFile>(frame);
  frame.logFile = &installed;
  return installed;
}

}  // namespace kx7
