// The shared behaviour of the Block1 sheet's pages. A page works on its own copy of Block1: on
// activation it takes the main frame's copy (its current length) and shows its fields; a change
// marks the page modified; Apply writes the fields the user changed back into the copy, leaving
// every other bit of each byte as it was, and hands the whole copy to the main frame.
//
// A family page is a list of fields. A field names the bytes it reads; when the block is shorter
// than that, the field is disabled and never read or written (a 30-byte Block1 has no bytes 30
// and 31).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

using BlockBytes = std::vector<std::uint8_t>;

enum class FieldKind {
  kNumber,     // a decimal edit box
  kHexNumber,  // a hexadecimal edit box
  kCombo,      // a drop-down list: the value is the index
  kCheck,      // a check box: 0 or 1
  kSlider,     // a slider with a read-only box beside it
};

// What a change of the field means to the sheet.
enum class FieldRole { kPlain, kBaud, kFraming, kFrequency };

struct Block1Field {
  std::string label;
  FieldKind kind = FieldKind::kNumber;
  FieldRole role = FieldRole::kPlain;
  std::vector<std::string> items;  // combo entries
  int minimum = 0;
  int maximum = 255;
  int pageStep = 0;                  // slider
  std::vector<std::size_t> bytes;    // the bytes of Block1 the field needs
  // The value as the control shows it; nothing leaves a combo without a selection.
  std::function<std::optional<int>(const BlockBytes&)> decode;
  // Stores the value, keeping the bits of the bytes that are not the field's.
  std::function<void(BlockBytes&, int)> encode;
  // A read-only text beside the control, from its value.
  std::function<std::string(int)> companion;

  // State: what the control shows, and whether it can be used and was changed since activation.
  std::optional<int> value;
  bool enabled = true;
  bool changed = false;

  std::string Companion() const { return companion && value ? companion(*value) : std::string(); }
};

class Block1Page {
 public:
  virtual ~Block1Page() = default;
  virtual std::string Title() const = 0;

  // Takes the main frame's Block1 into the page, shows it, clears the modified state.
  virtual void OnActivate(const BlockBytes& block);
  // The page's copy with the changes taken in; what Apply hands to the main frame.
  virtual BlockBytes Applied();

  // A user's change of a field: the value is kept in range, the page is modified.
  void SetValue(std::size_t field, int value);

  const BlockBytes& Copy() const { return copy_; }
  bool modified = false;
  std::vector<Block1Field> fields;
  // Static lines the page shows (legends).
  std::vector<std::string> legend;
  // The sheet hears of every change (its comm and frequency flags).
  std::function<void(Block1Page&, std::size_t field)> onChange;

  // The field of a role on this page, if it has one.
  const Block1Field* FieldOf(FieldRole role) const;
  // The index of the field with this label (tests and the views find controls by it).
  std::optional<std::size_t> FieldIndex(const std::string& label) const;

 protected:
  BlockBytes copy_;
};

// Field builders for the common layouts: a whole byte, some bits of a byte, a 16-bit value.
Block1Field ByteField(std::string label, std::size_t byte, FieldKind kind = FieldKind::kNumber);
Block1Field BitsField(std::string label, std::size_t byte, int firstBit, int bitCount, std::vector<std::string> items);
Block1Field CheckField(std::string label, std::size_t byte, int bit);
// High byte first at `high`, low byte at `low` (they may be in either order in the block).
Block1Field WordField(std::string label, std::size_t high, std::size_t low, int maximum = 0xFFFF);

// "0" to "n-1".
std::vector<std::string> NumberItems(int count);

}  // namespace kx7
