// The commands that restart the controller or put its parameters back: soft and hard reset, the
// reboots into fixed code, RAM and download code, restore defaults (all, or chosen blocks) and the
// Rowan parameter restore, each carried out the way the link and the family want it. A restart
// over the command set shows "Please Wait", pings until the controller answers and then asks Find
// Controller to reconnect; a driver or HID restart closes the link and the controller is found
// again when it comes back (timer 28 or its plug-in).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame/main_frame.h"
#include "proto/command_channel.h"
#include "platform/hid_device.h"
#include "proto/reboot_progress_window.h"

namespace kx7 {

class UsbLinks;

// The "Restore Defaults" dialog: which blocks of the controller and of the cable to restore.
class RestoreDefaultsDialog : public DialogModel {
 public:
  const char* Kind() const override { return "RestoreDefaults"; }
  std::string Title() const override { return "Restore Defaults"; }
  bool cableBlock4 = false;
  bool controllerBlocks[8] = {};
  void All();
  void None();  // the cable box keeps its state
};

class RestartCommands {
 public:
  RestartCommands(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb);
  ~RestartCommands();
  RestartCommands(const RestartCommands&) = delete;
  RestartCommands& operator=(const RestartCommands&) = delete;

  // `fromMenu`: the menu command (forwarded to an open scope, and the report format reset).
  void SoftReset(bool fromMenu = false);
  void HardReset();
  void RebootRom();
  void RebootRam();
  void RebootDownloadCode();  // command 32779
  void RebootEeprom(bool showProgress);
  void RestoreDefaults();
  void RestoreDefaultsCommandSet();
  void RestoreBlocks();  // command 32789
  // One block of the controller (area 0) or the cable (area 1); false when it was refused.
  bool RestoreBlock(int area, int block);
  void RowanParameterRestore();

  CommandState Update(std::uint32_t id) const;
  RebootProgressWindow& Progress() { return progress_; }

  // The format reset after a soft reset from the menu (the Format commands install it).
  std::function<void(std::uint32_t format)> setReportFormat;

 private:
  void OnCommand(std::uint32_t id);
  void ShowProgress(const std::string& text);
  void AwaitRestart();
  void ReconnectLater();
  void CloseProgressLater();
  bool WaitForDevice(std::uint16_t vendor, std::uint16_t product);
  bool GeneralRuleAllows(std::uint32_t id) const;
  bool PollDriverStatus(int tries, std::uint32_t gapMs, bool untilReady);
  bool PollBirch2Status(int tries);
  void WaitForHidReturn();
  bool HidSend(const HidReport& report, std::uint32_t flags);

  CMainFrame& frame_;
  CommandChannel& channel_;
  UsbLinks* usb_;
  RebootProgressWindow progress_;
  std::uint64_t progressDeadline_ = 0;
};

}  // namespace kx7
