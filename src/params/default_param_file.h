// The Rowan Default Params file: a binary parameter set with a CRC that the Rowan controller takes
// whole (the "SP2" exchange). Little-endian:
//
//   0       u16   L, the length of the whole file, this field and the CRC included
//   2       u16   header word, carried unchanged
//   4       u16   n, the length of the panel type name
//   6       n     the panel type name (ASCII, no terminator)
//   6+n     4 u16 header words, carried unchanged
//   14+n    ...   parameter words, (L - n - 16) / 2 of them
//   L-2     u16   CRC over bytes 0 to L-3
//
// The file is checked whole before it may be sent: it is sendable only when its length field
// lies within what was read, is even, at least 16, and holds the name and the fixed words; only
// the L bytes it names are ever used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

// The most bytes the tool reads of a file.
inline constexpr std::size_t kDefaultParamReadLimit = 131072;
// The panel type name is shown and compared by this many characters at most.
inline constexpr std::size_t kPanelTypeShown = 128;

// CRC-16 with polynomial 0x1021, initial value 0, no final XOR, over the little-endian words from
// offset 0 up to (not including) the word at `length` - 2, each word fed least significant bit
// first. 0 for a length below 3.
std::uint16_t ParamFileCrc(const std::uint8_t* bytes, std::size_t length);
// The XOR of the little-endian words at 4, 6, ..., `length` - 2 (the stored CRC included).
std::uint16_t ParamFileXor(const std::uint8_t* bytes, std::size_t length);

struct DefaultParamFile {
  std::vector<std::uint8_t> bytes;  // as read, at most kDefaultParamReadLimit
  std::optional<std::uint16_t> length;      // L; nothing when fewer than 2 bytes were read
  std::optional<std::uint16_t> header;      // nothing below 4 bytes
  std::optional<std::uint16_t> nameLength;  // n; nothing below 6 bytes
  // The name's bytes, at most kPanelTypeShown, when the name lies within L and the bytes read.
  std::optional<std::string> panelType;
  std::optional<std::array<std::uint16_t, 4>> headerWords;
  bool sendable = false;
  // Only when sendable:
  std::size_t parameterWords = 0;
  std::uint16_t crc = 0;
  std::uint16_t storedCrc = 0;
  std::uint16_t xorWord = 0;
  // The program's texts, in order: "File Length Error", then the CRC error.
  std::vector<std::string> warnings;

  bool Valid() const { return sendable && warnings.empty(); }
  bool LengthWarning() const;
  // The bytes the controller gets: the first L of the file (only when sendable).
  std::vector<std::uint8_t> SentBytes() const;
};

DefaultParamFile ReadDefaultParamFile(const std::uint8_t* bytes, std::size_t count);
inline DefaultParamFile ReadDefaultParamFile(const std::string& bytes) {
  return ReadDefaultParamFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace kx7
