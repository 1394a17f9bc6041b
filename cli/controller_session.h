// The program's core as kx7cli runs it: the main frame with the controller protocol on a
// real-time loop, message boxes printed to stderr, and the commands that reach the controller.
#pragma once

#include <memory>
#include <ostream>

#include "app/diagnostic_app.h"
#include "cli_output.h"
#include "cli_request.h"
#include "cli_ui_host.h"
#include "platform/real_time_loop.h"
#include "proto/controller_protocol.h"

namespace kx7::cli {

class ControllerSession {
 public:
  // Makes the frame from the application's flags and ports. The frame reads the settings file of
  // the current folder (and writes it at the end), as kx7sdu does.
  ControllerSession(CDiagnosticApp& app, std::ostream& messages);
  ~ControllerSession();
  ControllerSession(const ControllerSession&) = delete;
  ControllerSession& operator=(const ControllerSession&) = delete;

  CMainFrame& Frame() { return *frame_; }
  ControllerProtocol& Protocol() { return *protocol_; }
  CliUiHost& Ui() { return ui_; }
  RealTimeLoop& Loop() { return loop_; }

  // Find Controller as the Port menu runs it (flags 0x08); true when a controller was found.
  bool Find();
  // Opens the serial port as the controller link; "Can't Open Port" and false when it does not open.
  bool OpenLink(const LinkRequest& link);
  // Identification on the open link, as "Poll the controller for type" runs it.
  bool Identify();
  // Connects as the command asks: a search, or the --link port as it is; over --link the
  // controller is identified first when `identifyLink` is set.
  bool Connect(const Request& request, bool identifyLink);

  ControllerReport Report();

 private:
  RealTimeLoop loop_;
  CliUiHost ui_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

// Runs a command that talks to the controller (every command but `ports`); returns the exit code:
// 0 done, 1 the controller was not found or the exchange failed.
int RunControllerCommand(const Request& request, CDiagnosticApp& app, std::ostream& out, std::ostream& err);

}  // namespace kx7::cli
