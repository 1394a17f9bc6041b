// Find Controller: connects to whatever controller is attached, through the KX7 driver, as a USB
// HID device, through the Rivetware driver or on any serial port at any of 57 settings, then
// identifies it. Runs inside the find request's handler; the waits keep the user interface alive,
// so closing the Controller Info window cancels the search at its next check.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "proto/command_channel.h"
#include "proto/controller_identifier.h"
#include "proto/controller_info_window.h"

namespace kx7 {

class ControllerFinder {
 public:
  ControllerFinder(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                   ControllerIdentifier& identifier);
  ~ControllerFinder();

  // The handler of a find request (0x800E) after the frame's own steps; `restart` is its lParam.
  void FindController(std::uint32_t flags, bool restart);
  bool Running() const { return running_; }
  // One ping on the open link: 1 found (or the search was cancelled), 0 no answer, -1 an echo.
  int PingController(std::uint32_t flags);
  void FinishFind();

  // A tool that asks for a search leaves its window and message (the frame's pending
  // notification); at the end of the search the message is posted to it (wParam = lParam =
  // message).
  void SetFindRequester(WindowId window, MessageId message);

  // The USB hardware ids of the present devices ("USB\VID_0596&PID_0001&REV_0100"); the platform's
  // list unless a test sets another.
  std::function<std::vector<std::string>()> usbHardwareIds;
  struct UsbScanResult {
    std::uint32_t type = 0;
    std::uint16_t product = 0;
    bool known = false;
  };
  // Scans the USB devices against the device table; returns the count of matches.
  int ScanUsb(bool logging);
  const UsbScanResult& LastUsbScan() const { return usbScan_; }

  // Steps of the driver and HID layers. Without them those steps find nothing.
  enum class StepResult { kNothing, kConnected, kNotConnected, kCancelled };
  std::function<StepResult()> kx7DriverStep;             // the KX7 driver's list and its connect
  std::function<int()> countHidControllers;              // the HID candidates (0 with one or none)
  std::function<StepResult(int count)> pickHidController;  // two or more: the user's pick, connected
  std::function<bool(std::uint32_t type, std::uint16_t product)> connectByType;
  std::function<bool()> openRivetwareDriver;
  // A command-line download job, started instead of the rest of FinishFind.
  std::function<void()> startDownloadJob;

  // Which COM ports the search tries (1 to 511): present and not Bluetooth, less those that
  // echoed or would not open during this search.
  bool PortAvailable(int number) const;

 private:
  void Run(std::uint32_t flags, bool restart);
  bool SerialScan(bool retry);
  void Fail();
  // The user closed the Controller Info window, or the program is closing.
  bool Cancelled() const { return info_.Cancelled() || frame_.closing; }
  void Log(const std::string& text);
  bool OpenControllerPort(int number);
  void BuildPortAvailability();

  CMainFrame& frame_;
  CommandChannel& channel_;
  ControllerInfoWindow& info_;
  ControllerIdentifier& identifier_;
  UsbScanResult usbScan_;
  std::array<bool, 512> available_{};
  std::uint32_t requestFlags_ = 0;
  bool hideAfter_ = false;
  bool running_ = false;
  bool jobStarted_ = false;
};

}  // namespace kx7
