// The editors' "Save File" and "Read File" buttons: the save or open dialog of a file kind, in the
// folder used last; the editor then writes or reads the chosen file.
#pragma once

#include <optional>
#include <string>

#include "frame/main_frame.h"

namespace kx7 {

struct FileKindDialog {
  const char* filter;
  const char* defaultExtension;
  const char* title = "";
};

// The chosen path, or nothing when the user cancelled.
std::optional<std::string> ChooseParamFile(CMainFrame& frame, const FileKindDialog& kind, bool save);

}  // namespace kx7
