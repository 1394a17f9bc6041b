#include "platform/real_time_loop.h"

#include <limits>
#include <thread>

namespace kx7 {

std::uint64_t RealTimeLoop::Now() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
}

void RealTimeLoop::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool RealTimeLoop::WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) {
  if (deadline == std::numeric_limits<std::uint64_t>::max()) {
    wake_.wait(lock);
  } else {
    wake_.wait_until(lock, start_ + std::chrono::milliseconds(deadline));
  }
  return true;
}

}  // namespace kx7
