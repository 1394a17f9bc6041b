#include "params/block_q_file.h"

#include <cstdio>

#include "params/file_lines.h"

namespace kx7 {

namespace {

constexpr std::size_t kLineLength = 13;  // "Q" + 3 digits + blank + 8 digits

}  // namespace

std::string WriteBlockQFile(const std::map<int, std::uint32_t>& known) {
  std::string file = std::string(kBlockQHeader) + "\r\n";
  char line[32];
  for (const auto& [number, value] : known) {
    if (number < kBlockQFirst || number > kBlockQLast) continue;
    std::snprintf(line, sizeof line, "Q3%02d %08X\r\n", number - kBlockQFirst, static_cast<unsigned>(value));
    file += line;
  }
  if (const auto last = known.find(kBlockQLastParameter); last != known.end()) {
    std::snprintf(line, sizeof line, "Q001 %08X\r\n", static_cast<unsigned>(last->second));
    file += line;
  }
  return file;
}

BlockQFileCheck ReadBlockQFile(const std::string& text) {
  BlockQFileCheck check;
  const std::vector<std::string_view> lines = SplitFileLines(text);
  if (lines.empty() || lines[0] != kBlockQHeader) {
    check.error = "Header";
    return check;
  }
  int previous = 0;
  bool lastSeen = false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    bool good = !lastSeen && line.size() == kLineLength && line[0] == 'Q' && line[4] == ' ';
    int number = 0;
    std::uint32_t value = 0;
    for (std::size_t at = 1; good && at <= 3; ++at) {
      good = line[at] >= '0' && line[at] <= '9';
      number = number * 10 + (line[at] - '0');
    }
    for (std::size_t at = 5; good && at < kLineLength; ++at) {
      good = IsHexDigitChar(line[at]);
      value = value * 16 + static_cast<std::uint32_t>(HexDigitValue(line[at]));
    }
    if (good) {
      if (number == kBlockQLastParameter)
        lastSeen = true;
      else
        good = number >= kBlockQFirst && number <= kBlockQLast && number > previous;
    }
    if (!good) {
      check.error = "Line";
      return check;
    }
    if (number != kBlockQLastParameter) previous = number;
    check.parameters.push_back(BlockQParameter{number, value});
  }
  return check;
}

}  // namespace kx7
