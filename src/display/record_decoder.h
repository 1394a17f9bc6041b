// Records of the driver and HID links (at most 100 bytes): byte 0 the record type, byte 1 the
// loop counter. Coordinates, raw and compensated corners, strays, PWM, velocity and the
// controller's own printf text each have their line; the busy signal records are thinned out by
// the "Filter" counters of the "USB Sync - Async Reports" choices. A record shorter than its
// type's fields, or of a type without a line, is shown as its bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "display/decoder_context.h"
#include "display/display_constants.h"
#include "display/text_builder.h"
#include "display/undecoded_decoder.h"

namespace kx7 {

class RecordDecoder {
 public:
  RecordDecoder(DecoderContext& context, UndecodedDecoder& undecoded, RecordChoices& choices)
      : context_(context), undecoded_(undecoded), choices_(choices) {}

  void Decode(const std::uint8_t* record, std::size_t length, const DecoderSettings& settings);
  // Every decimation counter to the filter (the dialog's Apply).
  void RestartDecimation();
  // Counters at 0 and nothing shown yet (Clear All).
  void Reset();

 private:
  // The decimation counters: raw corners, raw signals and the Maple raw record share one.
  enum Counter { kRawCounter, kCompCounter, kStrayCounter, kCounters };
  // The records whose last shown values count.
  enum Kept { kKeptRawCorners, kKeptRawSignals, kKeptMapleRaw, kKeptComp, kKeptStrays, kKepts };
  struct LastShown {
    std::array<char, TextBuilder::kCapacity> text{};
    std::size_t length = 0;
    bool any = false;
  };

  void StartLine(TextBuilder& text, const std::uint8_t* record) const;
  void Show(const TextBuilder& text);
  enum class Decimation {
    kCounterFirst,  // shown when the counter is out, or with Allow Diffs when the values changed
    kChangesFirst,  // shown when the values changed, else when the counter is out
  };
  // Shows the line unless the decimation drops it. `start` is where the values begin in it.
  void Decimated(const TextBuilder& text, std::size_t start, Counter counter, Kept kept, Decimation rule);
  void ShowUndecoded(const std::uint8_t* record, std::size_t length);

  void Coords(const std::uint8_t* record, const DecoderSettings& settings, bool pressure);
  void RawCorners(const std::uint8_t* record, const DecoderSettings& settings);
  void RawSignals(const std::uint8_t* record, const DecoderSettings& settings);
  void Text(const std::uint8_t* record, std::size_t length);
  void Corners(const std::uint8_t* record, std::string_view label, const std::uint8_t* values);
  void CompCorners(const std::uint8_t* record);
  void StraysAllGains(const std::uint8_t* record);
  void MapleRaw(const std::uint8_t* record);

  DecoderContext& context_;
  UndecodedDecoder& undecoded_;
  RecordChoices& choices_;
  std::array<int, kCounters> counters_{};
  std::array<LastShown, kKepts> last_{};
  bool textAfterCr_ = false;  // printf text: the last character was a CR
};

}  // namespace kx7
