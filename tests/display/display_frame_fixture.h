// A frame with the protocol, the launcher and the Format commands, and a recording controller on
// COM1 (in-process), for the display tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "controller/controller_types.h"
#include "display/format_commands.h"
#include "display/terminal_wnd.h"
#include "emulator/emulated_device.h"
#include "emulator/in_process_backend.h"
#include "frame/command_ids.h"
#include "frame/tools_launcher.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"

namespace kx7::testing {

namespace fs = std::filesystem;

// A controller that acknowledges every frame and keeps what it got.
class Recorder : public emu::EmulatedDevice {
 public:
  emu::LineSettings Line() const override { return {}; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    for (std::size_t i = 0; i < count; ++i) {
      received += static_cast<char>(bytes[i]);
      if (bytes[i] == '\r') out_ += "\x01" "0\r";
    }
  }
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return emu::kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> out(out_.begin(), out_.end());
    out_.clear();
    return out;
  }
  std::string received;

 private:
  std::string out_;
};

class DisplayFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kx7-terminal-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    auto device = std::make_unique<Recorder>();
    recorder_ = device.get();
    backend_ = std::make_unique<emu::InProcessSerialBackend>(std::move(device));
    ASSERT_TRUE(backends_.Attach(ports_, 1, *backend_));
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    frame_->serialPorts[0]->UseBackends(&backends_);
    InstallControllerProtocol(*frame_);
    launcher_ = &InstallToolsLauncher(*frame_);
    format_ = &InstallFormatCommands(*frame_);
    ASSERT_TRUE(frame_->serialPorts[0]->OpenPort(1));
    frame_->LinkKind = 1;
    frame_->ControllerType = type::kBirch;
  }
  void TearDown() override {
    frame_.reset();
    fs::remove_all(folder_);
  }
  CTerminalWnd& OpenTerminal() {
    frame_->OnCommand(cmd::kTerminal);
    CTerminalWnd* terminal = launcher_->Terminal();
    EXPECT_TRUE(terminal);
    terminal->FirstPaint();
    return *terminal;
  }
  void Receive(const std::vector<std::uint8_t>& bytes) { frame_->DispatchBytes(bytes.data(), bytes.size()); }
  std::vector<std::string> Rows(const CTerminalWnd& terminal) const {
    std::vector<std::string> rows;
    for (int row = 0; row < terminal.Text().RowCount(); ++row) rows.emplace_back(terminal.Text().Row(row));
    return rows;
  }

  fs::path folder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SerialBackendTable backends_{loop_};
  Recorder* recorder_ = nullptr;
  std::unique_ptr<emu::InProcessSerialBackend> backend_;
  std::unique_ptr<CMainFrame> frame_;
  ToolsLauncher* launcher_ = nullptr;
  FormatCommands* format_ = nullptr;
};


}  // namespace kx7::testing
