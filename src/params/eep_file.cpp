#include "params/eep_file.h"

#include <cstdio>

#include "params/file_lines.h"

namespace kx7 {

namespace {

constexpr std::size_t kShortestLine = 8;
constexpr std::uint16_t kLinearizationFirst = 0x0200;
constexpr std::uint16_t kLinearizationLast = 0x02FF;

// A cursor over one line with the scanning steps of "%c\t%X\t%X\t%1s\t%30s".
class LineScanner {
 public:
  explicit LineScanner(std::string_view line) : line_(line) {}
  void SkipSpace() {
    while (at_ < line_.size() && IsFileSpace(line_[at_])) ++at_;
  }
  // Hexadecimal digits after white space, kept modulo 0x10000; nothing when there are none.
  std::optional<std::uint16_t> Hex() {
    SkipSpace();
    const std::size_t start = at_;
    unsigned value = 0;
    while (at_ < line_.size() && IsHexDigitChar(line_[at_])) {
      value = (value * 16 + static_cast<unsigned>(HexDigitValue(line_[at_]))) & 0xFFFFu;
      ++at_;
    }
    if (at_ == start) return std::nullopt;
    return static_cast<std::uint16_t>(value);
  }
  // Up to `most` characters that are not white space, after white space; empty when none.
  std::string_view Word(std::size_t most) {
    SkipSpace();
    const std::size_t start = at_;
    while (at_ < line_.size() && !IsFileSpace(line_[at_]) && at_ - start < most) ++at_;
    return line_.substr(start, at_ - start);
  }

 private:
  std::string_view line_;
  std::size_t at_ = 1;  // after the "7"
};

}  // namespace

std::string WriteEepFile(const Block7Table& table) {
  const std::vector<EepEntry>& rows = table.Rows();
  std::string file = "%\r\n% kx7sdu generated eep file\r\n%\r\n";
  // SelfParam.Valid and the row after it go out as 0: a table loaded from the file must not claim
  // self parameters that were measured on another controller.
  std::optional<std::size_t> valid = table.FindRow(eep::kSelfParamValid);
  char line[96];
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const EepEntry& entry = rows[row];
    if (entry.address >= kLinearizationFirst && entry.address <= kLinearizationLast) continue;
    const bool zeroed = valid && (row == *valid || row == *valid + 1);
    const unsigned value = zeroed ? 0u : static_cast<unsigned>(entry.value & 0xFFu);
    std::snprintf(line, sizeof line, "7\t%04X\t%X\t%%\t%s\r\n", static_cast<unsigned>(entry.address), value,
                  entry.name.c_str());
    file += line;
  }
  return file;
}

EepFileCheck ReadEepFile(const std::string& text) {
  EepFileCheck check;
  if (text.empty() || text[0] != '%') {
    check.error = "InvalidFile";
    check.table.Rows().clear();
    return check;
  }
  std::vector<EepEntry>& rows = check.table.Rows();
  std::size_t taken = 0;
  for (const std::string_view line : SplitFileLines(text)) {
    if (line.size() < kShortestLine || line[0] == '%') continue;
    if (taken == eep::kMaxRows) {
      ++check.ignored;
      continue;
    }
    EepEntry& entry = rows[taken++];
    if (line[0] != '7') {
      check.error = "Line";
      continue;
    }
    LineScanner scan(line);
    const std::optional<std::uint16_t> address = scan.Hex();
    const std::optional<std::uint16_t> value = address ? scan.Hex() : std::nullopt;
    if (!address || !value) {
      check.error = "Line";
      continue;
    }
    const std::string_view marker = scan.Word(1);
    const std::string_view name = marker.empty() ? std::string_view() : scan.Word(eep::kMaxNameLength);
    entry.address = *address;
    entry.value = *value;
    entry.name = std::string(name);
    entry.pending = true;
  }
  rows.resize(taken);
  check.count = taken;
  return check;
}

}  // namespace kx7
