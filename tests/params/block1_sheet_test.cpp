// The Block1 sheet over emulated controllers and over blocks set by hand: which pages a family
// gets, fields that keep the bits they do not edit and never reach past the block, the frequency
// table, the Binary Edit page, and Apply with a new CommByte that moves the port along.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "controller/controller_types.h"
#include "params/block1_family_pages.h"
#include "params/block1_sheet.h"
#include "params/params_constants.h"
#include "params/speed_change.h"
#include "proto/protocol_fixture.h"
#include "proto/proto_constants.h"

namespace kx7 {
namespace {

class Block1SheetTest : public testing::ProtocolTest {
 protected:
  // A sheet over a Block1 set by hand (no link: nothing is written).
  std::unique_ptr<Block1Sheet> SheetOver(std::uint32_t type, std::vector<std::uint8_t> block, std::uint32_t features = 0) {
    Frame().ControllerType = type;
    Frame().ControllerFeatures = features;
    Frame().blocks.Store(block::kBlock1, std::move(block), 'A');
    return std::make_unique<Block1Sheet>(Frame(), Channel());
  }
  static std::size_t Field(Block1Page& page, const char* label) {
    const std::optional<std::size_t> index = page.FieldIndex(label);
    EXPECT_TRUE(index) << label;
    return index.value_or(0);
  }
};

TEST_F(Block1SheetTest, EachFamilyGetsItsPagesAfterBinaryEdit) {
  const struct {
    std::uint32_t type;
    std::uint32_t features;
    std::vector<std::string> pages;
  } cases[] = {
      {type::kHazel3, 0, {"Hazel3/Hornbeam", "More Hazel3/Hornbeam"}},
      {type::kUsb1, 0, {"Hazel3/Hornbeam", "More Hazel3/Hornbeam"}},
      {type::kHawthorn, 0, {"Hazel3/Hornbeam", "More Hazel3/Hornbeam", "Hawthorn"}},
      {type::kJuniper, 0, {"Juniper", "More Juniper"}},
      {type::kBirch, 0, {"Birch2 Olive (Hazel4)"}},
      {type::kAspen4, 0, {"Spindle", "More Spindle"}},
      {type::kBirchPen, 0, {"Birch2 (Aspen5)"}},
      {type::kResistive4Wire, 0, {"Whitebeam", "More Whitebeam"}},
      {type::kResistive5WireUsb, 0, {"Whitebeam"}},
      {type::kLarchUsb, 0, {"Larch"}},
      {type::kCedarGen4, 0, {}},
      {type::kBirch2Hid, 0x10, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Block1Sheet::PageTitles(c.type, c.features), c.pages) << c.type;
}

TEST_F(Block1SheetTest, BinaryEditShowsTheBlocksBytesOnlyAndSwitchesRadix) {
  std::vector<std::uint8_t> block(30, 0);
  block[0] = 0xF0;
  auto sheet = SheetOver(type::kCedarGen4, block);
  CBlock1Page1& binary = sheet->BinaryEdit();
  for (std::size_t box = 0; box < CBlock1Page1::kBoxes; ++box) EXPECT_EQ(binary.BoxEnabled(box), box < 30) << box;
  EXPECT_EQ(binary.boxes[0], "F0");
  EXPECT_EQ(binary.boxes[30], "");
  EXPECT_EQ(binary.revision, "A");
  binary.EditBox(1, "7f");
  binary.SetRadix(CBlock1Page1::Radix::kDecimal);
  EXPECT_EQ(binary.boxes[0], "240");
  EXPECT_EQ(binary.boxes[1], "127");
  binary.EditBox(2, "999");  // only the low byte is kept
  binary.EditBox(3, "x");    // does not read: the byte stays
  binary.EditBox(40, "1");   // past the block: nothing
  const std::vector<std::uint8_t> applied = binary.Applied();
  ASSERT_EQ(applied.size(), 30u);
  EXPECT_EQ(applied[1], 0x7F);
  EXPECT_EQ(applied[2], 999 & 0xFF);
  EXPECT_EQ(applied[3], 0);
  EXPECT_TRUE(binary.modified);
}

TEST_F(Block1SheetTest, BinaryEditReadsOnlyAFileOfTheBlocksLength) {
  auto sheet = SheetOver(type::kCedarGen4, std::vector<std::uint8_t>(30, 0x11));
  CBlock1Page1& binary = sheet->BinaryEdit();
  const std::string thirty = std::string(29 * 3, ' ');
  std::string good;
  for (int i = 0; i < 30; ++i) good += "2A ";
  EXPECT_FALSE(binary.LoadText(good.substr(0, 29 * 3), ui_)) << "29 bytes";
  EXPECT_FALSE(binary.LoadText(good + "2A", ui_)) << "31 bytes";
  EXPECT_FALSE(binary.LoadText(good.substr(0, 87) + "2X", ui_)) << "a digit that is not one";
  EXPECT_EQ(binary.Copy(), std::vector<std::uint8_t>(30, 0x11)) << "nothing changed";
  EXPECT_FALSE(binary.modified);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>(3, text::kInvalidFile));
  EXPECT_TRUE(binary.LoadText(good, ui_));
  EXPECT_EQ(binary.Copy(), std::vector<std::uint8_t>(30, 0x2A));
  EXPECT_EQ(binary.boxes[29], "2A");
  EXPECT_TRUE(binary.modified);
}

TEST_F(Block1SheetTest, Hazel3PagesKeepTheBitsTheyDoNotEdit) {
  std::vector<std::uint8_t> block(30, 0);
  block[19] = 0xC0;  // bits 6 and 7 belong to another control
  block[20] = 0xF7;
  block[22] = 0xC0;
  block[11] = 0x12;  // a frequency pair the table does not have
  block[14] = 0x34;
  auto sheet = SheetOver(type::kHazel3, block);
  sheet->Activate(1);
  Block1Page& page = *sheet->Pages()[1];
  const std::size_t frequency = Field(page, "Frequency");
  EXPECT_FALSE(page.fields[frequency].value) << "no frequency selected";
  page.SetValue(Field(page, "Format"), 2);
  page.SetValue(Field(page, "Mode"), 3);
  page.SetValue(Field(page, "Extended Integration"), 1);
  std::vector<std::uint8_t> applied = page.Applied();
  EXPECT_EQ(applied[19], 0xC0 | (2 << 2) | 3);
  EXPECT_EQ(applied[20], 0xFF);
  EXPECT_EQ(applied[11], 0x12) << "an unselected frequency writes nothing";
  EXPECT_EQ(applied[14], 0x34);
  EXPECT_FALSE(sheet->frequencyChanged);

  page.SetValue(frequency, 120);  // 100.0 kHz
  EXPECT_TRUE(sheet->frequencyChanged);
  applied = page.Applied();
  EXPECT_EQ(applied[11], 0x03);
  EXPECT_EQ(applied[14], 0xC0);

  sheet->Activate(2);
  Block1Page& more = *sheet->Pages()[2];
  EXPECT_EQ(more.Copy()[19], 0xC0 | (2 << 2) | 3) << "the edits of the page left stay";
  more.SetValue(Field(more, "Change Divisor"), 5);
  EXPECT_EQ(more.Applied()[22], 0xC0 | 5);
}

TEST_F(Block1SheetTest, FieldsNeverReachPastTheBlock) {
  // A 30-byte Aspen4 Block1: More Spindle's bytes 30 and 31 are not there.
  auto sheet = SheetOver(type::kAspen4, std::vector<std::uint8_t>(30, 0x21));
  sheet->Activate(2);
  Block1Page& page = *sheet->Pages()[2];
  const std::size_t fvr = Field(page, "FVR");
  const std::size_t divisor = Field(page, "Change Divisor");
  EXPECT_FALSE(page.fields[fvr].enabled);
  EXPECT_FALSE(page.fields[fvr].value);
  EXPECT_FALSE(page.fields[divisor].enabled);
  page.SetValue(fvr, 9);
  page.SetValue(Field(page, "Gain"), 4);
  const std::vector<std::uint8_t> applied = page.Applied();
  EXPECT_EQ(applied.size(), 30u);
  EXPECT_EQ(applied[26], 0x24);
}

TEST_F(Block1SheetTest, CancelPutsBackTheBlockLastRead) {
  auto sheet = SheetOver(type::kJuniper, std::vector<std::uint8_t>(30, 0));
  sheet->Activate(1);
  sheet->Pages()[1]->SetValue(0, 3);
  sheet->Activate(2);
  EXPECT_NE(Frame().blocks.Bytes(block::kBlock1), std::vector<std::uint8_t>(30, 0));
  EXPECT_TRUE(sheet->AnyModified());
  sheet->OnCancel();
  EXPECT_EQ(Frame().blocks.Bytes(block::kBlock1), std::vector<std::uint8_t>(30, 0));
}

TEST_F(Block1SheetTest, ANewSpeedOnTheBirchPageMovesThePortAfterTheWrite) {
  Attach(2, "birch");
  ASSERT_TRUE(Open(2));
  Frame().ControllerType = type::kBirch;
  Frame().ControllerFeatures = feature::kBirchFamily;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1)) << ui_.Report();
  ASSERT_EQ(Frame().blocks.Bytes(block::kBlock1)[10], 0x42) << "9600 baud, N,8,1";
  Block1Sheet sheet(Frame(), Channel());
  sheet.Activate(1);
  Block1Page& page = *sheet.Pages()[1];
  page.SetValue(Field(page, "Baud Rate"), 1);
  EXPECT_TRUE(sheet.commChanged);
  EXPECT_EQ(sheet.newPortSettings, "19200,N,8,1");
  const std::uint64_t start = loop_.Now();
  ASSERT_TRUE(sheet.Apply()) << ui_.Report();
  EXPECT_GE(loop_.Now() - start, kSpeedChangePauseMs + kClearFirstPauseMs + kClearSecondPauseMs);
  EXPECT_EQ(Frame().settings.MainPortSettings, "19200,N,8,1");
  EXPECT_EQ(Frame().serialPorts[0]->Settings(), "19200,N,8,1");
  EXPECT_FALSE(sheet.commChanged);
  EXPECT_FALSE(sheet.AnyModified());
  // The controller talks at its new speed, and the port with it.
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1, back)) << ui_.Report();
  EXPECT_EQ(back[10], 0x41);
}

