// Raw binary images: a file's bytes as they are into a 0xFF-filled buffer, with the "Firmware
// Loader" display of size and sum, and the Cedar EEPROM file rule: a GEN3/GEN4 file is 262,144
// bytes, a shorter one is summed as if filled with 0xFF to that size and may be written so.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "firmware/image_buffer.h"
#include "firmware/image_load.h"

namespace kx7::firmware {

// Refills `image` and copies `bytes` into it. More bytes than the buffer holds is error kSize with
// `tooLargeText` (may be nullptr); an empty file is kEmpty when `emptyRefused`.
ImageLoad ReadRawImage(std::string_view bytes, ImageBuffer& image, const char* tooLargeText, bool emptyRefused);

// "Size: %04X\nFileSum: %04X".
std::string RawImageDisplay(std::size_t size, std::uint16_t sum);

// "Calc File Sum" of a Cedar EEPROM file (at most 262,144 bytes).
struct CedarFileSum {
  std::uint16_t sum = 0;        // of the file's bytes
  std::uint16_t filledSum = 0;  // of the file filled with 0xFF to 262,144 bytes
  bool fillOffered = false;     // shorter than 262,144: the question to write it filled
  std::string display;          // the information text, or the question
};
CedarFileSum SumCedarEepromFile(std::span<const std::uint8_t> file);

}  // namespace kx7::firmware
