#include "display/hid_report_decoder.h"

#include <algorithm>

#include "display/text_builder.h"

namespace kx7 {

void HidReportDecoder::Reset() {
  fill_ = 0;
  contacts_ = expected_ = 0;
  lineOpen_ = false;
}

const hid::Layout& HidReportDecoder::LayoutFor(std::uint32_t controllerFeatures) {
  return hid::LayoutFor(controllerFeatures);
}

unsigned HidReportDecoder::Word(std::size_t offset) const {
  return static_cast<unsigned>(buffer_[offset] | (buffer_[offset + 1] << 8));
}

void HidReportDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if (fill_ == 0 && std::find(hid::kReportIds.begin(), hid::kReportIds.end(), byte) == hid::kReportIds.end()) {
    undecoded_.Decode(byte, settings);
    return;
  }
  buffer_[fill_++] = byte;
  if (fill_ < hid::kReportBytes) return;
  fill_ = 0;
  Report(settings);
}

void HidReportDecoder::EndOpenLine() {
  if (!lineOpen_) return;
  context_.sink.EndLine(LineEnd::kReportEnd);
  lineOpen_ = false;
}

void HidReportDecoder::Report(const DecoderSettings& settings) {
  const hid::Layout& layout = LayoutFor(settings.controllerFeatures);
  if (layout.penReports && (buffer_[1] & hid::kPenReportBit)) {
    PenReport();
    return;
  }
  const int count = buffer_[static_cast<std::size_t>(layout.countOffset)];
  if (count > hid::kMostContacts) return;
  if (count != 0) {
    // A new frame; whatever the last one still lacked will not come.
    EndOpenLine();
    contacts_ = 0;
    expected_ = count;
  } else if (expected_ == 0) {
    return;  // nothing to continue
  }
  for (int slot = 0; slot < layout.contacts && expected_ != 0; ++slot) {
    const std::size_t at = static_cast<std::size_t>(1 + slot * layout.recordBytes);
    const std::uint8_t status = buffer_[at];
    const bool valid = layout.validWhenNonZero ? status != 0 : (status & hid::kValidBit) != 0;
    if (!valid) continue;
    TextBuilder text;
    text.Decimal(buffer_[at + 1])
        .Char((status & hid::kTipAndRange) == hid::kTipAndRange ? 'D' : 'U')
        .Char('.')
        .Hex(Word(at + 2), 3)
        .Char('.')
        .Hex(Word(at + static_cast<std::size_t>(layout.yOffset)), 3);
    if (layout.palmBit && (status & hid::kPalmBit)) text.Char('P');
    text.Char(' ');
    context_.sink.AppendText(text.View(), TextKind::kDecoded, expected_);
    lineOpen_ = true;
    if (++contacts_ < expected_) continue;
    if (layout.scanTimeOffset >= 0) {
      TextBuilder scan;
      scan.Char(' ').Decimal(Word(static_cast<std::size_t>(layout.scanTimeOffset)));
      context_.sink.AppendText(scan.View(), TextKind::kDecoded, expected_);
    }
    EndOpenLine();
    expected_ = contacts_ = 0;
  }
  if (layout.endEveryReport) EndOpenLine();
}

void HidReportDecoder::PenReport() {
  EndOpenLine();
  const std::uint8_t flags = buffer_[1];
  const auto signedWord = static_cast<std::int16_t>(Word(hid::kPenSigned));
  TextBuilder text;
  text.Text((flags & hid::kPenTipBit) ? hid::kPenDown : hid::kPenUp)
      .Char('.')
      .Hex(Word(hid::kPenX), 3)
      .Char('.')
      .Hex(Word(hid::kPenY), 3)
      .Text(".(")
      .Decimal(Word(hid::kPenPressure), 4)
      .Char(',')
      .Decimal(Word(hid::kPenUnsigned) / hid::kPenDivisor, 2)
      .Char(',')
      .Decimal(signedWord / hid::kPenDivisor, 2)
      .Text(") ")
      .Decimal(Word(hid::kPenScanTime));
  if (flags & hid::kPenBarrelBit) text.Text(hid::kBarrel);
  if (flags & hid::kPenEraserBit) text.Text(hid::kEraser);
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

}  // namespace kx7
