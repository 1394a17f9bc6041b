#include "params/block8_editor.h"

#include <algorithm>
#include <cstdio>

#include "params/block8_file.h"
#include "params/file_buttons.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/radix_text.h"

namespace kx7 {

namespace {

constexpr int kMostFirstRow = static_cast<int>(block::kBlock8Values) - Block8Editor::kRowsShown;

}  // namespace

Block8Editor::Block8Editor(CMainFrame& frame, CommandChannel& channel, int rowCount, bool eventLog, int& firstRow)
    : frame_(frame), channel_(channel), rememberedFirstRow_(firstRow), rowCount_(rowCount), eventLog_(eventLog) {
  const int number = eventLog_ ? block::kEventLog : block::kBlock8;
  values_ = Block8Values(frame_.blocks.Bytes(number));
  const char letter = frame_.blocks.Status(number);
  status = letter != 0 ? std::string(1, letter) : std::string();
  firstRow_ = std::clamp(rememberedFirstRow_, 0, kMostFirstRow);
  ShowBoxes();
}

void Block8Editor::ShowBoxes() {
  boxes.assign(kRowsShown, std::string());
  for (int row = 0; row < kRowsShown; ++row)
    boxes[static_cast<std::size_t>(row)] = WordText(values_[static_cast<std::size_t>(firstRow_ + row)], hex_);
}

std::string Block8Editor::Label(int shownRow) const {
  const int index = firstRow_ + shownRow;
  const int other = rowCount_ - index - 1;
  if (other < 0) return " ";
  char text[32];
  std::snprintf(text, sizeof text, "%03d:%03d", index, other);
  return text;
}

bool Block8Editor::TakeBoxes() {
  bool changed = false;
  for (int row = 0; row < kRowsShown; ++row) {
    const std::optional<unsigned> value = ReadRadixText(boxes[static_cast<std::size_t>(row)], hex_);
    if (!value) continue;
    const auto word = static_cast<std::uint16_t>(*value & 0xFFFF);
    std::uint16_t& kept = values_[static_cast<std::size_t>(firstRow_ + row)];
    if (word != kept && !eventLog_) {
      kept = word;
      changed = true;
    }
  }
  ShowBoxes();
  return changed;
}

void Block8Editor::EditBox(int shownRow, const std::string& text) {
  if (eventLog_ || shownRow < 0 || shownRow >= kRowsShown) return;
  boxes[static_cast<std::size_t>(shownRow)] = text;
  applyEnabled_ = true;
}

void Block8Editor::SetHex(bool hex) {
  TakeBoxes();
  hex_ = hex;
  ShowBoxes();
}

void Block8Editor::SetFirstRow(int row) {
  TakeBoxes();
  firstRow_ = std::clamp(row, 0, kMostFirstRow);
  ShowBoxes();
}

void Block8Editor::OnScroll(Scroll step) { SetFirstRow(ScrolledRow(step, firstRow_, 1, kRowsShown)); }

void Block8Editor::OnWheel(int delta) {
  Scroll step = Scroll::kLineUp;
  if (!WheelStep(delta, step)) return;
  for (int i = 0; i < kWheelLineSteps; ++i) OnScroll(step);
}

void Block8Editor::SetValues(const std::vector<std::uint16_t>& values) {
  if (eventLog_ || values.size() != block::kBlock8Values) return;
  values_ = values;
  applyEnabled_ = true;
  ShowBoxes();
}

bool Block8Editor::Apply() {
  // The event log is only read: its values never go into Block8.
  if (eventLog_) return false;
  TakeBoxes();
  std::vector<std::uint8_t>& block = frame_.blocks.Bytes(block::kBlock8);
  block = Block8Bytes(values_);
  const bool written = channel_.WriteBlock(block::kBlock8);
  if (written) applyEnabled_ = false;
  return written;
}

bool Block8Editor::OnOk() {
  rememberedFirstRow_ = firstRow_;
  if (eventLog_) return true;
  TakeBoxes();
  if (!applyEnabled_) return true;
  return Apply();
}

void Block8Editor::Copy() {
  TakeBoxes();
  frame_.Ui().SetClipboardText(WriteBlock8File(values_));
}

bool Block8Editor::SaveFile(const std::string& path) {
  TakeBoxes();
  return WriteParamFileOrSay(path, WriteBlock8File(values_), frame_.Ui());
}

bool Block8Editor::ReadFile(const std::string& path) {
  if (eventLog_) return false;
  const std::optional<std::string> text = ReadParamFileOrSay(path, frame_.Ui());
  if (!text) return false;
  return LoadText(*text);
}

bool Block8Editor::LoadText(const std::string& text) {
  if (eventLog_) return false;
  const Block8FileCheck file = ReadBlock8File(text);
  if (file.error == "UnexpectedEOF") {
    frame_.Ui().MessageBox(text::kUnexpectedEof, "KX7SDU", MessageButtons::kOk, MessageIcon::kError);
    return false;
  }
  if (!file.Valid()) {
    ShowMessage(frame_.Ui(), text::kInvalidFile);
    return false;
  }
  SetValues(file.values);
  return true;
}

bool Block8Editor::SaveFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock8, "txt"}, true);
  return path && SaveFile(*path);
}

bool Block8Editor::ReadFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock8, "txt"}, false);
  return path && ReadFile(*path);
}

}  // namespace kx7
