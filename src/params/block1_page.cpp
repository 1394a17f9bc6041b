#include "params/block1_page.h"

#include <algorithm>

namespace kx7 {

void Block1Page::OnActivate(const BlockBytes& block) {
  copy_ = block;
  for (Block1Field& field : fields) {
    field.enabled = std::all_of(field.bytes.begin(), field.bytes.end(), [&](std::size_t at) { return at < copy_.size(); });
    field.value = field.enabled && field.decode ? field.decode(copy_) : std::nullopt;
    field.changed = false;
  }
  modified = false;
}

BlockBytes Block1Page::Applied() {
  for (const Block1Field& field : fields)
    if (field.enabled && field.changed && field.value && field.encode) field.encode(copy_, *field.value);
  return copy_;
}

void Block1Page::SetValue(std::size_t index, int value) {
  if (index >= fields.size()) return;
  Block1Field& field = fields[index];
  if (!field.enabled) return;
  if (field.kind == FieldKind::kCombo) {
    if (value < 0 || static_cast<std::size_t>(value) >= field.items.size()) return;
  } else {
    value = std::clamp(value, field.minimum, field.maximum);
  }
  field.value = value;
  field.changed = true;
  modified = true;
  if (onChange) onChange(*this, index);
}

const Block1Field* Block1Page::FieldOf(FieldRole role) const {
  for (const Block1Field& field : fields)
    if (field.role == role) return &field;
  return nullptr;
}

std::optional<std::size_t> Block1Page::FieldIndex(const std::string& label) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].label == label) return i;
  return std::nullopt;
}

Block1Field ByteField(std::string label, std::size_t byte, FieldKind kind) {
  Block1Field field;
  field.label = std::move(label);
  field.kind = kind;
  field.bytes = {byte};
  field.decode = [byte](const BlockBytes& b) { return std::optional<int>(b[byte]); };
  field.encode = [byte](BlockBytes& b, int value) { b[byte] = static_cast<std::uint8_t>(value); };
  return field;
}

Block1Field BitsField(std::string label, std::size_t byte, int firstBit, int bitCount, std::vector<std::string> items) {
  Block1Field field;
  field.label = std::move(label);
  field.kind = FieldKind::kCombo;
  field.items = std::move(items);
  field.bytes = {byte};
  const int mask = (1 << bitCount) - 1;
  const std::size_t itemCount = field.items.size();
  field.decode = [byte, firstBit, mask, itemCount](const BlockBytes& b) -> std::optional<int> {
    const int value = (b[byte] >> firstBit) & mask;
    if (static_cast<std::size_t>(value) >= itemCount) return std::nullopt;
    return value;
  };
  field.encode = [byte, firstBit, mask](BlockBytes& b, int value) {
    b[byte] = static_cast<std::uint8_t>((b[byte] & ~(mask << firstBit)) | ((value & mask) << firstBit));
  };
  field.maximum = mask;
  return field;
}

Block1Field CheckField(std::string label, std::size_t byte, int bit) {
  Block1Field field = BitsField(std::move(label), byte, bit, 1, {"0", "1"});
  field.kind = FieldKind::kCheck;
  field.items.clear();
  field.decode = [byte, bit](const BlockBytes& b) { return std::optional<int>((b[byte] >> bit) & 1); };
  field.minimum = 0;
  field.maximum = 1;
  return field;
}

Block1Field WordField(std::string label, std::size_t high, std::size_t low, int maximum) {
  Block1Field field;
  field.label = std::move(label);
  field.bytes = {high, low};
  field.maximum = maximum;
  field.decode = [high, low](const BlockBytes& b) { return std::optional<int>(b[high] << 8 | b[low]); };
  field.encode = [high, low](BlockBytes& b, int value) {
    b[high] = static_cast<std::uint8_t>(value >> 8);
    b[low] = static_cast<std::uint8_t>(value & 0xFF);
  };
  return field;
}

std::vector<std::string> NumberItems(int count) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(std::to_string(i));
  return items;
}

}  // namespace kx7
