#include "draw/frame_draw_host.h"

#include "controller/controller_families.h"
#include "display/terminal_wnd.h"
#include "frame/frame_constants.h"
#include "frame/tools_launcher.h"
#include "proto/controller_protocol.h"
#include "proto/restart_commands.h"

namespace kx7 {

namespace {

CTerminalWnd* TerminalOf(CMainFrame& frame) {
  ToolsLauncher* launcher = LauncherOf(frame);
  return launcher ? launcher->Terminal() : nullptr;
}

}  // namespace

bool FrameDrawHost::MultiTouchReports() const {
  // The USB and HID links hand a multi-touch controller's 64-byte reports on byte by byte, as the
  // terminal decodes them; serial controllers send the 6-byte packets.
  return IsUsbLink(frame_.LinkKind) && IsMultiTouchController(frame_.ControllerType, frame_.ControllerFeatures);
}

bool FrameDrawHost::TerminalOpen() const { return TerminalOf(frame_) != nullptr; }

void FrameDrawHost::ClearTerminal() {
  if (CTerminalWnd* terminal = TerminalOf(frame_)) terminal->ClearAll();
}

void FrameDrawHost::ActivateTerminal() {
  if (CTerminalWnd* terminal = TerminalOf(frame_); terminal && frame_.activateWindow)
    frame_.activateWindow(terminal->Id());
}

void FrameDrawHost::TerminalReport(const std::string& text) {
  // Sent, not posted: the text lives only as long as this call.
  if (CTerminalWnd* terminal = TerminalOf(frame_))
    frame_.Loop().Send(terminal->Id(), msg::kTerminalLine, 0, reinterpret_cast<LParam>(text.c_str()));
}

void FrameDrawHost::SendByte(std::uint8_t byte) { frame_.Post(msg::kSendByte, byte, 0); }

void FrameDrawHost::ResetController() {
  if (ControllerProtocol* protocol = ProtocolOf(frame_); protocol && protocol->restart) protocol->restart->SoftReset();
}

std::optional<std::vector<std::uint8_t>> FrameDrawHost::ReadBlock7() {
  ControllerProtocol* protocol = ProtocolOf(frame_);
  if (!protocol || frame_.LinkKind == link::kClosed) return std::nullopt;
  std::vector<std::uint8_t> block;
  if (!protocol->channel.ReadBlock(7, block)) return std::nullopt;
  return block;
}

void FrameDrawHost::UnregisterDrawWindow(WindowId window) {
  if (frame_.listeners.Listener(slot::kDraw) == window) {
    frame_.ClearListener(slot::kDraw);
    frame_.drawIsFullScreen = false;
  }
}

}  // namespace kx7
