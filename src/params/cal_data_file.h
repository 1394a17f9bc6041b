// The calibration-data file of "Save Cal Data": seven lines of four upper-case hexadecimal digits
// (CR LF) taken from Block1: the 16-bit values of bytes 0 and 1, 2 and 3, 4 and 5, 6 and 7, 21
// and 22, 23 and 24 (the first byte of each pair the low byte), then byte 20.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kx7 {

inline constexpr std::size_t kCalDataWords = 7;

// Block1 must hold at least 25 bytes.
std::string WriteCalDataFile(const std::vector<std::uint8_t>& block1);

struct CalDataFileCheck {
  std::vector<std::uint16_t> words;                 // the lines read before an error
  std::map<std::size_t, std::uint8_t> block1Bytes;  // byte offset -> value, when valid
  std::string error;                                // "", "Line", "UnexpectedEOF" or "Value"
  bool Valid() const { return error.empty(); }
};

CalDataFileCheck ReadCalDataFile(const std::string& text);

}  // namespace kx7
