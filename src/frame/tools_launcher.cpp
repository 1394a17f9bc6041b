#include "frame/tools_launcher.h"

#include <initializer_list>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"

namespace kx7 {

namespace {

constexpr const char* kCantOpenWindow = "Can't open window";

bool In(std::uint32_t value, std::initializer_list<std::uint32_t> values) {
  for (const std::uint32_t v : values)
    if (v == value) return true;
  return false;
}

bool InRange(std::uint32_t value, std::uint32_t first, std::uint32_t last) { return value >= first && value <= last; }

// Larch USB and Maple: types 32878 to 32881.
bool LarchOrMaple(std::uint32_t type) { return InRange(type, 32878, 32881); }

}  // namespace

bool AsksPenQuestion(std::uint32_t id) {
  return In(id, {32957, 32966, 32986, 32987, 33007, 33008, 33037, 33038, 32963, 32995, 32997, 32998, 33001, 33002,
                 33010, 33011, 32964, 32965, 32968, 32970, 32975, 33029, 32972, 32973, 32996, 33015, 33004, 33005,
                 33017, 33018, 33021});
}

bool LauncherCommandEnabled(std::uint32_t id, const LauncherState& s) {
  const std::uint32_t t = s.type;
  const bool calibrationFree = s.linkOpen && !s.Busy() && !s.listening[4];
  const bool rowan = IsRowanCedar(t);
  const bool romOnly = t == 32856 || t == 32866;
  if (In(id, {32957, 32986, 32988})) return calibrationFree && !romOnly;
  if (In(id, {32959, 32960})) return !romOnly && (s.linkOpen || s.trackMouse) && !s.listening[1];
  if (In(id, {32961, 32969, 33021})) return true;
  if (id == 32962) return !romOnly && s.linkOpen && !s.listening[1];
  if (In(id, {32963, 32995, 32997, 32998, 33001, 33002, 32964, 32965}))
    return calibrationFree && !In(t, {32856, 32862, 32863, 32866, 32867, 32874}) && !LarchOrMaple(t);
  if (In(id, {32966, 32987})) return calibrationFree && !In(t, {32856, 32863, 32864, 32866}) && !LarchOrMaple(t);
  if (id == 32968)
    return calibrationFree && !(s.features & 0x8) && !rowan &&
           !In(t, {32856, 32857, 32862, 32863, 32866, 32867, 32868, 32869, 32870, 32871, 32878, 32879, 32881});
  if (InRange(id, 32970, 32973) || id == 33029)
    return s.linearizeSwitch && calibrationFree && !rowan &&
           !In(t, {32856, 32862, 32863, 32866, 32867, 32868, 32869, 32878, 32879, 32881});
  if (In(id, {32974, 33012, 33020})) return s.listening[0];
  if (InRange(id, 32975, 32978) || In(id, {33004, 33005, 33016}))
    return calibrationFree && !In(t, {32856, 32862, 32863, 32866, 32867, 32878, 32879, 32881});
  if (id == 32979)
    return calibrationFree && !In(t, {32856, 32857, 32862, 32863, 32875, 32876, 32882, 32883}) && !InRange(t, 32866, 32873);
  if (id == 32985) return s.robotPortOpen;
  if (InRange(id, 32990, 32994) || In(id, {33027, 33028})) return s.robotDialogOpen;
  if (In(id, {32996, 33015, 33017, 33018})) return calibrationFree && !In(t, {32856, 32866, 32874}) && !LarchOrMaple(t);
  if (In(id, {33007, 33008})) return calibrationFree && In(t, {32868, 32869, 32881});
  if (id == 33009) return s.linkOpen && rowan;
  if (In(id, {33010, 33011})) return calibrationFree && In(t, {32868, 32869});
  if (id == 33019) return (s.features & 0x100) || ((s.features & 0x10) && !IsUsbLink(s.linkKind));
  if (In(id, {33022, 33023, 33025, 33026})) return s.multiTouch;
  if (id == 33030) return In(t, {32878, 32879, 32881});
  if (In(id, {33037, 33038})) return calibrationFree && t == 32881;
  // Everything else of the range is enabled exactly while a link is open.
  return s.linkOpen;
}

bool LauncherCommandRefused(std::uint32_t id, const LauncherState& s) {
  if (In(id, {32957, 32966, 32986, 32987, 33007, 33008, 33037, 33038, 33021})) return s.listening[4];
  if (In(id, {32963, 32995, 32997, 32998, 33001, 33002, 33010, 33011, 32964, 32965, 32972, 32973, 32977, 32978,
              32996, 33015, 33017, 33018}))
    return s.Busy();
  if (In(id, {32968, 32979})) return s.Busy() || s.listening[7];
  if (In(id, {32970, 32975, 33029, 32971, 32976})) return s.listening[1] || s.listening[10] || s.listening[12];
  if (In(id, {32974, 33012, 33020})) return !s.listening[0];
  if (id == 32985) return s.robotDialogOpen;
  if (In(id, {33004, 33005})) return s.listening[13];
  return false;
}

ToolsLauncher::ToolsLauncher(CMainFrame& frame) : Window(frame.Loop()), frame_(frame) {
  frame_.launcher = this;
  frame_.RegisterCommands(
      cmd::kLauncherFirst, cmd::kLauncherLast, [this](std::uint32_t id) { OnCommand(id); },
      [this](std::uint32_t id) { return Update(id); });
  frame_.RegisterCommands(
      cmd::kClearAll, cmd::kClearAll,
      [this](std::uint32_t) {
        if (eraseDrawWindow && eraseDrawWindow()) return;
        if (terminal_) terminal_->ClearAll();
      },
      [this](std::uint32_t) {
        return CommandState{terminal_ != nullptr || (drawWindowOpen && drawWindowOpen()), false};
      });
}

ToolsLauncher::~ToolsLauncher() {
  if (terminal_) terminal_->Close();
  if (frame_.launcher == this) frame_.launcher = nullptr;
}

LResult ToolsLauncher::OnMessage(MessageId message, WParam, LParam) {
  if (message == kDeleteClosed) closedTerminal_.reset();
  return 0;
}

LauncherState ToolsLauncher::State() const {
  LauncherState s;
  s.linkOpen = frame_.LinkKind != link::kClosed;
  s.linkKind = frame_.LinkKind;
  s.type = frame_.ControllerType;
  s.features = frame_.ControllerFeatures;
  s.multiTouch = IsMultiTouchController(frame_.ControllerType, frame_.ControllerFeatures);
  for (int slot = 0; slot < kListenerSlots; ++slot) s.listening[static_cast<std::size_t>(slot)] = frame_.listeners.IsActive(slot);
  s.trackMouse = frame_.settings.Options.TrackMouse != 0;
  s.linearizeSwitch = frame_.startup.linearize != 0;
  s.robotPortOpen = frame_.robotPort != 0;
  s.robotDialogOpen = frame_.robotDialogOpen;
  return s;
}

std::uint32_t ToolsLauncher::Resolve(std::uint32_t id) const {
  const LauncherState s = State();
  const bool threeTargets = In(s.type, {32868, 32869, 32882, 32883});
  switch (id) {
    case cmd::kCalibrateToolbar:
      return Resolve(frame_.settings.Options.Tablet2ptOnToolbar ? cmd::kCalibrateMdi : cmd::kCalibrate);
    case cmd::kCalibrate:
      return threeTargets ? cmd::kCalibrate3Point : id;
    case cmd::kCalibrateMdi:
      return threeTargets ? cmd::kCalibrate3PointMdi : id;
    case cmd::kDraw:
      if (s.multiTouch) return cmd::kMultiDraw;
      return terminal_ && !s.listening[slot::kDraw] ? cmd::kSplitMode : id;
    case cmd::kFullDraw:
      return s.multiTouch ? cmd::kFullScreenMultiDraw : id;
    case cmd::kTerminal:
      return s.listening[slot::kDraw] && !terminal_ ? cmd::kSplitMode : id;
    default:
      return id;
  }
}

void ToolsLauncher::RegisterTool(std::uint32_t first, std::uint32_t last, ToolOpener open) {
  for (std::uint32_t id = first; id <= last; ++id) tools_[id] = open;
}

bool ToolsLauncher::ToolBuilt(std::uint32_t id) const {
  if (id == cmd::kTerminal) return true;
  if (id == cmd::kSplitMode) return static_cast<bool>(placeDrawWindow);
  return tools_.count(id) != 0;
}

CommandState ToolsLauncher::Update(std::uint32_t id) const {
  return CommandState{LauncherCommandEnabled(id, State()) && ToolBuilt(Resolve(id)), false};
}

void ToolsLauncher::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  const std::uint32_t resolved = Resolve(id);
  const LauncherState state = State();
  if (LauncherCommandRefused(resolved, state)) return;
  if (resolved == cmd::kScope && !state.multiTouch && !IsUsbLink(state.linkKind)) {
    // The scope takes the screen and the link to itself: the draw window goes, and the terminal
    // unless the user keeps it.
    if (state.listening[slot::kDraw]) frame_.Loop().Send(frame_.listeners.Listener(slot::kDraw), wm::kClose);
    if (terminal_ && !frame_.settings.Options.KeepTerminalWithScope) terminal_->Close();
  }
  // A pen-capable controller in Auto mode: the user says first whether a pen or a finger touches.
  const bool asks = AsksPenQuestion(resolved) || (resolved == cmd::kScope && !state.multiTouch);
  if (asks && (frame_.ControllerFeatures & feature::kPen) && frame_.PenMode == kPenAuto && askPenOrFinger &&
      !askPenOrFinger())
    return;
  switch (resolved) {
    case cmd::kTerminal:
      OpenTerminal();
      return;
    case cmd::kSplitMode:
      SplitMode();
      return;
    default:
      if (auto it = tools_.find(resolved); it != tools_.end()) it->second(resolved);
      return;
  }
}

