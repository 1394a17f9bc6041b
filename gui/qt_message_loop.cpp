#include "qt_message_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <iterator>
#include <thread>

namespace kx7 {

const QEvent::Type QtMessageLoop::kDrainEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type QtMessageLoop::kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

QtMessageLoop::QtMessageLoop() : start_(std::chrono::steady_clock::now()) {}

QtMessageLoop::~QtMessageLoop() {
  // The timers call back into this object; they go before anything else does.
  timers_.clear();
}

void QtMessageLoop::RequestDrain(std::unique_lock<std::mutex>& lock) {
  // One drain event stands for any number of queued messages, so a reader thread that posts a
  // block per millisecond does not flood Qt's queue. Posting happens outside our lock.
  if (drainRequested_) return;
  drainRequested_ = true;
  lock.unlock();
  QCoreApplication::postEvent(this, new QEvent(kDrainEvent));
  lock.lock();
}

void QtMessageLoop::Enqueue(WindowId target, MessageId message, WParam wParam, LParam lParam) {
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(Posted{target, message, wParam, lParam, 0});
  RequestDrain(lock);
}

std::size_t QtMessageLoop::PendingCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return queue_.size();
}

bool QtMessageLoop::event(QEvent* event) {
  if (event->type() == kDrainEvent) {
    Drain();
    return true;
  }
  if (event->type() == kWakeEvent) return true;  // only there to end a wait for more events
  return QObject::event(event);
}

bool QtMessageLoop::TakeNext(Posted& out) {
  std::lock_guard<std::mutex> guard(mutex_);
  while (!queue_.empty()) {
    out = queue_.front();
    queue_.pop_front();
    if (out.timerGeneration == 0) return true;
    const auto timer = timers_.find({out.target, static_cast<std::uint32_t>(out.wParam)});
    if (timer == timers_.end() || timer->second.generation != out.timerGeneration) continue;
    timer->second.queued = false;
    return true;
  }
  return false;
}

void QtMessageLoop::Drain() {
  std::size_t budget = 0;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    drainRequested_ = false;
    budget = queue_.size();
  }
  // Only what was queued when the drain began: Qt gets its turn (painting, input) between
  // batches even while a reader keeps posting.
  while (budget-- > 0) {
    Posted item{};
    if (!TakeNext(item)) break;
    Deliver(item.target, item.message, item.wParam, item.lParam);
    // A nested wait looks at its condition after every message, as a wait that pumps one message
    // at a time would; the rest stays queued for whoever runs next.
    if (!waits_.empty() && (quit_.load() || (*waits_.back())())) break;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!queue_.empty()) RequestDrain(lock);
}

void QtMessageLoop::OnTimerExpired(const TimerKey& key) {
  const auto found = timers_.find(key);
  if (found == timers_.end() || found->second.queued) return;
  found->second.queued = true;
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(Posted{key.first, wm::kTimer, key.second, 0, found->second.generation});
  RequestDrain(lock);
}

void QtMessageLoop::SetTimer(WindowId target, std::uint32_t timerId, std::uint32_t periodMs) {
  const TimerKey key{target, timerId};
  Timer& entry = timers_[key];
  if (!entry.timer) {
    entry.timer = std::make_unique<QTimer>();
    // The protocol's time-outs and the status polling count on the period they asked for.
    entry.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(entry.timer.get(), &QTimer::timeout, this, [this, key] { OnTimerExpired(key); });
  }
  entry.generation = nextGeneration_++;
  entry.queued = false;
  entry.timer->start(static_cast<int>(std::clamp<std::uint32_t>(periodMs, 1, 0x7FFFFFFF)));
}

void QtMessageLoop::KillTimer(WindowId target, std::uint32_t timerId) { timers_.erase({target, timerId}); }

bool QtMessageLoop::HasTimer(WindowId target, std::uint32_t timerId) const {
  return timers_.count({target, timerId}) != 0;
}

void QtMessageLoop::ForgetWindow(WindowId id) {
  for (auto it = timers_.begin(); it != timers_.end();) it = it->first.first == id ? timers_.erase(it) : std::next(it);
}

bool QtMessageLoop::RunUntil(const std::function<bool()>& done) {
  waits_.push_back(&done);
  struct Pop {
    std::vector<const std::function<bool()>*>& waits;
    ~Pop() { waits.pop_back(); }
  } pop{waits_};
  for (;;) {
    if (quit_.load()) return false;
    if (done()) return true;
    if (quit_.load()) return false;
    {
      // A drain that stopped for an outer wait, or is still running further out, may have left
      // messages without a drain event of their own.
      std::unique_lock<std::mutex> lock(mutex_);
      if (!queue_.empty()) RequestDrain(lock);
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

std::uint64_t QtMessageLoop::Now() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
}

void QtMessageLoop::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void QtMessageLoop::Quit() {
  quit_.store(true);
  QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
}

}  // namespace kx7
