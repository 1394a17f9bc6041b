// The strict reader of the 32,768-byte Birch2 EEPROM image: Intel hex only (a file that starts
// otherwise is "Unknown File Format"), every record's address, of any type, at most 0x7FFF ("File
// Address Error"), every record's sum right ("File Checksum Error"), and exactly 32,768 data bytes
// ("File Size Error"). The load's data sum is the image's `ImageSum`.
#pragma once

#include <string_view>

#include "firmware/image_buffer.h"
#include "firmware/image_load.h"

namespace kx7::firmware {

// `image` must hold 32,768 bytes; it is refilled first.
ImageLoad ReadBirch2ImageText(std::string_view text, ImageBuffer& image);

}  // namespace kx7::firmware
