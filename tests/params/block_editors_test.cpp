// The small editors with emulated controllers: the serial number on a serial and on a HID link,
// Block6 with its names and its speed code, Block8 and the event log, the Larch block-7 editor,
// and the Data menu commands that open them.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "frame/command_ids.h"
#include "params/block6_editor.h"
#include "params/block8_editor.h"
#include "params/block8_file.h"
#include "params/larch_block7_editor.h"
#include "params/param_commands.h"
#include "params/params_constants.h"
#include "params/radix_text.h"
#include "params/serial_number_editor.h"
#include "proto/protocol_fixture.h"
#include "proto/proto_constants.h"
#include "proto/usb_fixture.h"

namespace kx7 {
namespace {

class SerialEditorsTest : public testing::ProtocolTest {
 protected:
  emu::EmulatedController& Connect(const std::string& family, std::uint32_t type, int port = 2) {
    emu::InProcessSerialBackend& backend = Attach(port, family);
    Frame().CloseLink();
    EXPECT_TRUE(Open(port));
    Frame().ControllerType = type;
    return dynamic_cast<emu::EmulatedController&>(backend.Device());
  }
};

TEST_F(SerialEditorsTest, SerialNumberBoxesAreCheckedInOrder) {
  emu::EmulatedController& cedar = Connect("cedar-gen4", type::kCedarGen4);
  SerialNumberEditor editor(Frame(), Channel());
  ASSERT_TRUE(editor.Open());
  EXPECT_EQ(editor.boxes, (std::array<std::string, 4>{"00", "01", "E2", "40"})) << "the block's order on a serial link";
  editor.boxes = {"", "1G", "FFF", "7"};
  editor.CheckBoxes();
  EXPECT_EQ(editor.boxes, (std::array<std::string, 4>{"00", "01", "FFF", "7"}))
      << "an empty box becomes 00; 1G gets back 01 and the check stops there";
  editor.boxes = {"12", "34", "56", "78"};
  ASSERT_TRUE(editor.OnOk()) << ui_.Report();
  EXPECT_EQ(*cedar.Parameters().Block(5), (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78}));
}

TEST_F(SerialEditorsTest, Block6ShowsTheFamilysNamesAndDotsBeyondThem) {
  Connect("cedar-gen4", type::kCedarGen4);
  Frame().blocks.Store(block::kBlock6, std::vector<std::uint8_t>(30, 1), 'A');
  int firstRow = 0;
  Block6Editor editor(Frame(), Channel(), firstRow);
  EXPECT_EQ(editor.RowsShown(), 16);
  EXPECT_EQ(editor.Names()[0], "CPT0CN reg");
  EXPECT_EQ(editor.Names()[25], "");
  EXPECT_EQ(editor.Names()[26], ".");
  EXPECT_EQ(editor.Names()[29], ".");
  editor.SetFirstRow(100);
  EXPECT_EQ(editor.FirstRow(), 14) << "the last page";
  EXPECT_EQ(editor.RowIndex(0), "14");
  EXPECT_TRUE(editor.BaudEnabled());
  EXPECT_EQ(editor.BaudIndex(), 1);
}

// The speed code of byte 6: a code with a speed moves the port along after the write; a code
// without one, or the same speed, writes and waits as usual.
TEST_F(SerialEditorsTest, Block6SpeedCodesOfTheSerialCedar) {
  const struct {
    int code;
    const char* settings;
  } cases[] = {{1, "19200,N,8,1"}, {2, "9600,N,8,1"}, {9, "9600,N,8,1"}};
  int port = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Connect("cedar-gen4", type::kCedarGen4, port++);
    ASSERT_TRUE(Channel().ReadBlock(block::kBlock6));
    int firstRow = 0;
    Block6Editor editor(Frame(), Channel(), firstRow);
    std::vector<std::uint8_t> bytes = editor.Bytes();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0xF0) | c.code);
    editor.SetBytes(bytes);
    ASSERT_TRUE(editor.Apply()) << ui_.Report();
    EXPECT_EQ(Frame().serialPorts[0]->Settings(), c.settings);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(Channel().ReadBlock(block::kBlock6, back)) << ui_.Report();
    EXPECT_EQ(back[6] & 0x0F, c.code);
  }
}

