// The "ASCII" chart (command 33108): one row per code from 0 to 255 with the code in decimal
// ("%03d") and hexadecimal ("%02X") and the character. Codes below 33 show their control name,
// padded to four, a caret and the character 64 above ("NUL ^@", "SPACE^`"); 127 shows "DEL".
// The upper half shows the characters of the Windows-1252 code page, which is what an operator
// reading a controller's bytes on a Windows machine sees; the texts are UTF-8. The chart shows
// 16 rows at a time below a first row of 0 to 240.
#pragma once

#include <string>

#include "platform/ui_host.h"

namespace kx7 {

struct AsciiRow {
  std::string decimal;    // "065"
  std::string hex;        // "41"
  std::string character;  // "A"
};

class AsciiChartModel : public DialogModel {
 public:
  static constexpr int kCodes = 256;
  static constexpr int kVisibleRows = 16;
  static constexpr int kLastFirstRow = kCodes - kVisibleRows;

  const char* Kind() const override { return "AsciiChart"; }
  std::string Title() const override { return "ASCII"; }

  // The row of a code (0 to 255); empty texts for any other number.
  static AsciiRow Row(int code);

  // The code shown in the top row; kept within 0 to 240.
  int FirstRow() const { return firstRow_; }
  void SetFirstRow(int code);

 private:
  int firstRow_ = 0;
};

}  // namespace kx7
