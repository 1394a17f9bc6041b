// The Block6 editor ("Interface & Housekeeping", dialog "Block6"): the main frame's Block6 with a
// name for every byte, a page of rows at a time, the "Baud Rate" of the serial Rowan/Cedar types
// and the Block6 file. Apply writes the block; a new speed of a serial Rowan/Cedar controller moves
// the port along (the write then does not wait for the answer, which comes at the new speed).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frame/main_frame.h"
#include "params/row_scroll.h"
#include "params/block6_names.h"
#include "proto/command_channel.h"

namespace kx7 {

class Block6Editor : public DialogModel {
 public:
  // `firstRow`: the first row shown, kept by the main frame between openings.
  Block6Editor(CMainFrame& frame, CommandChannel& channel, int& firstRow);
  const char* Kind() const override { return "Block6"; }
  std::string Title() const override { return "Block6"; }
  bool OnOk() override;

  // The rows the editor shows: index ("%02d"), the value box and the name.
  int RowsShown() const { return rowsShown_; }
  int FirstRow() const { return firstRow_; }
  std::size_t Length() const { return bytes_.size(); }
  std::vector<std::string> boxes;  // the value boxes of the shown rows, as the user typed them
  std::string RowIndex(int shownRow) const;
  std::string RowName(int shownRow) const;
  bool RowEnabled(int shownRow) const;

  using Scroll = RowScroll;
  void OnScroll(Scroll step);
  void SetFirstRow(int row);  // the thumb
  void OnWheel(int delta);

  // Takes the shown boxes into the copy ("%d" or "%x", low byte); true when a value changed (and
  // "Apply" is then enabled).
  bool TakeBoxes();
  void OnEnter();
  void SetHex(bool hex);
  bool Hex() const { return hex_; }

  // "Rev." and the frequency box.
  std::string status;
  std::string FrequencyText() const;
  // "Baud Rate": usable on the serial Rowan/Cedar types; its index is the low four bits of byte 6
  // on every Rowan/Cedar type.
  bool BaudEnabled() const;
  std::optional<int> BaudIndex() const;
  void SetBaudIndex(int index);

  bool ApplyEnabled() const { return applyEnabled_; }
  // Apply; false when nothing was written (refused, or the write failed).
  bool Apply();
  // On a driver link a speed change asks first; the program asks the user, kx7cli refuses.
  std::function<bool()> confirmBaudChange;

  bool SaveFile(const std::string& path);
  // "Save to File" and "Read from File" with their file dialogs.
  bool SaveFileChosen();
  bool ReadFileChosen();
  // The file's names and values replace the editor's; a file of another length than the
  // controller's Block6, or one that does not read whole, changes nothing.
  bool ReadFile(const std::string& path);
  // The same for a file's text.
  bool LoadText(const std::string& text);

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  const std::vector<std::string>& Names() const { return names_; }
  // The copy as the program would write it (kx7cli's restore).
  void SetBytes(const std::vector<std::uint8_t>& bytes);

 private:
  void ShowBoxes();
  int MostFirstRow() const;
  CMainFrame& frame_;
  CommandChannel& channel_;
  int& rememberedFirstRow_;
  std::uint32_t type_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::string> names_;
  int rowsShown_ = 12;
  int firstRow_ = 0;
  bool hex_ = false;
  bool applyEnabled_ = false;
};

}  // namespace kx7
