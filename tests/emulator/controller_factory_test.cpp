// The family list and the devices the factory makes, including the "silent" and "echo" lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller_test_support.h"
#include "emulator/emulated_device.h"
#include "emulator/family_profile.h"
#include "emulator/touch_profile.h"

namespace kx7::emu {
namespace {

using testing::Command;
using testing::kOk;

TEST(DeviceFactory, FamilyNamesInTheirOrder) {
  const std::vector<std::string> expected = {
      "cedar-gen2",      "cedar-gen3",      "cedar-gen4",    "birch",      "birch-rom",     "birch-pen",  "aspen4",
      "larch",           "larch-mt",        "hazel3-linden", "oem-linden", "hazel3-poplar", "oem-poplar", "juniper",
      "resistive-4wire", "resistive-5wire", "hazel2d",       "silent",     "echo"};
  EXPECT_EQ(FamilyNames(), expected);
}

TEST(DeviceFactory, EveryNameMakesADeviceThatIsPresent) {
  for (const std::string& name : FamilyNames()) {
    auto device = CreateDevice(name);
    ASSERT_TRUE(device) << name;
    EXPECT_TRUE(device->Present()) << name;
    EXPECT_EQ(device->NextEventMs(), kNever) << name << " has nothing to do before it hears something";
  }
}

TEST(DeviceFactory, UnknownNamesAndBadSettingsMakeNothing) {
  EXPECT_FALSE(CreateDevice("cedar-gen5"));
  EXPECT_FALSE(CreateDevice(""));
  EXPECT_FALSE(CreateDevice("Cedar-Gen4"));
  EXPECT_FALSE(CreateDevice("birch", "9600"));
  EXPECT_FALSE(CreateDevice("birch", "9600,X,8,1"));
  EXPECT_FALSE(CreateDevice("echo", "9600,N,9,1"));
  EXPECT_FALSE(CreateDevice("silent", "fast"));
}

struct LineCase {
  const char* family;
  const char* settings;
  LineSettings line;
};

class DeviceFactoryLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(DeviceFactoryLine, SettingsOrTheFamilyDefault) {
  auto device = CreateDevice(GetParam().family, GetParam().settings);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->Line(), GetParam().line);
}

const LineCase kLines[] = {
    {"cedar-gen4", "", {9600, 'N', 8, 1}},
    {"birch", "", {9600, 'N', 8, 1}},
    {"hazel3-linden", "", {9600, 'N', 7, 2}},
    {"oem-poplar", "", {9600, 'N', 7, 2}},
    {"hazel2d", "", {9600, 'N', 7, 2}},
    {"juniper", "", {9600, 'N', 8, 1}},
    {"cedar-gen2", "19200,N,7,2", {19200, 'N', 7, 2}},
    {"larch", "38400,e,8,1", {38400, 'E', 8, 1}},
    {"silent", "", {9600, 'N', 8, 1}},
    {"echo", "4800,O,7,1", {4800, 'O', 7, 1}},
};
INSTANTIATE_TEST_SUITE_P(Families, DeviceFactoryLine, ::testing::ValuesIn(kLines));

TEST(DeviceFactory, SilentLineNeverAnswers) {
  auto silent = CreateDevice("silent");
  EXPECT_EQ(Command(*silent, "Z", 10), "");
  EXPECT_EQ(Command(*silent, "OI", 20), "");
  silent->Advance(100000);
  EXPECT_TRUE(silent->TakeOutput().empty());
}

TEST(DeviceFactory, EchoLineReturnsEveryByte) {
  auto echo = CreateDevice("echo");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  testing::SendRaw(*echo, all, 5);
  EXPECT_EQ(echo->NextEventMs(), 5u);
  EXPECT_EQ(testing::AsText(echo->TakeOutput()), all);
  EXPECT_EQ(echo->NextEventMs(), kNever);
  EXPECT_EQ(Command(*echo, "Z", 6), "\x01Z\r") << "a ping comes back as itself, not as SOH \"0\" CR";
}

TEST(DeviceFactory, ControllerFromTheFactoryAnswersAtItsSettings) {
  auto device = CreateDevice("resistive-4wire", "2400,N,8,1");
  ASSERT_TRUE(device);
  EXPECT_EQ(Command(*device, "Z", 10), kOk);
  EXPECT_EQ(Command(*device, "UT", 20).substr(1, 4), "YZR4");
}

// Touches of the controller's own over a stretch of time, pumped the way a transport does it.
std::string Pump(EmulatedDevice& device, std::uint64_t from, std::uint64_t to) {
  std::string all;
  for (std::uint64_t t = from; t <= to; t += 10) all += testing::Drain(device, t);
  return all;
}

bool HasReportStart(const std::string& bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) & 0x80) return true;
  return false;
}

