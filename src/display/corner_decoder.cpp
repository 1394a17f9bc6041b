#include "display/corner_decoder.h"

#include "display/text_builder.h"

namespace kx7 {

void CornerDecoder::Reset() {
  collecting_ = false;
  status_ = 0;
  count_ = skipLeft_ = 0;
}

void CornerDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if (byte & kReportStartBit) {
    collecting_ = true;
    status_ = byte;
    count_ = skipLeft_ = 0;
    return;
  }
  if (skipLeft_ > 0) {
    --skipLeft_;
    return;
  }
  if (!collecting_) {
    undecoded_.Decode(byte, settings);
    return;
  }
  bytes_[count_++] = byte;
  if (HasTenBitCorners(settings.controllerType)) {
    if (count_ < corner::kTenBitBytes) return;
    ShowTenBit();
    if (status_ & corner::kExtraBit) skipLeft_ = corner::kTenBitExtraBytes;
  } else {
    if (count_ < corner::kIqBytes) return;
    ShowIq();
  }
  collecting_ = false;
}

void CornerDecoder::ShowTenBit() {
  const int b1 = bytes_[0], b2 = bytes_[1], b3 = bytes_[2], b4 = bytes_[3], b5 = bytes_[4], b6 = bytes_[5];
  TextBuilder text;
  text.Text("UL ").Decimal(b4 + (b1 & 7) * 128, 4);
  text.Text(" LL ").Decimal(b3 + ((b1 >> 4) & 7) * 128, 4);
  text.Text(" UR ").Decimal(b5 + ((b2 >> 4) & 7) * 128, 4);
  text.Text(" LR ").Decimal(b6 + (b2 & 7) * 128, 4);
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

void CornerDecoder::ShowIq() {
  TextBuilder text;
  for (int c = 0; c < corner::kCorners; ++c) {
    std::int32_t iq[2];
    for (int part = 0; part < 2; ++part) {
      const std::uint8_t* value = &bytes_[static_cast<std::size_t>(c * 10 + part * 5)];
      // Four bytes of seven bits and one of four, most significant first; the fifth byte may
      // carry more than four bits, and those run off the top as the controller's own sum does.
      std::uint32_t sum = 0;
      for (std::size_t i = 0; i + 1 < corner::kIqValueBytes; ++i) sum = sum * 128 + value[i];
      sum = sum * 16 + value[corner::kIqValueBytes - 1];
      iq[part] = static_cast<std::int32_t>(sum);
    }
    text.Text(corner::kIqLabels[static_cast<std::size_t>(c)]).Decimal(iq[0], 10).Text(" Q:").Decimal(iq[1], 10);
  }
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

}  // namespace kx7
