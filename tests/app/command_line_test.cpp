#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace kx7 {
namespace {

struct SwitchCase {
  std::vector<std::string> arguments;
  std::int32_t StartupFlags::*member;  // the flag that must be set, or nullptr for none
  std::int32_t download;
  std::int32_t downloadScope;
  std::string downloadFile;
};

class StartupSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(StartupSwitches, SetExactlyTheirFlags) {
  const SwitchCase& c = GetParam();
  const StartupFlags flags = ParseStartupFlags(c.arguments);
  const std::vector<std::int32_t StartupFlags::*> all = {
      &StartupFlags::noRivetwareSearch, &StartupFlags::multiGraph,     &StartupFlags::longPlugDelay,
      &StartupFlags::noSearch,          &StartupFlags::noSerialSearch, &StartupFlags::linearize,
      &StartupFlags::sensitivity,       &StartupFlags::extendedSensitivity, &StartupFlags::birch2Usb,
      &StartupFlags::goSlow,            &StartupFlags::cedarCollector, &StartupFlags::labelPrinting,
      &StartupFlags::contacts};
  for (auto member : all) EXPECT_EQ(flags.*member, member == c.member ? 1 : 0);
  EXPECT_EQ(flags.download, c.download);
  EXPECT_EQ(flags.downloadScope, c.downloadScope);
  EXPECT_EQ(flags.downloadFile, c.downloadFile);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupSwitches,
    ::testing::Values(
        SwitchCase{{}, nullptr, 0, 1, ""}, SwitchCase{{"-norv"}, &StartupFlags::noRivetwareSearch, 0, 1, ""},
        SwitchCase{{"-NOSEARCH"}, &StartupFlags::noSearch, 0, 1, ""},
        SwitchCase{{"-nosearch2"}, nullptr, 0, 1, ""},  // whole-argument match only
        SwitchCase{{"nosearch"}, nullptr, 0, 1, ""}, SwitchCase{{"-M"}, &StartupFlags::multiGraph, 0, 1, ""},
        SwitchCase{{"-Delay"}, &StartupFlags::longPlugDelay, 0, 1, ""},
        SwitchCase{{"-ExtendedSensitivity"}, &StartupFlags::extendedSensitivity, 0, 1, ""},
        SwitchCase{{"-birch2usb"}, &StartupFlags::birch2Usb, 0, 1, ""},
        SwitchCase{{"-contacts"}, &StartupFlags::contacts, 0, 1, ""},
        // The name survives only when the download switch is the last argument.
        SwitchCase{{"-nosearch", "-download=fw.hex"}, &StartupFlags::noSearch, 1, 1, "fw.hex"},
        SwitchCase{{"-download=fw.hex", "-nosearch"}, &StartupFlags::noSearch, 1, 1, ""},
        SwitchCase{{"x-download=abc"}, nullptr, 1, 1, "=abc"},  // substring match, ten characters dropped
        SwitchCase{{"-dloadall=all.hex"}, nullptr, 1, 0, "all.hex"},
        SwitchCase{{"-download=-dloadall=x"}, nullptr, 1, 0, "-dloadall=x"},  // both: all images
        SwitchCase{{"-download="}, nullptr, 1, 1, ""}));

TEST(ScreenRect, ReadsTheRectangleAndPlacesTheWindow) {
  const StartupFlags flags = ParseStartupFlags({"-screenrect100x0x1379x767"});
  ASSERT_EQ(flags.screenRectSet, 1);
  EXPECT_EQ(flags.screenRect, (Rect{100, 0, 1379, 767}));
  // W = 1280, H = 768: width 714, height 537, top 115, left 100 + 160.
  const Rect placement = MainWindowPlacement(flags, 1920, 1080);
  EXPECT_EQ(placement.left, 260);
  EXPECT_EQ(placement.top, 115);
  EXPECT_EQ(placement.Width(), 714);
  EXPECT_EQ(placement.Height(), 537);
}

TEST(ScreenRect, WithoutTheSwitchTheScreenDecides) {
  const Rect placement = MainWindowPlacement(StartupFlags{}, 1280, 1024);
  // 0.93 x 1024 = 952.32, 0.7 x 1024 = 716.8, 0.15 x 1024 = 153.6, (1280 - 952.32) / 2 = 163.84.
  EXPECT_EQ(placement, (Rect{163, 153, 163 + 952, 153 + 716}));
}

TEST(ScreenRect, TextAfterTheFourthNumberIsNotRead) {
  const StartupFlags flags = ParseStartupFlags({"-screenrect0x0x100x100junk"});
  ASSERT_EQ(flags.screenRectSet, 1);
  EXPECT_EQ(flags.screenRect, (Rect{0, 0, 100, 100}));
}

TEST(ScreenRect, UnreadableOrEmptyRectanglesAreIgnored) {
  for (const char* argument : {"-screenrect", "-screenrect1x2x3", "x-screenrect0x0x10x10", "-screenrect10x10x5x20",
                               "-screenrect-2147483648x0x2147483647x10"}) {
    EXPECT_EQ(ParseStartupFlags({argument}).screenRectSet, 0) << argument;
  }
}

TEST(FullScreenRect, CoversTheScreenOrTheGivenRectangleWithBorders) {
  EXPECT_EQ(FullScreenRectFor(StartupFlags{}, 1280, 1024, 4, 3), (Rect{-4, -3, 1288, 1030}));
  const StartupFlags flags = ParseStartupFlags({"-screenrect100x0x1379x767"});
  EXPECT_EQ(FullScreenRectFor(flags, 1920, 1080, 4, 3), (Rect{96, -3, 1388, 774}));
}

TEST(FrontEndOptions, AreTakenOutBeforeTheClassicSwitches) {
  std::vector<std::string> arguments = {"-nosearch", "-download=fw.hex", "--port", "COM3=/dev/pts/4",
                                        "--screenshot=shot.png,500", "--port=COM5=/dev/ttyUSB0"};
  const FrontEndOptions options = TakeFrontEndOptions(arguments);
  EXPECT_EQ(options.portOverrides, (std::vector<std::string>{"COM3=/dev/pts/4", "COM5=/dev/ttyUSB0"}));
  ASSERT_TRUE(options.screenshotFile);
  EXPECT_EQ(*options.screenshotFile, "shot.png");
  EXPECT_EQ(options.screenshotDelayMs, 500u);
  // Our own options do not count as the last argument: the download name survives.
  EXPECT_EQ(ParseStartupFlags(arguments).downloadFile, "fw.hex");
}

TEST(FrontEndOptions, ScreenshotDelayDefaultsAndRegistrationSwitches) {
  struct Case {
    std::vector<std::string> arguments;
    std::string file;
    std::uint32_t delay;
    std::string registration;
    std::size_t errors;
  };
  const std::vector<Case> cases = {
      {{"--screenshot", "a.png"}, "a.png", 3000, "", 0},
      {{"--screenshot", "dir,with,commas/a.png"}, "dir,with,commas/a.png", 3000, "", 0},
      {{"--screenshot", "a.png,250"}, "a.png", 250, "", 0},
      {{"/RegServer"}, "", 3000, "RegServer", 0},
      {{"-unregserver"}, "", 3000, "unregserver", 0},
      {{"--screenshot"}, "", 3000, "", 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    const FrontEndOptions options = TakeFrontEndOptions(arguments);
    EXPECT_EQ(options.screenshotFile.value_or(""), c.file);
    EXPECT_EQ(options.screenshotDelayMs, c.delay);
    EXPECT_EQ(options.registrationSwitch.value_or(""), c.registration);
    EXPECT_EQ(options.errors.size(), c.errors);
  }
}

TEST(FrontEndOptions, EmulateNamesAFamilyItsSettingsAndItsPort) {
  struct Case {
    std::vector<std::string> arguments;
    std::string family;  // empty: no emulator
    std::string settings;
    int port;
    std::size_t errors;
    std::vector<std::string> rest;
  };
  const std::vector<Case> cases = {
      {{"-nosearch"}, "", "", 1, 0, {"-nosearch"}},
      {{"--emulate", "cedar-gen4"}, "cedar-gen4", "", 1, 0, {}},
      {{"--emulate=cedar-gen4,19200,N,7,2", "-norv"}, "cedar-gen4", "19200,N,7,2", 1, 0, {"-norv"}},
      {{"--emulate", "echo", "--emulate-port", "com7"}, "echo", "", 7, 0, {}},
      {{"--emulate-port=COM256", "--emulate", "silent"}, "silent", "", 256, 0, {}},
      // The settings are the emulator's to judge; only the shape is taken here.
      {{"--emulate", "birch,fast"}, "birch", "fast", 1, 0, {}},
      {{"--emulate", ",9600,N,8,1"}, "", "", 1, 1, {}},
      {{"--emulate"}, "", "", 1, 1, {}},
      {{"--emulate-port", "COM0"}, "", "", 1, 1, {}},
      {{"--emulate-port", "COM257"}, "", "", 1, 1, {}},
      {{"--emulate-port", "/dev/ttyS0"}, "", "", 1, 1, {}},
      {{"--emulate-port", "COM3x"}, "", "", 1, 1, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    const FrontEndOptions options = TakeFrontEndOptions(arguments);
    const std::string shown = c.arguments.empty() ? "" : c.arguments[0];
    EXPECT_EQ(options.emulateFamily.value_or(""), c.family) << shown;
    EXPECT_EQ(options.emulateSettings, c.settings) << shown;
    EXPECT_EQ(options.emulatePort, c.port) << shown;
    EXPECT_EQ(options.errors.size(), c.errors) << shown;
    EXPECT_EQ(arguments, c.rest) << shown;
  }
}

}  // namespace
}  // namespace kx7
