#include "firmware/loader_dialog.h"

#include <cstdio>

#include "frame/frame_constants.h"
#include "frame/messages.h"
#include "log/file_choice.h"
#include "proto/controller_protocol.h"

namespace kx7::firmware {

namespace {
constexpr const char* kCaption = "KX7SDU";
}  // namespace

std::string BytesSentText(std::size_t sent, std::size_t total) {
  char text[64];
  std::snprintf(text, sizeof text, text::kBytesSent, static_cast<int>(sent), static_cast<int>(total));
  return text;
}

LoaderDialog::LoaderDialog(CMainFrame& frame, ControllerProtocol& protocol)
    : Window(frame.Loop()), frame_(frame), protocol_(protocol) {}

LoaderDialog::~LoaderDialog() {
  // A notification left for this dialog must not reach a window that is gone.
  if (frame_.pendingNotification.window == Id()) frame_.pendingNotification = {};
}

LResult LoaderDialog::OnMessage(MessageId message, WParam wParam, LParam) {
  switch (message) {
    case message::kStart:
      if (!busy_ && !Finished()) Start();
      return 0;
    case message::kStep:
      if (busy_) OnStep();
      return 0;
    case message::kFoundAgain:
      KillTimer(timer_id::kFoundAgain);
      if (busy_) OnFoundAgain(frame_.LinkKind != link::kClosed);
      return 0;
    case message::kProgress:
      OnProgressMessage(wParam);
      return 0;
    case wm::kTimer:
      switch (static_cast<std::uint32_t>(wParam)) {
        case timer_id::kPause:
          KillTimer(timer_id::kPause);
          pauseOver_ = true;
          return 0;
        case timer_id::kFoundAgain:
          KillTimer(timer_id::kFoundAgain);
          if (frame_.pendingNotification.window == Id()) frame_.pendingNotification = {};
          if (busy_) OnFoundAgain(false);
          return 0;
        case timer_id::kStep:
          KillTimer(timer_id::kStep);
          if (busy_) OnStep();
          return 0;
        default:
          KillTimer(static_cast<std::uint32_t>(wParam));
          return 0;
      }
    default:
      return 0;
  }
}

void LoaderDialog::SetAutomatic(const std::string& imagePath) {
  automatic_ = true;
  imagePath_ = imagePath;
}

void LoaderDialog::OnShown() {
  if (automatic_) Post(message::kStart);
}

void LoaderDialog::RunHeadless() {
  Post(message::kStart);
  Loop().RunUntil([this] { return Finished() && !busy_; });
}

void LoaderDialog::Cancel() {
  cancelled_ = true;
  if (!busy_) closeRequested_ = true;
  Changed();
}

void LoaderDialog::Changed() {
  if (changed) changed();
}

void LoaderDialog::ShowStatus(const std::string& text) {
  status_ = text;
  if (statusLine) statusLine(text);
  Changed();
}

void LoaderDialog::SetProgress(std::size_t position, std::size_t range) {
  progressRange_ = range;
  progressPosition_ = position;
  Changed();
}

void LoaderDialog::BeginRun() {
  busy_ = true;
  cancelled_ = false;
  result_.reset();
  message_.clear();
  bytesSent_ = 0;
  Changed();
}

void LoaderDialog::Succeed(bool close) {
  busy_ = false;
  result_ = DownloadResult::kDone;
  message_.clear();
  if (close) closeRequested_ = true;
  Changed();
}

void LoaderDialog::Fail(const std::string& message, bool showBox) {
  KillTimer(timer_id::kStep);
  KillTimer(timer_id::kFoundAgain);
  if (frame_.pendingNotification.window == Id()) frame_.pendingNotification = {};
  busy_ = false;
  result_ = DownloadResult::kFailed;
  message_ = message;
  if (showBox && !message.empty() && !frame_.closing) Say(message);
  // An automatic run ends with its failure; the user may start an interactive one again.
  if (automatic_ || cancelled_) closeRequested_ = true;
  Changed();
}

void LoaderDialog::EndAutomatic(DownloadResult result, const std::string& message) {
  busy_ = false;
  result_ = result;
  message_ = message;
  closeRequested_ = true;
  Changed();
}

Answer LoaderDialog::Ask(const std::string& text, MessageButtons buttons) {
  UiHost& ui = automatic_ && unattended != nullptr ? *unattended : frame_.Ui();
  return ui.MessageBox(text, kCaption, buttons, MessageIcon::kQuestion);
}

void LoaderDialog::Say(const std::string& text) {
  ShowMessage(automatic_ && unattended != nullptr ? *unattended : frame_.Ui(), text);
}

bool LoaderDialog::Pause(std::uint32_t ms) {
  if (Cancelled()) return false;
  pauseOver_ = false;
  SetTimer(timer_id::kPause, ms);
  Loop().RunUntil([this] { return pauseOver_ || Cancelled(); });
  KillTimer(timer_id::kPause);
  return pauseOver_ && !Cancelled();
}

void LoaderDialog::AwaitFoundAgain() {
  // A search the frame starts on its own (a plugged controller's timer 28) would find it too.
  frame_.SetPendingNotification(Id(), message::kFoundAgain);
  SetTimer(timer_id::kFoundAgain, kFoundAgainWaitMs);
}

void LoaderDialog::RequestFind() { frame_.Post(msg::kConnect, 1, 0); }

// --- The image file ----------------------------------------------------------------------------

void LoaderDialog::SelectFile() {
  if (busy_ || automatic_) return;
  FileDialogRequest request;
  request.title = "Open";
  request.filter = FileFilter();
  request.fileName = FilePattern();
  const std::optional<std::string> chosen = ChooseFile(frame_, request);
  if (!chosen) return;
  files_.Choose(*chosen);
  LoadChosen(*chosen);
}

void LoaderDialog::PreviousFile() {
  if (!CanStepFiles()) return;
  if (const std::optional<std::string> path = files_.Previous()) LoadChosen(*path);
}

void LoaderDialog::NextFile() {
  if (!CanStepFiles()) return;
  if (const std::optional<std::string> path = files_.Next()) LoadChosen(*path);
}

std::optional<DownloadResult> LoaderDialog::LoadInto(const std::string& path, ImageProfile profile,
                                                   std::optional<LoadedImage>& image) {
  LoadedImage loaded = firmware::LoadImageFile(path, profile, DefaultParameters(profile));
  if (loaded.Loaded()) {
    image.emplace(std::move(loaded));
    SetProgress(0, image->length);
    return std::nullopt;
  }
  image.reset();
  message_ = loaded.load.message != nullptr ? loaded.load.message : "";
  if (!message_.empty()) Say(message_);
  Changed();
  return loaded.load.error == ImageError::kOpen ? DownloadResult::kCannotOpen : DownloadResult::kRejected;
}

void LoaderDialog::LoadChosen(const std::string& path) {
  imagePath_ = path;
  LoadImageFile(path);
  Changed();
}

}  // namespace kx7::firmware
