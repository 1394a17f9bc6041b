#include "log/timed_log_dialog.h"

#include "log/log_constants.h"

namespace kx7 {

std::string TimedLogDialogModel::Title() const { return log_text::kTimedLogTitle; }

void TimedLogDialogModel::StartLogIfClosed() {
  if (!log_.Open()) log_.StartLog();
}

bool TimedLogDialogModel::OnOk() {
  log_.LimitTo(timeLimitMinutes);
  return true;
}

}  // namespace kx7
