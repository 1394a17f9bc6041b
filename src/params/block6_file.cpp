#include "params/block6_file.h"

#include <cstdio>

#include "params/file_lines.h"

namespace kx7 {

namespace {

constexpr std::size_t kHeaderLength = 7;  // "HH LL S"
constexpr unsigned kMostValue = 255;

// Decimal digits only, at most `most`; nothing otherwise.
std::optional<unsigned> DecimalValue(std::string_view text, unsigned most) {
  if (text.empty()) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > most) return std::nullopt;
  }
  return value;
}

}  // namespace

std::string WriteBlock6File(const std::vector<std::uint8_t>& bytes, const std::vector<std::string>& names,
                            char status) {
  char line[64];
  std::snprintf(line, sizeof line, "%02X %02X %c\r\n", static_cast<unsigned>(bytes.size() / 256),
                static_cast<unsigned>(bytes.size() % 256), status != 0 ? status : kNoStatusLetter);
  std::string file = line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    file += i < names.size() ? names[i] : std::string(".");
    file += ' ';
    file += std::to_string(bytes[i]);
    file += "\r\n";
  }
  return file;
}

Block6FileCheck ReadBlock6File(const std::string& text) {
  Block6FileCheck check;
  const std::vector<std::string_view> lines = SplitFileLines(text);
  if (lines.empty()) {
    check.error = "UnexpectedEOF";
    return check;
  }
  const std::string_view header = lines[0];
  if (header.size() != kHeaderLength || !IsHexDigitChar(header[0]) || !IsHexDigitChar(header[1]) ||
      header[2] != ' ' || !IsHexDigitChar(header[3]) || !IsHexDigitChar(header[4]) || header[5] != ' ' ||
      IsFileSpace(header[6])) {
    check.error = "Header";
    return check;
  }
  check.status = header[6];
  const std::size_t count = static_cast<std::size_t>((HexDigitValue(header[0]) * 16 + HexDigitValue(header[1])) * 256 +
                                                     HexDigitValue(header[3]) * 16 + HexDigitValue(header[4]));
  check.count = count;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 1 >= lines.size()) {
      check.error = "UnexpectedEOF";
      return check;
    }
    const std::string_view line = lines[i + 1];
    const std::size_t blank = line.rfind(' ');
    const std::string_view name = blank == std::string_view::npos ? std::string_view() : line.substr(0, blank);
    const std::string_view valueText = blank == std::string_view::npos ? line : line.substr(blank + 1);
    const std::optional<unsigned> value = DecimalValue(valueText, kMostValue);
    if (!value) {
      check.error = "Value";
      return check;
    }
    check.names.emplace_back(name);
    check.values.push_back(static_cast<std::uint8_t>(*value));
  }
  return check;
}

}  // namespace kx7
