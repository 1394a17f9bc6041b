// Turns every received byte and driver record into terminal text, by the report format and the
// controller: undecoded text, hex dump, the KXS tablet reports, the raw signed reports, the
// four-channel and corner signal streams, the HID multi-touch reports, and the driver records.
// One instance per terminal; its state is the decoder state of that terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "display/terminal_sink.h"

namespace kx7 {

// What the decoders need to know of the frame and the options, read at each byte.
struct DecoderSettings {
  std::uint32_t reportFormat = 32816;
  std::uint32_t controllerType = 32855;
  std::uint32_t controllerFeatures = 0;
  int linkKind = 0;
  bool passThrough = false;
  bool multiTouch = false;      // the controller numbers its contacts (features 0x1000 or 0x800)
  bool fullResolution = false;  // FullBirch2Resolution
  bool wrapOnCr = true;
  bool wrapOnBit7 = true;
  bool pollMode = false;
  bool rawLogOpen = false;  // a log file is open in raw mode: every byte goes to it
  bool logOpen = false;     // a log file is open and the terminal's log output is not suppressed
};

// What the decoders do besides writing text.
class DecoderActions {
 public:
  virtual ~DecoderActions() = default;
  virtual void SendPollByte() = 0;                  // 0x11 to the controller (0x801B)
  virtual void WriteRawLog(std::uint8_t byte) = 0;  // raw-mode logging
  virtual void WriteLogLinefeed() = 0;              // the LF after a CR of undecoded text
  // Birch2 HID records of types 1, 3 and 4 go through the driver link's own filter first; a
  // record it holds back is not shown. The link decides; without one every record passes.
  virtual bool PassesDriverFilter(const std::uint8_t* /*record*/, std::size_t /*length*/) { return true; }
};

// The "USB Sync - Async Reports" choices that the record display uses.
struct RecordChoices {
  int filter = 50;
  bool allowDiffs = false;
  bool showLoop = false;
  bool display = true;  // the record display switch ("Pause" turns it off)
  // The record types the dialog asks the driver for. The display shows whatever arrives; these
  // are kept here so that the dialog's "Default" reloads them.
  bool asyncCoords = false;
  bool asyncRawCorners = false;
  bool asyncPrintf = false;  // "Printf (Verbose)"
  bool asyncStrays = false;
  bool asyncCompCorners = false;
  bool asyncPwm = false;
  bool asyncStraysAllGains = false;
  bool asyncVelocity = false;
  bool asyncStrayDelta = false;
  bool syncCoords = false;
  bool syncRawCorners = false;
};

class ReportDecoder {
 public:
  ReportDecoder(TerminalSink& sink, DecoderActions& actions);
  ~ReportDecoder();
  ReportDecoder(const ReportDecoder&) = delete;
  ReportDecoder& operator=(const ReportDecoder&) = delete;

  void DecodeByte(std::uint8_t byte, const DecoderSettings& settings);
  void DecodeRecord(const std::uint8_t* record, std::size_t length, const DecoderSettings& settings);
  // Back to the state of a new terminal (Clear All); the record choices stay.
  void Reset();

  RecordChoices& Choices();
  // Sets the decimation counters to the filter (Apply of the dialog).
  void RestartDecimation();

 private:
  struct State;  // every decoder's state, one set per terminal
  std::unique_ptr<State> state_;
};

}  // namespace kx7
