#include "frame/tools_launcher.h"

#include "frame/command_ids.h"

namespace kx7 {

namespace {
constexpr const char* kCantOpenWindow = "Can't open window";
}  // namespace

ToolsLauncher::ToolsLauncher(CMainFrame& frame) : Window(frame.Loop()), frame_(frame) {
  frame_.RegisterCommands(
      cmd::kLauncherFirst, cmd::kLauncherLast, [this](std::uint32_t id) { OnCommand(id); },
      [this](std::uint32_t id) { return Update(id); });
  frame_.RegisterCommands(
      cmd::kClearAll, cmd::kClearAll,
      [this](std::uint32_t) {
        if (terminal_) terminal_->ClearAll();
      },
      [this](std::uint32_t) { return CommandState{terminal_ != nullptr, false}; });
}

ToolsLauncher::~ToolsLauncher() {
  if (terminal_) terminal_->Close();
}

LResult ToolsLauncher::OnMessage(MessageId message, WParam, LParam) {
  if (message == kDeleteClosed) closedTerminal_.reset();
  return 0;
}

bool ToolsLauncher::Busy() const {
  return frame_.listeners.IsActive(slot::kScope) || frame_.listeners.IsActive(slot::kLinearization) ||
         frame_.listeners.IsActive(slot::kAsymtekLinearization);
}

CTerminalWnd* ToolsLauncher::OpenTerminal() {
  Placement placement;
  placement.kind = PlacementKind::kMdiChild;
  placement.title = "Terminal";
  placement.maximized = true;
  if (terminal_) {
    frame_.Ui().OpenWindow(*terminal_, placement);
    return terminal_.get();
  }
  auto terminal = std::make_unique<CTerminalWnd>(frame_);
  terminal->onClosed = [this](CTerminalWnd& closed) {
    if (terminal_.get() != &closed) return;
    closedTerminal_ = std::move(terminal_);
    Post(kDeleteClosed);
  };
  // A terminal that cannot be created ends the command silently.
  if (!frame_.Ui().OpenWindow(*terminal, placement)) return nullptr;
  terminal_ = std::move(terminal);
  return terminal_.get();
}

bool ToolsLauncher::OpenChild(const std::string& title, Window& window) {
  Placement placement;
  placement.kind = PlacementKind::kMdiChild;
  placement.title = title;
  placement.maximized = true;
  if (frame_.Ui().OpenWindow(window, placement)) return true;
  ShowMessage(frame_.Ui(), kCantOpenWindow);
  return false;
}

bool ToolsLauncher::OpenFullScreen(Window& window) {
  Placement placement;
  placement.kind = PlacementKind::kFullScreen;
  placement.rect = frame_.FullScreenRect();
  placement.maximized = false;
  return frame_.Ui().OpenWindow(window, placement);
}

void ToolsLauncher::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  switch (id) {
    case cmd::kTerminal:
      OpenTerminal();
      return;
    default:
      // The other tool windows come with their subsystems; until then nothing opens.
      return;
  }
}

CommandState ToolsLauncher::Update(std::uint32_t id) const {
  switch (id) {
    case cmd::kTerminal:
      return CommandState{true, false};
    default:
      return CommandState{false, false};
  }
}

ToolsLauncher& InstallToolsLauncher(CMainFrame& frame) {
  return frame.MakeSubsystem<ToolsLauncher>(frame);
}

}  // namespace kx7
