// The firmware loaders in the program: the menu commands and development-toolbar buttons that open
// the loader dialogs, with their enabling, and the automatic download the command line asks for
// ("-download=", "-dloadall=") once the controller has been found, whose result becomes the
// program's exit code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "firmware/loader_choice.h"
#include "firmware/loader_dialog.h"
#include "frame/main_frame.h"
#include "platform/console_ui_host.h"

namespace kx7::firmware {

class FirmwareCommands {
 public:
  FirmwareCommands(CMainFrame& frame, ControllerProtocol& protocol);
  ~FirmwareCommands();
  FirmwareCommands(const FirmwareCommands&) = delete;
  FirmwareCommands& operator=(const FirmwareCommands&) = delete;

  CommandState Update(std::uint32_t id) const;
  void OnCommand(std::uint32_t id);
  // The command-line download: the loader by the feature word, in automatic mode; its result is
  // the exit code (2 when no loader fits), a success reboots the controller, and the program ends.
  void RunCommandLineDownload();

  // The image the Firmware Loader loaded last ("Load Last Firmware Image").
  const std::string& LastImage() const { return lastImage_; }
  // The dialog open now (nothing between runs).
  LoaderDialog* Open() const { return open_.get(); }

 private:
  // Shows the dialog modally; in automatic mode with `imagePath`.
  DownloadResult RunDialog(std::unique_ptr<LoaderDialog> dialog, const std::string& imagePath);
  bool ToolWindowOpen() const;

  CMainFrame& frame_;
  ControllerProtocol& protocol_;
  std::string lastImage_;
  std::unique_ptr<LoaderDialog> open_;
  // The command-line download's message boxes: on standard error, not waited on.
  ConsoleUiHost unattended_;
};

// Makes the loaders' commands for the frame (after the controller protocol); the frame keeps them.
FirmwareCommands& InstallFirmwareCommands(CMainFrame& frame);

}  // namespace kx7::firmware
