// The blink-code list (command 33152): the error codes a Birch2 controller blinks at power-up.
// Each line is the number right-aligned in two columns (shown bold green), then the text with
// one blank before it, padded to 20 characters, and CR LF.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/ui_host.h"

namespace kx7 {

struct BlinkCodeLine {
  std::string number;  // "%2d"
  std::string text;    // " %-20s\r\n"
};

class BlinkCodesModel : public DialogModel {
 public:
  static constexpr Color kNumberColour{0, 128, 0};

  const char* Kind() const override { return "BlinkCodes"; }
  std::string Title() const override { return "Blink Codes"; }

  static const std::vector<BlinkCodeLine>& Lines();
  // The whole list as plain text.
  static std::string Text();
};

}  // namespace kx7
