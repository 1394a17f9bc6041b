// The lines of a parameter text file: split at LF, one CR before the LF dropped, and a non-empty
// rest after the last LF taken as a last line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx7 {

std::vector<std::string_view> SplitFileLines(std::string_view text);

// White space as the C library's isspace sees it in the "C" locale.
inline bool IsFileSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
inline bool IsHexDigitChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

}  // namespace kx7
