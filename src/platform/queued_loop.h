// The message queue and timer list shared by the virtual-time and real-time loops. They differ
// only in their clock and in what they do when nothing is due.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "platform/message_loop.h"

namespace kx7 {

class QueuedLoop : public MessageLoop {
 public:
  
  void SetTimer(WindowId target, std::uint32_t timerId, std::uint32_t periodMs) override;
  void KillTimer(WindowId target, std::uint32_t timerId) override;
  bool HasTimer(WindowId target, std::uint32_t timerId) const override;
  bool RunUntil(const std::function<bool()>& done) override;
  void Quit() override;
  bool Closing() const override;

  // Dispatch everything that is due now without waiting; returns the number of messages handled.
  std::size_t RunPending();

 protected:
  void Enqueue(WindowId target, MessageId message, WParam wParam, LParam lParam) override;
  void ForgetWindow(WindowId id) override;

  // The earliest timer's due time, UINT64_MAX when no timer runs.
  std::uint64_t NextTimerDue() const;

  // Wait until a message is posted or the clock reaches `deadline` (a Now() value; UINT64_MAX
  // for no timer). Returns false when waiting cannot make progress (nothing can ever arrive).
  virtual bool WaitForWork(std::unique_lock<std::mutex>& lock, std::uint64_t deadline) = 0;

  std::mutex mutex_;
  std::condition_variable wake_;

 private:
  struct Posted {
    WindowId target;
    MessageId message;
    WParam wParam;
    LParam lParam;
  };
  struct Timer {
    std::uint32_t period;
    std::uint64_t due;
  };
  using TimerKey = std::pair<WindowId, std::uint32_t>;

  // Takes one due item under the lock; returns false when none is due.
  bool TakeDue(std::unique_lock<std::mutex>& lock, Posted& out);
  std::uint64_t EarliestDueLocked() const;

  std::deque<Posted> queue_;
  std::map<TimerKey, Timer> timers_;
  bool quit_ = false;
};

}  // namespace kx7
