// The serial number editor ("Controller ID", block 5): four boxes of two hexadecimal digits, in the
// block's order on the serial and driver links and reversed on the USB and HID links.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frame/main_frame.h"
#include "proto/command_channel.h"

namespace kx7 {

class SerialNumberEditor : public DialogModel {
 public:
  SerialNumberEditor(CMainFrame& frame, CommandChannel& channel);
  const char* Kind() const override { return "SerialNumber"; }
  std::string Title() const override { return "Controller ID"; }

  // Reads block 5; false ("Block Read Failed" shown) closes the editor before it opens.
  bool Open();
  // Leaving a box: the boxes are checked in order; an empty box becomes "00"; a box with more than
  // two characters or one that is not hexadecimal gets back what it showed, and the check stops.
  void CheckBoxes();
  // OK: the boxes are checked and written; a failed write keeps the editor open.
  bool OnOk() override;

  std::array<std::string, 4> boxes;
  // The bytes in the block's order, as the boxes hold them now.
  std::array<std::uint8_t, 4> Bytes() const;

 private:
  bool Reversed() const;
  CMainFrame& frame_;
  CommandChannel& channel_;
  std::array<std::string, 4> shown_;  // what each box showed last
};

}  // namespace kx7
