// The terminal's text: a fixed ring of 100 lines of 150 characters with a colour per line, the
// time stamps, the wrap rules (a piece that would pass 148 characters starts a new line; with
// WrapOnCR off a report end continues a line shorter than 130 characters with a blank), and the
// copy of every piece into the log. It never grows: 15,000 characters whatever arrives. The
// terminal window draws it; `kx7cli decode` and `kx7cli terminal` print its lines.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "display/terminal_sink.h"

namespace kx7 {

class TerminalText : public TerminalSink {
 public:
  static constexpr int kLines = 100;
  static constexpr int kColumns = 150;
  static constexpr int kWrapColumn = 148;      // a piece that would pass this starts a new line
  static constexpr int kContinueColumn = 130;  // below this a report end continues the line

  enum class Colour : std::uint8_t { kReceived, kSent };

  TerminalText();

  // --- What the owner sets ---------------------------------------------------------------------
  // 0 none, 1 "%010d " since the start, 2 "%05d  " since the last stamp, 3 the local date and time.
  int timeDisplay = 0;
  bool wrapOnCr = true;
  std::function<std::uint64_t()> clockMs;       // the millisecond clock (the loop's)
  std::function<std::tm()> localTime;           // stamp 3; the system's local time when unset
  std::function<bool()> logTakesText;           // a log is open and takes the terminal's text
  std::function<void(std::string_view)> writeLog;
  // A decoded piece arrived (the rate meter), with its time and contact count.
  std::function<void(std::uint64_t ms, int contacts)> onDecodedPiece;
  std::function<bool()> rateMeterOpen;
  // A line changed (the view redraws only it) or scrolled (the view redraws all).
  std::function<void(int row)> onRowChanged;
  std::function<void()> onScrolled;
  // A line ended, with its text (the command-line front end prints it).
  std::function<void(std::string_view line)> onLineEnded;

  // Starts taking text (the terminal's first paint); the start of the absolute stamps.
  void StartAccepting();
  bool Accepting() const { return accepting_; }

  // --- TerminalSink ----------------------------------------------------------------------------
  void AppendText(std::string_view text, TextKind kind, int contacts = 0) override;
  void EndLine(LineEnd reason) override;
  // A typed or sent byte: CR ends the line (and restarts the relative stamps); control bytes and
  // DEL show as "<%02X>".
  void EchoChar(std::uint8_t byte, TextKind kind);

  // Empties the ring (Clear All).
  void Clear();

  // --- Reading ---------------------------------------------------------------------------------
  // Rows in order from the oldest: RowCount() - 1 is the current line.
  int RowCount() const { return lineCount_ + 1; }
  std::string_view Row(int row) const;
  Colour RowColour(int row) const;
  int CurrentColumn() const { return column_; }
  // Text from (startRow, startColumn) to (endRow, endColumn) inclusive, "\r\n" between rows.
  std::string Copy(int startRow, int startColumn, int endRow, int endColumn) const;

 private:
  struct Line {
    std::array<char, kColumns> text{};
    int length = 0;
    Colour colour = Colour::kReceived;
  };
  Line& Current() { return ring_[static_cast<std::size_t>((top_ + lineCount_) % kLines)]; }
  const Line& At(int row) const { return ring_[static_cast<std::size_t>((top_ + row) % kLines)]; }
  void Store(std::string_view text, TextKind kind);
  void Log(std::string_view text);
  void NewLine();
  std::uint64_t Now() const { return clockMs ? clockMs() : 0; }

  std::array<Line, kLines> ring_;
  int top_ = 0;
  int lineCount_ = 0;  // ended lines still in the ring (at most 99)
  int column_ = 0;
  bool accepting_ = false;
  std::uint64_t startMs_ = 0;
  std::uint64_t lastStampMs_ = 0;
  bool stamped_ = false;
};

}  // namespace kx7
