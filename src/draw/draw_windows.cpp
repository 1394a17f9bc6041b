#include "draw/draw_windows.h"

#include "controller/controller_families.h"
#include "draw/draw_constants.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/tools_launcher.h"

namespace kx7 {

namespace {
constexpr const char* kCantOpenWindow = "Can't open window";
}

DrawWindows::DrawWindows(CMainFrame& frame) : Window(frame.Loop()), frame_(frame), host_(frame) {
  if (ToolsLauncher* launcher = LauncherOf(frame_)) {
    launcher->RegisterTool(cmd::kDraw, cmd::kFullDraw, [this](std::uint32_t id) { Open(id); });
    for (std::uint32_t id = cmd::kMultiDraw; id <= cmd::kFullScreenMultiDrawNoTouch; ++id)
      if (CMultiDrawWnd::IsVariantCommand(id)) launcher->RegisterTool(id, id, [this](std::uint32_t c) { Open(c); });
    launcher->placeDrawWindow = [this](const Rect& rect, bool multiTouch) { return PlaceForSplit(rect, multiTouch); };
    launcher->eraseDrawWindow = [this] {
      if (draw_) {
        draw_->Erase(true);
        return true;  // the draw window's Erase clears the terminal with it
      }
      if (multi_) multi_->Erase();
      return false;
    };
    launcher->drawWindowOpen = [this] { return Current() != nullptr; };
  }
  frame_.RegisterCommands(
      cmd::kDrawPopupFirst, cmd::kDrawPopupLast, [this](std::uint32_t id) { OnPopupCommand(id); },
      [this](std::uint32_t id) { return UpdatePopup(id); });
  frame_.RegisterCommands(
      cmd::kMultiDrawShowGrid, cmd::kMultiDrawExit, [this](std::uint32_t id) { OnPopupCommand(id); },
      [this](std::uint32_t id) { return UpdatePopup(id); });
  frame_.openDrawWindow = [this](bool fullScreen) { Open(fullScreen ? cmd::kFullDraw : cmd::kDraw); };
  frame_.formatChanged = [this](std::uint32_t format) {
    if (draw_) draw_->FormatChanged(format);
  };
}

DrawWindows::~DrawWindows() {
  if (ToolsLauncher* launcher = LauncherOf(frame_)) {
    launcher->placeDrawWindow = nullptr;
    launcher->eraseDrawWindow = nullptr;
    launcher->drawWindowOpen = nullptr;
  }
  frame_.openDrawWindow = nullptr;
  frame_.formatChanged = nullptr;
  if (draw_) draw_->Close();
  if (multi_) multi_->Close();
}

LResult DrawWindows::OnMessage(MessageId message, WParam, LParam) {
  if (message == kDeleteClosed) closed_.clear();
  return 0;
}

Window* DrawWindows::Current() const {
  if (draw_) return draw_.get();
  return multi_.get();
}

CDrawWnd* DrawWindows::MakeDraw(bool fullScreen) {
  auto window = std::make_unique<CDrawWnd>(frame_.Loop(), host_, fullScreen);
  window->onClosed = [this](CDrawWnd& closed) {
    if (draw_.get() != &closed) return;
    closed_.push_back(std::move(draw_));
    Post(kDeleteClosed);
  };
  draw_ = std::move(window);
  return draw_.get();
}

CMultiDrawWnd* DrawWindows::MakeMultiDraw(std::uint32_t command) {
  auto window = std::make_unique<CMultiDrawWnd>(frame_.Loop(), host_, command);
  window->onClosed = [this](CMultiDrawWnd& closed) {
    if (multi_.get() != &closed) return;
    closed_.push_back(std::move(multi_));
    Post(kDeleteClosed);
  };
  multi_ = std::move(window);
  return multi_.get();
}

void DrawWindows::CloseCurrent() {
  if (draw_) draw_->Close();
  if (multi_) multi_->Close();
}

bool DrawWindows::Show(Window& window, bool fullScreen, const char* title) {
  Placement placement;
  placement.kind = fullScreen ? PlacementKind::kFullScreen : PlacementKind::kMdiChild;
  placement.title = title;
  placement.rect = fullScreen ? frame_.FullScreenRect() : Rect{};
  placement.maximized = !fullScreen;
  if (!frame_.Ui().OpenWindow(window, placement)) {
    ShowMessage(frame_.Ui(), kCantOpenWindow);
    return false;
  }
  frame_.SetListener(slot::kDraw, window.Id());
  frame_.drawIsFullScreen = fullScreen;
  return true;
}

void DrawWindows::Open(std::uint32_t command) {
  if (command == cmd::kDraw) {
    // One draw window: an open one is brought up maximised instead.
    if (draw_ && !draw_->FullScreen()) {
      Show(*draw_, false, draw::kDrawTitle);
      return;
    }
    CloseCurrent();
    CDrawWnd* window = MakeDraw(false);
    if (!Show(*window, false, draw::kDrawTitle)) window->Close();
    return;
  }
  if (command == cmd::kFullDraw) {
    CloseCurrent();
    CDrawWnd* window = MakeDraw(true);
    if (!Show(*window, true, draw::kDrawTitle)) window->Close();
    return;
  }
  if (!CMultiDrawWnd::IsVariantCommand(command)) return;
  CloseCurrent();
  CMultiDrawWnd* window = MakeMultiDraw(command);
  if (!Show(*window, window->Placement().fullScreen, draw::kMultiDrawTitle)) window->Close();
}

bool DrawWindows::PlaceForSplit(const Rect& rect, bool multiTouch) {
  Placement placement;
  placement.kind = PlacementKind::kMdiChildAt;
  placement.rect = rect;
  placement.maximized = false;
  Window* window = Current();
  const bool fits = window && (multiTouch ? multi_ != nullptr : draw_ != nullptr) &&
                    !(draw_ && draw_->FullScreen()) && !(multi_ && multi_->Placement().fullScreen);
  if (!fits) {
    CloseCurrent();
    window = multiTouch ? static_cast<Window*>(MakeMultiDraw(cmd::kMultiDraw)) : MakeDraw(false);
  }
  placement.title = multiTouch ? draw::kMultiDrawTitle : draw::kDrawTitle;
  if (!frame_.Ui().OpenWindow(*window, placement)) {
    ShowMessage(frame_.Ui(), kCantOpenWindow);
    CloseCurrent();
    return false;
  }
  frame_.SetListener(slot::kDraw, window->Id());
  frame_.drawIsFullScreen = false;
  return true;
}

void DrawWindows::RepaintCurrent() {
  if (Window* window = Current()) frame_.Ui().Invalidate(window->Id());
}

void DrawWindows::OnPopupCommand(std::uint32_t id) {
  OptionsBlock& o = frame_.settings.Options;
  const auto toggle = [](int& value) { value = value ? 0 : 1; };
  switch (id) {
    case cmd::kDrawShowGrid:
    case cmd::kMultiDrawShowGrid:
      toggle(o.ShowGrid);
      break;
    case cmd::kDrawDots:
    case cmd::kMultiDrawDots:
      toggle(o.DrawDots);
      break;
    case cmd::kDraw16ptTargets:
      toggle(o.Show16ptTargets);
      break;
    case cmd::kDraw25ptTargets:
      toggle(o.Show25ptTargets);
      break;
    case cmd::kDrawExtendedTargets:
      toggle(o.ExtTargets);
      break;
    case cmd::kDrawDiagonals:
      toggle(o.Show25Diagonals);
      break;
    case cmd::kDrawExit:
    case cmd::kMultiDrawExit:
      if (Window* window = Current()) window->Post(wm::kClose);
      return;
    default:
      return;  // the Measure Tool comes with the test tools
  }
  RepaintCurrent();
}

CommandState DrawWindows::UpdatePopup(std::uint32_t id) const {
  const OptionsBlock& o = frame_.settings.Options;
  switch (id) {
    case cmd::kDrawShowGrid:
    case cmd::kMultiDrawShowGrid:
      return {true, o.ShowGrid != 0};
    case cmd::kDrawDots:
    case cmd::kMultiDrawDots:
      return {true, o.DrawDots != 0};
    case cmd::kDraw16ptTargets:
      return {true, o.Show16ptTargets != 0};
    case cmd::kDraw25ptTargets:
      return {true, o.Show25ptTargets != 0};
    case cmd::kDrawExtendedTargets:
      return {true, o.ExtTargets != 0};
    case cmd::kDrawDiagonals:
      return {true, o.Show25Diagonals != 0};
    case cmd::kDrawExit:
    case cmd::kMultiDrawExit:
      return {Current() != nullptr, false};
    default:
      return {false, draw_ && draw_->measureTool != nullptr};
  }
}

DrawWindows& InstallDrawWindows(CMainFrame& frame) { return frame.MakeSubsystem<DrawWindows>(frame); }

}  // namespace kx7
