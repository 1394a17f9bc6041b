// What the benchmarks that run the core against kx7emu share: the emulator program, and the
// program's main frame on a real-time loop with the emulated controller's pseudo-terminal as COM1
// and a settings folder of its own (removed at the end).
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>

#include "app/diagnostic_app.h"
#include "platform/console_ui_host.h"
#include "platform/real_time_loop.h"
#include "proto/controller_protocol.h"

namespace kx7::bench {

// KX7EMU, or emulator/kx7emu of this build tree.
inline std::string EmulatorPath() {
  if (const char* named = std::getenv("KX7EMU")) return named;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "kx7emu";
  return (self.parent_path().parent_path() / "emulator" / "kx7emu").string();
}

class EmulatedFrame {
 public:
  // `ptyPath` becomes COM1; false from Made() when no settings folder could be made.
  explicit EmulatedFrame(const std::string& ptyPath) : ui_(messages_) {
    std::string folder = (std::filesystem::temp_directory_path() / "kx7-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return;
    folder_ = folder;
    app_.ports.AddOverride("COM1=" + ptyPath);
    app_.flags.noSearch = 1;
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_;
    frame_ = app_.CreateMainFrame(loop_, ui_, environment);
    protocol_ = ProtocolOf(*frame_);
    if (!protocol_) protocol_ = &InstallControllerProtocol(*frame_);
  }
  ~EmulatedFrame() {
    if (frame_) loop_.Send(frame_->Id(), wm::kClose);
    frame_.reset();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  EmulatedFrame(const EmulatedFrame&) = delete;
  EmulatedFrame& operator=(const EmulatedFrame&) = delete;

  bool Made() const { return frame_ != nullptr; }
  const std::string& Folder() const { return folder_; }
  RealTimeLoop& Loop() { return loop_; }
  CMainFrame& Frame() { return *frame_; }
  ControllerProtocol& Protocol() { return *protocol_; }

 private:
  CDiagnosticApp app_;
  RealTimeLoop loop_;
  std::ostringstream messages_;
  ConsoleUiHost ui_;
  std::string folder_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

}  // namespace kx7::bench
