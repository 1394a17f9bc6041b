// The "Replay" dialog: feeds a hex-dump log back into the receive path, a chunk of bytes per tick
// of its timer, as if the controller had sent them again. The view shows the buttons and the two
// values, sends the buttons as wm::kCommand (replay_button::...) and closing as wm::kClose, and
// hands in the values with SetRateMs and SetChunkSize.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "frame/main_frame.h"
#include "log/log_constants.h"
#include "platform/window.h"

namespace kx7 {

// The next byte of a hex dump: characters are read until two hexadecimal digits (either case)
// follow each other directly; everything else is skipped and a digit on its own is dropped.
// Nothing at the end of the text.
std::optional<std::uint8_t> ReadHexByte(std::istream& in);

class ReplayWindow : public Window {
 public:
  explicit ReplayWindow(CMainFrame& frame);
  ~ReplayWindow() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return kReplayViewKind; }

  // Asks for the first file and shows the dialog (it stays open without a file); false when the
  // user interface could not show it.
  bool Show();

  // The buttons. Each does nothing while it is disabled.
  void Run();
  void SingleStep();
  void Rewind();
  void Stop();
  void NewFile();
  // Quit: stops, closes the file and the dialog (as closing the dialog by its frame does).
  void Quit();
  void Close();

  int RateMs() const { return rateMs_; }
  int ChunkSize() const { return chunkSize_; }
  // Out-of-range values are brought into range (at least 1 ms and 1 byte).
  void SetRateMs(int rateMs);
  void SetChunkSize(int chunkSize);

  const std::string& Title() const { return title_; }
  bool FileOpen() const { return file_.is_open(); }
  bool Running() const { return running_; }
  bool Closed() const { return closed_; }
  bool Shown() const { return shown_; }

  // While running only Stop is enabled; when idle Run, Single Step and Rewind need a file, and
  // New File, Quit and the two values are always there.
  bool RunEnabled() const { return !running_ && FileOpen(); }
  bool SingleStepEnabled() const { return RunEnabled(); }
  bool RewindEnabled() const { return RunEnabled(); }
  bool StopEnabled() const { return running_; }
  bool NewFileEnabled() const { return !running_; }
  bool QuitEnabled() const { return !running_; }  // the frame's close button always works
  bool ValuesEnabled() const { return !running_; }

  // The owner lets the window go after it closed.
  std::function<void()> onClosed;

 private:
  void ReplayChunk();
  void CloseFile();
  void AtEnd();
  void Refresh();
  void TellOwner();

  CMainFrame& frame_;
  std::ifstream file_;
  std::string title_;
  int rateMs_;
  int chunkSize_;
  bool running_ = false;
  bool shown_ = false;
  bool closed_ = false;
  // A chunk is being handed out: listeners may run nested loops meanwhile.
  bool replaying_ = false;
};

}  // namespace kx7
