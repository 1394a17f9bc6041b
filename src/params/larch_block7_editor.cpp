#include "params/larch_block7_editor.h"

#include <cstdio>

#include "params/hex_block_file.h"
#include "params/file_buttons.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/radix_text.h"

namespace kx7 {

LarchBlock7Editor::LarchBlock7Editor(CMainFrame& frame, std::vector<std::uint8_t> block)
    : frame_(frame), buffer_(std::move(block)) {
  ShowBoxes();
}

int LarchBlock7Editor::PageCount() const {
  return std::max(1, static_cast<int>((buffer_.size() + kPageBytes - 1) / kPageBytes));
}

std::string LarchBlock7Editor::PageText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%d of %d", page_ + 1, PageCount());
  return text;
}

std::string LarchBlock7Editor::ColumnHeading(int column) const {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(page_ * kPageBytes + kRows * column));
  return text;
}

std::string LarchBlock7Editor::RowLabel(int row) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(row));
  return text;
}

std::size_t LarchBlock7Editor::ByteOf(int column, int row) const {
  return static_cast<std::size_t>(page_ * kPageBytes + kRows * column + row);
}

void LarchBlock7Editor::ShowBoxes() {
  boxes.assign(kPageBytes, std::string());
  for (int column = 0; column < kColumns; ++column)
    for (int row = 0; row < kRows; ++row)
      if (BoxEnabled(column, row))
        boxes[static_cast<std::size_t>(column * kRows + row)] =
            hex_ ? ByteText(buffer_[ByteOf(column, row)], true) : std::to_string(buffer_[ByteOf(column, row)]);
}

void LarchBlock7Editor::TakeBoxes() {
  for (int column = 0; column < kColumns; ++column)
    for (int row = 0; row < kRows; ++row) {
      if (!BoxEnabled(column, row)) continue;
      if (const auto value = ReadRadixText(boxes[static_cast<std::size_t>(column * kRows + row)], hex_))
        buffer_[ByteOf(column, row)] = static_cast<std::uint8_t>(*value & 0xFF);
    }
  ShowBoxes();
}

void LarchBlock7Editor::NextPage() {
  TakeBoxes();
  if (page_ + 1 < PageCount()) ++page_;
  ShowBoxes();
}

void LarchBlock7Editor::PreviousPage() {
  TakeBoxes();
  if (page_ > 0) --page_;
  ShowBoxes();
}

void LarchBlock7Editor::SetHex(bool hex) {
  TakeBoxes();
  hex_ = hex;
  ShowBoxes();
}

bool LarchBlock7Editor::OnOk() {
  TakeBoxes();
  return true;
}

bool LarchBlock7Editor::SaveFile(const std::string& path) {
  TakeBoxes();
  return WriteParamFileOrSay(path, WriteHexBlockFile(buffer_), frame_.Ui());
}

bool LarchBlock7Editor::ReadFile(const std::string& path) {
  const std::optional<std::string> text = ReadParamFileOrSay(path, frame_.Ui());
  if (!text) return false;
  return LoadText(*text);
}

bool LarchBlock7Editor::LoadText(const std::string& text) {
  const HexBlockFileCheck file = ReadHexBlockFile(text, HexBlockKind::kLarchBlock7);
  if (!file.Valid() || file.bytes.size() != buffer_.size()) {
    ShowMessage(frame_.Ui(), text::kInvalidFile);
    return false;
  }
  buffer_ = file.bytes;
  ShowBoxes();
  return true;
}

bool LarchBlock7Editor::SaveFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kLarchBlock7, "blk"}, true);
  return path && SaveFile(*path);
}

bool LarchBlock7Editor::ReadFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kLarchBlock7, "blk"}, false);
  return path && ReadFile(*path);
}

}  // namespace kx7
