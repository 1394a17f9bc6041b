// Format 32817, "Calibrate Raw (11 bit signed) format": a status byte with bit 7 (bit 6 touching),
// then X and Y as two's-complement values, seven bits a byte, low byte first; shown with their
// sign, 11 bits wide or, at full resolution, 14 bits.
#pragma once

#include <cstdint>

#include "display/decoder_context.h"
#include "display/undecoded_decoder.h"

namespace kx7 {

class RawSignedDecoder {
 public:
  RawSignedDecoder(DecoderContext& context, UndecodedDecoder& undecoded) : context_(context), undecoded_(undecoded) {}

  void Decode(std::uint8_t byte, const DecoderSettings& settings);
  void Reset() { count_ = -1; }

 private:
  DecoderContext& context_;
  UndecodedDecoder& undecoded_;
  int count_ = -1;  // data bytes collected; -1 while waiting for a status byte
  char character_ = 'U';
  std::uint8_t bytes_[4] = {};
};

}  // namespace kx7
