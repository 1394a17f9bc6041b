// The Block6 file of the "Interface & Housekeeping" editor: a header line "%02X %02X %c" (the
// block length divided by 256, the length modulo 256, the status letter of the last read), then
// one line a byte, "NAME VALUE", the value in decimal; CR LF line ends. Names may be empty and may
// hold blanks: a reader takes the value after the last blank of a line and the name before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

// The status letter written when the read gave none.
inline constexpr char kNoStatusLetter = '?';

std::string WriteBlock6File(const std::vector<std::uint8_t>& bytes, const std::vector<std::string>& names,
                            char status);

struct Block6FileCheck {
  std::optional<char> status;
  std::optional<std::size_t> count;
  std::vector<std::string> names;   // the lines read before an error
  std::vector<std::uint8_t> values;
  std::string error;  // "", "Header", "Value" or "UnexpectedEOF"
  bool Valid() const { return error.empty(); }
};

Block6FileCheck ReadBlock6File(const std::string& text);

}  // namespace kx7
