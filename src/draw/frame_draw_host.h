// The draw windows' host in the program: the main frame's settings, controller, link, format and
// poll mode, its terminal, its controller protocol and its user interface.
#pragma once

#include "draw/draw_host.h"
#include "frame/frame_constants.h"
#include "frame/main_frame.h"

namespace kx7 {

class FrameDrawHost : public DrawHost {
 public:
  explicit FrameDrawHost(CMainFrame& frame) : frame_(frame) {}

  OptionsBlock& Options() override { return frame_.settings.Options; }
  std::uint32_t ReportFormat() const override { return frame_.ReportFormat; }
  std::uint32_t ControllerType() const override { return frame_.ControllerType; }
  std::uint32_t ControllerFeatures() const override { return frame_.ControllerFeatures; }
  int LinkKind() const override { return frame_.LinkKind; }
  bool PassThrough() const override { return frame_.passThrough; }
  bool PollMode() const override { return frame_.pollMode; }
  bool MultiTouchReports() const override;
  bool TerminalOpen() const override;
  void ClearTerminal() override;
  void ActivateTerminal() override;
  void TerminalReport(const std::string& text) override;
  void SendByte(std::uint8_t byte) override;
  void ResetController() override;
  std::optional<std::vector<std::uint8_t>> ReadBlock7() override;
  Rect FullScreenRect() const override { return frame_.FullScreenRect(); }
  void RegisterDrawWindow(WindowId window) override { frame_.SetListener(slot::kDraw, window); }
  void UnregisterDrawWindow(WindowId window) override;
  UiHost& Ui() override { return frame_.Ui(); }
  void PostCommand(std::uint32_t id) override { frame_.Post(wm::kCommand, id, 0); }
  MenuState CommandState(std::uint32_t id) const override {
    const kx7::CommandState state = frame_.UpdateCommand(id);
    return {state.enabled, state.checked};
  }

 private:
  CMainFrame& frame_;
};

}  // namespace kx7
