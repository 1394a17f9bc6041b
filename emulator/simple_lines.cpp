#include "simple_lines.h"

#include <utility>

namespace kx7::emu {

void EchoLine::Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) {
  nowMs_ = nowMs;
  if (bytes != nullptr) pending_.insert(pending_.end(), bytes, bytes + count);
}

std::vector<std::uint8_t> EchoLine::TakeOutput() { return std::exchange(pending_, {}); }

}  // namespace kx7::emu
