// The editors' boxes in decimal or hexadecimal: a value as a box shows it, and the value of a
// box's text. A text is read whole (blanks around it aside); one that is not a number in the
// radix reads as nothing and the box's byte stays as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kx7 {

// "%02X" or "%d".
std::string ByteText(unsigned value, bool hex);
// "%04X" or "%d".
std::string WordText(unsigned value, bool hex);
// "%x" or "%u" of the whole text; nothing when it does not read or passes 32 bits.
std::optional<unsigned> ReadRadixText(const std::string& text, bool hex);

}  // namespace kx7
