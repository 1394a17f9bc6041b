// What every loader dialog shares: the image file and the "<" ">" list behind it, the busy state
// that disables the controls, the status line and the progress bar, the message boxes, the
// automatic mode of the command line, the found-again notification after a reboot, and the
// result a run ends with. Each loader (Birch2 image, Firmware Loader, UEFI loader, Cedar GEN2,
// Cedar Gen3) adds its own steps on top.
//
// A dialog is a core window: its step messages and timers come through the message loop, and it
// draws nothing itself; its view (or kx7cli) reads what it shows and is told when that changed.
// In automatic mode (the command line, "Load Last Firmware Image") the image is loaded and the
// transfer starts as soon as the dialog is shown, and nothing waits for an operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "firmware/firmware_constants.h"
#include "firmware/image_file_list.h"
#include "firmware/image_profile.h"
#include "frame/main_frame.h"
#include "platform/window.h"

namespace kx7 {
struct ControllerProtocol;
}

namespace kx7::firmware {

// How a download ends; the command-line download's exit code.
enum class DownloadResult : int {
  kDone = 0,
  kNotFound = 1,
  kNoLoader = 2,
  kFailed = 3,
  kCannotOpen = 4,
  kRejected = 5,
};

class LoaderDialog : public Window, public DialogModel {
 public:
  LoaderDialog(CMainFrame& frame, ControllerProtocol& protocol);
  ~LoaderDialog() override;

  std::string Title() const override { return Kind(); }
  const char* ViewKind() const override { return Kind(); }
  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

  // --- What the view shows --------------------------------------------------------------
  const std::string& StatusText() const { return status_; }
  std::size_t ProgressRange() const { return progressRange_; }
  std::size_t ProgressPosition() const { return progressPosition_; }
  bool Busy() const { return busy_; }
  bool Automatic() const { return automatic_; }
  // The image file chosen last (empty before a choice).
  const std::string& ImagePath() const { return imagePath_; }
  bool CanStepFiles() const { return !busy_ && !automatic_ && !files_.Names().empty(); }

  // --- How a run ended ------------------------------------------------------------------
  bool Finished() const { return result_.has_value(); }
  DownloadResult Result() const { return result_.value_or(DownloadResult::kFailed); }
  // The failure text ("Error Poke Frame"); empty after a success.
  const std::string& Message() const { return message_; }
  // Image bytes the controller took (acknowledged pieces).
  std::size_t BytesSent() const { return bytesSent_; }
  // The dialog closes itself (after a run that ends it); the view closes when it sees this.
  bool CloseRequested() const { return closeRequested_; }

  // --- Events from the view or a caller --------------------------------------------------
  // The view is up: an automatic dialog starts its run (posted to itself).
  void OnShown();
  // "Send File to Controller" or "Start".
  virtual void Start() = 0;
  // "Select File ...", "<", ">": a new image, loaded and shown.
  void SelectFile();
  void PreviousFile();
  void NextFile();
  // The user closed the dialog: a running transfer stops at its next step.
  void Cancel();
  // Runs the dialog without a view until its run ends or it asks to close (kx7cli).
  void RunHeadless();

  // Automatic mode with this image file.
  void SetAutomatic(const std::string& imagePath);
  // Where an automatic run's message boxes go when nobody is at the screen (the command-line
  // download): printed, never waited on. Nothing: the frame's user interface.
  UiHost* unattended = nullptr;

  // The view repaints; every status text is also handed out as it is shown (kx7cli prints them).
  std::function<void()> changed;
  std::function<void(const std::string&)> statusLine;

 protected:
  // Loads the image file; false (after its message) when it cannot be used.
  virtual bool LoadImageFile(const std::string& path) = 0;
  // The file dialog's filter and default pattern.
  virtual const char* FileFilter() const = 0;
  virtual const char* FilePattern() const = 0;
  // A step the dialog posted to itself, or its step timer.
  virtual void OnStep() {}
  // After a reboot: the search found the controller again (`found`), or gave up, or nothing came
  // in time.
  virtual void OnFoundAgain(bool) {}
  virtual void OnProgressMessage(WParam) {}

  void ShowStatus(const std::string& text);
  void SetProgress(std::size_t position, std::size_t range);
  void Changed();
  // A run starts: busy, no result yet.
  void BeginRun();
  // The run is done: result 0, the controls back, and the dialog closes when `close`.
  void Succeed(bool close = true);
  // The run failed with `message` (shown in a box unless `showBox` is false): result 3, the
  // controls back; the controller stays where it stopped.
  void Fail(const std::string& message, bool showBox = true);
  // An automatic run that cannot start (the image file): the result, and the dialog closes.
  void EndAutomatic(DownloadResult result, const std::string& message);
  // A message box of the program; in automatic mode it does not wait for anyone (the frame's
  // user interface then is an unattended one).
  Answer Ask(const std::string& text, MessageButtons buttons);
  void Say(const std::string& text);
  // Waits `ms` while the messages keep coming (so that bytes that arrive meanwhile are not taken
  // for the next reply); false when the dialog was closed or the program is closing.
  bool Pause(std::uint32_t ms);
  // The controller is rebooting: the frame's pending notification is set to this dialog, and a
  // timer gives up when it does not come in time (OnFoundAgain then runs with no link open).
  void AwaitFoundAgain();
  // The frame's find request (0x800E, wParam 1): look for the controller again.
  void RequestFind();
  bool Cancelled() const { return cancelled_ || frame_.closing; }
  void CountSent(std::size_t bytes) { bytesSent_ += bytes; }
  void ResetSent() { bytesSent_ = 0; }
  void SetImagePath(const std::string& path) { imagePath_ = path; }
  // Loads `path` as `profile` reads it into `image`. A file that cannot be used leaves no image
  // (nothing can be sent), shows its message (the failure text of the run), and gives the result an
  // automatic run ends with (4: cannot open, 5: rejected).
  std::optional<DownloadResult> LoadInto(const std::string& path, ImageProfile profile, std::optional<LoadedImage>& image);
  ImageFileList& Files() { return files_; }

  CMainFrame& frame_;
  ControllerProtocol& protocol_;

 private:
  void LoadChosen(const std::string& path);

  std::string status_;
  std::size_t progressRange_ = 0;
  std::size_t progressPosition_ = 0;
  bool busy_ = false;
  bool automatic_ = false;
  bool cancelled_ = false;
  bool closeRequested_ = false;
  bool pauseOver_ = false;
  std::optional<DownloadResult> result_;
  std::string message_;
  std::size_t bytesSent_ = 0;
  std::string imagePath_;
  ImageFileList files_;
};

// A byte count and its total as the loaders show them: "%d of %d Bytes Sent".
std::string BytesSentText(std::size_t sent, std::size_t total);

}  // namespace kx7::firmware
