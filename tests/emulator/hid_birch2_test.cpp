// The emulated Birch2 HID controller: its identity and status records, block transfers in the
// controller's byte order, memories, the stream reports, the command answers and refusal of
// malformed reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/hid_birch2_controller.h"
#include "emulator/hid_controller.h"
#include "hid_test_support.h"
#include "link/hid/hid_reports.h"

namespace kx7::emu {
namespace {

using hid_testing::Bytes;
using hid_testing::QuietOptions;
using hid_testing::VirtualClock;
using hid_testing::Word;
using Block = std::vector<std::uint8_t>;

// The test's own pair swap, written apart from the controller's and the program's.
Block Swapped(Block bytes, std::size_t count) {
  for (std::size_t i = 1; i < count && i < bytes.size(); i += 2) {
    const std::uint8_t first = bytes[i - 1];
    bytes[i - 1] = bytes[i];
    bytes[i] = first;
  }
  return bytes;
}

kx7::HidReport Command(std::initializer_list<std::uint8_t> afterId) {
  kx7::HidReport report = Bytes(8, {16});
  std::size_t i = 1;
  for (const std::uint8_t byte : afterId) report.at(i++) = byte;
  return report;
}

class Birch2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    controller = CreateHidController("birch2-hid", QuietOptions(clock));
    ASSERT_TRUE(controller);
    birch2 = dynamic_cast<Birch2HidController*>(controller.get());
    ASSERT_NE(birch2, nullptr);
  }

  // The host's block write: Block4 swapped whole first, then, for every block but 5, the first 50
  // bytes of the report's copy swapped in pairs.
  bool HostWrite(std::uint8_t code, int block, const Block& data) {
    Block ordered = block == 4 ? Swapped(data, data.size()) : data;
    kx7::HidReport report = Bytes(72, {32, 32, code, 0, 0, 0, static_cast<std::uint8_t>(ordered.size())});
    std::copy(ordered.begin(), ordered.end(), report.begin() + 8);
    if (block != 5) {
      Block copy(report.begin() + 8, report.end());
      copy = Swapped(copy, 50);
      std::copy(copy.begin(), copy.end(), report.begin() + 8);
    }
    return controller->OnSetFeature(report);
  }

  std::optional<Block> RawRead(std::uint8_t code, std::size_t length, std::uint16_t address = 0) {
    if (!controller->OnSetFeature(Command({22, code, 0, static_cast<std::uint8_t>(address & 0xFF),
                                           static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(length)})))
      return std::nullopt;
    const auto answer = controller->OnGetFeature(32, 72);
    if (!answer || answer->size() != 72) return std::nullopt;
    return Block(answer->begin() + 8, answer->begin() + 8 + static_cast<std::ptrdiff_t>(length));
  }

  // The host's block read: Block2 swapped back after it arrives.
  std::optional<Block> HostRead(std::uint8_t code, int block, std::size_t length) {
    auto raw = RawRead(code, length);
    if (raw && block == 2) *raw = Swapped(*raw, raw->size());
    return raw;
  }

  VirtualClock clock;
  std::shared_ptr<EmulatedHidController> controller;
  Birch2HidController* birch2 = nullptr;
};

TEST_F(Birch2Test, IdentityAndStatusRecords) {
  const auto identity = controller->OnGetFeature(129, 26);
  ASSERT_TRUE(identity);
  ASSERT_EQ(identity->size(), 26u);
  const auto parsed = hid::ParseBirch2IdentityRecord(*identity);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->typeLetters[0], 'A');
  EXPECT_EQ(parsed->versionMajor, 2);
  EXPECT_EQ(parsed->cstPartNumber, 0x2468);
  EXPECT_EQ(parsed->cdePartNumber, 0x12345678u);
  EXPECT_EQ(parsed->maxParamWrite, 64);
  EXPECT_TRUE(parsed->revC);
  EXPECT_EQ(identity->at(5) & 0x01, 0) << "capacitive";
  EXPECT_NE(identity->at(5) & 0x10, 0) << "two touches";

  const auto status = controller->OnGetFeature(128, 20);
  ASSERT_TRUE(status);
  ASSERT_EQ(status->size(), 20u);
  EXPECT_EQ(status->at(3), hid::kBirch2StateReady);
  EXPECT_EQ(Word(*status, 1), 0);
  EXPECT_EQ(Word(*status, 9), 0);

  const auto strays = controller->OnGetFeature(144, 40);
  ASSERT_TRUE(strays);
  ASSERT_EQ(strays->size(), 40u);
  EXPECT_EQ(static_cast<std::int16_t>(Word(*strays, 12)), -815);
  EXPECT_FALSE(controller->OnGetFeature(4, 16)) << "the Birch2 HID has no generic record";
}

