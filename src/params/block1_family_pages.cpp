#include "params/block1_family_pages.h"

#include <algorithm>
#include <cstdio>

#include "params/block1_frequencies.h"
#include "params/comm_byte.h"

namespace kx7 {

namespace {

const std::vector<std::string> kOffOn = {"Off", "On"};
const std::vector<std::string> kOrientations = {"LL  [3:00] Rivetware Compatible", "LR [6:00]", "UL [12:00]",
                                                "UR [9:00]"};

std::vector<std::string> Items(int count, const std::function<std::string(int)>& text) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(text(i));
  return items;
}

// "1" to "128": the divisor 2 to the power of the code.
std::vector<std::string> DivisorItems() {
  return Items(8, [](int i) { return std::to_string(1 << i); });
}

// The baud code in a nibble of a byte, and the framing code in the other half.
Block1Field BaudField(std::size_t byte, bool highNibble) {
  Block1Field field = BitsField("Baud Rate", byte, highNibble ? 4 : 0, 4, BaudComboItems());
  field.role = FieldRole::kBaud;
  return field;
}

Block1Field FramingField(std::size_t byte) {
  Block1Field field = BitsField("Parameters", byte, 4, 4, FramingComboItems());
  field.role = FieldRole::kFraming;
  return field;
}

// A byte shown no higher than `most`.
Block1Field CappedByte(std::string label, std::size_t byte, std::vector<std::string> items) {
  Block1Field field = ByteField(std::move(label), byte, FieldKind::kCombo);
  const int most = static_cast<int>(items.size()) - 1;
  field.items = std::move(items);
  field.decode = [byte, most](const BlockBytes& b) { return std::optional<int>(std::min<int>(b[byte], most)); };
  return field;
}

// Twice the little-endian word at `low`, written back halved.
Block1Field DoubledWord(std::string label, std::size_t low) {
  Block1Field field;
  field.label = std::move(label);
  field.bytes = {low, low + 1};
  field.maximum = 2 * 0xFFFF;
  field.decode = [low](const BlockBytes& b) { return std::optional<int>(2 * (b[low] | (b[low + 1] << 8))); };
  field.encode = [low](BlockBytes& b, int value) {
    const int word = value / 2;
    b[low] = static_cast<std::uint8_t>(word & 0xFF);
    b[low + 1] = static_cast<std::uint8_t>(word >> 8);
  };
  return field;
}

// A number in some bits of a byte.
Block1Field BitsNumber(std::string label, std::size_t byte, int firstBit, int bitCount) {
  Block1Field field = BitsField(std::move(label), byte, firstBit, bitCount, {});
  field.kind = FieldKind::kNumber;
  field.minimum = 0;
  field.maximum = (1 << bitCount) - 1;
  field.decode = [byte, firstBit, bitCount](const BlockBytes& b) {
    return std::optional<int>((b[byte] >> firstBit) & ((1 << bitCount) - 1));
  };
  return field;
}

std::string Percent255(int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%1.0f%c", value * 100.0 / 255.0, '%');
  return text;
}

}  // namespace

CBlock1Page2::CBlock1Page2(bool usb1) {
  fields.push_back(BitsField("Format", 19, 2, 3, {"Tablet", "Decimal", "Hex", "---", "---", "---", "Zone", "Binary "}));
  fields.push_back(BitsField("Mode", 19, 0, 2, {"Stream", "DnUp", "Point", "Polled"}));
  fields.push_back(BitsField("Mode Status (FD,FH only)", 19, 5, 1, kOffOn));
  fields.push_back(ByteField("Touchdown Threshold", 16));
  fields.push_back(ByteField("Liftoff Threshold", 17));
  fields.push_back(ByteField("Touchdown Skip Count", 21));
  fields.push_back(CappedByte("XY Filter", 18, NumberItems(8)));
  fields.back().decode = [](const BlockBytes& b) -> std::optional<int> {
    if (b[18] > 7) return std::nullopt;
    return b[18];
  };
  Block1Field frequency;
  frequency.label = "Frequency";
  frequency.kind = FieldKind::kCombo;
  frequency.role = FieldRole::kFrequency;
  for (const Hazel3Frequency& entry : Hazel3FrequencyTable(usb1)) frequency.items.push_back(entry.text);
  frequency.bytes = {11, 14};
  frequency.decode = [usb1](const BlockBytes& b) -> std::optional<int> {
    const std::optional<std::size_t> index = FindHazel3Frequency(usb1, {b[11], b[14]});
    if (!index) return std::nullopt;
    return static_cast<int>(*index);
  };
  frequency.encode = [usb1](BlockBytes& b, int index) {
    const FrequencyPair pair = Hazel3FrequencyTable(usb1).at(static_cast<std::size_t>(index)).pair;
    b[11] = pair.first;
    b[14] = pair.second;
  };
  fields.push_back(frequency);
  fields.push_back(WordField("Integration Time (uS)", 12, 13));
  fields.push_back(BitsField("Extended Integration", 20, 3, 1, kOffOn));
}

CBlock1Page3::CBlock1Page3() {
  fields.push_back(ByteField("Update Time", 15));
  fields.push_back(BitsField("Increase Limit", 22, 3, 3, NumberItems(8)));
  fields.push_back(BitsField("Change Divisor", 22, 0, 3, DivisorItems()));
  fields.push_back(BaudField(10, false));
  fields.push_back(FramingField(10));
  fields.push_back(BitsField("Auto Baud", 19, 6, 1, kOffOn));
  fields.push_back(BitsField("Threshold", 23, 0, 4, Items(16, [](int i) {
                               if (i == 0) return std::string("0");
                               char text[16];
                               std::snprintf(text, sizeof text, "%.2f%%", i * 0.73 / 15);
                               return std::string(text);
                             })));
  fields.push_back(BitsField("Timer (sec)", 23, 4, 4, Items(16, [](int i) { return std::to_string(4 * (i + 1)); })));
  fields.push_back(ByteField("Mode Delta Increment", 24));
  fields.push_back(BitsField("ESD Filter", 20, 6, 1, {"On", "Off"}));
}

