// The Birch2 Block7 sheet on emulated Birch controllers of the three routes: the command set of a
// serial Birch, the Birch2 HID reports and the USB driver. The sheet reads every row when it is
// shown, writes them back on Apply, and keeps to the addresses the route can move.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "emulator/birch_usb_controller.h"
#include "emulator/controller.h"
#include "emulator/driver_rivetware_usb.h"
#include "emulator/factory_blocks.h"
#include "frame/command_ids.h"
#include "params/block7_sheet.h"
#include "params/block7_units.h"
#include "params/eep_file.h"
#include "params/param_commands.h"
#include "params/params_constants.h"
#include "platform/driver_device.h"
#include "proto/protocol_fixture.h"
#include "proto/proto_constants.h"
#include "proto/usb_fixture.h"

namespace kx7 {
namespace {

class Block7SerialSheetTest : public testing::ProtocolTest {
 protected:
  emu::EmulatedController& Birch() {
    emu::InProcessSerialBackend& backend = Attach(2, "birch");
    EXPECT_TRUE(Open(2));
    Frame().ControllerType = type::kBirch;
    Frame().ControllerFeatures = feature::kBirchFamily;
    return dynamic_cast<emu::EmulatedController&>(backend.Device());
  }
};

TEST_F(Block7SerialSheetTest, TheSheetReadsEveryRowAndWritesTheChangesBack) {
  emu::EmulatedController& birch = Birch();
  std::size_t top = 20;
  Block7Sheet sheet(Frame(), Channel(), Protocol().usb, top);
  EXPECT_TRUE(sheet.Modified()) << "a fresh table waits to be read";
  EXPECT_FALSE(sheet.ControlsEnabled());
  std::vector<std::string> progress;
  sheet.showProgress = [&](const std::string& text) { progress.push_back(text); };
  ASSERT_TRUE(sheet.OnShown()) << ui_.Report();
  EXPECT_EQ(progress, std::vector<std::string>{text::kPeeking});
  EXPECT_TRUE(sheet.ControlsEnabled());
  EXPECT_FALSE(sheet.Modified());
  EXPECT_EQ(sheet.BinaryEdit().TopRow(), 20u);
  const Block7Units units = ComputeBlock7Units(sheet.Table());
  EXPECT_EQ(units.touch.capacitance, std::string(" 4pF"));
  EXPECT_EQ(units.orientationText, std::string("LL  [3:00] not rotated"));
  EXPECT_EQ(sheet.BinaryEdit().SelfParamsValid(), true);

  sheet.Activate(Block7Sheet::kThresholds);
  sheet.Thresholds().Spin(CBlock7Page2::kTouch, -1);
  sheet.Activate(Block7Sheet::kOther);
  sheet.Other().SetOrientation(1);
  EXPECT_TRUE(sheet.Modified());
  ASSERT_TRUE(sheet.OnOk()) << ui_.Report();
  EXPECT_EQ(top, 20u);
  EXPECT_EQ(birch.Memories().Cell(7, 0x5B), 0x69) << "ThreshK 0x00540000 plus one picofarad: 0x00690000";
  EXPECT_EQ(birch.Memories().Cell(7, 0x201), 1);
  EXPECT_FALSE(sheet.Modified());
}

TEST_F(Block7SerialSheetTest, AnEepFileThatDoesNotReadWholeChangesNothing) {
  Birch();
  std::size_t top = 0;
  Block7Sheet sheet(Frame(), Channel(), Protocol().usb, top);
  ASSERT_TRUE(sheet.OnShown());
  const Block7Table before = sheet.Table();
  EXPECT_FALSE(sheet.LoadEepText("%\r\n7\t0000\t12\t%\tConfig.Flags\r\n7\tzzzz\t1\t%\tX\r\n"));
  EXPECT_FALSE(sheet.LoadEepText("no percent"));
  EXPECT_EQ(sheet.Table().Rows(), before.Rows());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>(2, text::kInvalidFile));
  EXPECT_TRUE(sheet.LoadEepText(WriteEepFile(before)));
  EXPECT_EQ(sheet.Table().Count(), 474u - 128u);
  EXPECT_TRUE(sheet.Modified()) << "rows from a file wait to be written";
}

TEST_F(Block7SerialSheetTest, ASilentControllerClosesTheSheetInsteadOfOfferingZeros) {
  Attach(3, "silent");
  ASSERT_TRUE(Open(3));
  Frame().ControllerType = type::kBirch;
  Frame().ControllerFeatures = feature::kBirchFamily;
  std::size_t top = 0;
  Block7Sheet sheet(Frame(), Channel(), Protocol().usb, top);
  EXPECT_FALSE(sheet.OnShown());
  EXPECT_TRUE(sheet.CloseRequested());
  EXPECT_FALSE(sheet.ControlsEnabled());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{text::kBlockReadFailed});
  EXPECT_FALSE(Frame().listeners.IsActive(memory::kBlock7Slot));
}

