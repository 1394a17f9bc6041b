#include "params/block8_file.h"

#include "params/file_lines.h"
#include "params/params_constants.h"

namespace kx7 {

namespace {

constexpr unsigned kMostValue = 65535;

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string WriteBlock8File(const std::vector<std::uint16_t>& values) {
  std::string file;
  for (const std::uint16_t value : values) file += std::to_string(value) + "\r\n";
  return file;
}

Block8FileCheck ReadBlock8File(const std::string& text) {
  Block8FileCheck check;
  const std::vector<std::string_view> lines = SplitFileLines(text);
  for (std::size_t row = 0; row < block::kBlock8Values; ++row) {
    if (row >= lines.size()) {
      check.error = "UnexpectedEOF";
      return check;
    }
    std::string_view line = lines[row];
    while (!line.empty() && IsBlankOrTab(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlankOrTab(line.back())) line.remove_suffix(1);
    unsigned value = 0;
    bool good = !line.empty();
    for (const char c : line) {
      if (c < '0' || c > '9') {
        good = false;
        break;
      }
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > kMostValue) {
        good = false;
        break;
      }
    }
    if (!good) {
      check.error = "Value";
      return check;
    }
    check.values.push_back(static_cast<std::uint16_t>(value));
  }
  return check;
}

std::vector<std::uint16_t> Block8Values(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint16_t> values(block::kBlock8Values, 0);
  for (std::size_t i = 0; i < values.size() && 2 * i + 1 < bytes.size(); ++i)
    values[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return values;
}

std::vector<std::uint8_t> Block8Bytes(const std::vector<std::uint16_t>& values) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * values.size());
  for (const std::uint16_t value : values) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  return bytes;
}

}  // namespace kx7
