// Real time: a steady clock and a condition variable (kx7cli, end-to-end tests).
#pragma once

#include <chrono>

#include "platform/queued_loop.h"

namespace kx7 {

class RealTimeLoop : public QueuedLoop {
 public:
  RealTimeLoop() : start_(std::chrono::steady_clock::now()) {}
  std::uint64_t Now() const override;
  void Sleep(std::uint32_t ms) override;

 protected:
  bool WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace kx7
