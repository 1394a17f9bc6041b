#include "factory_blocks.h"

#include <algorithm>
#include <cstring>

namespace kx7::emu {

namespace {

constexpr std::size_t kBlock8Values = 256;

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  if (at + 1 >= bytes.size()) return;
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put16High(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  if (at + 1 >= bytes.size()) return;
  bytes[at] = static_cast<std::uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint8_t value) {
  if (at < bytes.size()) bytes[at] = value;
}

// The calibration extents every controller keeps in bytes 0 to 7 (upper-left and lower-right
// corners, 11-bit raw units), the offsets in bytes 21 to 24 and the orientation in byte 20.
void Extents(std::vector<std::uint8_t>& b) {
  Put16(b, 0, 0x0045);
  Put16(b, 2, 0x0052);
  Put16(b, 4, 0x07B6);
  Put16(b, 6, 0x07A9);
}

std::vector<std::uint8_t> Block1(FamilyKind kind, std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  Extents(b);
  switch (kind) {
    case FamilyKind::kCedarGen2:
    case FamilyKind::kCedarGen3:
    case FamilyKind::kCedarGen4:
      Put16(b, 8, 0x0400);
      Put(b, 10, 0x03);
      Put(b, 11, 0x10);
      Put16(b, 12, 0x0028);
      Put(b, 14, 0x08);
      Put(b, 15, 0x04);
      Put16(b, 16, 0x0100);
      Put(b, 18, 0x02);
      Put(b, 19, 0x05);
      Put(b, 20, 0x03);
      Put16(b, 21, 0x0800);
      Put16(b, 23, 0x0800);
      Put(b, 25, 0x01);
      break;
    case FamilyKind::kBirch:
    case FamilyKind::kBirchRom:
    case FamilyKind::kBirchPen:
      Put(b, 8, 0x58);
      Put(b, 9, 0x98);
      Put(b, 11, 0x20);
      Put(b, 12, 0x14);
      Put(b, 13, 0x0A);
      Put(b, 14, 0x03);
      Put(b, 15, 0x02);
      Put(b, 17, 0x30);
      Put(b, 18, 0x06);
      Put(b, 19, 0x01);
      Put(b, 20, 0x03);
      Put16(b, 21, 0x0810);
      Put16(b, 23, 0x07F0);
      break;
    case FamilyKind::kAspen4:
      Put(b, 4, 0x00);   // power up in Auto, no soft reset to the current mode
      Put(b, 12, 0x0C);  // drive level 12; the speed goes in the high half
      Put(b, 13, 0x02);
      Put(b, 14, 0x35);
      Put16(b, 20, 0x0032);  // integration time 100 us, kept halved
      Put16(b, 22, 0x0019);  // sample time 50 us
      Put(b, 24, 0x30);
      Put(b, 25, 0x20);
      Put(b, 26, 0x48);
      Put(b, 27, 0x0A);
      Put(b, 28, 0x03);
      Put(b, 29, 0x01);
      Put(b, 30, 0x12);
      Put(b, 31, 0x80);
      break;
    case FamilyKind::kLarch:
    case FamilyKind::kLarchMultitouch:
      Put16(b, 12, 0x0040);  // liftoff threshold
      Put(b, 14, 0x9A);      // bias 2.00 V
      Put(b, 15, 0x20);
      Put(b, 19, 0x02);
      Put(b, 20, 0x03);
      Put(b, 25, 0x00);
      break;
    case FamilyKind::kHazel3Linden:
    case FamilyKind::kOemLinden:
    case FamilyKind::kHazel3Poplar:
    case FamilyKind::kOemPoplar:
      Put(b, 11, 0x03);  // 100.0 kHz: the count 960 of the 96 MHz oscillator
      Put(b, 14, 0xC0);
      Put16High(b, 12, 100);  // integration time
      Put(b, 15, 0x05);
      Put(b, 16, 0x28);
      Put(b, 17, 0x1E);
      Put(b, 18, 0x03);
      Put(b, 19, 0x00);  // tablet format, stream mode
      Put(b, 20, kind == FamilyKind::kOemLinden || kind == FamilyKind::kOemPoplar ? 0x10 : 0x00);
      Put(b, 21, 0x02);
      Put(b, 22, 0x13);
      Put(b, 23, 0x35);
      Put(b, 24, 0x04);
      break;
    case FamilyKind::kJuniper:
      Put16High(b, 14, 1024);  // acceleration limit
      Put(b, 18, 0x01);
      Put(b, 20, 0x00);
      Put(b, 23, 0x04);
      Put(b, 24, 0x80);
      break;
    case FamilyKind::kResistive4Wire:
    case FamilyKind::kResistive5Wire:
      Put(b, 11, 0x00);
      Put(b, 15, 0x10);
      Put16High(b, 16, 0x0200);
      Put(b, 18, 0x02);
      Put(b, 20, 0x00);
      Put(b, 22, 0x08);
      Put(b, 23, 0x03);
      Put(b, 24, 0x40);
      break;
    case FamilyKind::kHazel2d:
      Put(b, 16, 0x28);
      Put(b, 17, 0x1E);
      Put(b, 19, 0x00);
      break;
  }
  return b;
}

bool IsCedar(FamilyKind kind) {
  return kind == FamilyKind::kCedarGen2 || kind == FamilyKind::kCedarGen3 || kind == FamilyKind::kCedarGen4;
}

bool IsSerialLarch(FamilyKind kind) { return kind == FamilyKind::kLarch || kind == FamilyKind::kLarchMultitouch; }

// Block6 as the Cedar keeps it: comparator set-ups, the suspend delay, wake-on-touch and the
// speed code 2 (9600 baud) in the low half of byte 6.
std::vector<std::uint8_t> CedarBlock6(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t values[] = {0x8F, 0x02, 0x8F, 0x02, 0x0A, 0x01, 0x02};
  std::copy_n(values, std::min(length, sizeof values), b.begin());
  return b;
}

// Block6 of the older controllers: control flags, touch modes, reports at power-up, the null axis
// coordinate, debug mode, the coordinate delay.
std::vector<std::uint8_t> PlainBlock6(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t values[] = {0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00};
  std::copy_n(values, std::min(length, sizeof values), b.begin());
  return b;
}

// Block6 of the Larch: PWM period and pulses, sampling, limits, stray trend and ESD settings.
std::vector<std::uint8_t> LarchBlock6(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t values[] = {0x40, 0x01, 0x20, 0x00, 0x08, 0x10, 0x0A, 0x0A, 0x18, 0x00, 0x02, 0x00, 0x10,
                                 0x00, 0x01, 0xFF, 0x00, 0x04, 0x80, 0x08, 0x00, 0x06, 0x03, 0x04, 0x02, 0x00};
  std::copy_n(values, std::min(length, sizeof values), b.begin());
  return b;
}

// Block6 of the Sequoia model: drive frequency and pulses, the receiver's gains and timings.
std::vector<std::uint8_t> SequoiaBlock6(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t values[] = {0x64, 0x10, 0x20, 0xE0, 0x08, 0x03, 0x04, 0x00, 0x02, 0x03, 0x05, 0x07, 0x04,
                                 0x10, 0x0A, 0x18, 0x00, 0x02, 0x00, 0x10, 0x00, 0x01, 0xFF, 0x00, 0x04, 0x80,
                                 0x08, 0x00, 0x06, 0x03, 0x04, 0x02, 0x32, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x0F, 0x02, 0x00, 0x00, 0x20, 0x10, 0x40, 0x20, 0x30, 0x02};
  std::copy_n(values, std::min(length, sizeof values), b.begin());
  return b;
}

// Block7 with the number of driven rows in byte 6.
std::vector<std::uint8_t> RowBlock7(std::size_t length, std::uint8_t rows) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t values[] = {0x03, 0x05, 0x10, 0x40, 0x08, 0x20, rows, 0x28, 0x02, 0x01,
                                 0x00, 0x7F, 0x30, 0x10, 0x04, 0x00, 0x00, 0x0C, 0x08, 0x00, 0x01};
  std::copy_n(values, std::min(length, sizeof values), b.begin());
  return b;
}

// The drive level of each row, low byte first: a little stronger towards the far rows, none for
// rows the sensor does not have.
std::vector<std::uint8_t> RowDriveLevels(std::size_t length, std::uint8_t rows) {
  std::vector<std::uint8_t> b(length, 0);
  for (std::size_t row = 0; row < rows && 2 * row + 1 < b.size() && row < kBlock8Values; ++row)
    Put16(b, 2 * row, static_cast<std::uint16_t>(0x0180 + 3 * row));
  return b;
}

// The cable block: no linearization yet, the manufacturing record in bytes 50 to 59.
std::vector<std::uint8_t> CableBlock(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  const std::uint8_t record[] = {0x24, 0x03, 0x15, 0x07, 0x01, 0x00, 0x4B, 0x58, 0x37, 0x00};
  for (std::size_t i = 0; i < sizeof record && 50 + i < b.size(); ++i) b[50 + i] = record[i];
  return b;
}

// The Larch USB event log: 16-bit records, the code in the high byte and a count in the low
// one; the rest of the log is empty (0xFFFF, erased flash).
std::vector<std::uint8_t> EventLog(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0xFF);
  const std::uint16_t events[] = {0x0101, 0x0201, 0x0301, 0x1002, 0x0101, 0x0201, 0x2001, 0x0101};
  for (std::size_t i = 0; i < std::size(events); ++i) Put16(b, 2 * i, events[i]);
  return b;
}

