// "More..." of the Controller Info window: the Larch USB error bit numbers and the Birch status
// words read from RAM memory 10 over the command set of an emulated Birch.
#include "proto/controller_more.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "proto/controller_info_window.h"
#include "proto/memory_exchange.h"
#include "protocol_fixture.h"

namespace kx7 {
namespace {

TEST(ControllerMoreTextTest, LarchErrorBitNumbers) {
  const struct {
    std::uint8_t byte3;
    std::uint8_t byte5;
    const char* text;
  } cases[] = {
      {0x00, 0x00, ""},     {0x00, 0x01, ""},  // bit 0 of byte 5 is no error
      {0x00, 0x83, "1 7 "}, {0x81, 0x00, "8 15 "}, {0xFF, 0xFE, "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 "},
      {0x02, 0x04, "2 9 "},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> status(28, 0);
    status[3] = c.byte3;
    status[5] = c.byte5;
    EXPECT_EQ(LarchErrorBitsText(status), std::optional<std::string>(c.text)) << int(c.byte3) << " " << int(c.byte5);
  }
  EXPECT_EQ(LarchErrorBitsText(std::vector<std::uint8_t>(5, 0xFF)), std::nullopt) << "too short for byte 5";
}

TEST(ControllerMoreTextTest, BirchStatusWordsAreTheLowBytesOfWordsZeroOneThreeFour) {
  const std::vector<std::uint8_t> bytes = {0xFF, 1, 0xFF, 2, 0xFF, 0xFF, 0xFF, 3, 0x01, 200};
  EXPECT_EQ(BirchStatusWordsText(bytes), std::optional<std::string>("Sui=1 Wdog=2 Dpar= 3 Ppar= 200"));
  EXPECT_EQ(BirchStatusWordsText(std::vector<std::uint8_t>(9, 0)), std::nullopt);
}

class ControllerMoreTest : public testing::ProtocolTest {
 protected:
  emu::InProcessSerialBackend& Connect(const std::string& family, std::uint32_t type, std::uint32_t features) {
    emu::InProcessSerialBackend& backend = Attach(3, family);
    EXPECT_TRUE(Open(3));
    Frame().ControllerType = type;
    Frame().ControllerFeatures = features;
    memory_ = std::make_unique<MemoryExchange>(Frame(), Channel(), Protocol().usb);
    Protocol().info.SetLine(ControllerInfoWindow::kErrors, "before");
    return backend;
  }
  void More() { RunControllerMore(Frame(), Protocol().info, *memory_, Protocol().usb); }
  const std::string& ErrorsLine() { return Protocol().info.LineText(ControllerInfoWindow::kErrors); }
  void TearDown() override {
    memory_.reset();
    ProtocolTest::TearDown();
  }
  std::unique_ptr<MemoryExchange> memory_;
};

TEST_F(ControllerMoreTest, BirchFamilyShowsItsStatusWordsFromMemoryTen) {
  emu::InProcessSerialBackend& backend = Connect("birch", type::kBirch, feature::kBirchFamily);
  auto& memories = dynamic_cast<emu::EmulatedController&>(backend.Device()).Memories();
  ASSERT_TRUE(memories.Write(10, 4230, {0x0102, 0x0304, 0x0506, 0x0708, 0x090A}));
  More();
  EXPECT_EQ(ErrorsLine(), "Sui=2 Wdog=4 Dpar= 8 Ppar= 10");
  EXPECT_EQ(memory_->Values().size(), 5u) << "five words over the command set";
}

TEST_F(ControllerMoreTest, AFailedReadLeavesTheLine) {
  Connect("silent", type::kBirch, feature::kBirchFamily);
  More();
  EXPECT_EQ(ErrorsLine(), "before");
}

TEST_F(ControllerMoreTest, OtherControllersShowNothingMore) {
  emu::InProcessSerialBackend& backend = Connect("cedar-gen4", type::kCedarGen4, 0);
  (void)backend;
  const std::uint64_t before = loop_.Now();
  More();
  EXPECT_EQ(ErrorsLine(), "before");
  EXPECT_EQ(loop_.Now(), before) << "nothing was asked";
}

// On the Birch2 HID controller the ten bytes come in one read by its memory code.
TEST(ControllerMoreHidTest, Birch2HidReadsTheTenBytesAtOnce) {
  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  PortDirectory ports;
  SimulatedHidBackend bus;
  SetHidBackend(&bus);
  const auto lockFolder = std::filesystem::temp_directory_path() / ("kx7-more-" + std::to_string(::getpid()));
  std::filesystem::create_directories(lockFolder);
  emu::HidControllerOptions options;
  options.ownTouches = false;
  options.clock = [&loop] { return loop.Now(); };
  auto controller = emu::CreateHidController("birch2-hid", options);
  ASSERT_TRUE(emu::AddToBackend(bus, controller, "/dev/hidraw-more"));
  {
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    CMainFrame frame(loop, ui, ports, ParseStartupFlags({"-nosearch", "-noserial"}), environment);
    ControllerProtocol& protocol = InstallControllerProtocol(frame, LinkReaders::kPolled);
    const std::string id = controller->HardwareId();
    protocol.finder.usbHardwareIds = [id] { return std::vector<std::string>{id}; };
    protocol.usb->Hid().SetLockDirectory(lockFolder.string());
    loop.SetIdleWork([&protocol] { return protocol.usb->PollOnce(); });
    protocol.finder.FindController(0, false);
    ASSERT_EQ(frame.ControllerType, type::kBirch2Hid);
    frame.ControllerFeatures |= feature::kBirchFamily;
    MemoryExchange memory(frame, protocol.channel, protocol.usb);
    const std::uint8_t status[10] = {0, 11, 0, 22, 0, 0, 0, 33, 0, 44};
    ASSERT_TRUE(memory.WriteMemory(10, 4230, 10, status));
    RunControllerMore(frame, protocol.info, memory, protocol.usb);
    EXPECT_EQ(protocol.info.LineText(ControllerInfoWindow::kErrors), "Sui=11 Wdog=22 Dpar= 33 Ppar= 44");
    EXPECT_EQ(memory.Values().size(), 10u);
    loop.SetIdleWork({});
  }
  SetHidBackend(nullptr);
  std::filesystem::remove_all(lockFolder);
}

}  // namespace
}  // namespace kx7
