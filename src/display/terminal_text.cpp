#include "display/terminal_text.h"

#include <algorithm>
#include <cstdio>

namespace kx7 {

TerminalText::TerminalText() = default;

void TerminalText::StartAccepting() {
  accepting_ = true;
  startMs_ = Now();
}

void TerminalText::Log(std::string_view text) {
  if (writeLog && logTakesText && logTakesText()) writeLog(text);
}

void TerminalText::AppendText(std::string_view text, TextKind kind, int contacts) {
  if (!accepting_) return;
  std::uint64_t now = 0;
  const bool timed = timeDisplay != 0 || (rateMeterOpen && rateMeterOpen());
  if (timed) {
    now = Now();
    if (kind == TextKind::kDecoded && onDecodedPiece) onDecodedPiece(now, contacts);
  }
  char stamp[48];
  std::size_t stampLength = 0;
  if (timeDisplay != 0 && column_ == 0 && kind != TextKind::kTyped) {
    if (kind == TextKind::kEchoed || !stamped_) lastStampMs_ = now;
    int written = 0;
    switch (timeDisplay) {
      case 1:
        written = std::snprintf(stamp, sizeof stamp, "%010llu ", static_cast<unsigned long long>(now - startMs_));
        break;
      case 2:
        written = std::snprintf(stamp, sizeof stamp, "%05llu  ", static_cast<unsigned long long>(now - lastStampMs_));
        break;
      default: {
        std::tm t{};
        if (localTime) {
          t = localTime();
        } else {
          const std::time_t seconds = std::time(nullptr);
          localtime_r(&seconds, &t);
        }
        written = std::snprintf(stamp, sizeof stamp, "{%02d/%02d/%04d %02d:%02d:%02d} ", t.tm_mon + 1, t.tm_mday,
                                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
        break;
      }
    }
    stampLength = written > 0 ? std::min(static_cast<std::size_t>(written), sizeof stamp - 1) : 0;
    lastStampMs_ = now;
    stamped_ = true;
  }
  const std::string_view stampText(stamp, stampLength);
  // The line break goes first, in the log too, so the log shows the lines as they are shown.
  if (column_ + static_cast<int>(stampLength + text.size()) > kWrapColumn && column_ > 0) EndLine(LineEnd::kPlain);
  Log(stampText);
  Log(text);
  Store(stampText, kind);
  Store(text, kind);
}

void TerminalText::Store(std::string_view text, TextKind kind) {
  if (text.empty()) return;
  Line& line = Current();
  const int room = kColumns - line.length;
  const int count = std::min(room, static_cast<int>(text.size()));
  if (count > 0) std::copy_n(text.data(), count, line.text.begin() + line.length);
  line.length += std::max(count, 0);
  column_ = line.length;
  line.colour = (kind == TextKind::kTyped || kind == TextKind::kEchoed) ? Colour::kSent : Colour::kReceived;
  if (onRowChanged) onRowChanged(lineCount_);
}

void TerminalText::EndLine(LineEnd reason) {
  if (!accepting_) return;
  if (reason == LineEnd::kReportEnd && !wrapOnCr && column_ < kContinueColumn) {
    Log(" ");
    Line& line = Current();
    if (line.length < kColumns) line.text[static_cast<std::size_t>(line.length++)] = ' ';
    column_ = line.length;
    if (onRowChanged) onRowChanged(lineCount_);
    return;
  }
  Log("\r");
  if (onLineEnded) onLineEnded(Row(lineCount_));
  NewLine();
}

void TerminalText::NewLine() {
  column_ = 0;
  // Nothing reads a line past its length: emptying it is enough.
  if (lineCount_ == kLines - 1) {
    top_ = (top_ + 1) % kLines;  // the oldest line goes
    Current().length = 0;
    Current().colour = Colour::kReceived;
    if (onScrolled) onScrolled();
  } else {
    ++lineCount_;
    Current().length = 0;
    Current().colour = Colour::kReceived;
    if (onRowChanged) onRowChanged(lineCount_);
  }
}

void TerminalText::EchoChar(std::uint8_t byte, TextKind kind) {
  if (byte == '\r') {
    lastStampMs_ = Now();
    stamped_ = true;
    EndLine(LineEnd::kCarriageReturn);
    return;
  }
  char text[8];
  if (byte < 0x20 || byte == 0x7F) {
    std::snprintf(text, sizeof text, "<%02X>", byte);
    AppendText(text, kind);
  } else {
    text[0] = static_cast<char>(byte);
    AppendText(std::string_view(text, 1), kind);
  }
}

void TerminalText::Clear() {
  ring_ = {};
  top_ = 0;
  lineCount_ = 0;
  column_ = 0;
  if (onScrolled) onScrolled();
}

std::string_view TerminalText::Row(int row) const {
  if (row < 0 || row > lineCount_) return {};
  const Line& line = At(row);
  return std::string_view(line.text.data(), static_cast<std::size_t>(line.length));
}

TerminalText::Colour TerminalText::RowColour(int row) const {
  if (row < 0 || row > lineCount_) return Colour::kReceived;
  return At(row).colour;
}

std::string TerminalText::Copy(int startRow, int startColumn, int endRow, int endColumn) const {
  std::string out;
  startRow = std::max(startRow, 0);
  endRow = std::min(endRow, lineCount_);
  for (int row = startRow; row <= endRow; ++row) {
    const std::string_view text = Row(row);
    const int from = row == startRow ? std::max(startColumn, 0) : 0;
    const int to = row == endRow ? std::min(endColumn, static_cast<int>(text.size()) - 1)
                                 : static_cast<int>(text.size()) - 1;
    if (from <= to) out.append(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from + 1)));
    if (row != endRow) out += "\r\n";
  }
  return out;
}

}  // namespace kx7
