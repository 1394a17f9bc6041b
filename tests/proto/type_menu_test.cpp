// The Type menu: its enabling by link and features, choosing a type by hand, the pen modes as
// commands, and Poll.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "protocol_fixture.h"

namespace kx7 {
namespace {

using testing::ProtocolTest;

class TypeMenuTest : public ProtocolTest {};

TEST_F(TypeMenuTest, WithoutALinkOnlyFindControllerIsEnabled) {
  CMainFrame& frame = Frame();
  for (std::uint32_t id = cmd::kTypeMenuFirst; id < cmd::kFindController; ++id)
    EXPECT_FALSE(frame.UpdateCommand(id).enabled) << id;
  EXPECT_TRUE(frame.UpdateCommand(cmd::kFindController).enabled);
}

TEST_F(TypeMenuTest, EnablingByLinkKind) {
  Attach(1, "cedar-gen4");
  ASSERT_TRUE(Open(1));
  CMainFrame& frame = Frame();
  EXPECT_TRUE(frame.UpdateCommand(type::kBirch).enabled) << "serial types on a serial link";
  EXPECT_FALSE(frame.UpdateCommand(type::kBirchUsb).enabled) << "USB driver types only on those links";
  EXPECT_FALSE(frame.UpdateCommand(type::kRowanGen4).enabled) << "HID types only on HID links";
  EXPECT_FALSE(frame.UpdateCommand(32877).enabled) << "no such type";
  EXPECT_FALSE(frame.UpdateCommand(kPenAuto).enabled) << "not a pen controller";
  frame.ControllerFeatures = feature::kPen;
  EXPECT_TRUE(frame.UpdateCommand(kPenPen).enabled);
  EXPECT_TRUE(frame.UpdateCommand(kPenAuto).checked);
}

struct ChosenType {
  std::uint32_t type;
  bool accepted;
  std::uint32_t features;
};

class ChoosingAType : public TypeMenuTest, public ::testing::WithParamInterface<ChosenType> {};

TEST_P(ChoosingAType, SetsTheTypeAndResetsTheFeatures) {
  Attach(1, "cedar-gen4");
  ASSERT_TRUE(Open(1));
  CMainFrame& frame = Frame();
  frame.ControllerType = type::kCedarGen4;
  frame.ControllerFeatures = 0xFFFF;
  frame.OnCommand(GetParam().type);
  EXPECT_EQ(frame.ControllerType, GetParam().accepted ? GetParam().type : type::kCedarGen4);
  EXPECT_EQ(frame.ControllerFeatures, GetParam().accepted ? GetParam().features : 0xFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Types, ChoosingAType,
                         ::testing::Values(ChosenType{type::kBirch, true, 0x10}, ChosenType{type::kBirchPen, true, 20},
                                           ChosenType{type::kAspen4, true, 4}, ChosenType{type::kJuniper, true, 8},
                                           ChosenType{type::kResistive5Wire, true, 8},
                                           ChosenType{type::kRowanGen3, true, 0}, ChosenType{type::kHazel3, true, 0},
                                           ChosenType{type::kBirch2Hid, false, 0},
                                           ChosenType{type::kLarchUsb, false, 0},
                                           ChosenType{type::kTouchInputFirst, false, 0}));

TEST_F(TypeMenuTest, PenModesGoOutAsCommandsAndPollIdentifies) {
  Attach(1, "birch-pen");
  ASSERT_TRUE(Open(1));
  CMainFrame& frame = Frame();
  frame.OnCommand(cmd::kPollControllerType);
  EXPECT_EQ(frame.ControllerType, type::kBirchPen);
  EXPECT_EQ(frame.PenMode, kPenAuto);
  EXPECT_TRUE(Protocol().info.Shown());
  EXPECT_EQ(Protocol().info.CloseButtonText(), "OK");
  frame.OnCommand(kPenPen);
  EXPECT_EQ(frame.PenMode, kPenPen);
  EXPECT_EQ(frame.TypeText(), "Birch PEN Pen");
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

}  // namespace
}  // namespace kx7
