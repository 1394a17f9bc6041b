#include "display/record_decoder.h"

#include <algorithm>
#include <string_view>

#include "controller/controller_types.h"
#include "proto/proto_constants.h"

namespace kx7 {
namespace {

unsigned Word(const std::uint8_t* at) { return static_cast<unsigned>(at[0] | (at[1] << 8)); }

std::int32_t Long(const std::uint8_t* at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                   (static_cast<std::uint32_t>(at[2]) << 16) |
                                   (static_cast<std::uint32_t>(at[3]) << 24));
}

// A signed 24-bit value, low byte first.
std::int32_t Signed24(const std::uint8_t* at) {
  const std::int32_t value = at[0] | (at[1] << 8) | (at[2] << 16);
  return value >= 0x800000 ? value - 0x1000000 : value;
}

void AppendCorners(TextBuilder& text, int ul, int ur, int ll, int lr) {
  text.Text("UL").Decimal(ul, 3).Text(" UR").Decimal(ur, 3).Text(" LL").Decimal(ll, 3).Text(" LR").Decimal(lr, 3);
}

// The bytes a record needs for its fields, 0 for a type without a line.
std::size_t FieldBytes(std::uint8_t type, std::uint32_t controllerType) {
  switch (type) {
    case record::kCoords:
      return record::kCoordsBytes;
    case record::kCoordsPressure:
      return record::kCoordsPressureBytes;
    case record::kRawCorners:
      return controllerType == type::kUsb1 ? record::kRawCornersUsb1Bytes : record::kRawCornersBytes;
    case record::kText:
      return record::kTextHeaderBytes;
    case record::kStrays:
    case record::kPwm:
    case record::kStrayDelta:
      return record::kFourBytes;
    case record::kCompCorners:
      return record::kCompCornersBytes;
    case record::kStraysAllGains:
      return controllerType == type::kMaple ? record::kMapleRawBytes : record::kStraysAllGainsBytes;
    case record::kVelocity:
      return record::kVelocityBytes;
    case record::kRawSignals:
      return record::kRawSignalsBytes;
    default:
      return 0;
  }
}

}  // namespace

void RecordDecoder::RestartDecimation() { counters_.fill(std::max(choices_.filter, 0)); }

void RecordDecoder::Reset() {
  counters_.fill(0);
  for (LastShown& last : last_) last.any = false;
  textAfterCr_ = false;
}

void RecordDecoder::StartLine(TextBuilder& text, const std::uint8_t* record) const {
  if (choices_.showLoop) text.Char('[').Decimal(record[1], 3).Text("] ");
}

void RecordDecoder::Show(const TextBuilder& text) {
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

void RecordDecoder::Decimated(const TextBuilder& text, std::size_t start, Counter counter, Kept kept, Decimation rule) {
  LastShown& last = last_[kept];
  const std::string_view values = text.View().substr(start);
  const bool changed = !last.any || values != std::string_view(last.text.data(), last.length);
  int& left = counters_[counter];
  bool show = false;
  if (rule == Decimation::kChangesFirst && changed) {
    show = true;
  } else if (left <= 0) {
    show = true;
    left = std::max(choices_.filter, 0);
  } else if (rule == Decimation::kCounterFirst && choices_.allowDiffs && changed) {
    show = true;
  } else {
    --left;
  }
  if (!show) return;
  std::copy(values.begin(), values.end(), last.text.begin());
  last.length = values.size();
  last.any = true;
  Show(text);
}

void RecordDecoder::ShowUndecoded(const std::uint8_t* record, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) undecoded_.ShowHex(record[i]);
  context_.sink.EndLine(LineEnd::kReportEnd);
}