TEST_F(Block1SheetTest, AFramingCodeWithoutASettingLeavesThePortAlone) {
  Attach(2, "birch");
  ASSERT_TRUE(Open(2));
  Frame().ControllerType = type::kBirch;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1));
  Block1Sheet sheet(Frame(), Channel());
  sheet.Activate(1);
  Block1Page& page = *sheet.Pages()[1];
  page.SetValue(Field(page, "Parameters"), 2);  // "---"
  EXPECT_FALSE(sheet.commChanged);
  EXPECT_TRUE(sheet.Apply()) << ui_.Report();
  EXPECT_EQ(Frame().serialPorts[0]->Settings(), "9600,N,8,1");
}

TEST_F(Block1SheetTest, TheRowanCheckWordIsStoredBeforeTheWrite) {
  Attach(2, "cedar-gen4");
  ASSERT_TRUE(Open(2));
  Frame().ControllerType = type::kCedarGen4;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1));
  Block1Sheet sheet(Frame(), Channel());
  sheet.BinaryEdit().EditBox(0, "99");
  ASSERT_TRUE(sheet.OnOk()) << ui_.Report();
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1, back));
  EXPECT_EQ(back[0], 0x99);
  EXPECT_EQ(back, Frame().blocks.Bytes(block::kBlock1));
}

}  // namespace
}  // namespace kx7
