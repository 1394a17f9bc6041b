// What the draw windows read from, and ask of, the program around them: the live settings, the
// controller's identity and link, the report format and poll mode in force, the terminal, sending
// bytes, resetting the controller and the user interface. The main frame provides it in kx7sdu
// (FrameDrawHost); kx7cli and the tests use fixed values (OfflineDrawHost).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/options_block.h"
#include "platform/ui_host.h"

namespace kx7 {

class DrawHost {
 public:
  virtual ~DrawHost() = default;

  // The settings block; the windows read it on every byte, so a change takes effect at once.
  virtual OptionsBlock& Options() = 0;
  virtual std::uint32_t ReportFormat() const = 0;
  virtual std::uint32_t ControllerType() const = 0;
  virtual std::uint32_t ControllerFeatures() const = 0;
  virtual int LinkKind() const = 0;
  virtual bool PassThrough() const = 0;
  // "Mode Poll" (the Format menu's poll toggle).
  virtual bool PollMode() const = 0;
  // The controller's contacts arrive as 64-byte multi-touch reports (else as 6-byte packets).
  virtual bool MultiTouchReports() const = 0;

  virtual bool TerminalOpen() const = 0;
  // Clears the open terminal and repaints it (Erase of the draw window).
  virtual void ClearTerminal() = 0;
  virtual void ActivateTerminal() = 0;
  // A line for the terminal ("D 1024 0512"), while it is open.
  virtual void TerminalReport(const std::string& text) = 0;

  // One byte to the controller over the active link.
  virtual void SendByte(std::uint8_t byte) = 0;
  virtual void ResetController() = 0;
  // Block 7 of the controller (the multi-touch sensor size), or nothing when it cannot be read.
  virtual std::optional<std::vector<std::uint8_t>> ReadBlock7() = 0;
  // The rectangle a full-screen window covers (screen coordinates).
  virtual Rect FullScreenRect() const = 0;

  // Listener slot 0.
  virtual void RegisterDrawWindow(WindowId window) = 0;
  virtual void UnregisterDrawWindow(WindowId window) = 0;

  virtual UiHost& Ui() = 0;

  // A menu command of the program: the draw windows' pop-up menus send theirs this way.
  virtual void PostCommand(std::uint32_t) {}
  struct MenuState {
    bool enabled = false;
    bool checked = false;
  };
  virtual MenuState CommandState(std::uint32_t) const { return {}; }
};

}  // namespace kx7
