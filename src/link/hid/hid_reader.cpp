#include "link/hid/hid_reader.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/hid/hid_reports.h"

namespace kx7::hid {

namespace {

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at + 1 >= bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool IsMultiContactReport(std::uint8_t id) {
  return id == touch::kMultiContactReport || id == touch::kLarchReportDefault || id == touch::kLarchReport400000 ||
         id == touch::kLarchReport20000 || id == touch::kLarchReport40000;
}

void Append(std::vector<std::uint8_t>& out, const std::array<std::uint8_t, touch::kTabletPacketBytes>& packet) {
  out.insert(out.end(), packet.begin(), packet.end());
}

// Each of up to two contacts of a resistive report; report 7 carries 12-bit and report 8 13-bit
// coordinates, the packet 14-bit ones.
std::vector<std::uint8_t> ResistivePackets(std::span<const std::uint8_t> report) {
  std::vector<std::uint8_t> out;
  const int shift = report[0] == touch::kTouchReport ? 2 : 1;
  const std::uint16_t limit = static_cast<std::uint16_t>((1u << (14 - shift)) - 1);
  for (int k = 0; k < touch::kResistiveContacts; ++k) {
    const std::size_t at = touch::kResistiveFirstRecord + static_cast<std::size_t>(k) * touch::kResistiveRecordBytes;
    if (at + touch::kResistiveRecordBytes > report.size()) break;
    const std::uint8_t state = report[at];
    if ((state & touch::kResistivePresentBit) == 0) continue;
    const std::uint16_t x = std::min<std::uint16_t>(Word(report, at + 1), limit);
    const std::uint16_t y = std::min<std::uint16_t>(Word(report, at + 3), limit);
    Append(out, TabletPacket((state & touch::kResistiveTouchingBit) != 0, static_cast<std::uint16_t>(x << shift),
                             static_cast<std::uint16_t>(y << shift)));
  }
  return out;
}

std::vector<std::uint8_t> ResistiveRawText(std::span<const std::uint8_t> report) {
  if (report.size() < touch::kResistiveRawNOffset + 2) return {};
  char text[64];
  std::snprintf(text, sizeof text, "X= %04X Y= %04X Z= %04X N= %02X %02X\r", Word(report, touch::kResistiveRawXOffset),
                Word(report, touch::kResistiveRawYOffset), Word(report, touch::kResistiveRawZOffset),
                report[touch::kResistiveRawNOffset], report[touch::kResistiveRawNOffset + 1]);
  const std::string line(text);
  return {line.begin(), line.end()};
}

std::vector<std::uint8_t> ReceivedPassThroughBytes(std::span<const std::uint8_t> report) {
  if (report.size() <= kDataOffset) return {};
  const std::size_t count = report[touch::kPassThroughCountOffset];
  const std::size_t available = report.size() - kDataOffset;
  const std::size_t n = std::min<std::size_t>({count, kPassThroughDataMax, available});
  return {report.begin() + kDataOffset, report.begin() + static_cast<std::ptrdiff_t>(kDataOffset + n)};
}

}  // namespace

std::array<std::uint8_t, touch::kTabletPacketBytes> TabletPacket(bool touching, std::uint16_t x14, std::uint16_t y14) {
  return {static_cast<std::uint8_t>(touch::kTabletStart | (touching ? touch::kTabletTouching : 0)),
          static_cast<std::uint8_t>(x14 & 0x7F), static_cast<std::uint8_t>((x14 >> 7) & 0x7F),
          static_cast<std::uint8_t>(y14 & 0x7F), static_cast<std::uint8_t>((y14 >> 7) & 0x7F)};
}

PollChoice Birch2Fallback() { return {touch::kBirch2StreamFallback, touch::kBirch2FallbackLength}; }

PollChoice ChoosePollReport(const ReaderState& state) {
  PollChoice choice = [&]() -> PollChoice {
    if (state.type == type::kBirch2Hid) {
      if (state.passThrough) return {kPassThroughReport, kPassThroughLength};
      if (state.birch2Stream) return {touch::kBirch2StreamReport, touch::kBirch2StreamLength};
      return Birch2Fallback();
    }
    if (state.passThrough || state.birch2Stream || state.raw) return {kPassThroughReport, kPassThroughLength};
    if (state.type == type::kLarchUsb) {
      if (state.features & feature::kLarchSensor2) return {touch::kLarchReport20000, touch::kMultiContactLength};
      if (state.features & feature::kLarchSensor0) return {touch::kLarchReport40000, touch::kMultiContactLength};
      if (state.features & feature::kLarchSensor3) return {touch::kLarchReport400000, touch::kMultiContactLength};
      return {touch::kLarchReportDefault, touch::kMultiContactLength};
    }
    if (state.type == type::kLarchUsb0500) return {touch::kTouchReport, touch::kMultiContactLength};
    if ((state.type == type::kRowanUsbGen3 || state.type == type::kRowanGen4) &&
        (state.features & feature::kMultiContact) != 0 && state.multiTouchMode == 2)
      return {touch::kMultiContactReport, touch::kMultiContactLength};
    return {touch::kTouchReport, state.inputReportLength};
  }();
  // Through the KX7 driver only the length differs: 8 for the resistive types, 64 for the others.
  if (state.kxHid && choice.id != kPassThroughReport && state.type != type::kBirch2Hid)
    choice.length = IsResistiveUsbType(state.type) ? touch::kKxHidResistiveLength : touch::kMultiContactLength;
  return choice;
}

bool ShowsContact(std::uint32_t features, std::span<const std::uint8_t> report) {
  const Layout& layout = LayoutFor(features);
  const auto countAt = static_cast<std::size_t>(layout.countOffset);
  if (countAt < report.size() && report[countAt] != 0) return true;
  for (int k = 0; k < layout.contacts; ++k) {
    const std::size_t at = 1 + static_cast<std::size_t>(k * layout.recordBytes);
    if (at >= report.size()) break;
    const std::uint8_t status = report[at];
    if (layout.validWhenNonZero ? status != 0 : (status & kValidBit) != 0) return true;
  }
  return false;
}

ReaderOutput ConvertReport(const ReaderState& state, std::span<const std::uint8_t> report) {
  ReaderOutput out;
  if (report.empty()) return out;
  const std::uint8_t id = report[0];
  if (state.hexDump) {
    out.bytes.assign(report.begin(), report.end());
    return out;
  }
  if (state.type == type::kBirch2Hid) {
    if (id == kPassThroughReport) {
      out.bytes = ReceivedPassThroughBytes(report);
    } else if (id == 1 || id == 3 || id == 4 || id == 5) {
      out.kind = DeliveryKind::kPacket;
      out.bytes.assign(report.begin(), report.end());
    }
    return out;
  }
  if (IsResistiveUsbType(state.type)) {
    if (id == kPassThroughReport) out.bytes = ResistiveRawText(report);
    else if (id == touch::kTouchReport || id == touch::kTouchReport13Bit) out.bytes = ResistivePackets(report);
    return out;
  }
  if (id == kPassThroughReport) {
    out.bytes = ReceivedPassThroughBytes(report);
    return out;
  }
  if (state.type == type::kMaple) {
    out.kind = DeliveryKind::kPacket;
    out.bytes.assign(report.begin(), report.end());
    return out;
  }
  const bool multiContact = IsMultiContactReport(id) || (state.type == type::kLarchUsb0500 && id == touch::kTouchReport);
  if ((IsUsbRowanCedar(state.type) || IsLarchUsbType(state.type)) && multiContact) {
    if (report.size() >= touch::kMultiContactLength && ShowsContact(state.features, report))
      out.bytes.assign(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(touch::kMultiContactLength));
    return out;
  }
  if (IsUsbRowanCedar(state.type) && (id == touch::kTouchReportFirst || id == touch::kTouchReport || id == touch::kTouchReport13Bit)) {
    if (report.size() < touch::kRowanYOffset + 2) return out;
    const std::uint8_t st = report[touch::kRowanStateOffset];
    if ((st & touch::kRowanContactBit) == 0) return out;
    const auto x = static_cast<std::uint16_t>(std::min<unsigned>(Word(report, touch::kRowanXOffset), 0x3FFF));
    const auto y = static_cast<std::uint16_t>(std::min<unsigned>(Word(report, touch::kRowanYOffset), 0x3FFF));
    Append(out.bytes, TabletPacket((st & touch::kRowanTipBit) != 0, x, y));
  }
  return out;
}

}  // namespace kx7::hid
