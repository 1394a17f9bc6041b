// A main frame with the log installed, on virtual time, with scripted answers and a folder of
// its own for the files a test writes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "frame/main_frame.h"
#include "frame/messages.h"
#include "log/log_file.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace kx7 {

// A listener window that keeps the bytes the frame hands it.
struct ByteRecorder : Window {
  explicit ByteRecorder(MessageLoop& loop) : Window(loop) {}
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == msg::kListenerByte) bytes.push_back(static_cast<std::uint8_t>(wParam));
    return 0;
  }
  std::vector<std::uint8_t> bytes;
};

class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("kx7-log-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    log_ = &InstallLogging(*frame_);
  }
  void TearDown() override {
    frame_.reset();
    std::filesystem::remove_all(folder_);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::string Write(const std::string& name, const std::string& content) const {
    const std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  bool Command(std::uint32_t id) { return frame_->OnCommand(id); }
  bool Enabled(std::uint32_t id) const { return frame_->UpdateCommand(id).enabled; }

  // The window the user interface was asked to open last, as its class.
  template <class Kind>
  Kind* LastOpened() const {
    if (ui_.Opened().empty()) return nullptr;
    return dynamic_cast<Kind*>(loop_.Find(ui_.Opened().back().window));
  }

  std::filesystem::path folder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  std::unique_ptr<CMainFrame> frame_;
  LogFile* log_ = nullptr;
};

}  // namespace kx7
