#include "log/replay.h"

#include <algorithm>
#include <filesystem>

#include "log/file_choice.h"
#include "log/log_constants.h"

namespace kx7 {
namespace {

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<std::uint8_t> ReadHexByte(std::istream& in) {
  int high = -1;
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    const int value = HexValue(c);
    if (value < 0) {
      high = -1;
      continue;
    }
    if (high < 0) {
      high = value;
      continue;
    }
    return static_cast<std::uint8_t>(high * 16 + value);
  }
  return std::nullopt;
}

ReplayWindow::ReplayWindow(CMainFrame& frame)
    : Window(frame.Loop()),
      frame_(frame),
      title_(log_text::kReplayTitle),
      rateMs_(kReplayDefaultRateMs),
      chunkSize_(kReplayDefaultChunk) {}

ReplayWindow::~ReplayWindow() {
  KillTimer(kReplayTimer);
  if (shown_) frame_.Ui().CloseWindow(*this);
}

LResult ReplayWindow::OnMessage(MessageId message, WParam wParam, LParam) {
  switch (message) {
    case wm::kTimer:
      if (wParam == kReplayTimer) ReplayChunk();
      return 0;
    case wm::kClose:
      Close();
      return 0;
    case wm::kCommand:
      switch (wParam) {
        case replay_button::kRun:
          Run();
          break;
        case replay_button::kSingleStep:
          SingleStep();
          break;
        case replay_button::kRewind:
          Rewind();
          break;
        case replay_button::kStop:
          Stop();
          break;
        case replay_button::kNewFile:
          NewFile();
          break;
        case replay_button::kQuit:
          Quit();
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

bool ReplayWindow::Show() {
  if (closed_) return false;
  const bool first = !shown_;
  if (first) {
    NewFile();
    // The dialog may have been closed while the file dialog was open.
    if (closed_) return false;
  }
  // Shown already: it only comes forward.
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  placement.title = title_;
  placement.maximized = false;
  const bool opened = frame_.Ui().OpenWindow(*this, placement);
  if (first) shown_ = opened;
  return shown_;
}

void ReplayWindow::SetRateMs(int rateMs) { rateMs_ = std::clamp(rateMs, kReplayMinRateMs, kReplayMaxRateMs); }

void ReplayWindow::SetChunkSize(int chunkSize) { chunkSize_ = std::clamp(chunkSize, kReplayMinChunk, kReplayMaxChunk); }

void ReplayWindow::Run() {
  if (!RunEnabled()) return;
  running_ = true;
  SetTimer(kReplayTimer, static_cast<std::uint32_t>(rateMs_));
  Refresh();
}

void ReplayWindow::SingleStep() {
  if (!SingleStepEnabled()) return;
  ReplayChunk();
}

void ReplayWindow::Rewind() {
  if (!RewindEnabled()) return;
  file_.clear();
  file_.seekg(0);
}

void ReplayWindow::Stop() {
  if (!StopEnabled()) return;
  KillTimer(kReplayTimer);
  running_ = false;
  Refresh();
}

void ReplayWindow::NewFile() {
  if (!NewFileEnabled() || closed_) return;
  CloseFile();
  title_ = log_text::kReplayTitle;
  Refresh();
  FileDialogRequest request;
  request.title = log_text::kOpenFileTitle;
  request.filter = log_text::kLogFilter;
  request.defaultExtension = log_text::kLogExtension;
  const std::optional<std::string> path = ChooseFile(frame_, request);
  if (!path || closed_) return;
  file_.open(*path, std::ios::binary);
  // A folder opens as a stream on some systems; it is no file to replay.
  std::error_code error;
  if (file_.is_open() && std::filesystem::is_directory(*path, error)) file_.close();
  if (!file_.is_open()) {
    ShowMessage(frame_.Ui(), log_text::kFailedToOpenFile);
    return;
  }
  title_ = log_text::kReplayTitlePrefix + std::filesystem::path(*path).filename().string();
  Refresh();
}

void ReplayWindow::Quit() {
  if (!QuitEnabled()) return;
  Close();
}

void ReplayWindow::Close() {
  if (closed_) return;
  closed_ = true;
  KillTimer(kReplayTimer);
  running_ = false;
  CloseFile();
  if (shown_) {
    shown_ = false;
    frame_.Ui().CloseWindow(*this);
  }
  // Closed from within a listener while a chunk is handed out: the chunk tells the owner when it
  // is done with this window.
  if (!replaying_) TellOwner();
}

void ReplayWindow::ReplayChunk() {
  // A tick that comes due while a listener of the last chunk still runs a nested loop waits for
  // the next one: the bytes stay in order.
  if (replaying_ || !FileOpen()) return;
  replaying_ = true;
  for (int i = 0; i < chunkSize_ && FileOpen(); ++i) {
    const std::optional<std::uint8_t> byte = ReadHexByte(file_);
    if (!byte) {
      AtEnd();
      break;
    }
    const std::uint8_t received = *byte;
    frame_.DispatchBytes(&received, 1);
  }
  replaying_ = false;
  if (closed_) TellOwner();
}

void ReplayWindow::AtEnd() {
  KillTimer(kReplayTimer);
  running_ = false;
  file_.clear();
  file_.seekg(0);
  Refresh();
}

void ReplayWindow::CloseFile() {
  if (file_.is_open()) file_.close();
  file_.clear();
}

void ReplayWindow::Refresh() {
  if (shown_) frame_.Ui().Invalidate(Id());
}

void ReplayWindow::TellOwner() {
  if (onClosed) onClosed();
}

}  // namespace kx7
