#include "log_views.h"

#include "log_viewer_view.h"
#include "replay_view.h"
#include "timed_log_dialog.h"

namespace kx7 {

void RegisterLogViews() {
  RegisterLogViewerView();
  RegisterReplayView();
  RegisterTimedLogDialog();
}

}  // namespace kx7
