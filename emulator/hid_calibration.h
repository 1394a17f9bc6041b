// A controller-side calibration over HID, as the host follows it in the status record: after the
// CALIBRATE command the status says 1 (touch target 1), 2 (target 1 taken, touch target 2), 6
// (target 2 taken, touch target 3; three-target kinds only) and, once, 3 (finished); then the
// status is the idle controller's again. A target is taken
// when a touch that lasted at least kHoldMs lifts; a shorter one is ignored. In the stepped kind
// the host may also move it on with the step command. With the controller's own hand, the hand
// taps each target in turn, so a calibration finishes by itself.
//
// Kinds (byte 2 of CALIBRATE): 1 two targets at (256, 1792) and (1792, 256) in 1/2048 of the
// screen; 2 the corner form, at (50, 1997) and (1997, 50); 3 three targets, the third at
// (256, 256); 4 three targets, stepped by the host; 5 the step.
//
// The calibration measures nothing: the blocks keep what they hold.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sensor_model.h"
#include "touch_source.h"

namespace kx7::emu {

class HidCalibration {
 public:
  static constexpr std::uint8_t kStep = 5;
  static constexpr std::uint64_t kHoldMs = 300;
  // Status values of a running calibration.
  static constexpr std::uint8_t kShowTarget1 = 1;
  static constexpr std::uint8_t kShowTarget2 = 2;
  static constexpr std::uint8_t kShowTarget3 = 6;
  static constexpr std::uint8_t kFinished = 3;

  // False for a kind the controller does not have (the step without a stepped run, too).
  bool Command(std::uint8_t kind, TouchSource& touches, bool ownHand, std::uint64_t nowMs);
  bool Running() const { return state_ != 0 && state_ != kFinished; }
  // Follows the touches up to `nowMs` and gives the status value; nothing when no calibration
  // has run since the last Stop.
  std::optional<std::uint8_t> Status(TouchSource& touches, bool ownHand, std::uint64_t nowMs);
  void Stop(TouchSource& touches, bool ownHand, std::uint64_t nowMs);
  // Where each taken target was touched.
  const std::vector<ScreenPoint>& Taken() const { return taken_; }
  const std::vector<ScreenPoint>& Targets() const { return targets_; }

 private:
  void Advance(TouchSource& touches, bool ownHand, std::uint64_t nowMs);

  std::uint8_t state_ = 0;
  bool stepped_ = false;
  std::vector<ScreenPoint> targets_;
  std::vector<ScreenPoint> taken_;
  bool down_ = false;
  std::uint64_t downSinceMs_ = 0;
  ScreenPoint last_;
};

}  // namespace kx7::emu
