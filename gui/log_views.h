// The views of the log's windows and dialogs: the Log Viewer, the Replay dialog and the timed
// log dialog.
#pragma once

namespace kx7 {

// Registers every one of them; called once at start-up, before the frame opens any.
void RegisterLogViews();

}  // namespace kx7