TEST(DeviceFactory, TheHandWaitsForTheHostToFallSilent) {
  for (const std::string& name : ControllerFamilyNames()) {
    auto device = CreateDevice(name);
    ASSERT_TRUE(device) << name;
    EXPECT_EQ(Pump(*device, 0, 30000), "") << name << ": nobody touches before the host has looked";
    // A search pings at some speed, then at another; while it goes on the hand keeps off.
    EXPECT_EQ(Command(*device, "Z", 30000), kOk) << name;
    EXPECT_EQ(Pump(*device, 30010, 30000 + kHandsOffMs - 10), "") << name;
    EXPECT_EQ(Command(*device, "Z", 32000), kOk) << name;
    EXPECT_EQ(Pump(*device, 32010, 32000 + kHandsOffMs - 10), "") << name << ": the hold starts again";
    EXPECT_TRUE(HasReportStart(Pump(*device, 32000 + kHandsOffMs, 90000))) << name << ": then it strokes";
  }
}

TEST(DeviceFactory, NoTouchesOfItsOwnWithoutTheHand) {
  auto device = CreateDevice("cedar-gen4", "", false);
  ASSERT_TRUE(device);
  EXPECT_EQ(Command(*device, "Z", 10), kOk);
  EXPECT_EQ(Pump(*device, 20, 90000), "");
  const std::string signals = Command(*device, "FR", 90000) + Pump(*device, 90010, 90100);
  EXPECT_EQ(signals.substr(0, 3), kOk) << "the touch side is there all the same";
  EXPECT_TRUE(HasReportStart(signals.substr(3))) << "signal records stream without a touch";
}

struct TouchCase {
  const char* family;
  ControllerOptions options;
  int contacts;
  bool z;
  bool pen;
  SignalFormat signals;
};

class FamilyTouchSide : public ::testing::TestWithParam<TouchCase> {};

TEST_P(FamilyTouchSide, FollowsWhatTheHostDecodesForTheType) {
  const TouchCase& c = GetParam();
  const FamilyProfile* family = FindFamilyProfile(c.family);
  ASSERT_TRUE(family);
  const TouchReportConfig config = TouchConfigFor(ApplyOptions(*family, c.options), true);
  EXPECT_EQ(config.contacts, c.contacts);
  EXPECT_EQ(config.supportsZ, c.z);
  EXPECT_EQ(config.supportsPen, c.pen);
  EXPECT_EQ(config.signals, c.signals);
  EXPECT_TRUE(config.autoStroke);
}

ControllerOptions MultiContact() {
  ControllerOptions options;
  options.multiContactMode2 = true;
  return options;
}

const TouchCase kTouchSides[] = {
    {"cedar-gen2", {}, 1, false, false, SignalFormat::kFourChannel},
    {"cedar-gen4", {}, 1, true, false, SignalFormat::kFourChannel},
    {"cedar-gen4", MultiContact(), 2, true, false, SignalFormat::kFourChannel},
    {"birch", {}, 1, true, false, SignalFormat::kCornerIq},
    {"birch-pen", {}, 1, true, true, SignalFormat::kCornerIq},
    {"aspen4", {}, 1, true, true, SignalFormat::kCornerIq},
    {"larch", {}, 1, false, false, SignalFormat::kNone},
    {"larch-mt", {}, 2, false, false, SignalFormat::kNone},
    {"hazel3-linden", {}, 1, false, false, SignalFormat::kCorner10},
    {"oem-poplar", {}, 1, false, false, SignalFormat::kCorner10},
    {"resistive-5wire", {}, 1, false, false, SignalFormat::kCornerIq},
};
INSTANTIATE_TEST_SUITE_P(Families, FamilyTouchSide, ::testing::ValuesIn(kTouchSides));

}  // namespace
}  // namespace kx7::emu
