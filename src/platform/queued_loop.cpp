#include "platform/queued_loop.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace kx7 {

void QueuedLoop::Enqueue(WindowId target, MessageId message, WParam wParam, LParam lParam) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    queue_.push_back({target, message, wParam, lParam});
  }
  wake_.notify_all();
}

void QueuedLoop::SetTimer(WindowId target, std::uint32_t timerId, std::uint32_t periodMs) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::uint32_t period = periodMs == 0 ? 1 : periodMs;
  timers_[{target, timerId}] = Timer{period, Now() + period};
}

void QueuedLoop::KillTimer(WindowId target, std::uint32_t timerId) {
  std::lock_guard<std::mutex> guard(mutex_);
  timers_.erase({target, timerId});
}

bool QueuedLoop::HasTimer(WindowId target, std::uint32_t timerId) const {
  std::lock_guard<std::mutex> guard(const_cast<std::mutex&>(mutex_));
  return timers_.count({target, timerId}) != 0;
}

void QueuedLoop::ForgetWindow(WindowId id) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (auto it = timers_.begin(); it != timers_.end();) it = it->first.first == id ? timers_.erase(it) : std::next(it);
}

std::uint64_t QueuedLoop::EarliestDueLocked() const {
  std::uint64_t deadline = std::numeric_limits<std::uint64_t>::max();
  for (const auto& entry : timers_) deadline = std::min(deadline, entry.second.due);
  return deadline;
}

std::uint64_t QueuedLoop::NextTimerDue() const {
  std::lock_guard<std::mutex> guard(const_cast<std::mutex&>(mutex_));
  return EarliestDueLocked();
}

void QueuedLoop::Quit() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

bool QueuedLoop::Closing() const {
  std::lock_guard<std::mutex> guard(const_cast<std::mutex&>(mutex_));
  return quit_;
}

bool QueuedLoop::TakeDue(std::unique_lock<std::mutex>& /*lock*/, Posted& out) {
  if (!queue_.empty()) {
    out = queue_.front();
    queue_.pop_front();
    return true;
  }
  // The earliest expired timer fires; ties go to the lower key so the order is reproducible.
  const std::uint64_t now = Now();
  auto earliest = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due <= now && (earliest == timers_.end() || it->second.due < earliest->second.due)) earliest = it;
  }
  if (earliest == timers_.end()) return false;
  earliest->second.due = now + earliest->second.period;
  out = Posted{earliest->first.first, wm::kTimer, earliest->first.second, 0};
  return true;
}

std::size_t QueuedLoop::RunPending() {
  std::size_t handled = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  Posted item{};
  while (!quit_ && TakeDue(lock, item)) {
    lock.unlock();
    Deliver(item.target, item.message, item.wParam, item.lParam);
    ++handled;
    lock.lock();
  }
  return handled;
}

bool QueuedLoop::RunUntil(const std::function<bool()>& done) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (quit_) return false;
    lock.unlock();
    if (done()) return true;
    lock.lock();
    if (quit_) return false;
    Posted item{};
    if (TakeDue(lock, item)) {
      lock.unlock();
      Deliver(item.target, item.message, item.wParam, item.lParam);
      lock.lock();
      continue;
    }
    if (!WaitForWork(lock, EarliestDueLocked())) return false;
  }
}

}  // namespace kx7
