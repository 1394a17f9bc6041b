// The Block7 sheet's copy of the exchange: runs of consecutive entries of memory 7 over the
// command set in slot 9 with an emulated Birch, the linear offsets of the link routes, and the
// Birch2 HID route with its pieces and untransferred entries.
#include "proto/block7_memory_exchange.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "proto/proto_constants.h"
#include "protocol_fixture.h"

namespace kx7 {
namespace {

using Entry = Block7MemoryExchange::Entry;
using Outcome = Block7MemoryExchange::Outcome;

std::vector<Entry> Entries(const std::vector<std::uint32_t>& addresses, std::uint8_t firstValue) {
  std::vector<Entry> entries;
  for (const std::uint32_t address : addresses)
    entries.push_back({address, static_cast<std::uint8_t>(firstValue + entries.size()), true});
  return entries;
}

TEST(Block7OffsetTest, AddressesBecomeLinearOffsets) {
  const struct {
    std::uint32_t address;
    std::optional<std::uint32_t> offset;
  } cases[] = {{0x000, 0},   {0x0F1, 0xF1},         {0x0F2, std::nullopt}, {0x1FF, std::nullopt},
               {0x200, 242}, {0x27D, 367},          {0x27E, std::nullopt}, {0x300, 368},
               {0x363, 467}, {0x364, std::nullopt}, {0x1000, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(Block7MemoryExchange::LinearOffset(c.address), c.offset) << c.address;
}

TEST(Block7OffsetTest, TheLinkRouteOnUsbLinksUnlessTheDriverPassesThrough) {
  EXPECT_FALSE(Block7MemoryExchange::UsesLinkRoute(3, type::kBirch, feature::kBirchFamily));
  EXPECT_TRUE(Block7MemoryExchange::UsesLinkRoute(link::kHid, type::kBirch2Hid, feature::kBirchFamily));
  EXPECT_TRUE(Block7MemoryExchange::UsesLinkRoute(link::kKxUsb, type::kBirchUsb, feature::kBirchFamily));
  EXPECT_FALSE(Block7MemoryExchange::UsesLinkRoute(link::kKxUsb, type::kBirchUsb, feature::kDriverPassThrough));
  EXPECT_FALSE(Block7MemoryExchange::UsesLinkRoute(link::kRivetwareUsb, type::kBirchUsbRom, 0x210));
}

class Block7SerialTest : public testing::ProtocolTest {
 protected:
  emu::InProcessSerialBackend& Connect(const std::string& family) {
    emu::InProcessSerialBackend& backend = Attach(3, family);
    EXPECT_TRUE(Open(3));
    Frame().ControllerType = type::kBirch;
    Frame().ControllerFeatures = feature::kBirchFamily;
    sheet_ = std::make_unique<Block7MemoryExchange>(Frame(), Channel(), Protocol().usb);
    sheet_->showProgress = [this](const std::string& text) { progress_.push_back(text); };
    sheet_->closeProgress = [this] { progress_.push_back("closed"); };
    return backend;
  }
  void TearDown() override {
    sheet_.reset();
    ProtocolTest::TearDown();
  }
  std::unique_ptr<Block7MemoryExchange> sheet_;
  std::vector<std::string> progress_;
};

TEST_F(Block7SerialTest, RunsOfConsecutiveEntriesOverTheCommandSet) {
  emu::InProcessSerialBackend& backend = Connect("birch");
  auto& memories = dynamic_cast<emu::EmulatedController&>(backend.Device()).Memories();
  std::vector<Entry> entries = Entries({0x000, 0x001, 0x002, 0x200, 0x201, 0x300}, 0x40);
  ASSERT_EQ(sheet_->Write(entries), Outcome::kDone);
  for (const Entry& e : entries) {
    EXPECT_FALSE(e.pending);
    EXPECT_EQ(memories.Cell(7, e.address), e.value) << e.address;
  }
  EXPECT_EQ(progress_, (std::vector<std::string>{"POKEing...", "closed"}));
  EXPECT_FALSE(Frame().listeners.IsActive(memory::kBlock7Slot));

  std::vector<Entry> read = Entries({0x000, 0x001, 0x002, 0x200, 0x201, 0x300}, 0);
  ASSERT_EQ(sheet_->Read(read), Outcome::kDone);
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].value, entries[i].value) << i;
    EXPECT_FALSE(read[i].pending);
  }
  // One entry moves without "Please Wait".
  progress_.clear();
  std::vector<Entry> one = Entries({0x010}, 0);
  ASSERT_EQ(sheet_->Read(one), Outcome::kDone);
  EXPECT_TRUE(progress_.empty());
}

// The sheet's copy has no time-out of its own in the original design; a silent controller would
// hold the sheet for ever, so the copy gives up after the exchange's five seconds too.
TEST_F(Block7SerialTest, ASilentControllerFailsTheRun) {
  Connect("silent");
  std::vector<Entry> entries = Entries({0x000, 0x001}, 0);
  EXPECT_EQ(sheet_->Read(entries), Outcome::kFailed);
  EXPECT_TRUE(entries[0].pending) << "nothing moved";
  EXPECT_FALSE(Frame().listeners.IsActive(memory::kBlock7Slot));
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

class Block7HidTest : public ::testing::Test {
 protected:
  Block7HidTest() {
    SetHidBackend(&hidBus_);
    lockFolder_ =
        std::filesystem::temp_directory_path() / ("kx7-block7-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockFolder_);
    emu::HidControllerOptions options;
    options.ownTouches = false;
    options.clock = [this] { return loop_.Now(); };
    auto controller = emu::CreateHidController("birch2-hid", options);
    EXPECT_TRUE(emu::AddToBackend(hidBus_, controller, "/dev/hidraw-block7"));
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ =
        std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch", "-noserial"}), environment);
    protocol_ = &InstallControllerProtocol(*frame_, LinkReaders::kPolled);
    const std::string id = controller->HardwareId();
    protocol_->finder.usbHardwareIds = [id] { return std::vector<std::string>{id}; };
    protocol_->usb->Hid().SetLockDirectory(lockFolder_.string());
    loop_.SetIdleWork([this] { return protocol_->usb->PollOnce(); });
    protocol_->finder.FindController(0, false);
    sheet_ = std::make_unique<Block7MemoryExchange>(*frame_, protocol_->channel, protocol_->usb);
  }
  ~Block7HidTest() override {
    sheet_.reset();
    loop_.SetIdleWork({});
    frame_.reset();
    SetHidBackend(nullptr);
    std::filesystem::remove_all(lockFolder_);
  }
  std::filesystem::path lockFolder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend hidBus_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
  std::unique_ptr<Block7MemoryExchange> sheet_;
};

TEST_F(Block7HidTest, EntriesGoByTheirLinearOffsets) {
  ASSERT_EQ(frame_->ControllerType, type::kBirch2Hid);
  std::vector<std::uint32_t> addresses;
  for (std::uint32_t a = 0x0E0; a <= 0x0F3; ++a) addresses.push_back(a);  // 0x0F2, 0x0F3 are not reached
  for (std::uint32_t a = 0x200; a < 0x250; ++a) addresses.push_back(a);   // 80 entries: two pieces
  std::vector<Entry> entries = Entries(addresses, 1);
  ASSERT_EQ(sheet_->Write(entries), Outcome::kDone);
  std::vector<Entry> read = Entries(addresses, 0);
  ASSERT_EQ(sheet_->Read(read), Outcome::kDone);
  for (std::size_t i = 0; i < read.size(); ++i) {
    const bool reached = Block7MemoryExchange::LinearOffset(addresses[i]).has_value();
    EXPECT_EQ(read[i].value, reached ? entries[i].value : 255) << addresses[i];
    EXPECT_FALSE(read[i].pending);
  }
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(Block7HidTest, AFailedPieceIsShownAndClosesTheSheet) {
  protocol_->usb->Hid().CloseHid();
  std::vector<Entry> entries = Entries({0x010, 0x011}, 0);
  ui_.ExpectMessage("Error Peek Frame [0,10,0,0,2]", Answer::kOk);
  EXPECT_EQ(sheet_->Read(entries), Outcome::kCloseSheet);
  ui_.ExpectMessage("Error Poke Packed Frame", Answer::kOk);
  EXPECT_EQ(sheet_->Write(entries), Outcome::kCloseSheet);
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{"Error Peek Frame [0,10,0,0,2]", "Error Poke Packed Frame"}));
}

}  // namespace
}  // namespace kx7
