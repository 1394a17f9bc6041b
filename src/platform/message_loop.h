// The message loop every core window runs on: posted and sent messages, per-window timers and
// nested waits, all on one user-interface thread. Three implementations: virtual time for tests,
// real time for kx7cli and end-to-end tests, and the Qt loop of kx7sdu (in gui/).
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "platform/window_messages.h"

namespace kx7 {

class Window;

class MessageLoop {
 public:
  MessageLoop() = default;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;
  virtual ~MessageLoop() = default;

  // Thread-safe: queue a message for a window. Messages to windows that are gone by the time the
  // message is dispatched are dropped.
  void Post(WindowId target, MessageId message, WParam wParam = 0, LParam lParam = 0) {
    Enqueue(target, message, wParam, lParam);
  }

  // UI thread only: call the window's handler at once and return its result (0 when the window
  // does not exist).
  LResult Send(WindowId target, MessageId message, WParam wParam = 0, LParam lParam = 0);

  // UI thread only. Setting a timer that already runs restarts it with the new period. An expired
  // timer posts wm::kTimer (wParam = id) to its window and keeps running until killed.
  virtual void SetTimer(WindowId target, std::uint32_t timerId, std::uint32_t periodMs) = 0;
  virtual void KillTimer(WindowId target, std::uint32_t timerId) = 0;
  virtual bool HasTimer(WindowId target, std::uint32_t timerId) const = 0;

  // UI thread only: keep dispatching messages and timers until done() is true (returns true) or
  // the loop is closing (returns false). Nested calls are allowed.
  virtual bool RunUntil(const std::function<bool()>& done) = 0;

  // Milliseconds of the loop's clock (virtual in tests).
  virtual std::uint64_t Now() const = 0;

  // The fixed pauses of the protocol. Does not dispatch messages.
  virtual void Sleep(std::uint32_t ms) = 0;

  // Ends the loop: every running and later RunUntil returns false.
  virtual void Quit() = 0;
  virtual bool Closing() const = 0;

  // Window registry, used by Window. UI thread only.
  WindowId Register(Window* window);
  void Unregister(WindowId id);
  Window* Find(WindowId id) const;

 protected:
  virtual void Enqueue(WindowId target, MessageId message, WParam wParam, LParam lParam) = 0;

  // Called when a window unregisters: its timers end with it.
  virtual void ForgetWindow(WindowId id) = 0;

  // Deliver one message to its window; used by the implementations.
  void Deliver(WindowId target, MessageId message, WParam wParam, LParam lParam);

 private:
  std::unordered_map<WindowId, Window*> windows_;
  WindowId nextId_ = 1;
  // The window found last: received bytes go to the same listener thousands of times a second.
  // Ids are never reused, so the pair stays right until that window unregisters.
  mutable WindowId lastId_ = kNoWindow;
  mutable Window* lastWindow_ = nullptr;
};

}  // namespace kx7
