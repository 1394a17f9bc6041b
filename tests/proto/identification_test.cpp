// Identification over the command set of every emulated serial family, and the lines it leaves in
// the Controller Info window.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "emulator/family_profile.h"
#include "protocol_fixture.h"

namespace kx7 {
namespace {

using testing::ProtocolTest;

class IdentificationTest : public ProtocolTest {
 protected:
  // Attaches the controller as COM1 at its own settings and identifies it.
  ControllerIdentifier& Identify(std::unique_ptr<emu::EmulatedController> controller) {
    const std::string settings = controller->Line().ToString();
    Attach(1, std::move(controller));
    EXPECT_TRUE(Open(1, settings));
    EXPECT_TRUE(Protocol().identifier.IdentifyController());
    return Protocol().identifier;
  }
  const std::string& Line(int line) { return Protocol().info.LineText(line); }
};

TEST_F(IdentificationTest, EveryEmulatedFamilyIsItself) {
  for (const std::string& name : emu::ControllerFamilyNames()) {
    SCOPED_TRACE(name);
    TearDown();
    protocol_ = nullptr;
    const emu::FamilyProfile* profile = emu::FindFamilyProfile(name);
    ASSERT_TRUE(profile);
    Identify(emu::EmulatedController::ForFamily(name));
    EXPECT_EQ(Frame().ControllerType, static_cast<std::uint32_t>(profile->typeId));
    EXPECT_EQ(Frame().ControllerFeatures, profile->features);
    EXPECT_TRUE(ui_.MessageTexts().empty());
  }
}

TEST_F(IdentificationTest, CedarGen4LinesPanelIdAndContactMode) {
  emu::ControllerOptions options;
  options.multiContactMode2 = true;
  ControllerIdentifier& identifier = Identify(emu::EmulatedController::ForFamily("cedar-gen4", options));
  EXPECT_EQ(Frame().ControllerType, type::kCedarGen4);
  EXPECT_EQ(Frame().ControllerFeatures, feature::kMultiContact);
  EXPECT_EQ(Frame().MultiTouchMode, 2);
  EXPECT_EQ(Line(ControllerInfoWindow::kOi).rfind("DSP OI:   WZ0401", 0), 0u) << Line(ControllerInfoWindow::kOi);
  EXPECT_EQ(Line(ControllerInfoWindow::kUv).rfind("Panel ID:   ", 0), 0u) << Line(ControllerInfoWindow::kUv);
  EXPECT_EQ(Line(ControllerInfoWindow::kPort), "COM1,9600,N,8,1");
  EXPECT_EQ(identifier.TypeText(), "Cedar GEN4");
  EXPECT_EQ(Line(ControllerInfoWindow::kBaseType), "Cedar GEN4");
}

TEST_F(IdentificationTest, AnInvalidPanelStatusShowsInvalid) {
  emu::ControllerOptions options;
  options.statusPair = "08";
  Identify(emu::EmulatedController::ForFamily("cedar-gen3", options));
  EXPECT_EQ(Line(ControllerInfoWindow::kUv), "ID:   Invalid");
  EXPECT_EQ(Line(ControllerInfoWindow::kErrors), "QPARAM ");
}

TEST_F(IdentificationTest, HapticBirchGets510) {
  emu::ControllerOptions options;
  options.haptic = true;
  ControllerIdentifier& identifier = Identify(emu::EmulatedController::ForFamily("birch", options));
  EXPECT_EQ(Frame().ControllerType, type::kBirch);
  EXPECT_EQ(Frame().ControllerFeatures, 0x510u);
  EXPECT_EQ(identifier.TypeText(), "Birch2 HAP ");
}

TEST_F(IdentificationTest, NothingAnswersStaysGenericWithEmptyLines) {
  Attach(1, "silent");
  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(Protocol().identifier.IdentifyController());
  EXPECT_EQ(Frame().ControllerType, type::kGeneric);
  EXPECT_EQ(Frame().ControllerFeatures, 0u);
  EXPECT_EQ(Line(ControllerInfoWindow::kOi), "OI:   ");
  EXPECT_EQ(Line(ControllerInfoWindow::kNm), "NM: ");
  EXPECT_EQ(Protocol().identifier.Replies().oi, std::vector<std::uint8_t>(20, 0));
}

TEST_F(IdentificationTest, ACedarFoundAt115200IsTakenOutOfPassThrough) {
  auto controller = emu::EmulatedController::ForFamily("cedar-gen2");
  emu::EmulatedController& cedar = *controller;
  Attach(1, std::move(controller));
  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(Channel().EnterPassThrough('D')) << "MPD";
  // The program forgets the pass-through (a new session) and finds the controller at 115200.
  Frame().passThrough = false;
  ASSERT_TRUE(cedar.InPassThrough());
  ASSERT_TRUE(Protocol().identifier.IdentifyController());
  EXPECT_FALSE(Frame().passThrough);
  EXPECT_EQ(Frame().settings.MainPortSettings, "9600,N,8,1");
  loop_.Advance(50);
  EXPECT_FALSE(cedar.InPassThrough()) << "DLE EOT reached the controller";
}

}  // namespace
}  // namespace kx7
