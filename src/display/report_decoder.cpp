#include "display/report_decoder.h"

#include "controller/controller_types.h"
#include "display/corner_decoder.h"
#include "display/decoder_context.h"
#include "display/display_constants.h"
#include "display/four_channel_decoder.h"
#include "display/hex_dump_decoder.h"
#include "display/hid_report_decoder.h"
#include "display/kxs_decoder.h"
#include "display/raw_signed_decoder.h"
#include "display/record_decoder.h"
#include "display/undecoded_decoder.h"
#include "frame/frame_constants.h"

namespace kx7 {

struct ReportDecoder::State {
  State(TerminalSink& sink, DecoderActions& actions)
      : context{sink, actions},
        undecoded(context),
        hexDump(context),
        kxs(context, undecoded),
        rawSigned(context, undecoded),
        fourChannel(context),
        corner(context, undecoded),
        hid(context, undecoded),
        records(context, undecoded, choices) {}

  DecoderContext context;
  RecordChoices choices;
  UndecodedDecoder undecoded;
  HexDumpDecoder hexDump;
  KxsDecoder kxs;
  RawSignedDecoder rawSigned;
  FourChannelDecoder fourChannel;
  CornerDecoder corner;
  HidReportDecoder hid;
  RecordDecoder records;
};

ReportDecoder::ReportDecoder(TerminalSink& sink, DecoderActions& actions)
    : state_(std::make_unique<State>(sink, actions)) {}

ReportDecoder::~ReportDecoder() = default;

void ReportDecoder::DecodeByte(std::uint8_t byte, const DecoderSettings& settings) {
  State& s = *state_;
  s.undecoded.StartByte();
  if (settings.passThrough) {
    // The bytes belong to the second processor, not to a report.
    if (settings.reportFormat != format::kSignals) s.undecoded.Decode(byte, settings);
    return;
  }
  if (settings.rawLogOpen) s.context.actions.WriteRawLog(byte);
  switch (settings.reportFormat) {
    case format::kKxs:
    case format::kKxsZ:
      if (settings.controllerType == type::kGeneric) {
        s.undecoded.Decode(byte, settings);
      } else if (IsUsbLink(settings.linkKind) && settings.multiTouch) {
        s.hid.Decode(byte, settings);
      } else {
        s.kxs.Decode(byte, settings);
      }
      break;
    case format::kRawSigned:
      s.rawSigned.Decode(byte, settings);
      break;
    case format::kHexDump:
      s.hexDump.Decode(byte, settings);
      break;
    case format::kSignals:
      if (KeepsBlock1Checksum(settings.controllerType)) {
        s.fourChannel.Decode(byte);
      } else if (!HasNoSignalDisplay(settings.controllerType)) {
        s.corner.Decode(byte, settings);
      }
      break;
    default:  // 32819, 32822 and any format without a decoder
      s.undecoded.Decode(byte, settings);
      break;
  }
}

void ReportDecoder::DecodeRecord(const std::uint8_t* record, std::size_t length, const DecoderSettings& settings) {
  state_->records.Decode(record, length, settings);
}

void ReportDecoder::Reset() {
  State& s = *state_;
  s.context.touchDown = false;
  s.undecoded.Reset();
  s.kxs.Reset();
  s.rawSigned.Reset();
  s.fourChannel.Reset();
  s.corner.Reset();
  s.hid.Reset();
  s.records.Reset();
}

RecordChoices& ReportDecoder::Choices() { return state_->choices; }

void ReportDecoder::RestartDecimation() { state_->records.RestartDecimation(); }

}  // namespace kx7
