#include "firmware/intel_hex_writer.h"

#include <cstdio>

#include "firmware/firmware_constants.h"

namespace kx7::firmware {

std::string WriteIntelHex32K(std::span<const std::uint8_t> image) {
  std::string text = kHexSegmentRecord;
  // ":10" + offset + "00" + 32 digits + checksum + CR LF.
  constexpr std::size_t kLineLength = 1 + 2 + 4 + 2 + 2 * kHexRecordBytes + 2 + 2;
  text.reserve(text.size() + kBirch2ImageBytes / kHexRecordBytes * kLineLength + 16);
  char pair[8];
  for (std::size_t offset = 0; offset < kBirch2ImageBytes; offset += kHexRecordBytes) {
    std::snprintf(pair, sizeof pair, "%04X", static_cast<unsigned>(offset));
    text += ":10";
    text += pair;
    text += "00";
    std::uint32_t sum = kHexRecordBytes + (offset >> 8) + (offset & 0xFF);
    for (std::size_t i = 0; i < kHexRecordBytes; ++i) {
      const std::uint8_t byte = offset + i < image.size() ? image[offset + i] : kFill;
      std::snprintf(pair, sizeof pair, "%02X", byte);
      text += pair;
      sum += byte;
    }
    std::snprintf(pair, sizeof pair, "%02X\r\n", static_cast<unsigned>((0x100 - (sum & 0xFF)) & 0xFF));
    text += pair;
  }
  text += kHexEndRecord;
  return text;
}

}  // namespace kx7::firmware
