#include "pass_through.h"

namespace kx7::emu {

PassThroughDecoder::Result PassThroughDecoder::Push(std::uint8_t byte) {
  Result result;
  if (!afterDle_) {
    if (byte == kDle) {
      afterDle_ = true;
      return result;
    }
    result.bytes[0] = byte;
    result.count = 1;
    return result;
  }
  afterDle_ = false;
  if (byte == kEot) {
    result.end = true;
  } else if (byte == kDle) {
    result.bytes[0] = kDle;
    result.count = 1;
  } else {
    result.bytes[0] = kDle;
    result.bytes[1] = byte;
    result.count = 2;
  }
  return result;
}

}  // namespace kx7::emu