// The ASIC configuration registers: a register block per 64 bytes with its page number first.
std::vector<std::uint8_t> Registers(std::size_t length) {
  std::vector<std::uint8_t> b(length, 0);
  for (std::size_t i = 0; i < b.size(); ++i)
    b[i] = i % 64 == 0 ? static_cast<std::uint8_t>(i / 64) : static_cast<std::uint8_t>((i * 37 + 11) % 251);
  return b;
}

std::vector<std::uint8_t> Text(std::size_t length, const char* text) {
  std::vector<std::uint8_t> b(length, 0);
  for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) b[i] = static_cast<std::uint8_t>(text[i]);
  return b;
}

}  // namespace

std::vector<std::uint8_t> SerialFactoryBlock(FamilyKind kind, int number, std::size_t length) {
  switch (number) {
    case 1:
      return Block1(kind, length);
    case 4:
      return CableBlock(length);
    case 6:
      if (IsCedar(kind)) return CedarBlock6(length);
      if (IsSerialLarch(kind)) return LarchBlock6(length);
      return PlainBlock6(length);
    case 7:
      return RowBlock7(length, IsSerialLarch(kind) ? kLarchRows : kCedarRows);
    case 8:
      return RowDriveLevels(length, IsSerialLarch(kind) ? kLarchRows : kCedarRows);
    default:
      return std::vector<std::uint8_t>(length, 0);
  }
}

