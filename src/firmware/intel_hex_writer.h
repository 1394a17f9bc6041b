// The Intel hex writer of the 32,768-byte Birch2 image: the extended segment address 0, 2,048
// records of 16 bytes from offset 0 up, and the end-of-file record, each line ended by CR LF.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kx7::firmware {

// The file's text for `image`, which must hold 32,768 bytes (the caller pads it with 0xFF).
std::string WriteIntelHex32K(std::span<const std::uint8_t> image);

}  // namespace kx7::firmware
