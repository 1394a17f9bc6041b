// Received bytes that no decoder takes: printable characters as themselves, all others as
// "<%02X>"; a CR ends the line, and a LF directly after a CR is not shown (the log gets its line
// feed instead). The other decoders hand it the bytes they do not take.
#pragma once

#include <cstdint>

#include "display/decoder_context.h"

namespace kx7 {

class UndecodedDecoder {
 public:
  explicit UndecodedDecoder(DecoderContext& context) : context_(context) {}

  // Called once for every received byte before any decoder sees it: the CR marker moves on.
  void StartByte() {
    crBefore_ = crNow_;
    crNow_ = false;
  }
  // A decoder ended the line at a CR byte of its own: a LF right after it is not shown either.
  void NoteCarriageReturn() { crNow_ = true; }

  void Decode(std::uint8_t byte, const DecoderSettings& settings);
  // "<%02X>" whatever the byte (records that do not fit their type).
  void ShowHex(std::uint8_t byte);

  void Reset() { crBefore_ = crNow_ = false; }

 private:
  DecoderContext& context_;
  bool crBefore_ = false;  // the previous byte was a CR that ended a line
  bool crNow_ = false;
};

}  // namespace kx7
