// A test of the program's driver link over the simulated driver backend: a registry file of the
// test's own (removed afterwards), the link's log, and a listener for what its reader passes on.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "link/driver/driver_link.h"
#include "link/driver/fake_drivers.h"
#include "proto/protocol_fixture.h"

namespace kx7::testing {

class DriverLinkFixture : public ProtocolTest {
 protected:
  // `registryPrefix` starts the names of the test program's registry files.
  explicit DriverLinkFixture(const std::string& registryPrefix)
      : registryPath_(std::filesystem::temp_directory_path() /
                      (registryPrefix + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt")),
        registry_(registryPath_) {}

  // The link, made with `readers` at the first call.
  DriverLink& MakeLink(DriverLink::Readers readers) {
    if (!link_) {
      CMainFrame& frame = Frame();
      frame.terminalEcho = &echo_;
      link_ = std::make_unique<DriverLink>(frame, registry_, readers);
      frame.closeUsbLink = [this](int kind) { link_->Close(kind); };
    }
    return *link_;
  }
  // A new listener for the drawing slot, where the reader passes the controller's bytes.
  ListenerWindow& Listen() {
    listener_ = std::make_unique<ListenerWindow>(loop_);
    Frame().SetListener(slot::kDraw, listener_->Id());
    return *listener_;
  }

  void TearDown() override {
    loop_.SetIdleWork({});
    link_.reset();
    listener_.reset();
    ProtocolTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove(registryPath_, ignored);
  }

  SimulatedDriverBackend backend_;
  ScopedDriverBackend scope_{backend_};
  std::filesystem::path registryPath_;
  RegistryStore registry_;
  EchoRecorder echo_;
  std::unique_ptr<ListenerWindow> listener_;
  std::unique_ptr<DriverLink> link_;
};

}  // namespace kx7::testing
