#include "platform/event.h"

#include <algorithm>

namespace kx7 {

void Event::Set() {
  // Waiters are woken under the event's lock: a waiter leaves only through RemoveWaiter, which
  // takes the same lock, so its stack-held Waiter cannot go away while it is being woken.
  std::lock_guard<std::mutex> guard(mutex_);
  set_ = true;
  for (Waiter* waiter : waiters_) {
    std::lock_guard<std::mutex> waiterGuard(waiter->mutex);
    waiter->woken = true;
    waiter->signal.notify_all();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return set_;
}

bool Event::Wait(std::uint32_t timeoutMs) { return WaitAny({this}, timeoutMs) == 0; }

void Event::AddWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(mutex_);
  waiters_.push_back(waiter);
}

void Event::RemoveWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(mutex_);
  waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

int Event::WaitAny(std::initializer_list<Event*> events, std::uint32_t timeoutMs) {
  Waiter waiter;
  for (Event* event : events) event->AddWaiter(&waiter);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int result = -1;
  for (;;) {
    int index = 0;
    for (Event* event : events) {
      if (event->IsSet()) {
        result = index;
        break;
      }
      ++index;
    }
    if (result >= 0) break;
    std::unique_lock<std::mutex> lock(waiter.mutex);
    if (!waiter.woken && waiter.signal.wait_until(lock, deadline, [&] { return waiter.woken; }) == false) break;
    waiter.woken = false;
  }
  for (Event* event : events) event->RemoveWaiter(&waiter);
  return result;
}

}  // namespace kx7
