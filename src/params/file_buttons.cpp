#include "params/file_buttons.h"

#include "log/file_choice.h"
#include "params/params_constants.h"

namespace kx7 {

std::optional<std::string> ChooseParamFile(CMainFrame& frame, const FileKindDialog& kind, bool save) {
  FileDialogRequest request;
  request.save = save;
  request.title = kind.title;
  request.filter = kind.filter;
  request.defaultExtension = kind.defaultExtension;
  return ChooseFile(frame, request);
}

std::optional<std::string> ReadParamFileOrSay(const std::string& path, UiHost& ui, std::size_t limit) {
  std::optional<std::string> bytes = ReadParamFile(path, limit);
  if (!bytes) ShowMessage(ui, text::kFailedToOpenFile);
  return bytes;
}

bool WriteParamFileOrSay(const std::string& path, const std::string& bytes, UiHost& ui) {
  if (WriteParamFile(path, bytes)) return true;
  ShowMessage(ui, text::kFailedToOpenFile);
  return false;
}

}  // namespace kx7
