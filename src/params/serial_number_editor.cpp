#include "params/serial_number_editor.h"

#include <vector>

#include "frame/frame_constants.h"
#include "params/params_constants.h"
#include "params/radix_text.h"

namespace kx7 {

SerialNumberEditor::SerialNumberEditor(CMainFrame& frame, CommandChannel& channel) : frame_(frame), channel_(channel) {}

bool SerialNumberEditor::Reversed() const { return IsUsbLink(frame_.LinkKind); }

bool SerialNumberEditor::Open() {
  std::vector<std::uint8_t> block;
  if (!channel_.ReadBlock(block::kSerialNumber, block)) return false;
  block.resize(block::kSerialNumberBytes, 0);
  for (std::size_t i = 0; i < boxes.size(); ++i)
    boxes[i] = ByteText(block[Reversed() ? boxes.size() - 1 - i : i], true);
  shown_ = boxes;
  return true;
}

void SerialNumberEditor::CheckBoxes() {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    std::string& box = boxes[i];
    if (box.empty()) box = "00";
    const std::optional<unsigned> value = box.size() <= 2 ? ReadRadixText(box, true) : std::nullopt;
    if (!value || *value > 0xFF || box.find(' ') != std::string::npos) {
      box = shown_[i];
      break;
    }
    shown_[i] = box;
  }
}

std::array<std::uint8_t, 4> SerialNumberEditor::Bytes() const {
  std::array<std::uint8_t, 4> bytes{};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const auto value = static_cast<std::uint8_t>(ReadRadixText(shown_[i], true).value_or(0));
    bytes[Reversed() ? boxes.size() - 1 - i : i] = value;
  }
  return bytes;
}

bool SerialNumberEditor::OnOk() {
  CheckBoxes();
  const std::array<std::uint8_t, 4> bytes = Bytes();
  std::vector<std::uint8_t> block(bytes.begin(), bytes.end());
  return channel_.WriteBlock(block::kSerialNumber, block);
}

}  // namespace kx7
