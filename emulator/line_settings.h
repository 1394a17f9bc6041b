// A serial line's speed and framing, "19200,N,7,2", as both ends of the wire see it.
#pragma once

#include <optional>
#include <string>

namespace kx7::emu {

struct LineSettings {
  int baud = 9600;
  char parity = 'N';  // 'N', 'E', 'O', 'M', 'S'
  int dataBits = 8;   // 5 to 8
  int stopBits = 1;   // 1 or 2
  bool operator==(const LineSettings&) const = default;
  std::string ToString() const;  // "9600,N,8,1"
};

// Reads "%d,%c,%d,%d"; nothing for a text that is not a complete, sensible setting.
std::optional<LineSettings> ParseLineSettings(const std::string& text);

}  // namespace kx7::emu
