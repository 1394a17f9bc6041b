// Whole files in and out: read at most a bound (so a huge file never fills memory), and written
// through a temporary file and a rename, so a failed write never leaves or replaces a file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kx7 {

struct FileBytes {
  std::string bytes;
  bool tooLarge = false;  // the file holds more than the bound; `bytes` holds the bound's worth
};

// Nothing when the file cannot be opened or read.
std::optional<FileBytes> ReadFileBytes(const std::string& path, std::size_t most);

// Writes `bytes` to a temporary file beside `path` and renames it to `path`; false (and no file
// changed) when any step fails.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace kx7
