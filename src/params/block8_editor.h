// The Block8 editor (dialog "Block8", the row drive levels): the block as 256 16-bit values, 16
// rows at a time, each labelled with its index and its row number counted from the other end. In
// event-log mode (block 82, "Event Log") the same dialog only shows: nothing is ever written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/main_frame.h"
#include "params/row_scroll.h"
#include "proto/command_channel.h"

namespace kx7 {

class Block8Editor : public DialogModel {
 public:
  static constexpr int kRowsShown = 16;

  // Takes the main frame's copy of the Block8 slot (block 8, or block 82 in event-log mode).
  // `firstRow` is kept by the main frame between openings.
  Block8Editor(CMainFrame& frame, CommandChannel& channel, int rowCount, bool eventLog, int& firstRow);
  const char* Kind() const override { return "Block8"; }
  std::string Title() const override { return eventLog_ ? "Event Log" : "Block8"; }
  bool OnOk() override;

  bool EventLog() const { return eventLog_; }
  int FirstRow() const { return firstRow_; }
  // "%03d:%03d": the index and the row counted from the other end; blank when that is negative.
  std::string Label(int shownRow) const;
  std::vector<std::string> boxes;  // the shown rows' value boxes
  std::string status;              // "Rev."

  using Scroll = RowScroll;
  void OnScroll(Scroll step);
  void SetFirstRow(int row);
  void OnWheel(int delta);
  bool TakeBoxes();
  void SetHex(bool hex);
  bool Hex() const { return hex_; }
  // A user's edit of a box (read-only in event-log mode).
  void EditBox(int shownRow, const std::string& text);

  bool ApplyEnabled() const { return applyEnabled_ && !eventLog_; }
  // Writes the values into Block8 and the controller; the dialog then closes.
  bool Apply();
  // "Copy": the 256 values as lines on the clipboard; the dialog then closes.
  void Copy();
  bool SaveFile(const std::string& path);
  // "Save to File" and "Read from File" with their file dialogs.
  bool SaveFileChosen();
  bool ReadFileChosen();
  // A file that does not hold 256 good lines changes nothing ("Unexpected EOF", "Invalid File").
  bool ReadFile(const std::string& path);
  bool LoadText(const std::string& text);

  const std::vector<std::uint16_t>& Values() const { return values_; }
  void SetValues(const std::vector<std::uint16_t>& values);

 private:
  void ShowBoxes();
  CMainFrame& frame_;
  CommandChannel& channel_;
  int& rememberedFirstRow_;
  int rowCount_;
  bool eventLog_;
  std::vector<std::uint16_t> values_;
  int firstRow_ = 0;
  bool hex_ = false;
  bool applyEnabled_ = false;
};

}  // namespace kx7
