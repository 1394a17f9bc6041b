// File dialog filters as the program writes them ("Log Files (*.log)|*.log|All Files (*.*)|*.*||"),
// the forms a toolkit's file dialog takes, and the folder bookkeeping of the dialogs.
#pragma once

#include <string>
#include <vector>

namespace kx7 {

struct FileFilter {
  std::string description;            // "Log Files (*.log)"
  std::vector<std::string> patterns;  // "*.log"
  bool operator==(const FileFilter&) const = default;
};

// Pairs of description and ';'-separated patterns, up to the closing "||". A malformed string
// yields the pairs that are complete; a pair without any pattern is left out.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

// One "Description (pattern pattern)" entry per filter, the form toolkits match against: the
// patterns in parentheses are the ones that really apply (the program's descriptions sometimes
// show fewer than the filter holds), and "*.*" becomes "*" so that files without an extension
// are listed, as they are on the desktop the program comes from.
std::vector<std::string> NameFilters(const std::vector<FileFilter>& filters);
// The entries of NameFilters joined with ";;".
std::string JoinedNameFilters(const std::vector<FileFilter>& filters);

// `path` with ".extension" appended when its file name has no extension of its own.
// `extension` may be given with or without its dot; an empty one leaves the path alone.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

// The folder of a chosen file, for `LastFolder`. The setting holds 255 bytes and a terminating
// NUL; a longer folder cannot be stored whole and a cut one would point somewhere else, so it is
// not recorded: the result is empty, as it is for a bare file name.
std::string FolderOf(const std::string& path);

inline constexpr std::size_t kMaxFolderLength = 255;

}  // namespace kx7
