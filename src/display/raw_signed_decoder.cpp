#include "display/raw_signed_decoder.h"

#include "display/display_constants.h"
#include "display/text_builder.h"

namespace kx7 {
namespace {

int Signed(int value, int bits) { return value >= (1 << (bits - 1)) ? value - (1 << bits) : value; }

int Coordinate(std::uint8_t low, std::uint8_t high, bool fullResolution) {
  return fullResolution ? Signed(high * 128 + low, 14) : Signed(high * 16 + (low >> 3), 11);
}

}  // namespace

void RawSignedDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if (byte & kReportStartBit) {
    const bool touching = (byte & kxs::kTouchBit) != 0;
    character_ = touching ? (context_.touchDown ? ' ' : 'D') : 'U';
    context_.touchDown = touching;
    count_ = 0;
    return;
  }
  if (count_ < 0) {
    undecoded_.Decode(byte, settings);
    return;
  }
  bytes_[count_++] = byte;
  if (count_ < 4) return;
  count_ = -1;
  TextBuilder text;
  text.Char(character_)
      .Char(' ')
      .SignedDecimal(Coordinate(bytes_[0], bytes_[1], settings.fullResolution))
      .Char(',')
      .SignedDecimal(Coordinate(bytes_[2], bytes_[3], settings.fullResolution));
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

}  // namespace kx7
