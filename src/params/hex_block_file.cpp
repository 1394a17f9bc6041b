#include "params/hex_block_file.h"

#include "params/file_lines.h"

namespace kx7 {

namespace {

constexpr std::size_t kBlock2Bytes = 50;
constexpr std::size_t kBlock4Bytes = 60;
// A Block2 file whose first 100 characters hold no blank is read as packed pairs.
constexpr std::size_t kPackedLookAhead = 100;

// Reads `groups` groups of `width` characters (two digits, then a separator when the width is 3)
// from `text`; the separator of the last group is not looked at when `lastOpen` is set.
void ReadGroups(const std::string& text, std::size_t groups, std::size_t width, bool lastOpen,
                HexBlockFileCheck& check) {
  for (std::size_t i = 0; i < groups; ++i) {
    const std::size_t at = width * i;
    if (at + 1 >= text.size()) {
      check.error = "Short";
      return;
    }
    if (!IsHexDigitChar(text[at]) || !IsHexDigitChar(text[at + 1])) {
      check.error = "Digit";
      return;
    }
    const bool last = i + 1 == groups;
    if (width == 3 && !(last && lastOpen)) {
      if (at + 2 >= text.size()) {
        check.error = "Short";
        return;
      }
      if (!IsFileSpace(text[at + 2])) {
        check.error = "Separator";
        return;
      }
    }
    check.bytes.push_back(static_cast<std::uint8_t>(HexDigitValue(text[at]) * 16 + HexDigitValue(text[at + 1])));
  }
}

}  // namespace

std::string WriteHexBlockFile(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(3 * bytes.size());
  for (const std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
    text += ' ';
  }
  return text;
}

HexBlockFileCheck ReadHexBlockFile(const std::string& text, HexBlockKind kind) {
  HexBlockFileCheck check;
  switch (kind) {
    case HexBlockKind::kBlock2:
      if (text.substr(0, kPackedLookAhead).find(' ') == std::string::npos) {
        check.packed = true;
        ReadGroups(text, kBlock2Bytes, 2, true, check);
        break;
      }
      ReadGroups(text, kBlock2Bytes, 3, true, check);
      break;
    case HexBlockKind::kBlock4:
      ReadGroups(text, kBlock4Bytes, 3, true, check);
      break;
    case HexBlockKind::kBlock1:
    case HexBlockKind::kLarchBlock7: {
      std::size_t length = text.size();
      while (length > 0 && IsFileSpace(text[length - 1])) --length;
      if (length == 0) {
        check.error = "Short";
        break;
      }
      const std::string stripped = text.substr(0, length);
      // A last group of two digits has no separator; any other count leaves a group cut short
      // or with a wrong separator.
      const std::size_t groups = (length + 2) / 3;
      ReadGroups(stripped, groups, 3, length % 3 == 2, check);
      if (check.error.empty() && length % 3 != 2) check.error = "Short";
      break;
    }
  }
  return check;
}

Block1CheckWord Block1CheckWordOf(const std::vector<std::uint8_t>& bytes) {
  Block1CheckWord word;
  if (bytes.size() < 2) return word;
  const std::size_t words = (bytes.size() - 2) / 2;
  for (std::size_t i = 0; i < words; ++i)
    word.computed ^= static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  word.stored = static_cast<std::uint16_t>(bytes[2 * words] | (bytes[2 * words + 1] << 8));
  return word;
}

}  // namespace kx7
