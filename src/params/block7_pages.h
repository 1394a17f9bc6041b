// The pages of the Birch2 Block7 sheet over its table: Binary Edit (the rows raw, eight 16-bit
// lines at a time, with search), Thresholds, Filters and Other (the parameters in physical units).
// Every page shows the table as it is; a page's boxes go into the table when the user leaves one
// (or presses Enter), and every change marks the changed rows pending.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "params/block7_table.h"
#include "params/block7_units.h"
#include "params/row_scroll.h"

namespace kx7 {

// Binary Edit.
class CBlock7Page1 {
 public:
  static constexpr std::size_t kLines = 8;
  static constexpr std::size_t kRowsShown = 2 * kLines;

  explicit CBlock7Page1(Block7Table& table) : table_(table) {}

  struct Line {
    std::string address;  // "%04X" of the line's first row
    std::string value;    // "%02X%02X": the first row's byte, then the second's
    std::string name;     // the first row's name
  };
  // The lines as the page shows them (lines past the table are empty).
  std::array<Line, kLines> Lines() const;
  // The value boxes as the user typed them; TakeBoxes reads all of them ("%X"): the high byte goes
  // to the line's first row, the low byte to its second. True when a row changed.
  std::array<std::string, kLines> values;
  bool TakeBoxes();
  // Refills the value boxes from the table.
  void Show();

  std::size_t TopRow() const { return top_; }
  void SetTopRow(std::size_t row);  // the thumb: clamped to 0 .. count - 16
  using Scroll = RowScroll;
  void OnScroll(Scroll step);
  // The mouse wheel: two line steps in its direction (a positive delta is up).
  void OnWheel(int delta);
  // ">>": to the next row at 0x200 or 0x300; from the last lines back to the top.
  void NextSection();
  // The first row below the top (two rows a step) whose name holds the text, in lower case;
  // the top stays where the search began when there is none. False without a match.
  bool Search(const std::string& text);

  // "SelfParams Valid": the 16-bit SelfParam.Valid is not zero; nothing without the row.
  std::optional<bool> SelfParamsValid() const;
  void SetSelfParamsValid(bool valid);

 private:
  std::size_t MostTop() const;
  Block7Table& table_;
  std::size_t top_ = 0;
};

// Thresholds.
class CBlock7Page2 {
 public:
  explicit CBlock7Page2(Block7Table& table) : table_(table) {}
  enum Box { kTouch, kLiftoff, kFastStray, kSlowStray, kMinEffect, kBodyK, kBoxes };
  std::array<std::string, kBoxes> boxes;
  void Show();
  // Reads the boxes ("%x") into the table; true when a row changed.
  bool TakeBoxes();
  // A spin notification with its delta beside Touch, Liftoff, Fast Stray or Slow Stray.
  void Spin(Box box, int delta);
  std::optional<bool> PalmEnable() const;
  void SetPalmEnable(bool enable);
  Block7Units Units() const { return ComputeBlock7Units(table_); }

 private:
  void SpinLevel(std::uint16_t level, int delta);
  void SpinHysteresis(std::uint16_t level, std::uint16_t hysteresis, int delta);
  Block7Table& table_;
};

// Other: orientation and the two drive frequencies.
class CBlock7Page3 {
 public:
  explicit CBlock7Page3(Block7Table& table) : table_(table) {}
  enum Box { kFreq, kPenFreq, kBoxes };
  std::array<std::string, kBoxes> boxes;
  void Show();
  bool TakeBoxes();
  // The combo's selection: the 16-bit ScreenOrientation (nothing when it is not 0 to 3).
  std::optional<int> Orientation() const;
  void SetOrientation(int index);
  // The spin beside a box: the value changes by minus the delta.
  void SpinValue(Box box, int delta);
  // The spin beside a frequency: the delta is added until the frequency shown changes.
  void SpinFrequency(Box box, int delta);
  Block7Units Units() const { return ComputeBlock7Units(table_); }

 private:
  Block7Table& table_;
};

// Filters.
class CBlock7Page4 {
 public:
  explicit CBlock7Page4(Block7Table& table) : table_(table) {}
  enum Box { kSlowStray, kFastStrayUp, kFastStrayDown, kStrayDelay, kNoiseFilter, kBoxes };
  std::array<std::string, kBoxes> boxes;
  void Show();
  bool TakeBoxes();
  Block7Units Units() const { return ComputeBlock7Units(table_); }

 private:
  Block7Table& table_;
};

}  // namespace kx7
