// Asks the connected controller who it is and sets ControllerType, ControllerFeatures, PenMode and
// MultiTouchMode from the answers, filling the lines of the Controller Info window. The route
// depends on the link: the command set on serial and driver links, the driver requests on the USB
// driver links, HID reports on the HID links (those two routes are installed by their layers).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "proto/command_channel.h"
#include "proto/controller_info_window.h"
#include "proto/identity_decision.h"

namespace kx7 {

class ControllerIdentifier {
 public:
  ControllerIdentifier(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info);

  // By link; false when the route failed or the user cancelled.
  bool IdentifyController();
  bool IdentifyThroughCommandSet();

  // The routes of the driver and HID layers; without them those links do not identify.
  std::function<bool()> identifyThroughUsbDriver;  // links 259 and 261
  std::function<bool()> identifyThroughHid;        // links 260 and 262

  // The replies as kept for the other tools (an absent reply is 20 zero bytes).
  const IdentityReplies& Replies() const { return stored_; }
  // The type text of the last identification ("Birch2 HAP ").
  const std::string& TypeText() const { return typeText_; }
  // The routes of the other layers report their type text here.
  void SetTypeText(std::string text) { typeText_ = std::move(text); }
  // "ID" and its reply: the panel's ID text, at most 100 characters.
  std::string PanelId();

 private:
  // The user closed the Controller Info window, or the program is closing.
  bool Cancelled() const { return info_.Cancelled() || frame_.closing; }
  ReplyBytes Ask(const std::string& command, std::size_t expectedLength, std::uint32_t flags);
  void CedarSteps(const IdentityDecision& decision, const std::string& statusPair);
  void LeaveForgottenPassThrough();

  CMainFrame& frame_;
  CommandChannel& channel_;
  ControllerInfoWindow& info_;
  IdentityReplies stored_;
  std::string typeText_;
};

}  // namespace kx7
