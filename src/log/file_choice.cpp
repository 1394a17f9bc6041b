#include "log/file_choice.h"

#include <algorithm>
#include <cstring>

#include "platform/file_filter.h"

namespace kx7 {

std::optional<std::string> ChooseFile(CMainFrame& frame, FileDialogRequest request) {
  OptionsBlock& options = frame.settings.Options;
  if (request.initialFolder.empty()) {
    const char* begin = options.LastFolder;
    request.initialFolder.assign(begin, std::find(begin, begin + sizeof options.LastFolder, '\0'));
  }
  std::optional<std::string> chosen = frame.Ui().FileDialog(request);
  if (!chosen) return chosen;
  // A folder too long for the setting is not recorded (FolderOf gives nothing then).
  const std::string folder = FolderOf(*chosen);
  if (!folder.empty()) {
    std::fill(std::begin(options.LastFolder), std::end(options.LastFolder), '\0');
    std::memcpy(options.LastFolder, folder.data(), std::min(folder.size(), sizeof options.LastFolder - 1));
  }
  return chosen;
}

}  // namespace kx7
