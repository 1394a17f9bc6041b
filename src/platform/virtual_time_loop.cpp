#include "platform/virtual_time_loop.h"

#include <chrono>
#include <limits>

namespace kx7 {

namespace {
// A poller with no timer behind it gets this much virtual time before the wait counts as stuck.
constexpr std::uint64_t kIdleStepsWithoutTimer = 60000;
}  // namespace

void VirtualTimeLoop::SetIdleWork(std::function<bool()> work, std::uint32_t stepMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  idleWork_ = std::move(work);
  idleStepMs_ = stepMs == 0 ? 1 : stepMs;
  idleStepsWithoutTimer_ = 0;
}

bool VirtualTimeLoop::WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) {
  const bool noTimer = deadline == std::numeric_limits<std::uint64_t>::max();
  if (idleWork_ && (!noTimer || idleStepsWithoutTimer_ < kIdleStepsWithoutTimer)) {
    const std::function<bool()> work = idleWork_;
    lock.unlock();
    const bool did = work();
    lock.lock();
    if (did) {
      idleStepsWithoutTimer_ = 0;
      return true;
    }
    const std::uint64_t now = clock_.load();
    std::uint64_t next = now + idleStepMs_;
    if (!noTimer && deadline < next) next = deadline;
    if (next > now) clock_.store(next);
    if (noTimer) ++idleStepsWithoutTimer_;
    return true;
  }
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
