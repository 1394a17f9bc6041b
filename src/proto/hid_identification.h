// Identification of the controllers on the HID links (260 and 262): the controller-ID and status
// records of the generic HID controllers with the pass-through questions of the USB Rowan boards,
// the identity and status records of the Birch2 HID controller, and the touch-input devices that
// the system reads. Fills the Controller Info lines and sets the type, features and contact mode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/hid/hid_link.h"
#include "proto/command_channel.h"
#include "proto/controller_identifier.h"
#include "proto/controller_info_window.h"

namespace kx7 {

class HidIdentification {
 public:
  HidIdentification(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                    ControllerIdentifier& identifier, HidLink& link);

  // By ControllerType: false when a record could not be read or the user cancelled.
  bool Identify();
  bool IdentifyGeneric();
  bool IdentifyBirch2();
  bool IdentifyTouchInput();

  // The most contacts the system's touch input takes from the device; Linux has no such system
  // figure, so unless set it is the ten contacts of a multi-touch digitizer.
  std::function<int()> systemMaxTouches;

  const std::string& TypeText() const { return typeText_; }

 private:
  bool Cancelled() const { return info_.Cancelled() || frame_.closing; }
  void PassThroughSteps(const std::string& oiLine);
  std::string PortLine() const;
  void Finish(const std::string& errors);

  CMainFrame& frame_;
  CommandChannel& channel_;
  ControllerInfoWindow& info_;
  ControllerIdentifier& identifier_;
  HidLink& link_;
  std::string typeText_;
};

}  // namespace kx7
