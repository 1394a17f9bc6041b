// The Birch2 Block7 table: the one-byte cells of controller memory 7 with their names, as the
// Block7 sheet and the EEP files hold them. A fresh table has 474 rows: addresses 0x000 to 0x0F3,
// 0x200 to 0x27F and 0x300 to 0x365, every value 0 and every row pending. A 16-bit parameter takes
// two rows (the named one holds the high byte), a 32-bit one four, most significant first; they
// are found by their address, so a table read from a file that leaves rows out still finds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7 {

// One row of the table.
struct EepEntry {
  std::uint16_t address = 0;
  std::uint16_t value = 0;  // the low byte is the cell
  bool pending = true;      // filled from a file (or fresh), not yet read from or written to the controller
  std::string name;         // at most 30 characters
  bool operator==(const EepEntry&) const = default;
};

// The addresses of the parameters the pages show.
namespace eep {
inline constexpr std::uint16_t kConfigFlags = 0x0000;
inline constexpr std::uint16_t kClock = 0x0006;
inline constexpr std::uint16_t kFreq = 0x000A;
inline constexpr std::uint16_t kFreqPen = 0x000C;
inline constexpr std::uint16_t kSteadyAlpha = 0x0050;
inline constexpr std::uint16_t kAlphaMax = 0x0058;
inline constexpr std::uint16_t kThreshK = 0x005A;
inline constexpr std::uint16_t kThreshHyst = 0x006A;
inline constexpr std::uint16_t kAlphaFastUp = 0x00DE;
inline constexpr std::uint16_t kAlphaFastDown = 0x00E0;
inline constexpr std::uint16_t kPalmThreshK = 0x00E2;
inline constexpr std::uint16_t kPalmThreshHyst = 0x00E6;
inline constexpr std::uint16_t kSlowStrayTimeOut = 0x00E8;
inline constexpr std::uint16_t kBodyK = 0x00EC;
inline constexpr std::uint16_t kMinEffect = 0x00F0;
inline constexpr std::uint16_t kScreenOrientation = 0x0200;
inline constexpr std::uint16_t kSelfParamValid = 0x0362;
inline constexpr std::size_t kMaxRows = 474;
inline constexpr std::size_t kMaxNameLength = 30;
// The three address ranges of a fresh table.
struct Range {
  std::uint16_t first;
  std::size_t rows;
};
inline constexpr Range kRanges[3] = {{0x000, 244}, {0x200, 128}, {0x300, 102}};
}  // namespace eep

class Block7Table {
 public:
  // A fresh table.
  Block7Table();

  std::vector<EepEntry>& Rows() { return rows_; }
  const std::vector<EepEntry>& Rows() const { return rows_; }
  std::size_t Count() const { return rows_.size(); }

  // The first row holding the address; nothing when there is none.
  std::optional<std::size_t> FindRow(std::uint16_t address) const;
  // The big-endian value of `bytes` rows from the parameter's row (low bytes of the values);
  // nothing when the address is absent or the group passes the last row.
  std::optional<std::uint32_t> Value(std::uint16_t address, std::size_t bytes) const;
  std::optional<std::uint32_t> Value16(std::uint16_t address) const { return Value(address, 2); }
  std::optional<std::uint32_t> Value32(std::uint16_t address) const { return Value(address, 4); }
  // Stores the value into the group's rows, marking the rows whose value changed as pending;
  // false (nothing changed) when the group is not there.
  bool SetValue(std::uint16_t address, std::size_t bytes, std::uint32_t value);
  bool SetValue16(std::uint16_t address, std::uint32_t value) { return SetValue(address, 2, value); }
  bool SetValue32(std::uint16_t address, std::uint32_t value) { return SetValue(address, 4, value); }

  bool AnyPending() const;

  // The built-in name of an address ("" for most).
  static std::string BuiltInName(std::uint16_t address);

 private:
  std::vector<EepEntry> rows_;
};

}  // namespace kx7
