// Cuts the bytes a controller receives into what its command interpreter acts on: framed
// commands (SOH text CR), the bare lines of multi-step exchanges (text CR after a prompt), and
// fixed counts of raw bytes. Every buffer is bounded: a frame or line longer than its limit is
// reported once as an overflow and the rest of it, up to its CR, is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kx7::emu {

class CommandFramer {
 public:
  enum class Event {
    kNone,
    kPoll,       // the poll byte 0x11 between frames
    kCommand,    // a framed command is complete: Text()
    kLine,       // the awaited line (or raw byte count) is complete: Text()
    kAbandoned,  // a SOH arrived while a line was awaited: the host gave up the exchange
    kOverflow,   // the frame or line outgrew its limit
  };

  static constexpr std::uint8_t kSoh = 0x01;
  static constexpr std::uint8_t kCr = 0x0D;
  static constexpr std::uint8_t kPollByte = 0x11;
  static constexpr std::size_t kDefaultFrameLimit = 256;

  explicit CommandFramer(std::size_t frameLimit = kDefaultFrameLimit) : frameLimit_(frameLimit) {}

  // Between frames: bytes before a SOH are ignored (the poll byte is reported).
  void ExpectCommand();
  // The next CR ends a line of at most `limit` characters; a SOH abandons it.
  void ExpectLine(std::size_t limit);
  // The next `count` bytes, whatever they are.
  void ExpectRaw(std::size_t count);

  Event Push(std::uint8_t byte);
  const std::string& Text() const { return text_; }
  bool AwaitingLine() const { return mode_ == Mode::kLine || mode_ == Mode::kRaw; }

 private:
  enum class Mode { kIdle, kFrame, kLine, kRaw, kDiscardFrame, kDiscardLine };
  std::size_t frameLimit_;
  std::size_t lineLimit_ = 0;
  std::size_t rawCount_ = 0;
  Mode mode_ = Mode::kIdle;
  std::string text_;
};

}  // namespace kx7::emu
