// The terminal's companion commands: "Tach" (35272) and "USB Sync - Async Reports" (32929),
// which open the open terminal's one rate meter and one record-choice window and are enabled
// only while a terminal is open; the "ASCII" chart (33108) and the blink-code list (33152),
// reference dialogs that are always there. The driver link, once it exists, sets the hooks
// through which the record-choice window reaches the driver.
#pragma once

#include <cstdint>
#include <functional>

#include "frame/main_frame.h"

namespace kx7 {

class TerminalCommands {
 public:
  explicit TerminalCommands(CMainFrame& frame);
  ~TerminalCommands();
  TerminalCommands(const TerminalCommands&) = delete;
  TerminalCommands& operator=(const TerminalCommands&) = delete;

  void OnCommand(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;

  // Asks the driver to send or stop a record type (Apply of the record-choice window).
  std::function<void(int recordType, bool on)> driverRecord;
  // The synchronous choices of the Birch2 HID type, as the last Apply left them; they outlive
  // the terminal, as the frame's own settings do.
  bool syncCoords = false;
  bool syncRawCorners = false;
  // Told when Apply stores them (the HID link reads them from here or takes them then).
  std::function<void(bool coords, bool rawCorners)> onSyncChoices;

 private:
  void OpenUsbReports();

  CMainFrame& frame_;
};

// Registers the commands with the frame; the frame keeps the object.
TerminalCommands& InstallTerminalCommands(CMainFrame& frame);

}  // namespace kx7