// A host write followed by a host read gives the host's bytes back for every block; the bytes the
// controller sends for Block2 are the host's bytes swapped in pairs, for the others as written.
TEST_F(Birch2Test, BlocksRoundTripInTheControllersByteOrder) {
  struct Case {
    std::uint8_t code;
    int block;
    std::size_t length;
  };
  const Case cases[] = {{17, 1, 26}, {18, 2, 50}, {20, 4, 60}, {48, 5, 4}, {22, 6, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(hid::HidBlockLength(32874, c.block), c.length);
    EXPECT_EQ(HostRead(c.code, c.block, c.length), controller->HostBlock(c.block)) << "factory content";
    Block data(c.length);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0x10 * c.block + i);
    ASSERT_TRUE(HostWrite(c.code, c.block, data));
    EXPECT_EQ(HostRead(c.code, c.block, c.length), data);
    EXPECT_EQ(RawRead(c.code, c.length), c.block == 2 ? Swapped(data, data.size()) : data);
    EXPECT_EQ(birch2->StoredBlock(c.block), RawRead(c.code, c.length));
    EXPECT_EQ(controller->HostBlock(c.block), data);
  }
  // The program's own conversions agree.
  Block block4(60);
  for (std::size_t i = 0; i < block4.size(); ++i) block4[i] = static_cast<std::uint8_t>(i * 3);
  const Block toController = hid::Birch2BlockToController(4, block4);
  kx7::HidReport report = Bytes(72, {32, 32, 20, 0, 0, 0, 60});
  std::copy(toController.begin(), toController.end(), report.begin() + 8);
  ASSERT_TRUE(controller->OnSetFeature(report));
  EXPECT_EQ(hid::Birch2BlockFromController(4, *RawRead(20, 60)), block4);
}

TEST_F(Birch2Test, RestoreDefaultsAndMemories) {
  const auto factory = controller->HostBlock(1);
  ASSERT_TRUE(HostWrite(17, 1, Block(26, 0xAB)));
  ASSERT_TRUE(controller->OnSetFeature(Command({19, 0, 0})));
  EXPECT_EQ(controller->HostBlock(1), factory);

  // Memory 9 (the firmware image) takes pieces at any address.
  kx7::HidReport poke = Bytes(72, {32, 32, 9, 0, 0x00, 0x40, 3, 0, 'a', 'b', 'c'});
  ASSERT_TRUE(controller->OnSetFeature(poke));
  EXPECT_EQ(RawRead(9, 3, 0x4000), (Block{'a', 'b', 'c'}));
  EXPECT_EQ(RawRead(10, 4, 455), (Block{'0', '4', '9', ' '})) << "the REVC marker of the ASIC";
  // A part of a block, as the memory route reads it.
  const Block block1 = *controller->HostBlock(1);
  EXPECT_EQ(RawRead(17, 4, 22), Block(block1.begin() + 22, block1.end()));
}

