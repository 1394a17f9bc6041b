// A manual-reset event that several threads can wait on, alone or together with other events
// (a reader waits for "stop" or "buffer free", whichever comes first).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace kx7 {

class Event {
 public:
  explicit Event(bool initiallySet = false) : set_(initiallySet) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;

  // Waits up to `timeoutMs` for the event; true when it is set.
  bool Wait(std::uint32_t timeoutMs);

  // Waits up to `timeoutMs` until any of the events is set. Returns the index of the first set
  // event, or -1 on time-out.
  static int WaitAny(std::initializer_list<Event*> events, std::uint32_t timeoutMs);

 private:
  struct Waiter {
    std::mutex mutex;
    std::condition_variable signal;
    bool woken = false;
  };
  void AddWaiter(Waiter* waiter);
  void RemoveWaiter(Waiter* waiter);

  mutable std::mutex mutex_;
  bool set_;
  std::vector<Waiter*> waiters_;
};

}  // namespace kx7
