#include "hid_calibration.h"

namespace kx7::emu {

bool HidCalibration::Command(std::uint8_t kind, TouchSource& touches, bool ownHand, std::uint64_t nowMs) {
  if (kind == kStep) {
    if (!stepped_ || !Running()) return false;
    Advance(touches, ownHand, nowMs);
    return true;
  }
  switch (kind) {
    case 1:
      targets_ = {{256, 1792}, {1792, 256}};
      break;
    case 2:
      targets_ = {{50, 1997}, {1997, 50}};
      break;
    case 3:
    case 4:
      targets_ = {{256, 1792}, {1792, 256}, {256, 256}};
      break;
    default:
      return false;
  }
  stepped_ = kind == 4;
  state_ = kShowTarget1;
  taken_.clear();
  down_ = false;
  if (ownHand) touches.SetAutoTarget(targets_.front(), nowMs);
  return true;
}

std::optional<std::uint8_t> HidCalibration::Status(TouchSource& touches, bool ownHand, std::uint64_t nowMs) {
  if (state_ == 0) return std::nullopt;
  if (state_ == kFinished) {
    // Said once; then the controller is idle again.
    Stop(touches, ownHand, nowMs);
    return kFinished;
  }
  if (Running()) {
    const std::vector<Contact> contacts = touches.At(nowMs);
    if (!contacts.empty()) {
      if (!down_) downSinceMs_ = nowMs;
      down_ = true;
      last_ = contacts.front().point;
    } else if (down_) {
      down_ = false;
      if (nowMs - downSinceMs_ >= kHoldMs) {
        taken_.push_back(last_);
        Advance(touches, ownHand, nowMs);
      }
    }
  }
  return state_;
}

void HidCalibration::Advance(TouchSource& touches, bool ownHand, std::uint64_t nowMs) {
  std::optional<std::size_t> next;
  if (state_ == kShowTarget1) {
    state_ = kShowTarget2;
    next = 1;
  } else if (state_ == kShowTarget2 && targets_.size() == 3) {
    state_ = kShowTarget3;
    next = 2;
  } else {
    state_ = kFinished;
  }
  if (!ownHand) return;
  touches.SetAutoTarget(next ? std::optional<ScreenPoint>(targets_[*next]) : std::nullopt, nowMs);
}

void HidCalibration::Stop(TouchSource& touches, bool ownHand, std::uint64_t nowMs) {
  if (ownHand && state_ != 0) touches.SetAutoTarget(std::nullopt, nowMs);
  state_ = 0;
  stepped_ = false;
  down_ = false;
}

}  // namespace kx7::emu
