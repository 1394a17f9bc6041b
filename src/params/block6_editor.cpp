#include "params/block6_editor.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_families.h"
#include "params/block6_file.h"
#include "params/comm_byte.h"
#include "params/file_buttons.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/radix_text.h"
#include "params/speed_change.h"

namespace kx7 {

namespace {

constexpr std::size_t kBaudByte = 6;
constexpr double kLarchClockHz = 8000000.0;
constexpr std::uint32_t kLarchModels123 =
    feature::kLarchModelSpruce | feature::kLarchModel2 | feature::kLarchModel3;

}  // namespace

Block6Editor::Block6Editor(CMainFrame& frame, CommandChannel& channel, int& firstRow)
    : frame_(frame), channel_(channel), rememberedFirstRow_(firstRow), type_(frame.ControllerType) {
  bytes_ = frame_.blocks.Bytes(block::kBlock6);
  names_ = Block6Names(Block6NameTableFor(type_, frame_.ControllerFeatures), bytes_.size());
  rowsShown_ = Block6RowsShown(type_);
  const char letter = frame_.blocks.Status(block::kBlock6);
  status = letter != 0 ? std::string(1, letter) : std::string();
  const int length = static_cast<int>(bytes_.size());
  firstRow_ = rememberedFirstRow_ < length - 15 ? std::max(rememberedFirstRow_, 0) : 0;
  firstRow_ = std::min(firstRow_, MostFirstRow());
  ShowBoxes();
}

int Block6Editor::MostFirstRow() const { return std::max(0, static_cast<int>(bytes_.size()) - rowsShown_); }

void Block6Editor::ShowBoxes() {
  boxes.assign(static_cast<std::size_t>(rowsShown_), std::string());
  for (int row = 0; row < rowsShown_; ++row) {
    const auto at = static_cast<std::size_t>(firstRow_ + row);
    if (at < bytes_.size()) boxes[static_cast<std::size_t>(row)] = hex_ ? ByteText(bytes_[at], true) : std::to_string(bytes_[at]);
  }
}

std::string Block6Editor::RowIndex(int shownRow) const {
  const int at = firstRow_ + shownRow;
  if (at >= static_cast<int>(bytes_.size())) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%02d", at);
  return text;
}

std::string Block6Editor::RowName(int shownRow) const {
  const auto at = static_cast<std::size_t>(firstRow_ + shownRow);
  return at < names_.size() ? names_[at] : std::string();
}

bool Block6Editor::RowEnabled(int shownRow) const { return firstRow_ + shownRow < static_cast<int>(bytes_.size()); }

bool Block6Editor::TakeBoxes() {
  bool changed = false;
  for (int row = 0; row < rowsShown_ && row < static_cast<int>(boxes.size()); ++row) {
    const auto at = static_cast<std::size_t>(firstRow_ + row);
    if (at >= bytes_.size()) continue;
    const std::optional<unsigned> value = ReadRadixText(boxes[static_cast<std::size_t>(row)], hex_);
    if (!value) continue;
    const auto byte = static_cast<std::uint8_t>(*value & 0xFF);
    if (byte != bytes_[at]) {
      bytes_[at] = byte;
      changed = true;
    }
  }
  if (changed) applyEnabled_ = true;
  ShowBoxes();
  return changed;
}

void Block6Editor::OnEnter() {
  TakeBoxes();
  applyEnabled_ = true;
}

void Block6Editor::SetHex(bool hex) {
  TakeBoxes();
  hex_ = hex;
  ShowBoxes();
}

void Block6Editor::SetFirstRow(int row) {
  TakeBoxes();
  firstRow_ = std::clamp(row, 0, MostFirstRow());
  ShowBoxes();
}

void Block6Editor::OnScroll(Scroll step) { SetFirstRow(ScrolledRow(step, firstRow_, 1, rowsShown_)); }

void Block6Editor::OnWheel(int delta) {
  Scroll step = Scroll::kLineUp;
  if (!WheelStep(delta, step)) return;
  for (int i = 0; i < kWheelLineSteps; ++i) OnScroll(step);
}

std::string Block6Editor::FrequencyText() const {
  if (!IsLarchType(type_) || (frame_.ControllerFeatures & kLarchModels123) == 0 || bytes_.empty()) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%5.0f Hz", kLarchClockHz / (bytes_[0] + 2));
  return text;
}

bool Block6Editor::BaudEnabled() const { return IsSerialRowanCedar(type_) && bytes_.size() > kBaudByte; }

std::optional<int> Block6Editor::BaudIndex() const {
  if (!IsRowanCedar(type_) || bytes_.size() <= kBaudByte) return std::nullopt;
  const int code = bytes_[kBaudByte] & 0x0F;
  if (code >= static_cast<int>(BaudComboItems().size())) return std::nullopt;
  return code;
}

void Block6Editor::SetBaudIndex(int index) {
  if (!BaudEnabled() || index < 0 || index >= static_cast<int>(BaudComboItems().size())) return;
  bytes_[kBaudByte] = static_cast<std::uint8_t>((bytes_[kBaudByte] & 0xF0) | index);
  applyEnabled_ = true;
  ShowBoxes();
}

void Block6Editor::SetBytes(const std::vector<std::uint8_t>& bytes) {
  bytes_ = bytes;
  names_.resize(bytes_.size(), ".");
  applyEnabled_ = true;
  ShowBoxes();
}

bool Block6Editor::Apply() {
  TakeBoxes();
  std::optional<std::string> newSettings;
  if (IsSerialRowanCedar(type_) && bytes_.size() > kBaudByte) {
    // A code that names no speed leaves the port alone: never half a setting.
    const std::optional<std::string> settings = Block6PortSettings(bytes_[kBaudByte] & 0x0F);
    if (settings && !SameSettings(*settings, frame_.settings.MainPortSettings)) {
      if (IsDriverLink(frame_.LinkKind) && (!confirmBaudChange || !confirmBaudChange())) return false;
      newSettings = settings;
    }
  }
  frame_.blocks.Bytes(block::kBlock6) = bytes_;
  bool written = false;
  if (IsLarchType(type_)) {
    written = channel_.WriteBlock(block::kBlock6);
  } else if (newSettings) {
    written = WriteBlockAtNewSettings(frame_, channel_, block::kBlock6, *newSettings);
  } else {
    written = channel_.WriteBlock(block::kBlock6);
  }
  if (written) applyEnabled_ = false;
  return written;
}

bool Block6Editor::OnOk() {
  rememberedFirstRow_ = firstRow_;
  TakeBoxes();
  if (!applyEnabled_) return true;
  return Apply();
}

bool Block6Editor::SaveFile(const std::string& path) {
  TakeBoxes();
  const char letter = status.empty() ? 0 : status[0];
  return WriteParamFileOrSay(path, WriteBlock6File(bytes_, names_, letter), frame_.Ui());
}

bool Block6Editor::ReadFile(const std::string& path) {
  const std::optional<std::string> text = ReadParamFileOrSay(path, frame_.Ui());
  if (!text) return false;
  return LoadText(*text);
}

bool Block6Editor::LoadText(const std::string& text) {
  const Block6FileCheck file = ReadBlock6File(text);
  if (file.error == "UnexpectedEOF") {
    frame_.Ui().MessageBox(text::kUnexpectedEof, "KX7SDU", MessageButtons::kOk, MessageIcon::kError);
    return false;
  }
  if (!file.Valid() || file.values.size() != bytes_.size()) {
    ShowMessage(frame_.Ui(), text::kInvalidFile);
    return false;
  }
  bytes_ = file.values;
  names_ = file.names;
  status = file.status ? std::string(1, *file.status) : std::string();
  applyEnabled_ = true;
  ShowBoxes();
  return true;
}

bool Block6Editor::SaveFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock6, "txt"}, true);
  return path && SaveFile(*path);
}

bool Block6Editor::ReadFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock6, "txt"}, false);
  return path && ReadFile(*path);
}

}  // namespace kx7
