// The log's texts and fixed values: the file dialogs, the Log Viewer's columns, the Replay
// dialog's buttons and defaults, and the minute timer of a timed log.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window_messages.h"

namespace kx7 {

// The names the user interfaces pick the views of the log's windows and dialog by.
inline constexpr const char* kLogViewerViewKind = "LogViewer";
inline constexpr const char* kReplayViewKind = "Replay";
inline constexpr const char* kTimedLogDialogKind = "TimedLog";

namespace log_text {
inline constexpr const char* kFailedToOpenFile = "Failed to open file!";

inline constexpr const char* kOpenLogTitle = "Open a Log File";
inline constexpr const char* kLogFilter = "Log Files (*.log)|*.log|All Files (*.*)|*.*||";
inline constexpr const char* kLogExtension = "log";
// The viewer's and the replay's file dialogs.
inline constexpr const char* kOpenFileTitle = "Open";

// The viewer also lists text files (and rotated logs such as "run.log.1").
inline constexpr const char* kViewerFilter = "Log Files (*.log;*.txt)|*.log*;*.txt|All Files (*.*)|*.*||";
inline constexpr const char* kViewerTitle = "Log Viewer";
inline constexpr const char* kColumnTitle = "Column %d";

inline constexpr const char* kReplayTitle = "Replay";
inline constexpr const char* kReplayTitlePrefix = "Replay - ";

inline constexpr const char* kTimedLogTitle = "Timed Log";
inline constexpr const char* kTimedLogFileLabel = "Log File";
inline constexpr const char* kTimedLogBrowse = "...";
inline constexpr const char* kTimedLogLimitLabel = "Time Limit ( Minutes )";
}  // namespace log_text

// One column holding whole lines, and the columns of a tab-separated file, in pixels.
inline constexpr int kViewerLineColumnWidth = 1000;
inline constexpr int kViewerFieldColumnWidth = 100;
// What a list cell holds; the rest of a longer field is dropped.
inline constexpr std::size_t kViewerMaxFieldLength = 1000;

// Timer 32 counts a timed log down once a minute.
inline constexpr std::uint32_t kTimedLogMinuteMs = 60000;
// The dialog's limit field takes up to this many minutes (about two years).
inline constexpr int kTimedLogMaxMinutes = 1000000;

// The Replay dialog's controls, as the view reports them in wm::kCommand.
namespace replay_button {
inline constexpr WParam kRun = 1;
inline constexpr WParam kSingleStep = 2;
inline constexpr WParam kRewind = 3;
inline constexpr WParam kStop = 4;
inline constexpr WParam kNewFile = 5;
inline constexpr WParam kQuit = 6;
}  // namespace replay_button

inline constexpr const char* kReplayRunText = "Run";
inline constexpr const char* kReplayStepText = "Single Step";
inline constexpr const char* kReplayRewindText = "Rewind";
inline constexpr const char* kReplayStopText = "Stop";
inline constexpr const char* kReplayNewFileText = "New File";
inline constexpr const char* kReplayQuitText = "Quit";
inline constexpr const char* kReplayRateText = "Rate (ms)";
inline constexpr const char* kReplayChunkText = "Chunk Size";

inline constexpr int kReplayDefaultRateMs = 1;
inline constexpr int kReplayDefaultChunk = 5;
// A tick needs a period and a chunk at least one byte long, or a run would never end.
inline constexpr int kReplayMinRateMs = 1;
inline constexpr int kReplayMaxRateMs = 3600000;
inline constexpr int kReplayMinChunk = 1;
inline constexpr int kReplayMaxChunk = 65536;
// The Replay window's own tick timer.
inline constexpr std::uint32_t kReplayTimer = 1;

}  // namespace kx7
