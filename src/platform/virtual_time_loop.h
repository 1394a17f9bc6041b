// Virtual time: messages dispatch in order; when nothing is queued the clock jumps to the next
// timer, so long time-outs run in microseconds and always the same way.
#pragma once

#include <atomic>

#include "platform/queued_loop.h"

namespace kx7 {

class VirtualTimeLoop : public QueuedLoop {
 public:
  std::uint64_t Now() const override { return clock_.load(); }
  void Sleep(std::uint32_t ms) override { clock_ += ms; }

  // Moves the clock forward and runs what comes due on the way, timer by timer.
  void Advance(std::uint64_t ms);

 protected:
  bool WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) override;

 private:
  std::atomic<std::uint64_t> clock_{0};
};

}  // namespace kx7
