// What the emulated controllers keep: their factory blocks with the family's fields, the Birch2
// parameter cells, the speed changes of Block1 and Block6, and the state that goes to a file and
// comes back in the next run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "controller_test_support.h"
#include "emulator/controller.h"
#include "emulator/controller_state.h"
#include "emulator/emulation_session.h"
#include "emulator/factory_blocks.h"
#include "emulator/hid_controller.h"

namespace kx7::emu {
namespace {

using testing::Command;
using testing::Drain;
using testing::kOk;
using testing::SendRaw;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

TEST(FactoryBlocksTest, TheBlocksHoldWhatTheFamilysPagesShow) {
  const auto cedar = EmulatedController::ForFamily("cedar-gen4");
  const std::vector<std::uint8_t>& block1 = *cedar->Parameters().Block(1);
  EXPECT_TRUE(BlockChecksumValid(block1));
  EXPECT_EQ(block1[0] | block1[1] << 8, 0x0045) << "the calibration extents";
  EXPECT_EQ((*cedar->Parameters().Block(6))[6] & 0x0F, 2) << "9600 baud in Block6";
  const auto hazel = EmulatedController::ForFamily("hazel3-linden");
  EXPECT_EQ((*hazel->Parameters().Block(1))[10], 0x82) << "9600 baud, N,7,2 in the CommByte";
  EXPECT_EQ((*hazel->Parameters().Block(1))[11], 0x03);
  const auto larch = EmulatedController::ForFamily("larch");
  EXPECT_EQ((*larch->Parameters().Block(7))[6], kLarchRows);
  const std::vector<std::uint8_t>& levels = *larch->Parameters().Block(8);
  EXPECT_EQ(levels[2 * (kLarchRows - 1)] | levels[2 * (kLarchRows - 1) + 1] << 8, 0x0180 + 3 * (kLarchRows - 1));
  EXPECT_EQ(levels[2 * kLarchRows], 0) << "no level past the rows";
  const auto birch = EmulatedController::ForFamily("birch");
  EXPECT_EQ(birch->Memories().Cell(7, 0x5B), 0x54) << "ThreshK";
  EXPECT_EQ(birch->Memories().Cell(7, 0x363), 0x01) << "SelfParam.Valid";
  EXPECT_EQ(birch->Memories().Cell(7, 0x3FF), 0xFF) << "past the table the EEPROM is erased";
}

TEST(ControllerSpeedTest, ANewBlock6SpeedTakesEffectAfterTheAcknowledgement) {
  auto cedar = EmulatedController::ForFamily("cedar-gen4");
  std::vector<std::uint8_t> block6 = *cedar->Parameters().Block(6);
  block6[6] = static_cast<std::uint8_t>((block6[6] & 0xF0) | 1);
  EXPECT_EQ(Command(*cedar, "SP6", 10), "\x01" "A\r");
  EXPECT_EQ(cedar->Line().baud, 9600);
  SendRaw(*cedar, Hex(block6) + "\r", 20);
  cedar->Advance(20);
  EXPECT_EQ(cedar->Line().baud, 9600) << "the acknowledgement still goes at the old speed";
  EXPECT_EQ(testing::AsText(cedar->TakeOutput()), kOk);
  EXPECT_EQ(cedar->Line().baud, 19200);
  // A code that names no speed changes none.
  block6[6] = static_cast<std::uint8_t>((block6[6] & 0xF0) | 9);
  Command(*cedar, "SP6", 30);
  SendRaw(*cedar, Hex(block6) + "\r", 40);
  EXPECT_EQ(Drain(*cedar, 40), kOk);
  EXPECT_EQ(cedar->Line().baud, 19200);
}

TEST(ControllerStateTest, TheStateComesBackWholeAndBadFilesAreRefused) {
  auto cedar = EmulatedController::ForFamily("cedar-gen4");
  std::vector<std::uint8_t> block1 = *cedar->Parameters().Block(1);
  block1[0] = 0x77;
  StoreBlockChecksum(block1);
  ASSERT_TRUE(cedar->Parameters().SetBlock(1, block1));
  ASSERT_TRUE(cedar->Parameters().SetValue(310, 0xCAFE));
  ASSERT_TRUE(cedar->Memories().Write(9, 0x10, {0xAB}));
  ControllerState state;
  state.family = "cedar-gen4";
  cedar->SaveState(state);
  std::string error;
  const std::optional<ControllerState> parsed = ControllerState::Parse(state.Text(), error);
  ASSERT_TRUE(parsed) << error;

  auto fresh = EmulatedController::ForFamily("cedar-gen4");
  fresh->LoadState(*parsed);
  EXPECT_EQ(*fresh->Parameters().Block(1), block1);
  EXPECT_EQ(fresh->Parameters().Value(310), 0xCAFEu);
  EXPECT_EQ(fresh->Memories().Cell(9, 0x10), 0xAB);
  EXPECT_EQ(fresh->Memories().Cell(9, 0x11), 0xFF);

  const struct {
    const char* text;
  } bad[] = {{""}, {"not a state\n"}, {"kx7emu-state cedar-gen4\ncontroller block x 00\n"},
             {"kx7emu-state cedar-gen4\ncontroller block 1 0G\n"}, {"kx7emu-state cedar-gen4\ncontroller sing 1 00\n"},
             {"kx7emu-state cedar-gen4\ncontroller memory 7 q 00\n"}};
  for (const auto& c : bad) EXPECT_FALSE(ControllerState::Parse(c.text, error)) << c.text;
}

TEST(ControllerStateTest, ASessionLoadsItsFileAndSavesItAtTheEnd) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("kx7-state-" + std::to_string(::getpid()) + ".txt");
  std::filesystem::remove(file);
  {
    auto hid = CreateHidController("larch-usb");
    ControllerState state;
    state.family = "larch-usb";
    hid->SaveState(state);
    state.sections[kControllerSection].blocks[7][6] = 40;
    std::string error;
    ASSERT_TRUE(WriteStateFile(file.string(), state, error)) << error;
  }
  std::string error;
  bool badUsage = false;
  bool rejected = false;
  // Another family's state is refused and the file stays as it was.
  EXPECT_FALSE(EmulationSession::Start("maple", "", error, badUsage, {file.string(), "", nullptr, std::nullopt}, &rejected));
  EXPECT_TRUE(rejected);
  EXPECT_NE(error.find("larch-usb"), std::string::npos) << error;
  {
    auto session = EmulationSession::Start("larch-usb", "", error, badUsage, {file.string(), "", nullptr, std::nullopt});
    ASSERT_TRUE(session) << error;
    ASSERT_NE(session->HidController(), nullptr);
    EXPECT_EQ((*session->HidController()->HostBlock(7))[6], 40);
  }
  const std::optional<ControllerState> saved = ReadStateFile(file.string(), "larch-usb", error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(saved->sections.at(kControllerSection).blocks.at(7)[6], 40);
  std::filesystem::remove(file);
  EXPECT_FALSE(ReadStateFile(file.string(), "larch-usb", error)) << "no file yet";
  EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace kx7::emu
