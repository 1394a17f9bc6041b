#include "params/register_dump_viewer.h"

#include <cstdio>

namespace kx7 {

namespace {
constexpr std::size_t kBytesPerLine = 16;
}

std::vector<std::string> RegisterDumpViewer::Lines() const {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < registers_.size(); at += kBytesPerLine) {
    char text[16];
    std::snprintf(text, sizeof text, "%03X:", static_cast<unsigned>(at));
    std::string line = text;
    for (std::size_t i = at; i < registers_.size() && i < at + kBytesPerLine; ++i) {
      std::snprintf(text, sizeof text, " %02X", registers_[i]);
      line += text;
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace kx7
