// The emulated HID controllers on the program's HID link, as Find Controller connects them: the
// program identifies each family as the family it is, and reads and writes its blocks (with the
// Birch2 byte order and the Maple/Larch write status) through its own link.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "frame/main_frame.h"
#include "hid_test_support.h"
#include "platform/hid_device.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"
#include "proto/usb_links.h"

namespace kx7::emu {
namespace {

class HidOnTheLink : public ::testing::Test {
 protected:
  HidOnTheLink() {
    lockDirectory_ = std::filesystem::temp_directory_path() /
                     ("kx7-emuhid-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockDirectory_);
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    protocol_ = &InstallControllerProtocol(*frame_, LinkReaders::kPolled);
    protocol_->usb->Hid().SetBackend(&backend_);
    protocol_->usb->Hid().SetLockDirectory(lockDirectory_.string());
    loop_.SetIdleWork([this] { return protocol_->usb->PollOnce(); });
  }
  ~HidOnTheLink() override {
    loop_.SetIdleWork({});
    frame_.reset();
    std::filesystem::remove_all(lockDirectory_);
  }

  std::shared_ptr<EmulatedHidController> Plug(const std::string& family, HidControllerOptions options) {
    options.ownTouches = false;
    options.clock = [this] { return loop_.Now(); };
    auto controller = CreateHidController(family, std::move(options));
    EXPECT_TRUE(controller);
    EXPECT_TRUE(AddToBackend(backend_, controller, "sim:" + family));
    return controller;
  }

  bool Connect(const EmulatedHidController& controller) {
    return protocol_->usb->ConnectByType(static_cast<std::uint32_t>(controller.Family().typeId),
                                         controller.Family().product, false);
  }

  std::filesystem::path lockDirectory_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend backend_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
};

TEST_F(HidOnTheLink, EachFamilyIsIdentifiedAsItself) {
  struct Case {
    std::string family;
    std::uint32_t connectAs;  // the type Find Controller connects by
    std::uint32_t type;       // the type identification arrives at
    std::uint32_t features;
    std::string oiPart;  // a piece of the OI line
  };
  const std::vector<Case> cases = {
      {"rowan-usb-gen2", 32873, 32873, 0, "(OS0212)"},
      {"rowan-usb-gen3", 32873, 32876, 0x1000, "(OS0310)"},
      {"rowan-usb-gen4", 32883, 32883, 0x1000, "(WZ0401)"},
      {"larch-usb", 32881, 32881, 0x2000 | 0x4000, "Type: LU v3.05"},
      {"larch-usb-0500", 32878, 32878, 0x2000 | 0x4000, "Type: LU v3.05"},
      {"maple", 32880, 32880, 0, "Type: MP v1.02"},
      {"birch2-hid", 32874, 32874, 0x10, "CDE(12345678) CST(2468)"},
      {"resistive-usb-4wire", 32869, 32869, 0x28, "Type: Y4 v2.10"},
      {"resistive-usb-5wire", 32871, 32871, 0x08, "Type: Y5 v2.10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    auto controller = Plug(c.family, {});
    frame_->ControllerType = c.connectAs;
    ASSERT_TRUE(Connect(*controller));
    EXPECT_EQ(frame_->ControllerType, c.type);
    EXPECT_EQ(frame_->ControllerFeatures, c.features);
    EXPECT_NE(protocol_->info.LineText(ControllerInfoWindow::kOi).find(c.oiPart), std::string::npos)
        << protocol_->info.LineText(ControllerInfoWindow::kOi);
    EXPECT_FALSE(frame_->passThrough) << "identification leaves the pass-through";
    frame_->closeUsbLink(frame_->LinkKind);
    RemoveFromBackend(backend_, "sim:" + c.family);
  }
}

TEST_F(HidOnTheLink, BlocksThroughTheProgramsLink) {
  for (const std::string family : {"birch2-hid", "larch-usb", "maple", "rowan-usb-gen3"}) {
    SCOPED_TRACE(family);
    auto controller = Plug(family, {});
    frame_->ControllerType = static_cast<std::uint32_t>(controller->Family().typeId);
    ASSERT_TRUE(Connect(*controller));
    HidLink& link = protocol_->usb->Hid();
    for (const auto& [number, length] : controller->Family().blocks) {
      if (number >= 81) continue;
      SCOPED_TRACE(number);
      std::vector<std::uint8_t> read;
      ASSERT_TRUE(link.HidReadBlock(number, read));
      EXPECT_EQ(read, controller->HostBlock(number));
      std::vector<std::uint8_t> data(length);
      for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<std::uint8_t>(0xA0 + 3 * i + number);
      ASSERT_TRUE(link.HidWriteBlock(number, data));
      EXPECT_EQ(controller->HostBlock(number), data);
      ASSERT_TRUE(link.HidReadBlock(number, read));
      EXPECT_EQ(read, data);
    }
    frame_->closeUsbLink(frame_->LinkKind);
    RemoveFromBackend(backend_, "sim:" + family);
  }
}

TEST_F(HidOnTheLink, AWriteToALarchThatStaysBusyFails) {
  HidControllerOptions options;
  options.writeStatus = {1};
  auto controller = Plug("larch-usb", options);
  frame_->ControllerType = 32881;
  ASSERT_TRUE(Connect(*controller));
  const auto before = controller->HostBlock(1);
  EXPECT_FALSE(protocol_->usb->Hid().HidWriteBlock(1, std::vector<std::uint8_t>(26, 0x55)));
  EXPECT_EQ(controller->HostBlock(1), before);
}

}  // namespace
}  // namespace kx7::emu
