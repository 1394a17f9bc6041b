#include "platform/port_directory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace kx7 {

void PrintTo(const PortEntry& entry, std::ostream* out) {
  *out << "COM" << entry.number << "=" << entry.path << (entry.bluetooth ? " (Bluetooth)" : "");
}

namespace {

namespace fs = std::filesystem;

// A fake /dev and /sys in a temporary folder.
class PortDirectoryOnFakeSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx7-ports-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(Dev());
    fs::create_directories(Sys() + "/class/tty");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string Dev() const { return root_ + "/dev"; }
  std::string Sys() const { return root_ + "/sys"; }
  std::string DevPath(const std::string& name) const { return Dev() + "/" + name; }

  void AddDevice(const std::string& name) { std::ofstream(DevPath(name)).put('\0'); }
  // A legacy UART slot: `type` 0 is an empty slot.
  void AddUart(const std::string& name, int type) {
    AddDevice(name);
    fs::create_directories(Sys() + "/class/tty/" + name);
    std::ofstream(Sys() + "/class/tty/" + name + "/type") << type << "\n";
  }

  std::string root_;
};

TEST_F(PortDirectoryOnFakeSystem, MapsDeviceFamiliesToStableNumbers) {
  AddUart("ttyS0", 4);   // a 16550A
  AddUart("ttyS1", 0);   // an empty legacy slot
  AddDevice("ttyS2");    // no type file and no driver: not listed
  AddUart("ttyS31", 4);  // the last ttyS number
  AddUart("ttyS32", 4);  // beyond the ttyS range
  fs::create_directories(Sys() + "/class/tty/ttyS3/device/driver");
  AddDevice("ttyS3");  // no type file, but a driver
  AddDevice("ttyUSB0");
  AddDevice("ttyUSB63");
  AddDevice("ttyUSB64");
  AddDevice("ttyACM2");
  AddDevice("rfcomm0");
  AddDevice("rfcomm5");
  // Not serial ports of any family, or not the kernel's names.
  for (const char* other : {"tty0", "tty12", "ttyUSB", "ttyUSBx", "ttyUSB01", "ttyACM-1", "null", "ttyAMA0", "pts"}) {
    AddDevice(other);
  }

  PortDirectory directory;
  directory.Scan(Dev(), Sys());
  const std::vector<PortEntry> expected = {
      {1, DevPath("ttyS0"), false},    {4, DevPath("ttyS3"), false},     {32, DevPath("ttyS31"), false},
      {33, DevPath("ttyUSB0"), false}, {96, DevPath("ttyUSB63"), false}, {99, DevPath("ttyACM2"), false},
      {161, DevPath("rfcomm0"), true}, {166, DevPath("rfcomm5"), true},
  };
  EXPECT_EQ(directory.Ports(), expected);
  EXPECT_EQ(directory.PathOf(33), DevPath("ttyUSB0"));
  EXPECT_FALSE(directory.PathOf(2).has_value());

  // A rescan replaces the earlier result: the USB converter was unplugged.
  fs::remove(DevPath("ttyUSB0"));
  directory.Scan(Dev(), Sys());
  EXPECT_FALSE(directory.PathOf(33).has_value());
  EXPECT_EQ(directory.PathOf(96), DevPath("ttyUSB63"));
}

TEST_F(PortDirectoryOnFakeSystem, OverridesWinAndTheirDevicesAreNotListedTwice) {
  AddDevice("ttyUSB0");
  AddDevice("ttyUSB1");
  AddDevice("ttyACM0");
  AddDevice("rfcomm3");
  fs::create_directories(Dev() + "/serial/by-id");
  fs::create_symlink("../../ttyACM0", Dev() + "/serial/by-id/usb-Touch_Controller-if00");

  PortDirectory directory;
  directory.Scan(Dev(), Sys());
  // The override's number wins over ttyUSB1's automatic one; ttyUSB0 moves to COM3, and a
  // symlink to ttyACM0 makes it COM5.
  ASSERT_TRUE(directory.AddOverride("COM34=/dev/pts/4"));
  ASSERT_TRUE(directory.AddOverride("com3=" + DevPath("ttyUSB0")));
  ASSERT_TRUE(directory.AddOverride("COM5=" + Dev() + "/serial/by-id/usb-Touch_Controller-if00"));
  ASSERT_TRUE(directory.AddOverride("COM240=" + DevPath("rfcomm3")));
  const std::vector<PortEntry> expected = {
      {3, DevPath("ttyUSB0"), false},
      {5, Dev() + "/serial/by-id/usb-Touch_Controller-if00", false},
      {34, "/dev/pts/4", false},
      {240, DevPath("rfcomm3"), true},  // still a Bluetooth link under its new number
  };
  EXPECT_EQ(directory.Ports(), expected);
  EXPECT_EQ(directory.PathOf(3), DevPath("ttyUSB0"));
  EXPECT_FALSE(directory.PathOf(33).has_value());

  // A later override of the same number replaces the earlier one.
  ASSERT_TRUE(directory.AddOverride("COM34=/dev/pts/9"));
  EXPECT_EQ(directory.PathOf(34), "/dev/pts/9");
}

