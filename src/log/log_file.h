// The log file: everything the terminal shows, as text (with its time stamps) or as the raw
// received bytes, appended to a file the user chooses; limited to some minutes on request; closed
// on request or when the program ends. Lives with the main frame; the terminal, the decoders and
// the diagnostic tools write through it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "frame/main_frame.h"

namespace kx7 {

class LogViewerWindow;
class ReplayWindow;

class LogFile {
 public:
  explicit LogFile(CMainFrame& frame);  // registers the logging commands and timer 32
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Asks for a file ("Open a Log File") and opens it for appending; true when a log is open after.
  bool StartLog();
  // Opens the last log again without asking; StartLog when there is none.
  bool ReopenLastLog();
  void StopLog();
  // Text as the terminal shows it; with LogLinefeeds every line ends with CR LF.
  void WriteLog(std::string_view text);
  void WriteLogByte(std::uint8_t byte);

  bool Open() const { return file_ != nullptr; }
  bool RawMode() const { return rawMode_; }
  // Tools that write the log themselves keep the terminal's text out of it.
  bool TerminalSuppressed() const { return terminalSuppressed_; }
  // From then on the flag is the tool's: it no longer ends with a raw log.
  void SetTerminalSuppressed(bool suppressed) {
    terminalSuppressed_ = suppressed;
    rawSuppressed_ = false;
  }
  // Whether the terminal writes its text now: a log is open and the terminal is not suppressed.
  bool TakesTerminalText() const { return Open() && !terminalSuppressed_; }

  const std::string& CurrentName() const { return currentName_; }
  const std::string& LastName() const { return lastName_; }
  int MinutesLeft() const { return minutesLeft_; }

  // Limits the open log to `minutes` (more than 0): timer 32 stops it after that many minutes.
  // Nothing happens without an open log or with a limit of 0 or less.
  void LimitTo(int minutes);

  // Command 33054: asks for a file and shows it in a new Log Viewer; nullptr when the user
  // cancelled or the file could not be read.
  LogViewerWindow* OpenLogViewer();
  // For other tools: a Log Viewer of a ready text, cut at CR into rows of one column titled
  // `title`; nullptr when the user interface could not show it.
  LogViewerWindow* OpenTextViewer(const std::string& title, const std::string& text);
  // Command 33055: the Replay dialog, made when none is open and brought forward otherwise.
  ReplayWindow* OpenReplay();
  // The open Replay dialog, or nullptr.
  ReplayWindow* Replay() const;

 private:
  class Windows;

  void RegisterCommands();
  void OnMinuteTimer();
  bool OpenFile(const std::string& name);
  void RunTimedLogDialog();
  void ShowOpenState();

  CMainFrame& frame_;
  // The viewers and the Replay dialog.
  std::unique_ptr<Windows> windows_;
  std::FILE* file_ = nullptr;
  std::string currentName_;
  std::string lastName_;
  bool rawMode_ = false;
  bool terminalSuppressed_ = false;
  int minutesLeft_ = 0;
  // Raw mode set the terminal-suppress flag; it ends with raw mode.
  bool rawSuppressed_ = false;
  // With LogLinefeeds, the text written last ended with a CR (written as CR LF): a LF that comes
  // next, at the start of the next text, is that CR's own.
  bool afterCr_ = false;
};

// Makes the log file for the frame and hands it over: the frame keeps it as one of its
// subsystems, and frame.logFile points at it.
LogFile& InstallLogging(CMainFrame& frame);

}  // namespace kx7
