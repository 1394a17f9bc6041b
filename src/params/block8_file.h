// The Block8 file of the row-drive editor: 256 lines, each one unsigned 16-bit value in decimal,
// row 0 first, CR LF line ends. The editor's "Copy" puts the same lines on the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

std::string WriteBlock8File(const std::vector<std::uint16_t>& values);

struct Block8FileCheck {
  std::vector<std::uint16_t> values;  // the lines read before an error
  std::string error;                  // "", "Value" or "UnexpectedEOF"
  bool Valid() const { return error.empty(); }
};

Block8FileCheck ReadBlock8File(const std::string& text);

// The 256 values of a 512-byte block (low byte first) and back.
std::vector<std::uint16_t> Block8Values(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> Block8Bytes(const std::vector<std::uint16_t>& values);

}  // namespace kx7
