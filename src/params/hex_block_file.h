// The hexadecimal block file (".bk1", ".bk2", ".bk4", ".blk"): each byte of a block as two
// upper-case hexadecimal digits and a blank ("%02X "), no line breaks. Reading is strict: every
// group must be two hexadecimal digits (either case) and a white-space separator, so a file that
// does not read whole is rejected and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

enum class HexBlockKind {
  kBlock1,       // the block's length comes from the file
  kBlock2,       // 50 bytes; also 100 digits without separators
  kBlock4,       // 60 bytes
  kLarchBlock7,  // the block's length comes from the file
};

std::string WriteHexBlockFile(const std::vector<std::uint8_t>& bytes);

struct HexBlockFileCheck {
  bool packed = false;              // a Block2 file of 100 digits without separators
  std::vector<std::uint8_t> bytes;  // the bytes read before an error
  std::string error;                // "", "Short", "Digit" or "Separator"
  bool Valid() const { return error.empty(); }
};

HexBlockFileCheck ReadHexBlockFile(const std::string& text, HexBlockKind kind);

// The Rowan/Cedar check word of a Block1 as the file holds it: the XOR of the first (N - 2) / 2
// little-endian words, and the word after them.
struct Block1CheckWord {
  std::uint16_t computed = 0;
  std::uint16_t stored = 0;
  bool Ok() const { return computed == stored; }
};
Block1CheckWord Block1CheckWordOf(const std::vector<std::uint8_t>& bytes);  // at least 2 bytes

}  // namespace kx7
