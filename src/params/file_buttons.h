// The editors' "Save File" and "Read File" buttons: the save or open dialog of a file kind, in the
// folder used last; the editor then writes or reads the chosen file.
#pragma once

#include <optional>
#include <string>

#include "frame/main_frame.h"
#include "params/param_file_io.h"

namespace kx7 {

struct FileKindDialog {
  const char* filter;
  const char* defaultExtension;
  const char* title = "";
};

// The chosen path, or nothing when the user cancelled.
std::optional<std::string> ChooseParamFile(CMainFrame& frame, const FileKindDialog& kind, bool save);

// The file's bytes; "Failed to open file!" and nothing when it cannot be read.
std::optional<std::string> ReadParamFileOrSay(const std::string& path, UiHost& ui,
                                              std::size_t limit = kParamFileReadLimit);
// Writes the file; "Failed to open file!" and false when that fails.
bool WriteParamFileOrSay(const std::string& path, const std::string& bytes, UiHost& ui);

}  // namespace kx7