class Block7UsbSheetTest : public testing::UsbTest {
 protected:
  CommandChannel& Channel() { return Protocol().channel; }
};

TEST_F(Block7UsbSheetTest, TheBirch2HidMovesTheLinearMapAndLeavesTheRestAt255) {
  PlugHid("birch2-hid", "/dev/hidraw-b7");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().ControllerType, type::kBirch2Hid) << echo_.text;
  ParamCommands& commands = InstallParamCommands(Frame());
  EXPECT_TRUE(commands.Update(cmd::kBlock7Parameters).enabled);
  ui_.ExpectDialog("Block7Sheet", [](DialogModel& model) {
    auto& sheet = static_cast<Block7Sheet&>(model);
    EXPECT_TRUE(sheet.OnShown());
    const Block7Table& table = sheet.Table();
    EXPECT_EQ(table.Rows()[0xF2].value, 255) << "0x0F2 is not in the linear map";
    EXPECT_EQ(table.Rows()[0x5B].value, 0x54);
    EXPECT_EQ(table.Value16(eep::kSelfParamValid), 1u) << "0x362 is offset 466";
    EXPECT_FALSE(sheet.Modified());
    sheet.Filters().boxes[CBlock7Page4::kNoiseFilter] = "7";
    EXPECT_TRUE(sheet.Filters().TakeBoxes());
    sheet.Activate(Block7Sheet::kBinaryEdit);
    sheet.BinaryEdit().SetTopRow(30);
    return true;
  });
  Frame().OnCommand(cmd::kBlock7Parameters);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(commands.block7TopRow, 30u);
  // Read again: the new noise filter is in the controller.
  std::size_t top = 0;
  Block7Sheet again(Frame(), Channel(), Protocol().usb, top);
  ASSERT_TRUE(again.OnShown());
  EXPECT_EQ(again.Table().Value16(eep::kAlphaMax), 7u);
}

TEST_F(Block7UsbSheetTest, TheBirchUsbDriverRouteReadsTheSameCells) {
  auto controller = std::make_shared<emu::BirchUsbController>(emu::BirchUsbOptions{}, Clock());
  driverBackend_.AddDevice(RivetwareDriverDeviceName(0), std::make_shared<emu::RivetwareUsbDriver>(controller));
  Frame();
  ASSERT_TRUE(protocol_->usb->Driver().OpenRivetwareUsb(0));
  Frame().ControllerType = type::kBirchUsb;
  Frame().ControllerFeatures = feature::kBirchFamily;
  std::size_t top = 0;
  Block7Sheet sheet(Frame(), Channel(), Protocol().usb, top);
  ASSERT_TRUE(sheet.OnShown()) << ui_.Report();
  EXPECT_EQ(ComputeBlock7Units(sheet.Table()).penFreq.box, std::string("0098"));
  EXPECT_EQ(sheet.Table().Rows()[0x27E - 0x200 + 244].value, 255);
  sheet.Other().SetOrientation(0);
  ASSERT_TRUE(sheet.Apply()) << ui_.Report();
  Block7Sheet back(Frame(), Channel(), Protocol().usb, top);
  ASSERT_TRUE(back.OnShown());
  EXPECT_EQ(back.Other().Orientation(), 0);
}

}  // namespace
}  // namespace kx7
