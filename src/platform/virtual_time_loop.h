// Virtual time: messages dispatch in order; when nothing is queued the clock jumps to the next
// timer, so long time-outs run in microseconds and always the same way.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/queued_loop.h"

namespace kx7 {

class VirtualTimeLoop : public QueuedLoop {
 public:
  std::uint64_t Now() const override { return clock_.load(); }
  void Sleep(std::uint32_t ms) override { clock_ += ms; }

  // Moves the clock forward and runs what comes due on the way, timer by timer.
  void Advance(std::uint64_t ms);

  // Work that a real program does on another thread while the user-interface thread waits: a
  // device poller. While it is set, a wait with nothing queued calls it instead of jumping to the
  // next timer; when it did nothing the clock moves `stepMs` (never past the next timer) and it is
  // called again, so a poller sees time pass as it would in real life. It runs on the loop's thread
  // and may post. An empty function removes it.
  void SetIdleWork(std::function<bool()> work, std::uint32_t stepMs = 1);

 protected:
  bool WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) override;

 private:
  std::atomic<std::uint64_t> clock_{0};
  std::function<bool()> idleWork_;
  std::uint32_t idleStepMs_ = 1;
  std::uint64_t idleStepsWithoutTimer_ = 0;
};

}  // namespace kx7
