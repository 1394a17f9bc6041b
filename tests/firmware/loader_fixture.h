// A loader dialog run unattended against an emulated controller on COM1, on virtual time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/controller.h"
#include "emulator/emulated_device.h"
#include "firmware/loader_dialog.h"
#include "proto/protocol_fixture.h"
#include "support/temp_folder.h"

namespace kx7::testing {

inline std::vector<std::uint8_t> Pattern(std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

class LoaderTest : public ProtocolTest {
 protected:
  // The controller of `family` on COM1 with its faults and options, the link open at its
  // settings, and the type and feature word identification would give.
  emu::EmulatedController& Controller(const std::string& family, std::uint32_t type, std::uint32_t features,
                                      emu::ControllerOptions options = {}) {
    auto controller = emu::EmulatedController::ForFamily(family, options);
    EXPECT_TRUE(controller) << family;
    emu::EmulatedController& made = *controller;
    const std::string line = controller->Line().ToString();
    Attach(1, std::move(controller));
    EXPECT_TRUE(Open(1, line));
    Frame().ControllerType = type;
    Frame().ControllerFeatures = features;
    return made;
  }

  std::string ImageFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.bin") {
    return folder_.Write(name, std::string(bytes.begin(), bytes.end())).string();
  }

  // Runs an automatic download of `path` with a new `Loader` to its end; `configure` sets its boxes.
  template <typename Loader>
  Loader& Run(const std::string& path, const std::function<void(Loader&)>& configure = {}) {
    auto loader = std::make_unique<Loader>(Frame(), Protocol());
    Loader& made = *loader;
    loader_ = std::move(loader);
    loader_->statusLine = [this](const std::string& text) { status_.push_back(text); };
    if (configure) configure(made);
    loader_->SetAutomatic(path);
    loader_->RunHeadless();
    loop_.Advance(200);  // what was sent last reaches the controller
    return made;
  }

  static std::vector<std::uint8_t> Memory(emu::EmulatedController& controller, int memory, std::size_t length) {
    std::vector<std::uint16_t> cells;
    EXPECT_TRUE(controller.Memories().Read(memory, 0, static_cast<std::uint32_t>(length), cells));
    return std::vector<std::uint8_t>(cells.begin(), cells.end());
  }

  // A new frame and controller for the next case (the loader goes first: it knows the frame).
  void Reset() {
    loader_.reset();
    status_.clear();
    ProtocolTest::TearDown();
  }
  void TearDown() override { Reset(); }

  TemporaryFolder folder_;
  std::unique_ptr<firmware::LoaderDialog> loader_;
  std::vector<std::string> status_;
};

}  // namespace kx7::testing
