// The timed log dialog (command 33061): shows the open log's name with a "..." button that
// starts a log when none is open, and takes a time limit in minutes. OK with a limit above 0
// limits the log to that many minutes.
#pragma once

#include <string>

#include "log/log_constants.h"
#include "log/log_file.h"
#include "platform/ui_host.h"

namespace kx7 {

class TimedLogDialogModel : public DialogModel {
 public:
  explicit TimedLogDialogModel(LogFile& log) : log_(log) {}

  const char* Kind() const override { return kTimedLogDialogKind; }
  std::string Title() const override;

  // Opening the dialog, and "...": a log is started when none is open.
  void StartLogIfClosed();
  void Browse() { StartLogIfClosed(); }
  // What the "Log File" field shows: the open log's path, empty without one.
  std::string LogFileName() const { return log_.CurrentName(); }

  int timeLimitMinutes = 0;

  bool OnOk() override;

 private:
  LogFile& log_;
};

}  // namespace kx7
