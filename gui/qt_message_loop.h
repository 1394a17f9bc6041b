// The message loop of kx7sdu on top of Qt's event loop: posted messages become one queued event
// to this object, timers are QTimers, and nested waits run Qt's event processing until their
// condition holds. Create it on the user-interface thread after the QApplication.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/message_loop.h"

namespace kx7 {

class QtMessageLoop : public QObject, public MessageLoop {
  Q_OBJECT

 public:
  QtMessageLoop();
  ~QtMessageLoop() override;

  void SetTimer(WindowId target, std::uint32_t timerId, std::uint32_t periodMs) override;
  void KillTimer(WindowId target, std::uint32_t timerId) override;
  bool HasTimer(WindowId target, std::uint32_t timerId) const override;
  bool RunUntil(const std::function<bool()>& done) override;
  std::uint64_t Now() const override;
  void Sleep(std::uint32_t ms) override;
  // Thread-safe. Ends the waits only; closing the application is the main window's decision.
  void Quit() override;
  bool Closing() const override { return quit_.load(); }

  // Messages waiting to be delivered (for tests and diagnostics).
  std::size_t PendingCount() const;

 protected:
  void Enqueue(WindowId target, MessageId message, WParam wParam, LParam lParam) override;
  void ForgetWindow(WindowId id) override;
  bool event(QEvent* event) override;

 private:
  struct Posted {
    WindowId target;
    MessageId message;
    WParam wParam;
    LParam lParam;
    // Timer messages carry the generation of the timer that produced them; a message from before
    // a restart or kill is stale and dropped, as a timer message never outlives its timer.
    std::uint64_t timerGeneration;
  };
  struct Timer {
    std::unique_ptr<QTimer> timer;
    std::uint64_t generation = 0;
    // At most one message of a timer waits in the queue: a handler that is slow, or a nested
    // wait, sees one expiry rather than a burst.
    bool queued = false;
  };
  using TimerKey = std::pair<WindowId, std::uint32_t>;

  void RequestDrain(std::unique_lock<std::mutex>& lock);
  void Drain();
  bool TakeNext(Posted& out);
  void OnTimerExpired(const TimerKey& key);

  static const QEvent::Type kDrainEvent;
  static const QEvent::Type kWakeEvent;

  mutable std::mutex mutex_;
  std::deque<Posted> queue_;
  bool drainRequested_ = false;

  std::map<TimerKey, Timer> timers_;
  std::uint64_t nextGeneration_ = 1;

  // Conditions of the running nested waits, innermost last.
  std::vector<const std::function<bool()>*> waits_;
  std::atomic<bool> quit_{false};
  const std::chrono::steady_clock::time_point start_;
};

}  // namespace kx7
