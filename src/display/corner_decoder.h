// Format 32843 on the other types: corner signal reports, a status byte with bit 7 and either six
// bytes of four 10-bit corners (Hazel3 and Hawthorn; with status bit 6 five more bytes follow,
// which are skipped) or 40 bytes of a 32-bit I and Q value for each corner.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "display/decoder_context.h"
#include "display/display_constants.h"
#include "display/undecoded_decoder.h"

namespace kx7 {

class CornerDecoder {
 public:
  CornerDecoder(DecoderContext& context, UndecodedDecoder& undecoded) : context_(context), undecoded_(undecoded) {}

  void Decode(std::uint8_t byte, const DecoderSettings& settings);
  void Reset();

 private:
  void ShowTenBit();
  void ShowIq();

  DecoderContext& context_;
  UndecodedDecoder& undecoded_;
  bool collecting_ = false;
  std::uint8_t status_ = 0;
  std::size_t count_ = 0;
  std::size_t skipLeft_ = 0;
  std::array<std::uint8_t, corner::kIqBytes> bytes_{};
};

}  // namespace kx7
