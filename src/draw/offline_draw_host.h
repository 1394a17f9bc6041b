// A DrawHost of fixed values, with no controller and no terminal: what kx7cli's draw commands
// and the tests run the draw windows on. Sent bytes and resets are collected in order.
#pragma once

#include <functional>

#include "draw/draw_host.h"
#include "platform/ui_host.h"

namespace kx7 {

class OfflineDrawHost : public DrawHost {
 public:
  explicit OfflineDrawHost(UiHost& ui) : ui_(ui) {}

  OptionsBlock options;
  std::uint32_t reportFormat = 32816;
  std::uint32_t controllerType = 32861;
  std::uint32_t controllerFeatures = 0;
  int linkKind = 1;
  bool passThrough = false;
  bool pollMode = false;
  bool multiTouchReports = false;
  bool terminalOpen = false;
  std::optional<std::vector<std::uint8_t>> block7;
  Rect fullScreen{0, 0, 1280, 1024};
  WindowId registered = kNoWindow;

  std::vector<std::uint8_t> sent;
  std::vector<std::string> terminalReports;
  int resets = 0;
  int terminalClears = 0;
  // Called for every byte sent, after it is collected.
  std::function<void(std::uint8_t)> onSend;

  OptionsBlock& Options() override { return options; }
  std::uint32_t ReportFormat() const override { return reportFormat; }
  std::uint32_t ControllerType() const override { return controllerType; }
  std::uint32_t ControllerFeatures() const override { return controllerFeatures; }
  int LinkKind() const override { return linkKind; }
  bool PassThrough() const override { return passThrough; }
  bool PollMode() const override { return pollMode; }
  bool MultiTouchReports() const override { return multiTouchReports; }
  bool TerminalOpen() const override { return terminalOpen; }
  void ClearTerminal() override { ++terminalClears; }
  void ActivateTerminal() override {}
  void TerminalReport(const std::string& text) override { terminalReports.push_back(text); }
  void SendByte(std::uint8_t byte) override {
    sent.push_back(byte);
    if (onSend) onSend(byte);
  }
  void ResetController() override { ++resets; }
  std::optional<std::vector<std::uint8_t>> ReadBlock7() override { return block7; }
  Rect FullScreenRect() const override { return fullScreen; }
  void RegisterDrawWindow(WindowId window) override { registered = window; }
  void UnregisterDrawWindow(WindowId window) override {
    if (registered == window) registered = kNoWindow;
  }
  UiHost& Ui() override { return ui_; }

 private:
  UiHost& ui_;
};

}  // namespace kx7