CBlock1Page4::CBlock1Page4() {
  fields.push_back(ByteField("Touchdown Threshold", 24));
  fields.push_back(ByteField("Liftoff Threshold", 25));
  fields.push_back(ByteField("XY Filter", 28));
  fields.push_back(BitsField("Soft Reset to Current Mode", 4, 2, 1, kOffOn));
  fields.push_back(DoubledWord("Integration Time (uS)", 20));
  fields.push_back(ByteField("Touchdown Skip Count", 29));
  fields.push_back(ByteField("Output Skip Count", 13));
  fields.push_back(BaudField(12, true));
  fields.push_back(BitsField("PowerUp Mode", 4, 0, 2, {"Auto", "Finger", "Pen"}));
  fields.push_back(DoubledWord("Sample Time (uS)", 22));
}

CBlock1Page5::CBlock1Page5() {
  Block1Field frequency = BitsField("Freq", 27, 0, 5, SpindleFrequencyItems());
  frequency.role = FieldRole::kFrequency;
  fields.push_back(frequency);
  fields.push_back(BitsField("Phase Inversion", 27, 5, 1, kOffOn));
  fields.push_back(BitsField("Threshold (mv)", 14, 0, 4, Items(16, [](int i) {
                               return i == 0 ? std::string("OFF") : std::to_string(5 * i);
                             })));
  fields.push_back(BitsField("Timer (sec)", 14, 4, 4, Items(16, [](int i) { return std::to_string(2 * (i + 1)); })));
  fields.push_back(BitsNumber("Drive Level (max)", 12, 0, 4));
  fields.push_back(BitsField("Gain", 26, 0, 4, NumberItems(16)));
  fields.push_back(BitsNumber("Phase", 26, 4, 4));
  fields.push_back(BitsField("Change Divisor", 30, 0, 3, DivisorItems()));
  fields.push_back(BitsField("Increase Limit", 30, 4, 3, NumberItems(8)));
  fields.push_back(ByteField("FVR", 31));
}

CBlock1Page6::CBlock1Page6() { fields.push_back(BitsField("Orientation", 20, 4, 2, kOrientations)); }

CBlock1Page7::CBlock1Page7() {
  fields.push_back(BitsField("Orientation", 20, 0, 2, kOrientations));
  fields.push_back(CappedByte("Debounce", 23, Items(17, [](int i) {
                                return i == 0 ? std::string("Off") : std::to_string((i * 99 + 8) / 16) + "ms";
                              })));
  fields.push_back(CappedByte("XY Filter", 18, kOffOn));
  Block1Field velocity = ByteField("Velocity Limit", 24, FieldKind::kSlider);
  velocity.pageStep = 128;
  velocity.companion = [](int value) { return std::to_string(value); };
  fields.push_back(velocity);
  Block1Field accel = WordField("Accel. Limit", 14, 15, 2048);
  accel.kind = FieldKind::kSlider;
  accel.pageStep = 1024;
  accel.decode = [](const BlockBytes& b) { return std::optional<int>(std::min(b[14] << 8 | b[15], 2048)); };
  accel.companion = [](int value) { return std::to_string(value); };
  fields.push_back(accel);
  legend = {"(Less filtering)", "(More filtering)"};
}

CBlock1Page8::CBlock1Page8() { fields.push_back(BaudField(10, false)); }

CBlock1Page9::CBlock1Page9() {
  fields.push_back(BaudField(10, false));
  fields.push_back(FramingField(10));
}

CBlock1Page10::CBlock1Page10() { fields.push_back(BaudField(16, true)); }

CBlock1Page11::CBlock1Page11() {
  fields.push_back(CheckField("FlipX", 20, 2));
  fields.push_back(CheckField("FlipY", 20, 1));
  fields.push_back(CheckField("SwapXY", 20, 0));
  fields.push_back(ByteField("Big Screen", 11));
  fields.push_back(ByteField("Sample Noise", 22));
  fields.push_back(WordField("Touch Threshold", 16, 17));
  fields.push_back(ByteField("Touch Hysteresis", 15));
  fields.push_back(ByteField("Velocity Limit", 24));
  fields.push_back(ByteField("XY Filter", 18));
  fields.push_back(ByteField("Debounce", 23));
}

CBlock1Page12::CBlock1Page12() {
  fields.push_back(BaudField(10, false));
  legend = {"NOISE     0x08", "LIN       0x10", "4PT       0x20", "SLEW      0x40", "DIGITALZ  0x80"};
}

CBlock1Page15::CBlock1Page15(bool model4) {
  Block1Field liftoff = WordField("Liftoff Thresh", 13, 12);
  liftoff.companion = Percent255;
  fields.push_back(liftoff);
  Block1Field hysteresis = ByteField("Hysteresis", 15);
  hysteresis.companion = Percent255;
  fields.push_back(hysteresis);
  fields.push_back(ByteField("Skip Count", 19));
  if (!model4) {
    Block1Field bias = ByteField("VBias", 14);
    bias.companion = [](int value) {
      char text[32];
      std::snprintf(text, sizeof text, "%1.2fV", value * 3.3 / 255.0);
      return std::string(text);
    };
    fields.push_back(bias);
  }
  fields.push_back(ByteField("(hex)", 25, FieldKind::kHexNumber));
  legend = {"NOINTERP    01", "NONOISE      02", "NOSTRAY     04", "NOSCALE      08"};
}

}  // namespace kx7