TEST_F(SerialEditorsTest, Block6FilesOfAnotherLengthOrDamagedChangeNothing) {
  Connect("cedar-gen4", type::kCedarGen4);
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock6));
  int firstRow = 0;
  Block6Editor editor(Frame(), Channel(), firstRow);
  const std::vector<std::uint8_t> before = editor.Bytes();
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"00 02 A\r\na 1\r\nb 2\r\n", text::kInvalidFile},
      {"00 0C A\r\na 1\r\n", text::kUnexpectedEof},
      {"00 0C A\r\na 1\r\nb 2\r\nc 3\r\nd 4\r\ne 5\r\nf 6\r\ng 7\r\nh 8\r\ni 9\r\nj 10\r\nk 11\r\nl x\r\n",
       text::kInvalidFile},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(editor.LoadText(c.text)) << c.text;
    EXPECT_EQ(editor.Bytes(), before);
    EXPECT_FALSE(editor.ApplyEnabled());
    ASSERT_FALSE(ui_.MessageTexts().empty());
    EXPECT_EQ(ui_.MessageTexts().back(), c.message);
  }
  EXPECT_TRUE(editor.LoadText("00 0C Z\r\na 1\r\nb 2\r\nc 3\r\nd 4\r\ne 5\r\nf 6\r\ng 2\r\nh 8\r\ni 9\r\nj 10\r\nk 11\r\n 12\r\n"));
  EXPECT_EQ(editor.status, "Z");
  EXPECT_EQ(editor.Names()[11], "");
  EXPECT_EQ(editor.Bytes()[11], 12);
  EXPECT_TRUE(editor.ApplyEnabled());
}

TEST_F(SerialEditorsTest, Block8LabelsCountTheRowsFromTheOtherEnd) {
  Connect("larch", type::kLarch);
  Frame().blocks.Store(block::kBlock8, std::vector<std::uint8_t>(512, 0), 'A');
  int firstRow = 0;
  Block8Editor editor(Frame(), Channel(), 100, false, firstRow);
  EXPECT_EQ(editor.Label(0), "000:099");
  editor.SetFirstRow(90);
  EXPECT_EQ(editor.Label(9), "099:000");
  EXPECT_EQ(editor.Label(10), " ");
  editor.SetFirstRow(300);
  EXPECT_EQ(editor.FirstRow(), 240);
}

TEST_F(SerialEditorsTest, Block8WritesTheValuesLowByteFirst) {
  emu::EmulatedController& larch = Connect("larch", type::kLarch);
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock8)) << ui_.Report();
  int firstRow = 0;
  Block8Editor editor(Frame(), Channel(), 24, false, firstRow);
  EXPECT_EQ(editor.boxes[0], "384") << "the factory level of row 0, 0x0180";
  editor.EditBox(1, "4660");
  ASSERT_TRUE(editor.ApplyEnabled());
  ASSERT_TRUE(editor.Apply()) << ui_.Report();
  EXPECT_EQ((*larch.Parameters().Block(8))[2], 0x34);
  EXPECT_EQ((*larch.Parameters().Block(8))[3], 0x12);
  // A short file changes none of the rows.
  std::string short255;
  for (int i = 0; i < 255; ++i) short255 += "7\r\n";
  EXPECT_FALSE(editor.LoadText(short255));
  EXPECT_EQ(editor.Values()[1], 0x1234);
  EXPECT_EQ(ui_.MessageTexts().back(), text::kUnexpectedEof);
}

