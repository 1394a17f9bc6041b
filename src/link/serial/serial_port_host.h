// What a serial port needs from the frame that owns it: the receive buffer of its slot, the
// shared link flags, and a thread-safe way to post to the frame.
#pragma once

#include "link/receive_buffer.h"
#include "platform/window_messages.h"

namespace kx7 {

class SerialPortHost {
 public:
  virtual ~SerialPortHost() = default;

  virtual ReceiveBuffer& Buffer(int slot) = 0;
  virtual LinkFlags& Flags() = 0;

  // Thread-safe.
  virtual void PostToFrame(MessageId message, WParam wParam, LParam lParam) = 0;
  // Thread-safe: (re)start the frame's 250 ms timer that clears the PE and FE flags.
  virtual void RestartLineErrorTimer() = 0;
  // UI thread: the device timed out while opening; the frame hides the Controller Info window and
  // closes the current link.
  virtual void OnOpenTimedOut() = 0;
};

}  // namespace kx7
