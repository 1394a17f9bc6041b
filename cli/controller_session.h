// The program's core as kx7cli runs it: the main frame with the controller protocol on a
// real-time loop, message boxes printed to stderr, and the commands that reach the controller.
#pragma once

#include <memory>
#include <ostream>

#include <functional>
#include <optional>

#include "app/diagnostic_app.h"
#include "cli_arguments.h"
#include "cli_output.h"
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
  bool Connect(const std::optional<LinkRequest>& link, bool identifyLink);

  ControllerReport Report();
  // The report as lines, or as one JSON object.
  void PrintReport(bool json, std::ostream& out);

 private:
  RealTimeLoop loop_;
  CliUiHost ui_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

class CliApp;

// Runs a command that reaches the controller: the ports prepared as the command line says, the
// program switches read, the frame made; `command` gets the session (it connects itself) and
// returns the exit code.
// With `frameDownloads` false the frame does not run the command-line download job of
// "-download=" / "-dloadall=" itself (the command runs it).
int RunWithController(CliApp& cli, const std::function<int(ControllerSession&)>& command, bool frameDownloads = true);

}  // namespace kx7::cli