TEST_F(Birch2Test, StreamsCommandAnswersAndPenFinger) {
  EXPECT_FALSE(controller->OnGetFeature(5, 35)) << "the stream is off";
  const auto idleText = controller->OnGetFeature(3, 17);
  ASSERT_TRUE(idleText);
  EXPECT_EQ(idleText->size(), 17u);
  EXPECT_EQ(idleText->at(2), 0);
  ASSERT_TRUE(controller->OnSetFeature(Command({16, 2, 0})));
  EXPECT_EQ(birch2->StreamMode(), 2);
  const auto idle = controller->OnGetFeature(5, 35);
  ASSERT_TRUE(idle);
  ASSERT_EQ(idle->size(), 35u);
  controller->WithTouches([](TouchSource& t) { t.Place({0, 0}, true); });
  const auto touched = controller->OnGetFeature(5, 35);
  ASSERT_TRUE(touched);
  const auto ulI = [](const kx7::HidReport& r) {
    return static_cast<std::int32_t>(Word(r, 3) | (static_cast<std::uint32_t>(Word(r, 5)) << 16));
  };
  EXPECT_GT(ulI(*touched), ulI(*idle)) << "a finger at the UL corner raises its signal";
  const auto text = controller->OnGetFeature(3, 17);
  ASSERT_TRUE(text);
  EXPECT_EQ(std::string(text->begin() + 3, text->begin() + 3 + text->at(2)), "0000,0000\r");
  ASSERT_TRUE(controller->OnSetFeature(Command({16, 0, 0})));
  EXPECT_FALSE(controller->OnGetFeature(5, 35));

  ASSERT_TRUE(controller->OnSetFeature(Command({23, 5, 0x42})));
  ASSERT_TRUE(controller->OnSetFeature(Command({21, 5, 9})));
  const auto answer = controller->OnGetFeature(16, 8);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->at(1), 0x42);
  EXPECT_EQ(answer->at(2), 9);

  ASSERT_TRUE(controller->OnSetFeature(Command({24, 0, 2})));
  EXPECT_FALSE(birch2->Pen());
  EXPECT_TRUE(birch2->Finger());
  ASSERT_TRUE(controller->OnSetFeature(Command({24, 1, 3})));
  EXPECT_TRUE(birch2->Pen());

  ASSERT_TRUE(controller->OnSetFeature(Command({16, 2, 0})));
  ASSERT_TRUE(controller->OnSetFeature(Command({18, 1})));
  EXPECT_EQ(controller->Restarts().size(), 1u);
  EXPECT_EQ(birch2->StreamMode(), 0) << "the firmware starts again with its stream off";
}

TEST_F(Birch2Test, MalformedReportsAreRefused) {
  const kx7::HidReport bad[] = {
      Bytes(7, {16, 16, 2}),                     // short
      Command({40}),                             // unknown code
      Command({16, 4}),                          // no such stream mode
      Command({18, 6}),                          // REBOOT ALT is a generic controller's
      Command({22, 99, 0, 0, 0, 4}),             // no memory 99
      Command({22, 17, 0, 0, 0, 27}),            // past Block1
      Command({22, 17, 0, 26, 0, 1}),            // starts past Block1
      Command({22, 9, 0, 0, 0, 65}),             // more than one answer holds
      Command({22, 9, 0, 0xFF, 0xFF, 2}),        // past the memory
      Command({22, 9, 0, 0, 0, 0}),              // nothing
      Command({24, 0, 3}),                       // "both" carries 1
      Command({24, 1, 4}),
      Bytes(72, {32, 32, 17, 0, 0, 0, 27}),      // past Block1
      Bytes(40, {32, 32, 9, 0, 0, 0, 40}),       // data past the report
      Bytes(72, {32, 33, 17, 0, 0, 0, 26}),      // report 32 with another code
      Bytes(8, {3, 7, 1}),                       // a generic command
  };
  for (const kx7::HidReport& report : bad)
    EXPECT_FALSE(controller->OnSetFeature(report)) << ::testing::PrintToString(report);
  EXPECT_FALSE(controller->OnGetFeature(32, 72)) << "GET_PARAM before SET_PARAM_INDEX";
  EXPECT_FALSE(controller->OnGetFeature(77, 72));
  EXPECT_TRUE(controller->Restarts().empty());
}

}  // namespace
}  // namespace kx7::emu
