#include "display/terminal_commands.h"

#include <memory>

#include "display/ascii_chart.h"
#include "display/blink_codes.h"
#include "display/tach_meter.h"
#include "display/terminal_wnd.h"
#include "display/usb_reports_dialog.h"
#include "frame/command_ids.h"

namespace kx7 {

TerminalCommands::TerminalCommands(CMainFrame& frame) : frame_(frame) {
  const auto handler = [this](std::uint32_t id) { OnCommand(id); };
  const auto updater = [this](std::uint32_t id) { return Update(id); };
  for (const std::uint32_t id : {cmd::kTach, cmd::kAsciiChart, cmd::kBlinkCodes, cmd::kUsbSyncAsyncReports})
    frame_.RegisterCommands(id, id, handler, updater);
}

TerminalCommands::~TerminalCommands() {
  // The terminal may outlive this object while the frame goes; its window must not call back.
  if (frame_.terminal) {
    frame_.terminal->UsbReports().driverRecord = nullptr;
    frame_.terminal->UsbReports().storeSyncChoices = nullptr;
  }
}

CommandState TerminalCommands::Update(std::uint32_t id) const {
  switch (id) {
    case cmd::kTach:
    case cmd::kUsbSyncAsyncReports:
      return CommandState{frame_.terminal != nullptr, false};
    case cmd::kAsciiChart:
    case cmd::kBlinkCodes:
      return CommandState{true, false};
    default:
      return CommandState{};
  }
}

void TerminalCommands::OnCommand(std::uint32_t id) {
  switch (id) {
    case cmd::kTach:
      if (frame_.terminal) frame_.terminal->Tach().Open();
      return;
    case cmd::kUsbSyncAsyncReports:
      OpenUsbReports();
      return;
    case cmd::kAsciiChart: {
      AsciiChartModel chart;
      frame_.Ui().RunDialog(chart);
      return;
    }
    case cmd::kBlinkCodes: {
      BlinkCodesModel codes;
      frame_.Ui().RunDialog(codes);
      return;
    }
    default:
      return;
  }
}

void TerminalCommands::OpenUsbReports() {
  if (!frame_.terminal) return;
  UsbReportsDialog& dialog = frame_.terminal->UsbReports();
  dialog.driverRecord = [this](int recordType, bool on) {
    if (driverRecord) driverRecord(recordType, on);
  };
  dialog.storeSyncChoices = [this](bool coords, bool rawCorners) {
    syncCoords = coords;
    syncRawCorners = rawCorners;
    if (onSyncChoices) onSyncChoices(coords, rawCorners);
  };
  dialog.Open();
}

TerminalCommands& InstallTerminalCommands(CMainFrame& frame) {
  auto commands = std::make_shared<TerminalCommands>(frame);
  TerminalCommands& installed = *commands;
  frame.AddSubsystem(commands);
  return installed;
}

}  // namespace kx7
