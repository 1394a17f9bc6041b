// Format 32818: every byte as "%02X ". A byte with bit 7 set first ends the line (WrapOnBit7); a
// CR byte ends it afterwards (WrapOnCR).
#pragma once

#include <cstdint>

#include "display/decoder_context.h"

namespace kx7 {

class HexDumpDecoder {
 public:
  explicit HexDumpDecoder(DecoderContext& context) : context_(context) {}
  void Decode(std::uint8_t byte, const DecoderSettings& settings);

 private:
  DecoderContext& context_;
};

}  // namespace kx7
