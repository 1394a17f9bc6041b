// Collects the controller's reply to the command in progress, byte by byte, and decides when it
// is complete. The channel begins a reply with an expected length and ReplyFlags; every received
// byte is offered while listener slot 6 is active; a time-out ends the reply with one NUL byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx7 {

class ReplyCollector {
 public:
  void Begin(std::size_t expectedLength, std::uint32_t flags);
  // True when this byte completed the reply.
  bool OnByte(std::uint8_t byte);
  // The reply timed out: the collector takes one NUL, so a line reply ends with the CR it becomes.
  void OnTimeOut() { OnByte(0); }

  const std::vector<std::uint8_t>& Reply() const { return reply_; }
  std::vector<std::uint8_t> TakeReply() { return std::move(reply_); }
  bool HighBitSeen() const { return highBitSeen_; }
  std::size_t ExpectedLength() const { return expected_; }
  std::uint32_t Flags() const { return flags_; }

 private:
  std::vector<std::uint8_t> reply_;
  std::size_t expected_ = 0;
  std::uint32_t flags_ = 0;
  int linesLeft_ = 3;
  bool highBitSeen_ = false;
};

// The reply timer's interval for the flags on a serial or another link.
std::uint32_t ReplyTimeOutMs(std::uint32_t flags, bool serialLink);

}  // namespace kx7
