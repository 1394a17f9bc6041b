// The controller's own serial settings as Block1 ("CommByte") and Block6 code them: a baud code and,
// on some pages, a framing code, and the port settings string that follows from them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kx7 {

// The combos list these by code.
const std::vector<std::string>& BaudComboItems();     // "---", "19200", "9600", "4800", "2400", "1200", "---", "---"
const std::vector<std::string>& FramingComboItems();  // "---", "7E1", "---", "7O1", "8N1", ... by code 0 to 15

// "9600," for codes 0 and 2, "19200," for 1, "4800," 3, "2400," 4, "1200," 5; nothing for the others.
std::optional<std::string> CommByteBaud(int code);
// "E,7,1" for 1, "O,7,1" 3, "N,8,1" 4 and 6, "E,8,1" 5, "O,8,1" 7, "N,7,2" 8 and 10, "E,7,2" 9,
// "O,7,2" 11, "N,8,2" 12 and 14; nothing for the others.
std::optional<std::string> CommByteFraming(int code);
// The port settings of a baud code and a framing code (pages without one talk "N,8,1"); nothing
// when either code names no setting, so a port is never reopened with half a setting.
std::optional<std::string> CommBytePortSettings(int baudCode, std::optional<int> framingCode);

// Block6 of the serial Rowan/Cedar types: the low four bits of byte 6. Codes 0, 2 and 6 are 9600
// baud, 1 19200, 3 4800, 4 2400, 5 1200, 7 115200; the higher codes name no speed. Always N,8,1.
std::optional<std::string> Block6PortSettings(int code);

// Two settings strings name the same setting (the parity letter in either case).
bool SameSettings(const std::string& a, const std::string& b);

}  // namespace kx7
