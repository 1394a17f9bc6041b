// The log's file dialogs open in the folder used last and remember the folder of the file the
// user chose (`LastFolder`).
#pragma once

#include <optional>
#include <string>

#include "frame/main_frame.h"
#include "platform/ui_host.h"

namespace kx7 {

// Shows the file dialog of `request` starting in `LastFolder` (unless the request names its own
// folder); the chosen path, or nothing when the user cancelled.
std::optional<std::string> ChooseFile(CMainFrame& frame, FileDialogRequest request);

}  // namespace kx7
