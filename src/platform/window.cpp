#include "platform/window.h"

namespace kx7 {

Window::Window(MessageLoop& loop) : loop_(loop), id_(loop.Register(this)) {}

Window::~Window() { loop_.Unregister(id_); }

}  // namespace kx7
