// The Intel hex and Motorola S-record reader: a file's text into an image buffer.
//
// Intel hex: every record from a ':' on, type 0 data stored at its 16-bit address plus the offset
// (doubled with word addressing), every other record type summed into its checksum and otherwise
// ignored (there is no extended addressing; an end-of-file record does not stop the reading).
// S-records: S1 records are stored the same way, "S9" ends the file, other records are skipped.
// A file is loaded whole or not at all: a wrong sum, a character that is no hexadecimal pair, the
// end of the file inside a record, a byte outside the buffer or a file without data fails the load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/image_buffer.h"
#include "firmware/image_load.h"

namespace kx7::firmware {

struct HexReadOptions {
  // Added to every record address; -0x8000 reads the Cedar GEN2 images from word address 0x8000.
  std::int64_t addressOffset = 0;
  // A record address counts words: the byte index is twice the address.
  bool wordAddressing = false;
  // When not 0, exactly this many data bytes must be stored ("File Size Error").
  std::size_t expectedCount = 0;
};

// Refills `image` and reads `text` into it.
ImageLoad ReadHexImageText(std::string_view text, const HexReadOptions& options, ImageBuffer& image);

}  // namespace kx7::firmware