void RecordDecoder::Decode(const std::uint8_t* record, std::size_t length, const DecoderSettings& settings) {
  if (!choices_.display || record == nullptr || length == 0) return;
  length = std::min(length, record::kMostBytes);
  if (length < 2) {
    ShowUndecoded(record, length);
    return;
  }
  std::uint8_t type = record[0];
  if (settings.controllerType == type::kBirch2Hid) {
    if ((type == record::kCoords || type == record::kText || type == record::kBirch2Report4) &&
        !context_.actions.PassesDriverFilter(record, length)) {
      return;
    }
    if (type == record::kStrays) type = record::kRawCorners;
  }
  if (type != record::kText) textAfterCr_ = false;
  const std::size_t needed = FieldBytes(type, settings.controllerType);
  if (needed == 0 || length < needed) {
    ShowUndecoded(record, length);
    return;
  }
  switch (type) {
    case record::kCoords:
    case record::kCoordsPressure:
      Coords(record, settings, type == record::kCoordsPressure);
      break;
    case record::kRawCorners:
      RawCorners(record, settings);
      break;
    case record::kText:
      Text(record, length);
      break;
    case record::kStrays: {
      TextBuilder text;
      StartLine(text, record);
      const std::size_t start = text.Length();
      text.Text(record::kStray);
      AppendCorners(text, record[2], record[3], record[4], record[5]);
      Decimated(text, start, kStrayCounter, kKeptStrays, Decimation::kChangesFirst);
      break;
    }
    case record::kCompCorners:
      CompCorners(record);
      break;
    case record::kPwm:
      Corners(record, record::kPwmText, record + 2);
      break;
    case record::kStraysAllGains:
      if (settings.controllerType == type::kMaple) {
        MapleRaw(record);
      } else {
        StraysAllGains(record);
      }
      break;
    case record::kVelocity: {
      TextBuilder text;
      StartLine(text, record);
      text.Text(record::kVel).Decimal(record[2]);
      Show(text);
      break;
    }
    case record::kStrayDelta:
      Corners(record, record::kDelta, record + 2);
      break;
    case record::kRawSignals:
      RawSignals(record, settings);
      break;
    default:
      break;
  }
}

void RecordDecoder::Coords(const std::uint8_t* record, const DecoderSettings& settings, bool pressure) {
  const bool touching = (record[2] & record::kTouchBit) != 0;
  const char character = touching ? (context_.touchDown ? '.' : 'D') : 'U';
  context_.touchDown = touching;
  const unsigned x = Word(record + 3), y = Word(record + 5), ux = Word(record + 7), uy = Word(record + 9);
  TextBuilder text;
  StartLine(text, record);
  text.Char(character);
  if (settings.reportFormat == format::kHexDump) {
    text.Text(" X[").Hex(x, 4).Text("],Y[").Hex(y, 4).Text("] uX[").Hex(ux, 4).Text("],uY[").Hex(uy, 4).Char(']');
    if (pressure) {
      text.Text(", U[").Hex(Word(record + 11), 4).Text("], A[").Hex(Word(record + 13), 4);
      text.Text("], B[").Hex(Word(record + 15), 4).Char(']');
    } else {
      text.Char(' ').Hex(record[1], 2);
    }
    Show(text);
    return;
  }
  if (settings.reportFormat == format::kRawSigned) {
    text.Char(' ').SignedDecimal(static_cast<int>(ux) - record::kRawMiddle).Char(',');
    text.Char(' ').SignedDecimal(static_cast<int>(uy) - record::kRawMiddle);
  } else if (settings.controllerType == type::kUsb1) {
    text.Char(' ').Decimal((x / 32) * 999 / 1000, 4).Char(' ').Decimal((y / 32) * 999 / 1000, 4);
  } else if (settings.fullResolution) {
    text.Char(' ').Decimal(x >> 2, 5).Char(' ').Decimal(y >> 2, 5);
  } else {
    text.Char(' ').Decimal(x >> 5, 4).Char(' ').Decimal(y >> 5, 4);
  }
  if (pressure) {
    text.Text("  U[").Decimal(Word(record + 11), 4).Text("] A[").Decimal(Word(record + 13), 4);
    text.Text("] B[").Decimal(Word(record + 15), 4).Char(']');
  }
  Show(text);
}

void RecordDecoder::RawCorners(const std::uint8_t* record, const DecoderSettings& settings) {
  TextBuilder text;
  StartLine(text, record);
  const std::size_t start = text.Length();
  if (settings.controllerType == type::kUsb1) {
    text.Text(record::kRawUsb1);
    AppendCorners(text, static_cast<int>(Word(record + 3)), static_cast<int>(Word(record + 5)),
                  static_cast<int>(Word(record + 7)), static_cast<int>(Word(record + 9)));
    text.Text(record::kGain).Decimal(record[2]);
  } else if (settings.reportFormat == format::kHexDump) {
    for (std::size_t offset : record::kRawCornerOffsets) {
      text.Hex(static_cast<std::uint32_t>(Long(record + offset)), 8).Text(record::kRawSeparator);
    }
    text.Hex(record[2], 2);
  } else {
    for (std::size_t offset : record::kRawCornerOffsets)
      text.Text(record::kRawSeparator).Decimal(Long(record + offset));
    text.Text(record::kRawSeparator).Decimal(record[2]);
  }
  Decimated(text, start, kRawCounter, kKeptRawCorners, Decimation::kCounterFirst);
}

