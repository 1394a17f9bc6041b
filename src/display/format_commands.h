// The Format commands: which decoder the terminal and the draw window use (ReportFormat), and the
// controller's output modes (stream, Z, down/up, poll, raw and signal reports, pass-through),
// with the menu's enabling and check marks.
#pragma once

#include <cstdint>
#include <functional>

#include "frame/main_frame.h"
#include "proto/command_channel.h"

namespace kx7 {

class FormatCommands {
 public:
  FormatCommands(CMainFrame& frame, CommandChannel& channel);

  void OnCommand(std::uint32_t id);
  void Run(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;

  // Stores the format in the frame (the terminal and the draw window read it there).
  void SetReportFormat(std::uint32_t format);

  enum class Mode { kStream = 1, kZ = 2, kDownUp = 3 };
  void SetMode(Mode mode);

  // The routes of the driver and HID layers.
  std::function<void(int value)> setUsbMode;       // KX USB link and Birch2 HID: 1 stream, 2 Z, 3 down/up
  std::function<void(int request)> hidRequest;     // HID links: 4 signal reports, 5 raw reports
  std::function<void(int request, bool on)> driverReport;  // driver links: enable or disable a record type
  std::function<bool()> usbZCapable;               // the USB or HID link reports Z capability
  std::function<void()> softReset;                 // the reset of the reset subsystem

 private:
  bool Block1ChecksumType() const;
  bool UsbOrHidLink() const;

  CMainFrame& frame_;
  CommandChannel& channel_;
};

// Makes the Format commands for the frame (after the controller protocol); the frame keeps them.
FormatCommands& InstallFormatCommands(CMainFrame& frame);

}  // namespace kx7
