#include "platform/file_filter.h"

namespace kx7 {
namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// "Log Files (*.log;*.txt)" -> "Log Files": the toolkit reads its patterns from the parentheses,
// so the program's own pattern list there has to make way for the real one.
std::string WithoutPatternList(const std::string& description) {
  const std::string trimmed = Trimmed(description);
  if (trimmed.empty() || trimmed.back() != ')') return trimmed;
  const auto open = trimmed.rfind('(');
  if (open == std::string::npos) return trimmed;
  return Trimmed(trimmed.substr(0, open));
}

}  // namespace

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<FileFilter> filters;
  const std::string body = filter.substr(0, filter.find("||"));
  if (body.empty()) return filters;
  const std::vector<std::string> parts = Split(body, '|');
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    FileFilter entry;
    entry.description = Trimmed(parts[i]);
    for (const std::string& pattern : Split(parts[i + 1], ';')) {
      std::string trimmed = Trimmed(pattern);
      if (!trimmed.empty()) entry.patterns.push_back(std::move(trimmed));
    }
    if (!entry.patterns.empty()) filters.push_back(std::move(entry));
  }
  return filters;
}

std::vector<std::string> NameFilters(const std::vector<FileFilter>& filters) {
  std::vector<std::string> names;
  for (const FileFilter& entry : filters) {
    std::string patterns;
    for (const std::string& pattern : entry.patterns) {
      if (!patterns.empty()) patterns += ' ';
      patterns += pattern == "*.*" ? std::string("*") : pattern;
    }
    if (patterns.empty()) continue;
    const std::string name = WithoutPatternList(entry.description);
    names.push_back(name.empty() ? "(" + patterns + ")" : name + " (" + patterns + ")");
  }
  return names;
}

std::string JoinedNameFilters(const std::vector<FileFilter>& filters) {
  std::string joined;
  for (const std::string& name : NameFilters(filters)) {
    if (!joined.empty()) joined += ";;";
    joined += name;
  }
  return joined;
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  const std::string bare = !extension.empty() && extension.front() == '.' ? extension.substr(1) : extension;
  if (bare.empty()) return path;
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A leading dot names a hidden file; it is not an extension.
  if (name.empty() || name.find('.', 1) != std::string::npos) return path;
  return path + "." + bare;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  // Trailing slashes of the folder go; the root stays "/".
  std::size_t end = slash;
  while (end > 1 && path[end - 1] == '/') --end;
  if (end == 0) return std::string(1, '/');
  if (end > kMaxFolderLength) return {};
  return path.substr(0, end);
}

}  // namespace kx7