TEST(PortDirectory, ScanningAMissingFolderFindsNothing) {
  PortDirectory directory;
  directory.Scan("/nonexistent/dev", "/nonexistent/sys");
  EXPECT_TRUE(directory.Ports().empty());
}

struct OverrideCase {
  const char* text;
  bool accepted;
  int number;
  const char* path;
};

void PrintTo(const OverrideCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class OverrideTest : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(OverrideTest, ParsesComNumberAndPath) {
  const OverrideCase& c = GetParam();
  PortDirectory directory;
  std::string error;
  EXPECT_EQ(directory.AddOverride(c.text, &error), c.accepted);
  if (c.accepted) {
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(directory.Ports().size(), 1u);
    EXPECT_EQ(directory.Ports()[0].number, c.number);
    EXPECT_EQ(directory.Ports()[0].path, c.path);
  } else {
    EXPECT_FALSE(error.empty()) << "a rejected override needs a message";
    EXPECT_TRUE(directory.Ports().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Overrides, OverrideTest,
    ::testing::Values(OverrideCase{"COM3=/dev/pts/4", true, 3, "/dev/pts/4"},
                      OverrideCase{"com3=/dev/pts/4", true, 3, "/dev/pts/4"},
                      OverrideCase{"CoM12=/dev/ttyUSB0", true, 12, "/dev/ttyUSB0"},
                      OverrideCase{" COM7 = /dev/ttyACM0 ", true, 7, "/dev/ttyACM0"},
                      OverrideCase{"COM007=/dev/ttyS0", true, 7, "/dev/ttyS0"},
                      OverrideCase{"COM511=/dev/ttyS0", true, 511, "/dev/ttyS0"},
                      OverrideCase{"COM3A=/dev/pts/4", false, 0, ""}, OverrideCase{"COMX=/dev/pts/4", false, 0, ""},
                      OverrideCase{"COM=/dev/pts/4", false, 0, ""}, OverrideCase{"COM-3=/dev/pts/4", false, 0, ""},
                      OverrideCase{"LPT1=/dev/lp0", false, 0, ""}, OverrideCase{"COM3", false, 0, ""},
                      OverrideCase{"COM3=", false, 0, ""}, OverrideCase{"COM0=/dev/pts/4", false, 0, ""},
                      OverrideCase{"COM512=/dev/pts/4", false, 0, ""}, OverrideCase{"COM600=/dev/pts/4", false, 0, ""},
                      OverrideCase{"COM99999999999999999999=/dev/pts/4", false, 0, ""}),
    [](const ::testing::TestParamInfo<OverrideCase>& info) { return "Case" + std::to_string(info.index); });

TEST(PortDirectory, EnvironmentListsSeveralOverridesAndReportsTheBadOnes) {
  PortDirectory directory;
  const std::vector<std::string> errors =
      directory.AddOverridesFromEnvironment("COM3=/dev/pts/4, COM5=/dev/ttyUSB0,,COMX=/dev/pts/1,COM600=/dev/pts/2,");
  EXPECT_EQ(errors.size(), 2u);
  const std::vector<PortEntry> expected = {{3, "/dev/pts/4", false}, {5, "/dev/ttyUSB0", false}};
  EXPECT_EQ(directory.Ports(), expected);
  EXPECT_TRUE(directory.AddOverridesFromEnvironment(nullptr).empty());
  EXPECT_TRUE(directory.AddOverridesFromEnvironment("").empty());
  EXPECT_EQ(directory.Ports(), expected);
}

TEST(PortDirectory, MenuTextsAndAutomaticEntries) {
  EXPECT_EQ(PortDirectory::MenuText({3, "/dev/ttyS2", false}), "Open Com3");
  EXPECT_EQ(PortDirectory::MenuText({161, "/dev/rfcomm0", true}), "Open Com161 Bluetooth");
  EXPECT_EQ(PortDirectory::AutomaticEntry("ttyACM63"), (PortEntry{160, "/dev/ttyACM63", false}));
  EXPECT_EQ(PortDirectory::AutomaticEntry("rfcomm63"), (PortEntry{224, "/dev/rfcomm63", true}));
  EXPECT_FALSE(PortDirectory::AutomaticEntry("rfcomm64").has_value());
  EXPECT_FALSE(PortDirectory::AutomaticEntry("ttyS99999999999").has_value());
}

}  // namespace
}  // namespace kx7
