// A main frame with the protocol on virtual time and the USB side in-process: an HID bus the
// emulated HID controllers are plugged into, a driver backend for the emulated drivers, the
// polled readers run as the loop's idle work, and the terminal's echo (the request and search
// logs) recorded.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "frame/frame_constants.h"
#include "frame/main_frame.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"

namespace kx7::testing {

// What the terminal is shown as sent data.
struct EchoRecorder : TerminalEcho {
  std::string text;
  void EchoChar(char c) override { text.push_back(c); }
};

// A window that takes every message and does nothing (a listener slot's owner).
struct StandInWindow : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

class UsbTest : public ::testing::Test {
 protected:
  UsbTest() : drivers_(driverBackend_) {
    SetHidBackend(&hidBus_);
    lockFolder_ = std::filesystem::temp_directory_path() /
                  ("kx7-usb-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockFolder_);
  }
  ~UsbTest() override {
    loop_.SetIdleWork({});
    frame_.reset();
    SetHidBackend(nullptr);
    std::filesystem::remove_all(lockFolder_);
  }

  std::function<std::uint64_t()> Clock() {
    return [this] { return loop_.Now(); };
  }

  // An emulated HID controller of `family` on the bus under `path`, its hardware id listed.
  std::shared_ptr<emu::EmulatedHidController> PlugHid(const std::string& family, const std::string& path) {
    emu::HidControllerOptions options;
    options.ownTouches = false;
    options.clock = Clock();
    auto controller = emu::CreateHidController(family, options);
    EXPECT_TRUE(controller) << family;
    EXPECT_TRUE(emu::AddToBackend(hidBus_, controller, path));
    hardwareIds_.push_back(controller->HardwareId());
    return controller;
  }

  // More work of the loop's idle time (the emulated devices' own clocks).
  virtual void IdleWork() {}

  CMainFrame& Frame() {
    if (frame_) return *frame_;
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch", "-noserial"}), environment);
    protocol_ = &InstallControllerProtocol(*frame_, LinkReaders::kPolled);
    protocol_->finder.usbHardwareIds = [this] { return hardwareIds_; };
    protocol_->usb->Hid().SetLockDirectory(lockFolder_.string());
    frame_->terminalEcho = &echo_;
    frame_->settings.Options.LoopbackSentChars = true;
    frame_->SetListener(slot::kTerminal, terminal_.Id());
    loop_.SetIdleWork([this] {
      IdleWork();
      return protocol_->usb->PollOnce();
    });
    return *frame_;
  }

  ControllerProtocol& Protocol() {
    Frame();
    return *protocol_;
  }

  std::filesystem::path lockFolder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend hidBus_;
  SimulatedDriverBackend driverBackend_;
  ScopedDriverBackend drivers_;
  std::vector<std::string> hardwareIds_;
  EchoRecorder echo_;
  StandInWindow terminal_{loop_};
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

}  // namespace kx7::testing
