#include "display/hex_dump_decoder.h"

#include <string_view>

#include "display/display_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

void HexDumpDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if ((byte & kReportStartBit) && settings.wrapOnBit7) context_.sink.EndLine(LineEnd::kHighBit);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const char text[3] = {kDigits[byte >> 4], kDigits[byte & 0xF], ' '};
  context_.sink.AppendText(std::string_view(text, sizeof text), TextKind::kDecoded);
  if (byte == kCr && settings.wrapOnCr) context_.sink.EndLine(LineEnd::kCarriageReturn);
}

}  // namespace kx7
