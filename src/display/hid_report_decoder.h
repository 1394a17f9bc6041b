// Multi-touch HID input reports on the USB links: 64-byte reports arriving one byte at a time,
// each starting with one of the known report ids. The contact layout depends on the controller's
// feature bits. A frame of contacts may be spread over several reports (the first carries the
// contact count, the others count 0); the line ends when the frame has all its contacts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "display/decoder_context.h"
#include "display/display_constants.h"
#include "display/undecoded_decoder.h"

namespace kx7 {

class HidReportDecoder {
 public:
  HidReportDecoder(DecoderContext& context, UndecodedDecoder& undecoded) : context_(context), undecoded_(undecoded) {}

  void Decode(std::uint8_t byte, const DecoderSettings& settings);
  void Reset();

  static const hid::Layout& LayoutFor(std::uint32_t controllerFeatures);

 private:
  void Report(const DecoderSettings& settings);
  void PenReport();
  void EndOpenLine();
  unsigned Word(std::size_t offset) const;

  DecoderContext& context_;
  UndecodedDecoder& undecoded_;
  std::array<std::uint8_t, hid::kReportBytes> buffer_{};
  std::size_t fill_ = 0;
  int contacts_ = 0;  // contacts shown of the current frame
  int expected_ = 0;  // the frame's contact count; 0 when no frame is open
  bool lineOpen_ = false;
};

}  // namespace kx7
