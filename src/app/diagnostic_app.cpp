#include "app/diagnostic_app.h"

#include <cstdlib>

#include "app/command_line_help.h"
#include "display/format_commands.h"
#include "draw/draw_windows.h"
#include "firmware/firmware_commands.h"
#include "display/terminal_commands.h"
#include "frame/tools_launcher.h"
#include "log/log_file.h"
#include "params/param_commands.h"
#include "proto/controller_protocol.h"
#include "proto/restart_commands.h"

namespace kx7 {

bool CDiagnosticApp::InitInstance(std::vector<std::string> arguments, std::ostream& out, std::ostream& err,
                                  const char* programName) {
  frontEnd = TakeFrontEndOptions(arguments);
  if (frontEnd.registrationSwitch) {
    out << programName << ": " << *frontEnd.registrationSwitch
        << ": there are no automation objects to register on this system; nothing done\n";
    exitCode = 0;
    return false;
  }
  if (frontEnd.help) {
    out << FrontEndUsage(programName);
    exitCode = 0;
    return false;
  }
  for (const std::string& error : frontEnd.errors) err << programName << ": " << error << "\n";
  std::string problem;
  if (const char* environment = std::getenv("KX7_PORTS")) {
    for (const std::string& rejected : ports.AddOverridesFromEnvironment(environment))
      err << programName << ": KX7_PORTS: ignoring \"" << rejected << "\"\n";
  }
  for (const std::string& override : frontEnd.portOverrides)
    if (!ports.AddOverride(override, &problem)) err << programName << ": --port " << override << ": " << problem << "\n";
  ports.Scan();
  flags = ParseStartupFlags(arguments);
  return true;
}

std::unique_ptr<CMainFrame> CDiagnosticApp::CreateMainFrame(MessageLoop& loop, UiHost& ui,
                                                            const CMainFrame::Environment& environment) {
  auto frame = std::make_unique<CMainFrame>(loop, ui, ports, flags, environment);
  ControllerProtocol& protocol = InstallControllerProtocol(*frame);
  InstallLogging(*frame);
  FormatCommands& format = InstallFormatCommands(*frame);
  InstallToolsLauncher(*frame);
  InstallParamCommands(*frame);
  InstallDrawWindows(*frame);
  firmware::InstallFirmwareCommands(*frame);
  TerminalCommands& terminal = InstallTerminalCommands(*frame);
  // The Format menu and the terminal's report choices on the driver and HID links.
  UsbLinks& usb = *protocol.usb;
  format.setUsbMode = [&usb](int value) { usb.SetUsbMode(value); };
  format.hidRequest = [&usb](int request) { usb.HidRequest(request); };
  format.driverReport = [&usb](int request, bool on) { usb.DriverReport(request, on); };
  format.usbZCapable = [&usb] { return usb.ZCapable(); };
  terminal.driverRecord = [&usb](int recordType, bool on) { usb.DriverReport(recordType, on); };
  RestartCommands& restart = *protocol.restart;
  format.softReset = [&restart] { restart.SoftReset(); };
  restart.setReportFormat = [&format](std::uint32_t id) { format.SetReportFormat(id); };
  frame->Create();
  return frame;
}

}  // namespace kx7
