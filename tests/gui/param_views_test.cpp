// The dialogs of the parameter blocks on emulated controllers: each shows its model, hands every
// edit to it, and Apply and OK reach the controller.
#include "block_editor_views.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "block1_sheet_view.h"
#include "block7_sheet_view.h"
#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "params/params_constants.h"
#include "proto/protocol_fixture.h"
#include "qt_ui_host.h"
#include "test_application.h"

namespace kx7 {
namespace {

class ParamViewsTest : public testing::ProtocolTest {
 protected:
  void SetUp() override { EnsureApplication(); }
  emu::EmulatedController& Connect(const std::string& family, std::uint32_t type, std::uint32_t features = 0) {
    emu::InProcessSerialBackend& backend = Attach(2, family);
    EXPECT_TRUE(Open(2));
    Frame().ControllerType = type;
    Frame().ControllerFeatures = features;
    return dynamic_cast<emu::EmulatedController&>(backend.Device());
  }
};

TEST_F(ParamViewsTest, EveryDialogOfTheBlocksHasAView) {
  RegisterParamViews();
  for (const char* kind : {"Block1Sheet", "Block7Sheet", "SerialNumber", "Block6", "Block8", "LarchBlock7",
                           "RegisterDump", "RowanDefaultParams"})
    EXPECT_TRUE(QtUiHost::HasDialogView(kind)) << kind;
}

TEST_F(ParamViewsTest, TheBlock1SheetOfABirchChangesTheSpeedOnApply) {
  Connect("birch", type::kBirch, feature::kBirchFamily);
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock1));
  Block1Sheet sheet(Frame(), Channel());
  Block1SheetView view(sheet);
  EXPECT_EQ(view.windowTitle(), QStringLiteral("Block1"));
  ASSERT_EQ(view.Tabs()->count(), 2);
  EXPECT_EQ(view.Tabs()->tabText(0), QStringLiteral("Binary Edit"));
  EXPECT_EQ(view.Tabs()->tabText(1), QStringLiteral("Birch2 Olive (Hazel4)"));
  EXPECT_TRUE(view.ByteBox(29)->isEnabled());
  EXPECT_FALSE(view.ByteBox(30)->isEnabled());
  EXPECT_EQ(view.ByteBox(10)->text(), QStringLiteral("42"));
  EXPECT_EQ(view.Revision()->text(), QStringLiteral("A"));
  EXPECT_FALSE(view.ApplyButton()->isEnabled());

  view.Tabs()->setCurrentIndex(1);
  auto* baud = qobject_cast<QComboBox*>(view.FieldControl(1, 0));
  ASSERT_NE(baud, nullptr);
  EXPECT_EQ(baud->currentText(), QStringLiteral("9600"));
  auto* framing = qobject_cast<QComboBox*>(view.FieldControl(1, 1));
  ASSERT_NE(framing, nullptr);
  EXPECT_EQ(framing->currentText(), QStringLiteral("8N1"));
  baud->setCurrentIndex(1);
  emit baud->activated(1);
  EXPECT_TRUE(view.ApplyButton()->isEnabled());
  view.ApplyButton()->click();
  EXPECT_EQ(Frame().serialPorts[0]->Settings(), "19200,N,8,1") << ui_.Report();
  EXPECT_FALSE(view.ApplyButton()->isEnabled());
  view.Tabs()->setCurrentIndex(0);
  EXPECT_EQ(view.ByteBox(10)->text(), QStringLiteral("41"));
}

TEST_F(ParamViewsTest, TheBlock7SheetReadsWhenShownAndWritesOnOk) {
  emu::EmulatedController& birch = Connect("birch", type::kBirch, feature::kBirchFamily);
  std::size_t top = 0;
  Block7Sheet sheet(Frame(), Channel(), Protocol().usb, top);
  Block7SheetView view(sheet);
  EXPECT_FALSE(view.ScrollBar()->isEnabled()) << "nothing read yet";
  view.ReadRows();
  EXPECT_TRUE(view.ScrollBar()->isEnabled());
  EXPECT_EQ(view.AddressBox(0)->text(), QStringLiteral("0000"));
  EXPECT_EQ(view.ValueBox(0)->text(), QStringLiteral("0081"));
  EXPECT_EQ(view.NameBox(0)->text(), QStringLiteral("Config.Flags"));
  EXPECT_FALSE(view.ApplyButton()->isEnabled());
  EXPECT_EQ(view.ThresholdText(CBlock7Page2::kTouch, 1)->text(), QStringLiteral(" 4pF"));
  EXPECT_EQ(view.FrequencyText(CBlock7Page3::kFreq)->text(), QStringLiteral(" 15527 Hz"));
  EXPECT_EQ(view.Orientation()->currentIndex(), 3);

  view.Tabs()->setCurrentIndex(Block7Sheet::kFilters);
  view.FilterBox(CBlock7Page4::kNoiseFilter)->setText(QStringLiteral("6"));
  emit view.FilterBox(CBlock7Page4::kNoiseFilter)->textEdited(QStringLiteral("6"));
  emit view.FilterBox(CBlock7Page4::kNoiseFilter)->editingFinished();
  EXPECT_EQ(view.FilterBox(CBlock7Page4::kNoiseFilter)->text(), QStringLiteral("0006"));
  EXPECT_TRUE(view.ApplyButton()->isEnabled());
  view.accept();
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(birch.Memories().Cell(7, 0x59), 6);
}

