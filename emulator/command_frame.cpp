#include "command_frame.h"

namespace kx7::emu {

void CommandFramer::ExpectCommand() {
  mode_ = Mode::kIdle;
  text_.clear();
}

void CommandFramer::ExpectLine(std::size_t limit) {
  mode_ = Mode::kLine;
  lineLimit_ = limit;
  text_.clear();
}

void CommandFramer::ExpectRaw(std::size_t count) {
  mode_ = count == 0 ? Mode::kIdle : Mode::kRaw;
  rawCount_ = count;
  text_.clear();
}

CommandFramer::Event CommandFramer::Push(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  switch (mode_) {
    case Mode::kIdle:
      if (byte == kSoh) {
        mode_ = Mode::kFrame;
        text_.clear();
      } else if (byte == kPollByte) {
        return Event::kPoll;
      }
      return Event::kNone;
    case Mode::kFrame:
      if (byte == kSoh) {  // a new command begins; the unfinished one is forgotten
        text_.clear();
        return Event::kNone;
      }
      if (byte == kCr) {
        mode_ = Mode::kIdle;
        return Event::kCommand;
      }
      if (text_.size() >= frameLimit_) {
        mode_ = Mode::kDiscardFrame;
        text_.clear();
        return Event::kOverflow;
      }
      text_ += c;
      return Event::kNone;
    case Mode::kLine:
      if (byte == kSoh) {
        mode_ = Mode::kFrame;
        text_.clear();
        return Event::kAbandoned;
      }
      if (byte == kCr) {
        mode_ = Mode::kIdle;
        return Event::kLine;
      }
      if (text_.size() >= lineLimit_) {
        mode_ = Mode::kDiscardLine;
        text_.clear();
        return Event::kOverflow;
      }
      text_ += c;
      return Event::kNone;
    case Mode::kRaw:
      text_ += c;
      if (text_.size() >= rawCount_) {
        mode_ = Mode::kIdle;
        return Event::kLine;
      }
      return Event::kNone;
    case Mode::kDiscardFrame:
    case Mode::kDiscardLine:
      if (byte == kCr) {
        mode_ = Mode::kIdle;
      } else if (byte == kSoh) {
        mode_ = Mode::kFrame;
        text_.clear();
      }
      return Event::kNone;
  }
  return Event::kNone;
}

}  // namespace kx7::emu
