// Reading and writing the parameter files as whole byte strings. A file is read completely (up to
// a bound) before anything looks at it, and written through a temporary file in the same folder
// that is renamed over the name only when all of it was written, so a failed write never leaves a
// half file or damages the one that was there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kx7 {

// The most bytes a parameter text file is read with; the Default Params file has its own bound.
inline constexpr std::size_t kParamFileReadLimit = 16u << 20;

// The file's bytes, at most `limit` of them; nothing when it cannot be opened or read.
std::optional<std::string> ReadParamFile(const std::string& path, std::size_t limit = kParamFileReadLimit);

// Writes `bytes` as the file `path`; false (and the old file untouched) when that fails.
bool WriteParamFile(const std::string& path, const std::string& bytes);

}  // namespace kx7
