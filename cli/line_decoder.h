// `kx7cli decode`: a byte stream through the terminal's own decoders and line store, each line
// handed on as it ends, without a frame, a controller or time stamps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string_view>

#include "display/report_decoder.h"
#include "display/terminal_text.h"

namespace kx7::cli {

// What the decoders are told about the controller and the options. The terminal reads these from
// the frame; decode has no frame, so they come from the command line.
struct DecodeRequest {
  std::uint32_t format = 32816;          // --format: a Format command id
  std::uint32_t controllerType = 32861;  // --type: Birch, the plain KXS tablet controller
  std::uint32_t features = 0;            // --features
  bool fullResolution = false;           // --full-resolution
  bool passThrough = false;              // --pass-through
  bool wrapOnCr = true;                  // --wrap-on-cr, the program's default
  bool wrapOnBit7 = true;                // --wrap-on-bit7, the program's default
};

class LineDecoder : private DecoderActions {
 public:
  using LineHandler = std::function<void(std::string_view line)>;

  // The decoders see a serial link (LinkKind 1), no poll mode and no log.
  LineDecoder(const DecodeRequest& request, LineHandler onLine);
  LineDecoder(const LineDecoder&) = delete;
  LineDecoder& operator=(const LineDecoder&) = delete;

  void Feed(const std::uint8_t* bytes, std::size_t count);
  // The end of the stream: a line still open is handed on too.
  void Finish();

  const DecoderSettings& Settings() const { return settings_; }

 private:
  // Nothing is connected: there is no controller to poll and no log to write.
  void SendPollByte() override {}
  void WriteRawLog(std::uint8_t) override {}
  void WriteLogLinefeed() override {}

  DecoderSettings settings_;
  TerminalText text_;
  ReportDecoder decoder_;
};

// Reads `in` to its end in chunks and prints every line to `out`, each ended by LF, the bytes a
// terminal would not show as themselves written as <XX>. 0 done, 1 when reading failed.
int RunDecode(const DecodeRequest& request, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kx7::cli
