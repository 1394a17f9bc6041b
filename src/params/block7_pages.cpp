#include "params/block7_pages.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "params/radix_text.h"

namespace kx7 {

namespace {

constexpr std::size_t kLineStep = 2;
constexpr std::size_t kPageStep = 16;
constexpr std::uint16_t kSectionMiddle = 0x200;
constexpr std::uint16_t kSectionHigh = 0x300;
constexpr std::uint32_t kPalmEnableBit = 0x80;
// A frequency spin gives up after this many steps without a change of the shown frequency.
constexpr int kMostFrequencySteps = 0x10000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Hex(const char* pattern, std::optional<std::uint32_t> value) {
  if (!value) return {};
  char text[16];
  std::snprintf(text, sizeof text, pattern, static_cast<unsigned>(*value));
  return text;
}

// A box read as "%x" into a parameter of `bytes` bytes; a box that does not read changes nothing.
bool TakeBox(Block7Table& table, const std::string& box, std::uint16_t address, std::size_t bytes) {
  const std::optional<unsigned> value = ReadRadixText(box, true);
  const std::optional<std::uint32_t> old = table.Value(address, bytes);
  if (!value || !old) return false;
  const std::uint32_t kept = bytes == 4 ? *value : (*value & 0xFFFFu);
  if (kept == *old) return false;
  return table.SetValue(address, bytes, kept);
}

}  // namespace

// --- Binary Edit -----------------------------------------------------------------------------

std::size_t CBlock7Page1::MostTop() const { return table_.Count() > kRowsShown ? table_.Count() - kRowsShown : 0; }

std::array<CBlock7Page1::Line, CBlock7Page1::kLines> CBlock7Page1::Lines() const {
  std::array<Line, kLines> lines;
  const std::vector<EepEntry>& rows = table_.Rows();
  for (std::size_t line = 0; line < kLines; ++line) {
    const std::size_t row = top_ + kLineStep * line;
    if (row >= rows.size()) continue;
    lines[line].address = Hex("%04X", rows[row].address);
    lines[line].value = Hex("%02X", rows[row].value & 0xFFu);
    if (row + 1 < rows.size()) lines[line].value += Hex("%02X", rows[row + 1].value & 0xFFu);
    lines[line].name = rows[row].name;
  }
  return lines;
}

void CBlock7Page1::Show() {
  const std::array<Line, kLines> lines = Lines();
  for (std::size_t line = 0; line < kLines; ++line) values[line] = lines[line].value;
}

bool CBlock7Page1::TakeBoxes() {
  std::vector<EepEntry>& rows = table_.Rows();
  bool changed = false;
  for (std::size_t line = 0; line < kLines; ++line) {
    const std::size_t row = top_ + kLineStep * line;
    if (row >= rows.size()) continue;
    const std::optional<unsigned> value = ReadRadixText(values[line], true);
    if (!value) continue;
    const bool pair = row + 1 < rows.size();
    const auto high = static_cast<std::uint16_t>(pair ? (*value >> 8) & 0xFFu : *value & 0xFFu);
    const auto set = [&](EepEntry& entry, std::uint16_t byte) {
      if ((entry.value & 0xFFu) == byte) return;
      entry.value = byte;
      entry.pending = true;
      changed = true;
    };
    set(rows[row], high);
    if (pair) set(rows[row + 1], static_cast<std::uint16_t>(*value & 0xFFu));
  }
  Show();
  return changed;
}

void CBlock7Page1::SetTopRow(std::size_t row) {
  top_ = std::min(row, MostTop());
  Show();
}

void CBlock7Page1::OnScroll(Scroll step) {
  const int row = ScrolledRow(step, static_cast<int>(top_), static_cast<int>(kLineStep), static_cast<int>(kPageStep));
  SetTopRow(static_cast<std::size_t>(std::max(row, 0)));
}

void CBlock7Page1::OnWheel(int delta) {
  Scroll step = Scroll::kLineUp;
  if (!WheelStep(delta, step)) return;
  for (int i = 0; i < kWheelLineSteps; ++i) OnScroll(step);
}

void CBlock7Page1::NextSection() {
  const std::size_t count = table_.Count();
  const std::vector<EepEntry>& rows = table_.Rows();
  std::size_t top = top_;
  for (;;) {
    ++top;
    if (count < 8 || top >= count - 8) {
      top = 0;
      break;
    }
    if (rows[top].address == kSectionMiddle || rows[top].address == kSectionHigh) break;
  }
  top_ = top;
  Show();
}

bool CBlock7Page1::Search(const std::string& text) {
  if (text.empty()) return false;
  const std::string needle = Lower(text);
  const std::vector<EepEntry>& rows = table_.Rows();
  const auto matches = [&](std::size_t row) {
    return row < rows.size() && Lower(rows[row].name).find(needle) != std::string::npos;
  };
  const std::size_t most = MostTop();
  std::size_t top = top_;
  while (top < most) {
    top = std::min(top + kLineStep, most);
    if (matches(top)) {
      top_ = top;
      Show();
      return true;
    }
  }
  // The last lines: tested without moving further.
  for (std::size_t row = top + kLineStep; row < rows.size(); row += kLineStep)
    if (matches(row)) {
      top_ = top;
      Show();
      return true;
    }
  return false;
}

std::optional<bool> CBlock7Page1::SelfParamsValid() const {
  const std::optional<std::uint32_t> value = table_.Value16(eep::kSelfParamValid);
  if (!value) return std::nullopt;
  return *value != 0;
}

void CBlock7Page1::SetSelfParamsValid(bool valid) {
  table_.SetValue16(eep::kSelfParamValid, valid ? 1 : 0);
  Show();
}

// --- Thresholds ------------------------------------------------------------------------------

void CBlock7Page2::Show() {
  boxes[kTouch] = Hex("%08X", table_.Value32(eep::kThreshK));
  boxes[kLiftoff] = Hex("%04X", table_.Value16(eep::kThreshHyst));
  boxes[kFastStray] = Hex("%08X", table_.Value32(eep::kPalmThreshK));
  boxes[kSlowStray] = Hex("%04X", table_.Value16(eep::kPalmThreshHyst));
  boxes[kMinEffect] = Hex("%04X", table_.Value16(eep::kMinEffect));
  boxes[kBodyK] = Hex("%08X", table_.Value32(eep::kBodyK));
}

bool CBlock7Page2::TakeBoxes() {
  bool changed = false;
  changed = TakeBox(table_, boxes[kTouch], eep::kThreshK, 4) || changed;
  changed = TakeBox(table_, boxes[kLiftoff], eep::kThreshHyst, 2) || changed;
  changed = TakeBox(table_, boxes[kFastStray], eep::kPalmThreshK, 4) || changed;
  changed = TakeBox(table_, boxes[kSlowStray], eep::kPalmThreshHyst, 2) || changed;
  changed = TakeBox(table_, boxes[kMinEffect], eep::kMinEffect, 2) || changed;
  changed = TakeBox(table_, boxes[kBodyK], eep::kBodyK, 4) || changed;
  Show();
  return changed;
}

void CBlock7Page2::SpinLevel(std::uint16_t level, int delta) {
  const std::optional<std::uint32_t> value = table_.Value32(level);
  if (!value) return;
  const double moved = static_cast<double>(*value) - static_cast<double>(delta) * kCountsPerPicofarad;
  const double kept = std::clamp(moved, kCountsPerPicofarad, 4294967295.0);
  table_.SetValue32(level, static_cast<std::uint32_t>(kept));
}

void CBlock7Page2::SpinHysteresis(std::uint16_t level, std::uint16_t hysteresis, int delta) {
  const std::optional<std::uint32_t> k = table_.Value32(level);
  const std::optional<std::uint32_t> h = table_.Value16(hysteresis);
  // Without a level there is nothing to take a share of.
  if (!k || !h || *k == 0) return;
  const double liftoff = static_cast<double>(*k) * static_cast<double>(*h) / kHysteresisScale;
  const double moved = std::max(liftoff - static_cast<double>(delta) * kCountsPerPicofarad, kCountsPerPicofarad);
  const double share = std::min(static_cast<double>(*k), moved) * kHysteresisScale / static_cast<double>(*k);
  table_.SetValue16(hysteresis, static_cast<std::uint32_t>(std::lround(share)));
}

void CBlock7Page2::Spin(Box box, int delta) {
  switch (box) {
    case kTouch:
      SpinLevel(eep::kThreshK, delta);
      break;
    case kFastStray:
      SpinLevel(eep::kPalmThreshK, delta);
      break;
    case kLiftoff:
      SpinHysteresis(eep::kThreshK, eep::kThreshHyst, delta);
      break;
    case kSlowStray:
      SpinHysteresis(eep::kPalmThreshK, eep::kPalmThreshHyst, delta);
      break;
    default:
      break;
  }
  Show();
}

std::optional<bool> CBlock7Page2::PalmEnable() const {
  const std::optional<std::uint32_t> flags = table_.Value16(eep::kConfigFlags);
  if (!flags) return std::nullopt;
  return (*flags & kPalmEnableBit) != 0;
}

void CBlock7Page2::SetPalmEnable(bool enable) {
  const std::optional<std::uint32_t> flags = table_.Value16(eep::kConfigFlags);
  if (!flags) return;
  table_.SetValue16(eep::kConfigFlags, enable ? (*flags | kPalmEnableBit) : (*flags & ~kPalmEnableBit));
}

// --- Other -----------------------------------------------------------------------------------

void CBlock7Page3::Show() {
  boxes[kFreq] = Hex("%04x", table_.Value16(eep::kFreq));
  boxes[kPenFreq] = Hex("%04x", table_.Value16(eep::kFreqPen));
}

bool CBlock7Page3::TakeBoxes() {
  bool changed = TakeBox(table_, boxes[kFreq], eep::kFreq, 2);
  changed = TakeBox(table_, boxes[kPenFreq], eep::kFreqPen, 2) || changed;
  Show();
  return changed;
}

std::optional<int> CBlock7Page3::Orientation() const {
  const std::optional<std::uint32_t> value = table_.Value16(eep::kScreenOrientation);
  if (!value || *value > 3) return std::nullopt;
  return static_cast<int>(*value);
}

void CBlock7Page3::SetOrientation(int index) {
  if (index < 0 || index > 3) return;
  table_.SetValue16(eep::kScreenOrientation, static_cast<std::uint32_t>(index));
}

void CBlock7Page3::SpinValue(Box box, int delta) {
  const std::uint16_t address = box == kFreq ? eep::kFreq : eep::kFreqPen;
  const std::optional<std::uint32_t> value = table_.Value16(address);
  if (!value) return;
  table_.SetValue16(address, static_cast<std::uint32_t>(static_cast<int>(*value) - delta) & 0xFFFFu);
  Show();
}

void CBlock7Page3::SpinFrequency(Box box, int delta) {
  const std::uint16_t address = box == kFreq ? eep::kFreq : eep::kFreqPen;
  const std::optional<std::uint32_t> value = table_.Value16(address);
  const std::optional<std::uint32_t> clock = table_.Value16(eep::kClock);
  if (!value || !clock || delta == 0) return;
  const std::string shown = DriveFrequencyText(*value, *clock);
  std::uint32_t next = *value;
  for (int step = 0; step < kMostFrequencySteps; ++step) {
    next = static_cast<std::uint32_t>(static_cast<int>(next) + delta) & 0xFFFFu;
    if (DriveFrequencyText(next, *clock) != shown) break;
  }
  table_.SetValue16(address, next);
  Show();
}

// --- Filters ---------------------------------------------------------------------------------

void CBlock7Page4::Show() {
  boxes[kSlowStray] = Hex("%04X", table_.Value16(eep::kSteadyAlpha));
  boxes[kFastStrayUp] = Hex("%04X", table_.Value16(eep::kAlphaFastUp));
  boxes[kFastStrayDown] = Hex("%04X", table_.Value16(eep::kAlphaFastDown));
  boxes[kStrayDelay] = Hex("%08X", table_.Value32(eep::kSlowStrayTimeOut));
  boxes[kNoiseFilter] = Hex("%04x", table_.Value16(eep::kAlphaMax));
}

bool CBlock7Page4::TakeBoxes() {
  bool changed = TakeBox(table_, boxes[kSlowStray], eep::kSteadyAlpha, 2);
  changed = TakeBox(table_, boxes[kFastStrayUp], eep::kAlphaFastUp, 2) || changed;
  changed = TakeBox(table_, boxes[kFastStrayDown], eep::kAlphaFastDown, 2) || changed;
  changed = TakeBox(table_, boxes[kStrayDelay], eep::kSlowStrayTimeOut, 4) || changed;
  changed = TakeBox(table_, boxes[kNoiseFilter], eep::kAlphaMax, 2) || changed;
  Show();
  return changed;
}

}  // namespace kx7
