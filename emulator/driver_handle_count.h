// The handles open on an emulated driver device. The last one's close ends what the handles had
// in common (a taken controller, a registered client).
#pragma once

namespace kx7::emu {

class DriverHandleCount {
 public:
  void Opened() { ++open_; }
  // True when the close left no handle open.
  bool Closed() {
    if (open_ > 0) --open_;
    return open_ == 0;
  }

 private:
  int open_ = 0;
};

}  // namespace kx7::emu