std::vector<std::uint8_t> HidFactoryBlock(const HidFamily& family, int number, std::size_t length) {
  const bool larch = family.kind == HidFamilyKind::kLarch || family.kind == HidFamilyKind::kLarch0500;
  constexpr std::uint8_t kModelSequoia = 4;
  switch (number) {
    case 1: {
      FamilyKind serial = FamilyKind::kCedarGen4;
      if (larch) serial = FamilyKind::kLarch;
      if (family.kind == HidFamilyKind::kResistive4Wire) serial = FamilyKind::kResistive4Wire;
      if (family.kind == HidFamilyKind::kResistive5Wire) serial = FamilyKind::kResistive5Wire;
      if (family.kind == HidFamilyKind::kBirch2) serial = FamilyKind::kBirch;
      return Block1(serial, length);
    }
    case 3: {
      std::vector<std::uint8_t> b(length, 0);
      for (std::size_t i = 0; i + 1 < b.size(); i += 2) Put16(b, i, static_cast<std::uint16_t>(1200 + 17 * i));
      return b;
    }
    case 4:
      return CableBlock(length);
    case 6:
      if (larch) return family.modelCode == kModelSequoia ? SequoiaBlock6(length) : LarchBlock6(length);
      if (family.kind == HidFamilyKind::kRowanGen2 || family.kind == HidFamilyKind::kRowanGen3 ||
          family.kind == HidFamilyKind::kRowanGen4)
        return CedarBlock6(length);
      return PlainBlock6(length);
    case 7:
      return RowBlock7(length, larch ? kLarchRows : kCedarRows);
    case 8:
      return RowDriveLevels(length, larch ? kLarchRows : kCedarRows);
    case 9:
    case 10:
      return std::vector<std::uint8_t>(length, 3);
    case 81:
      return Registers(length);
    case 82:
      return EventLog(length);
    case 84: {
      std::vector<std::uint8_t> b(length, 0);
      Put16(b, 0, 0x0305);
      return b;
    }
    case 99: {
      std::vector<std::uint8_t> b(length, 0);
      Put16(b, 0, 0x0040);
      return b;
    }
    case 101:
      return Text(length, "Copyright (c) KX7 Touch Systems, Larch");
    case 102:
      return Text(length, "Larch multitouch controller");
    default:
      return std::vector<std::uint8_t>(length, 0);
  }
}

