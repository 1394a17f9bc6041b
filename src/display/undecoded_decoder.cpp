#include "display/undecoded_decoder.h"

#include <string_view>

#include "display/display_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

void UndecodedDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if (byte == kLineFeed && crBefore_) {
    if (settings.logOpen) context_.actions.WriteLogLinefeed();
    return;
  }
  if (byte == kCr) {
    context_.sink.EndLine(LineEnd::kCarriageReturn);
    crNow_ = true;
    return;
  }
  if (byte >= 0x20 && byte <= 0x7E) {
    const char c = static_cast<char>(byte);
    context_.sink.AppendText(std::string_view(&c, 1), TextKind::kUndecoded);
    return;
  }
  ShowHex(byte);
}

void UndecodedDecoder::ShowHex(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const char text[4] = {'<', kDigits[byte >> 4], kDigits[byte & 0xF], '>'};
  context_.sink.AppendText(std::string_view(text, sizeof text), TextKind::kUndecoded);
}

}  // namespace kx7
