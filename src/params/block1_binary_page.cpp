#include "params/block1_binary_page.h"

#include <cstdio>

#include "params/file_buttons.h"
#include "params/hex_block_file.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/radix_text.h"
#include "platform/ui_host.h"

namespace kx7 {

void CBlock1Page1::OnActivate(const BlockBytes& block) {
  Block1Page::OnActivate(block);
  ShowBoxes();
}

void CBlock1Page1::ShowBoxes() {
  for (std::size_t i = 0; i < kBoxes; ++i)
    boxes[i] = i < copy_.size() ? ByteText(copy_[i], radix_ == Radix::kHex) : std::string();
}

void CBlock1Page1::TakeBoxes() {
  for (std::size_t i = 0; i < copy_.size() && i < kBoxes; ++i)
    if (const std::optional<unsigned> value = ReadRadixText(boxes[i], radix_ == Radix::kHex))
      copy_[i] = static_cast<std::uint8_t>(*value & 0xFF);
}

BlockBytes CBlock1Page1::Applied() {
  TakeBoxes();
  return copy_;
}

void CBlock1Page1::EditBox(std::size_t box, const std::string& text) {
  if (box >= kBoxes || !BoxEnabled(box)) return;
  boxes[box] = text;
  modified = true;
}

void CBlock1Page1::SetRadix(Radix radix) {
  if (radix == radix_) return;
  TakeBoxes();
  radix_ = radix;
  ShowBoxes();
}

bool CBlock1Page1::SaveFile(const std::string& path, UiHost& ui) {
  TakeBoxes();
  return WriteParamFileOrSay(path, WriteHexBlockFile(copy_), ui);
}

bool CBlock1Page1::ReadFile(const std::string& path, UiHost& ui) {
  const std::optional<std::string> bytes = ReadParamFileOrSay(path, ui);
  if (!bytes) return false;
  return LoadText(*bytes, ui);
}

bool CBlock1Page1::LoadText(const std::string& text, UiHost& ui) {
  const HexBlockFileCheck file = ReadHexBlockFile(text, HexBlockKind::kBlock1);
  // A file of another length belongs to another controller: it changes nothing.
  if (!file.Valid() || file.bytes.size() != copy_.size()) {
    ShowMessage(ui, text::kInvalidFile);
    return false;
  }
  copy_ = file.bytes;
  ShowBoxes();
  modified = true;
  return true;
}

}  // namespace kx7
