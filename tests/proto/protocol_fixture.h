// A main frame with the controller protocol installed, on virtual time, with emulated devices
// attached in-process as COM ports.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "emulator/emulated_device.h"
#include "emulator/in_process_backend.h"
#include "frame/main_frame.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"

namespace kx7::testing {

class ProtocolTest : public ::testing::Test {
 protected:
  // The frame, made on first use so a test can attach devices and choose switches first.
  CMainFrame& Frame(const std::vector<std::string>& switches = {"-nosearch"}) {
    if (!frame_) {
      CMainFrame::Environment environment;
      environment.settingsFolder = "/nonexistent-kx7-settings";
      frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags(switches), environment);
      frame_->serialPorts[0]->UseBackends(&backends_);
      protocol_ = &InstallControllerProtocol(*frame_);
      protocol_->finder.usbHardwareIds = [] { return std::vector<std::string>{}; };
    }
    return *frame_;
  }
  ControllerProtocol& Protocol() {
    Frame();
    return *protocol_;
  }
  CommandChannel& Channel() { return Protocol().channel; }

  // Attaches a device as COM `number`; returns its backend (to look at the wire).
  emu::InProcessSerialBackend& Attach(int number, std::unique_ptr<emu::EmulatedDevice> device) {
    devices_.push_back(std::make_unique<emu::InProcessSerialBackend>(std::move(device)));
    EXPECT_TRUE(backends_.Attach(ports_, number, *devices_.back()));
    return *devices_.back();
  }
  emu::InProcessSerialBackend& Attach(int number, const std::string& family, const std::string& settings = "") {
    auto device = emu::CreateDevice(family, settings, false);
    EXPECT_TRUE(device) << family;
    return Attach(number, std::move(device));
  }

  // Opens COM `number` as the controller link at `settings`.
  bool Open(int number, const std::string& settings = "9600,N,8,1") {
    CMainFrame& frame = Frame();
    frame.settings.MainPortSettings = settings;
    frame.serialPorts[0]->SetSettings(settings);
    if (!frame.serialPorts[0]->OpenPort(number)) return false;
    frame.LinkKind = number;
    return true;
  }

  void TearDown() override {
    frame_.reset();
    devices_.clear();
  }

  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SerialBackendTable backends_{loop_};
  std::vector<std::unique_ptr<emu::InProcessSerialBackend>> devices_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

inline std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace kx7::testing
