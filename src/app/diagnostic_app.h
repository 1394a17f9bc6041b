// The application object: reads the command line, makes the port directory and creates the main
// frame; its exit code becomes the process's.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "frame/main_frame.h"
#include "platform/port_directory.h"

namespace kx7 {

class CDiagnosticApp {
 public:
  // Reads the arguments (without the program name). Returns false when the process is to end
  // at once; `exitCode` then says how.
  bool InitInstance(std::vector<std::string> arguments, std::ostream& out, std::ostream& err,
                    const char* programName = "kx7sdu");

  std::unique_ptr<CMainFrame> CreateMainFrame(MessageLoop& loop, UiHost& ui, const CMainFrame::Environment& environment);

  // The exit code after the frame closed.
  int ExitInstance(const CMainFrame* frame) const { return frame ? frame->exitCode : exitCode; }

  FrontEndOptions frontEnd;
  StartupFlags flags;
  PortDirectory ports;
  int exitCode = 0;
};

}  // namespace kx7
