#include "firmware/image_file_list.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kx7::firmware {
namespace {

// The extension with its dot: the name's last four characters.
constexpr std::size_t kExtensionLength = 4;

std::string Ending(const std::string& name) {
  return name.size() <= kExtensionLength ? name : name.substr(name.size() - kExtensionLength);
}

bool LessNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; }

}  // namespace

void ImageFileList::Choose(const std::string& path) {
  const std::filesystem::path chosen(path);
  folder_ = chosen.parent_path().string();
  const std::string name = chosen.filename().string();
  const std::string ending = Ending(name);
  names_.clear();
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder_.empty() ? "." : folder_, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string other = entry->path().filename().string();
    if (entry->is_regular_file(error) && strcasecmp(Ending(other).c_str(), ending.c_str()) == 0) names_.push_back(other);
  }
  if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
  // A stable sort, as the dialog's exchange sort is: names equal without case keep their order.
  std::stable_sort(names_.begin(), names_.end(), LessNoCase);
  current_ = static_cast<std::size_t>(std::find(names_.begin(), names_.end(), name) - names_.begin());
}

std::optional<std::string> ImageFileList::Previous() {
  if (names_.empty() || current_ == 0) return std::nullopt;
  --current_;
  return Current();
}

std::optional<std::string> ImageFileList::Next() {
  if (current_ + 1 >= names_.size()) return std::nullopt;
  ++current_;
  return Current();
}

std::string ImageFileList::Current() const {
  if (names_.empty()) return "";
  return folder_.empty() ? names_[current_] : (std::filesystem::path(folder_) / names_[current_]).string();
}

}  // namespace kx7::firmware
