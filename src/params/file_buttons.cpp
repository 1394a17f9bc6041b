#include "params/file_buttons.h"

#include "log/file_choice.h"

namespace kx7 {

std::optional<std::string> ChooseParamFile(CMainFrame& frame, const FileKindDialog& kind, bool save) {
  FileDialogRequest request;
  request.save = save;
  request.title = kind.title;
  request.filter = kind.filter;
  request.defaultExtension = kind.defaultExtension;
  return ChooseFile(frame, request);
}

}  // namespace kx7
