// The Type menu: Auto, Finger and Pen mode, "Poll the controller for type", and choosing a
// controller type directly (commands 32852 to 32888); Find Controller (32889) is on it too.
#pragma once

#include <cstdint>
#include <functional>

#include "proto/command_channel.h"
#include "proto/controller_finder.h"
#include "proto/controller_identifier.h"
#include "proto/controller_info_window.h"

namespace kx7 {

class TypeMenu {
 public:
  TypeMenu(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info, ControllerIdentifier& identifier);

  void OnCommand(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;

  // The features a type chosen by hand starts with; false for the ids only identification sets.
  static bool FeaturesOfChosenType(std::uint32_t type, std::uint32_t& features);

  // The pen and finger flags on the USB driver links and the HID controllers that take them as
  // commands (installed by those layers).
  std::function<void(std::uint32_t penMode)> setPenModeOnUsb;

 private:
  void SetPenMode(std::uint32_t mode);
  void Poll();

  CMainFrame& frame_;
  CommandChannel& channel_;
  ControllerInfoWindow& info_;
  ControllerIdentifier& identifier_;
};

}  // namespace kx7