std::vector<std::pair<std::uint16_t, std::uint8_t>> Birch2ParameterCells() {
  std::vector<std::pair<std::uint16_t, std::uint8_t>> cells;
  // Every row of the table, then the named parameters over them (16-bit high byte first, 32-bit
  // most significant first).
  const auto fill = [&](std::uint16_t first, std::size_t rows, std::uint8_t value) {
    for (std::size_t i = 0; i < rows; ++i) cells.emplace_back(static_cast<std::uint16_t>(first + i), value);
  };
  fill(0x000, 244, 0x00);
  fill(0x200, 128, 0x00);
  fill(0x300, 102, 0x00);
  const auto set = [&](std::uint16_t address, std::uint32_t value, std::size_t bytes) {
    for (auto& [at, cell] : cells)
      if (at >= address && at < address + bytes)
        cell = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - (at - address))));
  };
  set(0x0000, 0x0081, 2);      // Config.Flags: palm rejection on
  set(0x0002, 0x0002, 2);      // ScreenType
  set(0x0004, 0x0001, 2);      // ScreenMode
  set(0x0006, 0x0001, 2);      // Clock
  set(0x0008, 0x0010, 2);      // IF
  set(0x000A, 0x00DC, 2);      // Freq
  set(0x000C, 0x0098, 2);      // FreqPen
  set(0x000E, 0x00B0, 2);      // FreqNoise
  set(0x0010, 0x0200, 2);      // CornerBias
  set(0x0012, 0x0180, 2);      // BPBias
  set(0x0014, 0x0100, 2);      // StrayBias
  set(0x001C, 0x0C00, 2);      // DriveAmp
  set(0x001E, 0x0E00, 2);      // DriveAmpPen
  set(0x0050, 0x000A, 2);      // Config.Algo.SteadyAlpha
  set(0x0058, 0x0004, 2);      // AlphaMax
  set(0x005A, 0x00540000, 4);  // ThreshK: 4 pF
  set(0x005E, 0x00540000, 4);  // ThreshKCal
  set(0x0062, 0x002A0000, 4);  // ThreshKPen
  set(0x006A, 0x4000, 2);      // ThreshHyst: liftoff at half the touch level
  set(0x006C, 0x0100, 2);      // PhaseHyst
  set(0x00DE, 0x0004, 2);      // AlphaFastUp
  set(0x00E0, 0x0006, 2);      // AlphaFastDown
  set(0x00E2, 0x01500000, 4);  // PalmThreshK: 16 pF
  set(0x00E6, 0x2000, 2);      // PalmThreshHyst
  set(0x00E8, 0x00000400, 4);  // SlowStrayTimeOut
  set(0x00EC, 0x00A80000, 4);  // BodyK
  set(0x00F0, 0x0800, 2);      // MinEffect
  set(0x0200, 0x0003, 2);      // ScreenOrientation: not rotated
  set(0x0204, 0x2000, 2);      // Coeff2.XGain*2^13: 1.0
  set(0x0208, 0x2000, 2);      // Coeff2.YGain*2^13
  set(0x020C, 0x2000, 2);      // Coeff2Pen.XGain*2^13
  set(0x0210, 0x2000, 2);      // Coeff2Pen.YGain*2^13
  set(0x0214, 0x2000, 2);      // Coeff2Fix.XGain*2^13
  set(0x0218, 0x2000, 2);      // Coeff2Fix.YGain*2^13
  set(0x0300, 0x40404040, 4);  // SelfParam.ScaleFing[4]
  set(0x0308, 0x30303030, 4);  // SelfParam.ScalePen[4]
  set(0x0310, 0x0C00, 2);      // SelfParam.DriveAmp
  set(0x031C, 0x4000, 2);      // Coeff4.b1*2^14: 1.0
  set(0x0326, 0x4000, 2);      // Coeff4.c2*2^14
  set(0x032C, 0x4000, 2);      // Coeff4Pen.b1*2^14
  set(0x0336, 0x4000, 2);      // Coeff4Pen.c2*2^14
  set(0x033A, 0x00540000, 4);  // TrigFing.ThreshToTch
  set(0x033E, 0x002A0000, 4);  // TrigFing.ThreshToNot
  set(0x0362, 0x0001, 2);      // SelfParam.Valid
  return cells;
}

std::vector<std::pair<std::uint16_t, std::uint8_t>> Birch2LinearCells() {
  std::vector<std::pair<std::uint16_t, std::uint8_t>> linear;
  for (const auto& [address, value] : Birch2ParameterCells()) {
    if (address <= 0x0F1)
      linear.emplace_back(address, value);
    else if (address >= 0x200 && address <= 0x27D)
      linear.emplace_back(static_cast<std::uint16_t>(address - 270), value);
    else if (address >= 0x300 && address <= 0x363)
      linear.emplace_back(static_cast<std::uint16_t>(address - 400), value);
  }
  return linear;
}

}  // namespace kx7::emu
