// The controller protocol as one piece that lives with the main frame: the command channel, the
// Controller Info window, identification, the Type menu and Find Controller, wired into the frame.
#pragma once

#include <memory>

#include "frame/main_frame.h"
#include "proto/command_channel.h"
#include "proto/controller_finder.h"
#include "proto/controller_identifier.h"
#include "proto/controller_info_window.h"
#include "proto/type_menu.h"
#include "proto/usb_links.h"

namespace kx7 {

struct ControllerProtocol {
  explicit ControllerProtocol(CMainFrame& frame);
  ControllerProtocol(const ControllerProtocol&) = delete;
  ControllerProtocol& operator=(const ControllerProtocol&) = delete;

  CommandChannel channel;
  ControllerInfoWindow info;
  ControllerIdentifier identifier;
  ControllerFinder finder;
  TypeMenu typeMenu;
  // The driver and HID links, installed with the protocol.
  class UsbLinks* usb = nullptr;
  // Resets, reboots and restores, installed with the protocol.
  class RestartCommands* restart = nullptr;
  // Reading and writing the controller's memories.
  class MemoryExchange* memory = nullptr;
};

// Makes the protocol for the frame and hands it to the frame, which keeps it as long as it lives.
// Its driver and HID links run their readers on threads, or, for virtual-time tests, only when
// polled (UsbLinks::PollOnce).
ControllerProtocol& InstallControllerProtocol(CMainFrame& frame, LinkReaders readers = LinkReaders::kThreads);
// The protocol installed in the frame, or nullptr.
ControllerProtocol* ProtocolOf(CMainFrame& frame);

}  // namespace kx7
