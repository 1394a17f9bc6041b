// Format 32843 on the types that keep a Block-1 checksum: a stream of frames of four pairs, the
// first byte of a pair carrying the channel (bits 7-6) and value bits 9-8, the second value bits
// 7-0. The stream has no start marker and a value byte may carry any tag bits, so the decoder
// slides over the stream until the last eight bytes are one frame with the tags in order, shows
// nothing for that frame, and from then on shows every frame; a tag out of order after that
// shows "E" and the search starts again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "display/decoder_context.h"
#include "display/display_constants.h"

namespace kx7 {

class FourChannelDecoder {
 public:
  explicit FourChannelDecoder(DecoderContext& context) : context_(context) {}

  void Decode(std::uint8_t byte);
  void Reset();

 private:
  static constexpr std::size_t kFrameBytes = 2 * four_channel::kChannels;

  void Search(std::uint8_t byte);

  DecoderContext& context_;
  bool inStep_ = false;
  // While searching: the last bytes, oldest first. In step: the bytes of the current frame.
  std::array<std::uint8_t, kFrameBytes> bytes_{};
  std::size_t count_ = 0;
};

}  // namespace kx7