TEST_F(SerialEditorsTest, TheLarchBlock7EditorPagesItsBytes) {
  std::vector<std::uint8_t> block(150);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  LarchBlock7Editor editor(Frame(), block);
  EXPECT_EQ(editor.PageText(), "1 of 2");
  EXPECT_EQ(editor.ColumnHeading(7), "70");
  EXPECT_EQ(editor.ByteOf(2, 3), 35u);
  EXPECT_EQ(editor.boxes[2 * 16 + 3], "35");
  editor.boxes[0] = "200";
  editor.NextPage();
  EXPECT_EQ(editor.PageText(), "2 of 2");
  EXPECT_EQ(editor.ColumnHeading(1), "90");
  EXPECT_TRUE(editor.BoxEnabled(1, 5));
  EXPECT_FALSE(editor.BoxEnabled(1, 6)) << "byte 150 is past the block";
  editor.NextPage();
  EXPECT_EQ(editor.PageText(), "2 of 2");
  EXPECT_EQ(editor.Buffer()[0], 200);
  EXPECT_FALSE(editor.LoadText("01 02 ")) << "two bytes for a block of 150";
  EXPECT_EQ(editor.Buffer().size(), 150u);
}

class UsbEditorsTest : public testing::UsbTest {
 protected:
  CommandChannel& Channel() { return Protocol().channel; }
};

TEST_F(UsbEditorsTest, TheSerialNumberShowsReversedOnAHidLinkAndIsWrittenInItsOrder) {
  auto controller = PlugHid("rowan-usb-gen4", "/dev/hidraw-serial");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().LinkKind, link::kHid) << echo_.text;
  SerialNumberEditor editor(Frame(), Channel());
  ASSERT_TRUE(editor.Open());
  const std::vector<std::uint8_t> stored = *controller->HostBlock(5);
  EXPECT_EQ(editor.boxes[0], ByteText(stored[3], true));
  EXPECT_EQ(editor.boxes[3], ByteText(stored[0], true));
  editor.boxes = {"78", "56", "34", "12"};
  ASSERT_TRUE(editor.OnOk()) << ui_.Report();
  EXPECT_EQ(*controller->HostBlock(5), (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78}));
}

TEST_F(UsbEditorsTest, TheEventLogIsShownButNeverWrittenToBlock8) {
  auto controller = PlugHid("larch-usb", "/dev/hidraw-events");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().ControllerType, type::kLarchUsb) << echo_.text;
  const std::vector<std::uint8_t> block8 = *controller->HostBlock(8);
  ParamCommands& commands = InstallParamCommands(Frame());
  EXPECT_TRUE(commands.Update(cmd::kReadEventLog).enabled);
  ui_.ExpectDialog("Block8", [](DialogModel& model) {
    auto& editor = static_cast<Block8Editor&>(model);
    EXPECT_EQ(editor.Title(), "Event Log");
    EXPECT_EQ(editor.Values()[0], 0x0101);
    EXPECT_EQ(editor.Label(254), "254:000");
    editor.EditBox(0, "1");
    editor.boxes[0] = "1";
    EXPECT_FALSE(editor.ApplyEnabled());
    EXPECT_FALSE(editor.Apply());
    return true;
  });
  Frame().OnCommand(cmd::kReadEventLog);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(*controller->HostBlock(8), block8);
  EXPECT_EQ(*controller->HostBlock(82), Frame().blocks.Bytes(82));
}

TEST_F(UsbEditorsTest, ALarchBlock6IsWrittenAndReadBackOverHid) {
  auto controller = PlugHid("larch-usb", "/dev/hidraw-block6");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().ControllerType, type::kLarchUsb) << echo_.text;
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock6));
  int firstRow = 0;
  Block6Editor editor(Frame(), Channel(), firstRow);
  EXPECT_EQ(editor.Names()[0], "pwm_period_lsb") << "the Spruce model's names";
  EXPECT_FALSE(editor.BaudEnabled());
  EXPECT_EQ(editor.FrequencyText(), "121212 Hz") << "8 MHz / (0x40 + 2)";
  editor.boxes[2] = "99";
  ASSERT_TRUE(editor.OnOk()) << ui_.Report();
  EXPECT_EQ((*controller->HostBlock(6))[2], 99);
}

}  // namespace
}  // namespace kx7
