// Where the decoders put their text: pieces with a kind, and line ends with a reason. The terminal
// window is the sink; `kx7cli decode` and the tests have their own.
#pragma once

#include <string_view>

namespace kx7 {

// The kinds of text the terminal colours and logs differently.
enum class TextKind : int {
  kDecoded = 0,    // decoded received data
  kTyped = 1,      // locally echoed typing
  kEchoed = 3,     // bytes echoed by the main frame (sent data, search log)
  kUndecoded = 4,  // received bytes no decoder took
};

enum class LineEnd {
  kReportEnd,       // a decoded report is complete (may continue the line when WrapOnCR is off)
  kCarriageReturn,  // a CR byte
  kHighBit,         // a byte with bit 7 set (hex dump)
  kPlain,
};

class TerminalSink {
 public:
  virtual ~TerminalSink() = default;
  // `contacts`: the contact count of a multi-touch line (for the rate meter), else 0.
  virtual void AppendText(std::string_view text, TextKind kind, int contacts = 0) = 0;
  virtual void EndLine(LineEnd reason) = 0;
};

}  // namespace kx7
