// Binary Edit, the first page of the Block1 sheet: one box a byte for bytes 0 to 49 (those beyond
// the block disabled), shown in decimal or hexadecimal, the block's "Rev." letter, and the .bk1
// file of the page's copy.
#pragma once

#include <array>
#include <string>

#include "params/block1_page.h"

namespace kx7 {

class CBlock1Page1 : public Block1Page {
 public:
  static constexpr std::size_t kBoxes = 50;
  enum class Radix { kDecimal, kHex };

  std::string Title() const override { return "Binary Edit"; }
  void OnActivate(const BlockBytes& block) override;
  // The boxes taken into the copy (low byte of each; a box that does not read keeps its byte).
  BlockBytes Applied() override;

  // The box texts as the view shows and edits them.
  std::array<std::string, kBoxes> boxes;
  bool BoxEnabled(std::size_t box) const { return box < copy_.size(); }
  // A user's edit of a box.
  void EditBox(std::size_t box, const std::string& text);
  // Switching reads the boxes in the old radix and writes them in the new one.
  void SetRadix(Radix radix);
  Radix CurrentRadix() const { return radix_; }

  // "Rev.": the status letter of the last Block1 read ("%c"; empty when there is none).
  std::string revision;

  // "Save File": the boxes parsed into the page's copy, the copy written as a .bk1 file.
  // "Read File": the file read into the copy and shown, the page modified. Both show the
  // program's messages and return false when nothing was done.
  bool SaveFile(const std::string& path, class UiHost& ui);
  bool ReadFile(const std::string& path, UiHost& ui);
  bool LoadText(const std::string& text, UiHost& ui);

 private:
  void TakeBoxes();
  void ShowBoxes();
  Radix radix_ = Radix::kHex;
};

}  // namespace kx7
