#include "params/param_file_io.h"

#include "platform/file_bytes.h"

namespace kx7 {

std::optional<std::string> ReadParamFile(const std::string& path, std::size_t limit) {
  std::optional<FileBytes> file = ReadFileBytes(path, limit);
  if (!file) return std::nullopt;
  // A longer file is read to the bound; its readers refuse what does not fit.
  return std::move(file->bytes);
}

bool WriteParamFile(const std::string& path, const std::string& bytes) { return WriteFileBytes(path, bytes); }

}  // namespace kx7
