// Identification through the USB drivers (links 259 and 261): the version, status and serial
// number requests of the driver say what the controller is; the lines go to the Controller Info
// window and the type and features to the frame. A Birch USB controller with a second processor
// is asked the rest of its identity through pass-through ("UV", "UT", "OS", "GF").
//
// Also the Find Controller connects that end in this identification: a Birch USB controller by
// the type the USB scan or the KX7 list gave (through the KXUSB or the RVUSB driver).
#pragma once

#include <cstdint>
#include <string>

#include "link/driver/driver_link.h"
#include "proto/command_channel.h"
#include "proto/controller_info_window.h"

namespace kx7 {

class DriverIdentification {
 public:
  DriverIdentification(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info, DriverLink& link);

  // The identifier's identifyThroughUsbDriver: false when neither version record could be read
  // or the user closed the Controller Info window.
  bool Identify();
  // A Birch USB controller's identity through pass-through to its second processor: false when
  // pass-through could not be entered or the user cancelled.
  bool IdentifyThroughPassThrough();

  // Find Controller's connect of types 32865 and 32866: features 0x10, the KXUSB driver when the
  // type came from the KX7 list, else the RVUSB driver (not with "-norv"), then Identify; the
  // Birch USB pass-through identity when the features hold 0x100. A failed identification closes
  // the link and shows "Can't Connect to Controller". False when nothing was connected.
  bool ConnectBirchUsb(std::uint32_t type, bool fromKx7List);

  // The words of the base-type line of the last identification ("REVC RES WOT ").
  const std::string& TypeText() const { return typeText_; }
  // The extended version's two-touch flag ("TWO "), read by the draw tools.
  bool TwoTouch() const { return twoTouch_; }

 private:
  bool Cancelled() const { return info_.Cancelled() || frame_.closing; }
  // A command through the driver's pass-through and its reply.
  ReplyBytes Ask(const std::string& command, std::size_t expectedLength, std::uint32_t flags);

  CMainFrame& frame_;
  CommandChannel& channel_;
  ControllerInfoWindow& info_;
  DriverLink& link_;
  std::string typeText_;
  bool twoTouch_ = false;
};

}  // namespace kx7
