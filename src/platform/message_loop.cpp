#include "platform/message_loop.h"

#include "platform/window.h"

namespace kx7 {

WindowId MessageLoop::Register(Window* window) {
  const WindowId id = nextId_++;
  windows_[id] = window;
  return id;
}

void MessageLoop::Unregister(WindowId id) {
  // Queued messages and timers of a window that is gone are dropped when they come due.
  windows_.erase(id);
  if (lastId_ == id) {
    lastId_ = kNoWindow;
    lastWindow_ = nullptr;
  }
  ForgetWindow(id);
}

Window* MessageLoop::Find(WindowId id) const {
  if (id == lastId_ && id != kNoWindow) return lastWindow_;
  const auto it = windows_.find(id);
  if (it == windows_.end()) return nullptr;
  lastId_ = id;
  lastWindow_ = it->second;
  return it->second;
}

LResult MessageLoop::Send(WindowId target, MessageId message, WParam wParam, LParam lParam) {
  Window* window = Find(target);
  return window ? window->OnMessage(message, wParam, lParam) : 0;
}

void MessageLoop::Deliver(WindowId target, MessageId message, WParam wParam, LParam lParam) {
  if (Window* window = Find(target)) window->OnMessage(message, wParam, lParam);
}

}  // namespace kx7
