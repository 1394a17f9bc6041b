#include "line_settings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kx7::emu {

std::string LineSettings::ToString() const {
  char text[48];
  std::snprintf(text, sizeof text, "%d,%c,%d,%d", baud, parity, dataBits, stopBits);
  return text;
}

std::optional<LineSettings> ParseLineSettings(const std::string& text) {
  int baud = 0, dataBits = 0, stopBits = 0;
  char parity = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d,%c,%d,%d%c", &baud, &parity, &dataBits, &stopBits, &tail) != 4) return std::nullopt;
  parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity)));
  if (baud < 50 || baud > 4000000) return std::nullopt;
  if (parity != 'N' && parity != 'E' && parity != 'O' && parity != 'M' && parity != 'S') return std::nullopt;
  if (dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2)) return std::nullopt;
  return LineSettings{baud, parity, dataBits, stopBits};
}

}  // namespace kx7::emu
