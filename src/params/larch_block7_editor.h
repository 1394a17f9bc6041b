// The Larch block-7 editor (dialog "Block Edit"): a copy of Block7 in pages of 128 bytes, 8
// columns of 16 rows, and its .blk file. The edited block is never written to the controller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/main_frame.h"

namespace kx7 {

class LarchBlock7Editor : public DialogModel {
 public:
  static constexpr int kColumns = 8;
  static constexpr int kRows = 16;
  static constexpr int kPageBytes = kColumns * kRows;

  LarchBlock7Editor(CMainFrame& frame, std::vector<std::uint8_t> block);
  const char* Kind() const override { return "LarchBlock7"; }
  std::string Title() const override { return "Block Edit"; }
  bool OnOk() override;

  int Page() const { return page_; }
  int PageCount() const;
  // "%d of %d".
  std::string PageText() const;
  // The heading of a column: the page's first address plus 0x10 per column ("%X").
  std::string ColumnHeading(int column) const;
  static std::string RowLabel(int row);  // "00" to "0F"
  // The box in column c and row r holds byte page x 128 + 16c + r.
  std::size_t ByteOf(int column, int row) const;
  bool BoxEnabled(int column, int row) const { return ByteOf(column, row) < buffer_.size(); }
  std::vector<std::string> boxes;  // kColumns x kRows, column by column

  void NextPage();
  void PreviousPage();
  void TakeBoxes();
  void SetHex(bool hex);
  bool Hex() const { return hex_; }

  bool SaveFile(const std::string& path);
  // "Save to File" and "Read from File" with their file dialogs.
  bool SaveFileChosen();
  bool ReadFileChosen();
  // A file that does not hold exactly the block's bytes changes nothing.
  bool ReadFile(const std::string& path);
  bool LoadText(const std::string& text);

  const std::vector<std::uint8_t>& Buffer() const { return buffer_; }

 private:
  void ShowBoxes();
  CMainFrame& frame_;
  std::vector<std::uint8_t> buffer_;
  int page_ = 0;
  bool hex_ = false;
};

}  // namespace kx7
