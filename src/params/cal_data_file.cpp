#include "params/cal_data_file.h"

#include <array>
#include <cstdio>

#include "params/file_lines.h"

namespace kx7 {

namespace {

// The low byte of each word pair; the seventh word is byte 20 alone.
constexpr std::array<std::size_t, 6> kPairs = {0, 2, 4, 6, 21, 23};
constexpr std::size_t kLoneByte = 20;
constexpr std::size_t kDigits = 4;

}  // namespace

std::string WriteCalDataFile(const std::vector<std::uint8_t>& block1) {
  std::string file;
  char line[16];
  for (const std::size_t at : kPairs) {
    std::snprintf(line, sizeof line, "%04X\r\n", static_cast<unsigned>(block1.at(at) | (block1.at(at + 1) << 8)));
    file += line;
  }
  std::snprintf(line, sizeof line, "%04X\r\n", static_cast<unsigned>(block1.at(kLoneByte)));
  return file + line;
}

CalDataFileCheck ReadCalDataFile(const std::string& text) {
  CalDataFileCheck check;
  const std::vector<std::string_view> lines = SplitFileLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    bool good = i < kCalDataWords && line.size() == kDigits;
    unsigned word = 0;
    for (std::size_t at = 0; good && at < kDigits; ++at) {
      good = IsHexDigitChar(line[at]);
      word = word * 16 + static_cast<unsigned>(HexDigitValue(line[at]));
    }
    if (!good) {
      check.error = "Line";
      return check;
    }
    check.words.push_back(static_cast<std::uint16_t>(word));
  }
  if (check.words.size() < kCalDataWords) {
    check.error = "UnexpectedEOF";
    return check;
  }
  if (check.words[kCalDataWords - 1] > 0xFF) {
    check.error = "Value";
    return check;
  }
  for (std::size_t i = 0; i < kPairs.size(); ++i) {
    check.block1Bytes[kPairs[i]] = static_cast<std::uint8_t>(check.words[i] & 0xFF);
    check.block1Bytes[kPairs[i] + 1] = static_cast<std::uint8_t>(check.words[i] >> 8);
  }
  check.block1Bytes[kLoneByte] = static_cast<std::uint8_t>(check.words[kCalDataWords - 1]);
  return check;
}

}  // namespace kx7
