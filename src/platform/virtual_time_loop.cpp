#include "platform/virtual_time_loop.h"

#include <chrono>
#include <limits>

namespace kx7 {

bool VirtualTimeLoop::WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) {
  if (deadline != std::numeric_limits<std::uint64_t>::max()) {
    if (deadline > clock_.load()) clock_.store(deadline);
    return true;
  }
  // No timer can wake us. Only another thread (a port reader in a test) can still post; give it
  // a moment of real time, then admit that the wait is stuck.
  return wake_.wait_for(lock, std::chrono::seconds(2)) == std::cv_status::no_timeout;
}

void VirtualTimeLoop::Advance(std::uint64_t ms) {
  const std::uint64_t end = clock_.load() + ms;
  for (;;) {
    RunPending();
    if (Closing()) return;
    const std::uint64_t due = NextTimerDue();
    if (due > end) break;
    if (due > clock_.load()) clock_.store(due);
  }
  if (clock_.load() < end) clock_.store(end);
  RunPending();
}

}  // namespace kx7
