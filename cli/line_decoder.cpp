#include "line_decoder.h"

#include <array>
#include <string>
#include <utility>

#include "cli_output.h"
#include "controller/controller_types.h"

namespace kx7::cli {

LineDecoder::LineDecoder(const DecodeRequest& request, LineHandler onLine) : decoder_(text_, *this) {
  settings_.reportFormat = request.format;
  settings_.controllerType = request.controllerType;
  settings_.controllerFeatures = request.features;
  settings_.linkKind = 1;
  settings_.passThrough = request.passThrough;
  // As the terminal decides it from the frame's features.
  settings_.multiTouch = (request.features & (feature::kMultiContact | feature::kLarchMultitouch)) != 0;
  settings_.fullResolution = request.fullResolution;
  settings_.wrapOnCr = request.wrapOnCr;
  settings_.wrapOnBit7 = request.wrapOnBit7;
  text_.timeDisplay = 0;
  text_.wrapOnCr = request.wrapOnCr;
  text_.onLineEnded = std::move(onLine);
  text_.StartAccepting();
}

void LineDecoder::Feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) decoder_.DecodeByte(bytes[i], settings_);
}

void LineDecoder::Finish() {
  const std::string_view open = text_.Row(text_.RowCount() - 1);
  if (!open.empty() && text_.onLineEnded) text_.onLineEnded(open);
}

int RunDecode(const DecodeRequest& request, std::istream& in, std::ostream& out, std::ostream& err) {
  LineDecoder decoder(request, [&out](std::string_view line) { out << ShowableText(std::string(line)) << '\n'; });
  std::array<char, 64 * 1024> chunk{};
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) decoder.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), static_cast<std::size_t>(got));
  }
  decoder.Finish();
  out.flush();
  if (in.bad()) {
    err << "kx7cli: decode: reading standard input failed\n";
    return 1;
  }
  return 0;
}

}  // namespace kx7::cli
