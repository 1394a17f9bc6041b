// Replies of any length and content: the collector never grows past what it was given, ends a
// raw reply exactly at its length, and always ends a reply by the time-out byte unless it is raw
// or of fixed length.
#include <cstddef>
#include <cstdint>

#include "proto/proto_constants.h"
#include "proto/reply_collector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t flags = static_cast<std::uint32_t>(data[0] | (data[1] << 8)) & 0x7FF;
  const std::size_t expected = data[2];
  kx7::ReplyCollector collector;
  collector.Begin(expected, flags);
  std::size_t fed = 0;
  bool complete = false;
  for (std::size_t i = 3; i < size && !complete; ++i) {
    complete = collector.OnByte(data[i]);
    ++fed;
    if (collector.Reply().size() != fed) __builtin_trap();
    if ((flags & kx7::reply::kRaw) && complete != (fed == expected)) __builtin_trap();
  }
  if (!complete && !(flags & (kx7::reply::kRaw | kx7::reply::kFixedLength))) {
    if (!collector.OnByte(0)) __builtin_trap();  // the time-out's NUL ends every line reply
  }
  return 0;
}
