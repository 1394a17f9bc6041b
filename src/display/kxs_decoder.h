// The KXS tablet reports of formats 32816 and 32840: a status byte with bit 7 set, then X and Y of
// 14 bits, seven bits a byte, low byte first; on multi-touch controllers a contact number, in
// format 32840 a 14-bit Z. Between reports the controller may send control bytes (CR, the
// down/up markers 0x18, 0x19, 0x1C) and the 5-bit alternate form armed by 0x17.
#pragma once

#include <cstdint>

#include "display/decoder_context.h"
#include "display/text_builder.h"
#include "display/undecoded_decoder.h"

namespace kx7 {

class KxsDecoder {
 public:
  KxsDecoder(DecoderContext& context, UndecodedDecoder& undecoded) : context_(context), undecoded_(undecoded) {}

  void Decode(std::uint8_t byte, const DecoderSettings& settings);
  void Reset();

 private:
  enum class State {
    kIdle,  // waiting for a status byte (state 0)
    kXLow,  // states 2 to 5
    kXHigh,
    kYLow,
    kYHigh,
    kExtra,      // state 6: contact number or Z low
    kZHigh,      // state 7
    kSkip,       // the four trailing bytes of Birch USB (states 6 to 9)
    kAlternate,  // states 12 to 15
  };

  void Idle(std::uint8_t byte, const DecoderSettings& settings);
  void AfterY(const DecoderSettings& settings);
  void AlternateReport(const DecoderSettings& settings);
  void StartAlternate(char character);
  // Appends "%c %04d,%04d" or, at full resolution, "%c %05d,%05d".
  void AppendPoint(TextBuilder& text, const DecoderSettings& settings) const;

  DecoderContext& context_;
  UndecodedDecoder& undecoded_;
  State state_ = State::kIdle;
  char character_ = ' ';
  bool button_ = false;
  bool secondFlag_ = false;  // status bit 0: kept, never shown
  bool alternate_ = false;   // the 5-bit form is armed
  std::uint8_t xLow_ = 0, xHigh_ = 0, yLow_ = 0, yHigh_ = 0, zLow_ = 0;
  int skipLeft_ = 0;
  int alternateCount_ = 0;
  std::uint8_t alternateBytes_[4] = {};
};

}  // namespace kx7
