#include "proto/reply_collector.h"

#include "proto/proto_constants.h"

namespace kx7 {

void ReplyCollector::Begin(std::size_t expectedLength, std::uint32_t flags) {
  reply_.clear();
  expected_ = expectedLength;
  flags_ = flags;
  highBitSeen_ = false;
  linesLeft_ = (flags & reply::kTwoLines) ? 2 : 3;
}

bool ReplyCollector::OnByte(std::uint8_t byte) {
  if (flags_ & reply::kRaw) {
    reply_.push_back(byte);
    return reply_.size() == expected_;
  }
  if (byte & 0x80) highBitSeen_ = true;
  const std::uint8_t c = byte & 0x7F;
  const bool fixed = (flags_ & reply::kFixedLength) != 0;
  reply_.push_back(c == 0 && !fixed ? kCr : c);
  bool complete = false;
  if (linesLeft_ > 0 && c == kCr) {
    --linesLeft_;
  } else if (c == 0 && !fixed) {
    complete = true;
  }
  const bool oneLine = (flags_ & ~reply::kTimeOutOnly) == 0;
  const bool multiLine = (flags_ & (reply::kThreeLines | reply::kTwoLines)) != 0;
  if (oneLine && (c == 0 || c == kCr)) complete = true;
  if (multiLine && c == kCr && linesLeft_ == 0) complete = true;
  if (fixed && reply_.size() == expected_) complete = true;
  if (fixed && reply_.size() == 3 && reply_[0] == kSoh && reply_[1] == '1' && reply_[2] == kCr) complete = true;
  if ((flags_ & reply::kEndOnZ) && c == 'Z') complete = true;
  if ((flags_ & reply::kEndOnOk) && c == kCr && reply_.size() >= 3 && reply_[reply_.size() - 3] == kSoh &&
      reply_[reply_.size() - 2] == '0')
    complete = true;
  return complete;
}

std::uint32_t ReplyTimeOutMs(std::uint32_t flags, bool serialLink) {
  if (flags & reply::kWait10s) return reply::kWait10sMs;
  if (flags & reply::kWait20s) return reply::kWait20sMs;
  if (flags & reply::kShortWait) return reply::kShortWaitMs;
  if (flags & reply::kLongWait) return serialLink ? reply::kLongWaitSerialMs : reply::kLongWaitOtherMs;
  return serialLink ? reply::kSerialMs : reply::kOtherMs;
}

}  // namespace kx7