void RecordDecoder::RawSignals(const std::uint8_t* record, const DecoderSettings& settings) {
  TextBuilder text;
  StartLine(text, record);
  const std::size_t start = text.Length();
  const bool hex = settings.reportFormat == format::kHexDump;
  for (std::size_t offset : record::kRawSignalOffsets) {
    const std::int32_t value = static_cast<std::int32_t>(static_cast<std::int64_t>(Signed24(record + offset)) * 256);
    if (hex) {
      text.Hex(static_cast<std::uint32_t>(value), 8).Text(record::kRawSeparator);
    } else {
      text.Text(record::kRawSeparator).Decimal(value, 8);
    }
  }
  if (hex) {
    text.Hex(record[2], 2);
  } else {
    text.Text(record::kRawSeparator).Decimal(record[2], 2);
  }
  Decimated(text, start, kRawCounter, kKeptRawSignals, Decimation::kCounterFirst);
}

void RecordDecoder::Text(const std::uint8_t* record, std::size_t length) {
  // The controller's printf output: runs of printable characters as pieces, a CR ends the line,
  // a LF after a CR is the other half of the line end, a NUL ends the text.
  const std::size_t end = std::min(length, record::kTextHeaderBytes + record[2]);
  std::size_t run = record::kTextHeaderBytes;
  auto flush = [&](std::size_t at) {
    if (at > run) {
      context_.sink.AppendText(std::string_view(reinterpret_cast<const char*>(record + run), at - run),
                               TextKind::kDecoded);
    }
  };
  for (std::size_t i = record::kTextHeaderBytes; i < end; ++i) {
    const std::uint8_t c = record[i];
    const bool afterCr = textAfterCr_;
    textAfterCr_ = false;
    if (c >= 0x20 && c <= 0x7E) continue;
    flush(i);
    run = i + 1;
    if (c == 0) return;
    if (c == kCr) {
      context_.sink.EndLine(LineEnd::kCarriageReturn);
      textAfterCr_ = true;
    } else if (c != kLineFeed || !afterCr) {
      undecoded_.ShowHex(c);
    }
  }
  flush(end);
}

void RecordDecoder::Corners(const std::uint8_t* record, std::string_view label, const std::uint8_t* values) {
  TextBuilder text;
  StartLine(text, record);
  text.Text(label);
  AppendCorners(text, values[0], values[1], values[2], values[3]);
  Show(text);
}

void RecordDecoder::CompCorners(const std::uint8_t* record) {
  // The corners are the high bytes of the 16-bit words at 2, 4, 6 and 8.
  const int ul = record[3], ur = record[5], ll = record[7], lr = record[9];
  TextBuilder text;
  StartLine(text, record);
  const std::size_t start = text.Length();
  text.Text(record::kComp);
  AppendCorners(text, ul, ur, ll, lr);
  text.Text(record::kSum).Decimal(ul + ur + ll + lr, 3);
  Decimated(text, start, kCompCounter, kKeptComp, Decimation::kCounterFirst);
}

void RecordDecoder::StraysAllGains(const std::uint8_t* record) {
  for (int gain = 0; gain < record::kStrayGains; ++gain) {
    const std::uint8_t* values = record + 2 + gain * 4;
    TextBuilder text;
    StartLine(text, record);
    text.Text(record::kStray).Decimal(gain).Char(' ');
    AppendCorners(text, values[0], values[1], values[2], values[3]);
    Show(text);
  }
}

void RecordDecoder::MapleRaw(const std::uint8_t* record) {
  TextBuilder text;
  StartLine(text, record);
  const std::size_t start = text.Length();
  text.Text(record::kMapleRaw).Decimal(Word(record + 2), 3);
  text.Text(" UX").Decimal(Word(record + 4), 3).Text(" LY").Decimal(Word(record + 6), 3);
  text.Text(" UY").Decimal(Word(record + 8), 3);
  Decimated(text, start, kRawCounter, kKeptMapleRaw, Decimation::kCounterFirst);
}

}  // namespace kx7