Rect ToolsLauncher::ClientArea() const { return clientArea ? clientArea() : Rect{0, 0, 1024, 768}; }

CTerminalWnd* ToolsLauncher::MakeTerminal(const Placement& placement) {
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

CTerminalWnd* ToolsLauncher::OpenTerminal() {
  Placement placement;
  placement.kind = PlacementKind::kMdiChild;
  placement.title = "Terminal";
  placement.maximized = true;
  return MakeTerminal(placement);
}

void ToolsLauncher::SplitMode() {
  const Rect area = ClientArea();
  const int width = area.right - area.left;
  const Rect drawRect{area.left, area.top, area.right - width / 3, area.bottom};
  const Rect terminalRect{area.left + 2 * width / 3, area.top, area.right, area.bottom};
  if (placeDrawWindow) placeDrawWindow(drawRect, State().multiTouch);
  Placement placement;
  placement.kind = PlacementKind::kMdiChildAt;
  placement.title = "Terminal";
  placement.rect = terminalRect;
  placement.maximized = false;
  MakeTerminal(placement);
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

ToolsLauncher& InstallToolsLauncher(CMainFrame& frame) { return frame.MakeSubsystem<ToolsLauncher>(frame); }

ToolsLauncher* LauncherOf(CMainFrame& frame) { return frame.launcher; }

}  // namespace kx7
