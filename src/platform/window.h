// Base of every core window: an id on its message loop and a message handler.
#pragma once

#include <cstdint>

#include "platform/message_loop.h"

namespace kx7 {

class Window {
 public:
  explicit Window(MessageLoop& loop);
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  WindowId Id() const { return id_; }
  MessageLoop& Loop() const { return loop_; }

  virtual LResult OnMessage(MessageId message, WParam wParam, LParam lParam) = 0;
  // The name a user interface picks this window's view by ("ControllerInfo"); none by default.
  virtual const char* ViewKind() const { return nullptr; }

  void Post(MessageId message, WParam wParam = 0, LParam lParam = 0) { loop_.Post(id_, message, wParam, lParam); }
  void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) { loop_.SetTimer(id_, timerId, periodMs); }
  void KillTimer(std::uint32_t timerId) { loop_.KillTimer(id_, timerId); }

 private:
  MessageLoop& loop_;
  WindowId id_;
};

}  // namespace kx7
