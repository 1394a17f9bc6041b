// The log file: everything the terminal shows, as text (with its time stamps) or as the raw
// received bytes, appended to a file the user chooses; limited to some minutes on request; closed
// on request or when the program ends. Lives with the main frame; the terminal, the decoders and
// the diagnostic tools write through it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "frame/main_frame.h"

namespace kx7 {

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
  void SetTerminalSuppressed(bool suppressed) { terminalSuppressed_ = suppressed; }
  // Whether the terminal writes its text now: a log is open and the terminal is not suppressed.
  bool TakesTerminalText() const { return Open() && !terminalSuppressed_; }

  const std::string& CurrentName() const { return currentName_; }
  const std::string& LastName() const { return lastName_; }
  int MinutesLeft() const { return minutesLeft_; }

 private:
  CMainFrame& frame_;
  std::FILE* file_ = nullptr;
  std::string currentName_;
  std::string lastName_;
  bool rawMode_ = false;
  bool terminalSuppressed_ = false;
  int minutesLeft_ = 0;
};

}  // namespace kx7
