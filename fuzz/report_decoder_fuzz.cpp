// Received bytes and driver records of any content under any settings: the first bytes choose
// the format, controller type, features, link and flags; the rest is a run of chunks, each either
// bytes for DecodeByte or a record for DecodeRecord. Every piece of text stays short, and no byte
// or record makes more than a bounded number of pieces and line ends.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "controller/controller_types.h"
#include "display/display_constants.h"
#include "display/report_decoder.h"
#include "display/terminal_sink.h"
#include "frame/frame_constants.h"

namespace {

constexpr std::size_t kLongestPiece = 200;
// A HID report's last byte makes the most: ten contacts, the scan time, the line end, and the
// end of the line left open before it.
constexpr std::size_t kMostEventsPerByte = 16;

class CheckingSink : public kx7::TerminalSink {
 public:
  void AppendText(std::string_view text, kx7::TextKind kind, int contacts) override {
    if (text.empty() || text.size() > kLongestPiece) __builtin_trap();
    if (kind != kx7::TextKind::kDecoded && kind != kx7::TextKind::kUndecoded) __builtin_trap();
    if (contacts < 0 || contacts > kx7::hid::kMostContacts) __builtin_trap();
    for (char c : text) {
      // Everything shown is printable (control bytes become "<%02X>"), except the tabs of the raw records.
      if ((c < 0x20 || c > 0x7E) && c != '\t') __builtin_trap();
    }
    ++events;
  }
  void EndLine(kx7::LineEnd) override { ++events; }
  std::size_t events = 0;
};

class Actions : public kx7::DecoderActions {
 public:
  void SendPollByte() override {}
  void WriteRawLog(std::uint8_t) override { ++rawBytes; }
  void WriteLogLinefeed() override {}
  bool PassesDriverFilter(const std::uint8_t* record, std::size_t length) override {
    return length > 0 && (record[length - 1] & 1) == 0;
  }
  std::size_t rawBytes = 0;
};

constexpr std::array<std::uint32_t, 8> kFormats = {
    kx7::format::kKxs,       kx7::format::kKxsZ,          kx7::format::kRawSigned, kx7::format::kHexDump,
    kx7::format::kUndecoded, kx7::format::kUndecodedMenu, kx7::format::kSignals,   0};
constexpr std::array<int, 8> kLinks = {0,
                                       1,
                                       kx7::link::kRivetwareDriver,
                                       kx7::link::kDriverFile,
                                       kx7::link::kRivetwareUsb,
                                       kx7::link::kHid,
                                       kx7::link::kKxUsb,
                                       kx7::link::kKxHid};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  kx7::DecoderSettings settings;
  settings.reportFormat = kFormats[data[0] & 7];
  // Types 32852 to 32889 and Generic.
  settings.controllerType = (data[1] & 0x3F) < 38 ? kx7::type::kHazel3 + (data[1] & 0x3F) : kx7::type::kGeneric;
  settings.controllerFeatures = static_cast<std::uint32_t>(data[2] | (data[3] << 8) | (data[4] << 16));
  settings.linkKind = kLinks[data[5] & 7];
  const std::uint8_t flags = data[6];
  settings.passThrough = flags & 0x01;
  settings.multiTouch = flags & 0x02;
  settings.fullResolution = flags & 0x04;
  settings.wrapOnCr = flags & 0x08;
  settings.wrapOnBit7 = flags & 0x10;
  settings.pollMode = flags & 0x20;
  settings.rawLogOpen = flags & 0x40;
  settings.logOpen = flags & 0x80;

  CheckingSink sink;
  Actions actions;
  kx7::ReportDecoder decoder(sink, actions);
  kx7::RecordChoices& choices = decoder.Choices();
  choices.showLoop = data[7] & 0x01;
  choices.allowDiffs = data[7] & 0x02;
  choices.display = (data[7] & 0x04) == 0;
  choices.filter = (data[7] >> 3) - 4;  // a few negative filters too
  if (data[7] & 0x80) decoder.RestartDecimation();

  // Chunks: a header byte, then its bytes. Bit 7 set: a record of (header & 0x7F) bytes, which
  // may be longer than a record can be; else (header + 1) received bytes. 0x7F resets.
  std::size_t at = 8;
  std::size_t rawExpected = 0;
  while (at < size) {
    const std::uint8_t header = data[at++];
    if (header == 0x7F) {
      decoder.Reset();
      continue;
    }
    const std::size_t wanted = (header & 0x80) ? (header & 0x7Fu) + (header & 0x40 ? 64u : 0u) : header + 1u;
    const std::size_t length = wanted < size - at ? wanted : size - at;
    if (header & 0x80) {
      const std::size_t before = sink.events;
      decoder.DecodeRecord(data + at, length, settings);
      if (sink.events - before > 2 * kx7::record::kMostBytes + 8) __builtin_trap();
    } else {
      for (std::size_t i = 0; i < length; ++i) {
        const std::size_t before = sink.events;
        decoder.DecodeByte(data[at + i], settings);
        if (sink.events - before > kMostEventsPerByte) __builtin_trap();
        if (settings.rawLogOpen && !settings.passThrough) ++rawExpected;
      }
    }
    at += length;
  }
  if (actions.rawBytes != rawExpected) __builtin_trap();
  return 0;
}