TEST_F(ParamViewsTest, Block6AndTheSerialNumberShowTheirBlocks) {
  Connect("cedar-gen4", type::kCedarGen4);
  ASSERT_TRUE(Channel().ReadBlock(block::kBlock6));
  int firstRow = 0;
  Block6Editor block6(Frame(), Channel(), firstRow);
  Block6View view6(block6);
  EXPECT_EQ(view6.windowTitle(), QStringLiteral("Block6"));
  EXPECT_EQ(view6.IndexLabel(0)->text(), QStringLiteral("00"));
  EXPECT_EQ(view6.NameLabel(4)->text(), QStringLiteral("suspend delay"));
  EXPECT_EQ(view6.ValueBox(4)->text(), QStringLiteral("10"));
  EXPECT_FALSE(view6.ValueBox(12)->isEnabled()) << "a 12-byte block in 16 rows";
  EXPECT_TRUE(view6.Baud()->isEnabled());
  EXPECT_EQ(view6.Baud()->currentText(), QStringLiteral("9600"));
  EXPECT_FALSE(view6.ApplyButton()->isEnabled());

  SerialNumberEditor serial(Frame(), Channel());
  ASSERT_TRUE(serial.Open());
  SerialNumberView serialView(serial);
  EXPECT_EQ(serialView.windowTitle(), QStringLiteral("Controller ID"));
  EXPECT_EQ(serialView.Box(2)->text(), QStringLiteral("E2"));
  serialView.Box(1)->setText(QStringLiteral("1G"));
  emit serialView.Box(1)->textEdited(QStringLiteral("1G"));
  emit serialView.Box(1)->editingFinished();
  EXPECT_EQ(serialView.Box(1)->text(), QStringLiteral("01")) << "not hexadecimal: back to what it showed";
}

TEST_F(ParamViewsTest, TheEventLogIsReadOnlyAndTheLarchBlock7PagesItsBytes) {
  Connect("larch", type::kLarch);
  Frame().blocks.Store(block::kEventLog, std::vector<std::uint8_t>(512, 0x01), 'A');
  int firstRow = 0;
  Block8Editor log(Frame(), Channel(), block::kEventLogRowCount, true, firstRow);
  Block8View logView(log);
  EXPECT_EQ(logView.windowTitle(), QStringLiteral("Event Log"));
  EXPECT_TRUE(logView.ValueBox(0)->isReadOnly());
  EXPECT_EQ(logView.Label(0)->text(), QStringLiteral("000:254"));
  EXPECT_FALSE(logView.ApplyButton()->isEnabled());

  ASSERT_TRUE(Channel().ReadBlock(block::kBlock7));
  LarchBlock7Editor larch(Frame(), Frame().blocks.Bytes(block::kBlock7));
  LarchBlock7View larchView(larch);
  EXPECT_EQ(larchView.windowTitle(), QStringLiteral("Block Edit"));
  EXPECT_EQ(larchView.PageLabel()->text(), QStringLiteral("1 of 1"));
  EXPECT_EQ(larchView.Heading(1)->text(), QStringLiteral("10"));
  EXPECT_EQ(larchView.ByteBox(0, 6)->text(), QStringLiteral("24")) << "the row count";
  EXPECT_FALSE(larchView.ByteBox(1, 5)->isEnabled()) << "byte 21 is past the block";

  RegisterDumpViewer registers(std::vector<std::uint8_t>(512, 0xAB));
  RegisterDumpView registersView(registers);
  EXPECT_TRUE(registersView.Text()->toPlainText().startsWith(QStringLiteral("000: AB AB")));
}

TEST_F(ParamViewsTest, RowanDefaultParamsShowsThePanelTypes) {
  Connect("cedar-gen4", type::kCedarGen4);
  RowanDefaultParams tool(Frame(), Protocol());
  tool.OnOpen();
  RowanDefaultParamsView view(tool);
  EXPECT_EQ(view.windowTitle(), QStringLiteral("Dialog"));
  EXPECT_EQ(view.ExistingPanel()->text(), QStringLiteral("KX7-PCAP-156W-G4"));
  EXPECT_FALSE(view.StartButton()->isEnabled());
  view.ClearParams()->setChecked(true);
  EXPECT_TRUE(view.StartButton()->isEnabled());
  EXPECT_FALSE(view.FileBox()->isEnabled());
}

}  // namespace
}  // namespace kx7
