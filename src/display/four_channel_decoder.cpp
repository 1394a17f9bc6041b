#include "display/four_channel_decoder.h"

#include <algorithm>

#include "display/text_builder.h"

namespace kx7 {
namespace {

int Tag(std::uint8_t byte) { return byte >> four_channel::kTagShift; }

}  // namespace

void FourChannelDecoder::Reset() {
  inStep_ = false;
  count_ = 0;
}

void FourChannelDecoder::Search(std::uint8_t byte) {
  if (count_ == kFrameBytes) {
    std::copy(bytes_.begin() + 1, bytes_.end(), bytes_.begin());
    --count_;
  }
  bytes_[count_++] = byte;
  if (count_ < kFrameBytes) return;
  for (int channel = 0; channel < four_channel::kChannels; ++channel) {
    if (Tag(bytes_[static_cast<std::size_t>(2 * channel)]) != channel) return;
  }
  // One whole frame in order: in step from the next byte on.
  inStep_ = true;
  count_ = 0;
}

void FourChannelDecoder::Decode(std::uint8_t byte) {
  if (!inStep_) {
    Search(byte);
    return;
  }
  if (count_ % 2 == 0 && Tag(byte) != static_cast<int>(count_ / 2)) {
    context_.sink.AppendText(four_channel::kLostSync, TextKind::kDecoded);
    context_.sink.EndLine(LineEnd::kReportEnd);
    inStep_ = false;
    count_ = 0;
    Search(byte);  // it may be the start of the next good frame
    return;
  }
  bytes_[count_++] = byte;
  if (count_ < kFrameBytes) return;
  count_ = 0;
  TextBuilder text;
  for (std::size_t channel = 0; channel < four_channel::kChannels; ++channel) {
    if (channel > 0) text.Char(' ');
    const int value = ((bytes_[2 * channel] & 3) << 8) | bytes_[2 * channel + 1];
    text.Char(four_channel::kLabels[channel]).Char(' ').Decimal(value, 4);
  }
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

}  // namespace kx7
