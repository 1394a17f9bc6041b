// The loaders' commands in the main frame: which are offered for which controller, "Load Last
// Firmware Image" only once an image was loaded, and the command-line download with its exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "firmware/firmware_commands.h"
#include "firmware/firmware_loader.h"
#include "frame/command_ids.h"
#include "loader_fixture.h"

namespace kx7::firmware {
namespace {

using kx7::testing::Pattern;

class FirmwareCommandsTest : public kx7::testing::LoaderTest {
 protected:
  FirmwareCommands& Commands() {
    if (commands_ == nullptr) commands_ = &InstallFirmwareCommands(Frame());
    return *commands_;
  }
  void Reset() {
    commands_ = nullptr;
    LoaderTest::Reset();
  }
  FirmwareCommands* commands_ = nullptr;
};

TEST_F(FirmwareCommandsTest, EachControllerIsOfferedItsLoader) {
  struct Case {
    const char* family;
    std::uint32_t type;
    std::uint32_t features;
    std::vector<std::uint32_t> offered;
  };
  const std::vector<Case> cases = {
      {"larch-mt", type::kLarch, feature::kLarchMultitouch, {cmd::kLoadFirmware}},
      {"cedar-gen4", type::kCedarGen4, 0, {cmd::kCedarDownload}},
      {"birch", type::kBirch, feature::kBirchFamily, {cmd::kBirch2FirmwareImage}},
      {"cedar-gen2", type::kRowanGen2, 0, {}},
  };
  const std::vector<std::uint32_t> all = {cmd::kCedarDownload, cmd::kBirch2FirmwareImage, cmd::kLoadFirmware,
                                          cmd::kReloadFirmware};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    Reset();
    Controller(c.family, c.type, c.features);
    for (const std::uint32_t id : all) {
      const bool offered = std::find(c.offered.begin(), c.offered.end(), id) != c.offered.end();
      EXPECT_EQ(Commands().Update(id).enabled, offered) << id;
    }
  }
  // Without a link only the Birch2 image dialog (to look at image files).
  Reset();
  for (const std::uint32_t id : all) EXPECT_EQ(Commands().Update(id).enabled, id == cmd::kBirch2FirmwareImage) << id;
}

TEST_F(FirmwareCommandsTest, LoadLastFirmwareImageIsOfferedOnceAnImageWasLoaded) {
  emu::EmulatedController& larch = Controller("larch-mt", type::kLarch, feature::kLarchMultitouch);
  EXPECT_FALSE(Commands().Update(cmd::kReloadFirmware).enabled);
  const std::vector<std::uint8_t> image = Pattern(90);
  const std::string path = ImageFile(image);
  // The dialog is shown; the operator picks the file and sends it.
  ui_.ExpectDialog(title::kFirmwareLoader, [&](DialogModel& model) {
    auto& loader = dynamic_cast<FirmwareLoader&>(model);
    ui_.ExpectFile(path);
    loader.SelectFile();
    loader.reboot = false;
    loader.Start();
    loop_.RunUntil([&] { return loader.Finished(); });
    return true;
  });
  Commands().OnCommand(cmd::kLoadFirmware);
  EXPECT_EQ(Memory(larch, 9, image.size()), image);
  EXPECT_EQ(Commands().LastImage(), path);
  EXPECT_TRUE(Commands().Update(cmd::kReloadFirmware).enabled);
}

TEST_F(FirmwareCommandsTest, TheCommandLineDownloadEndsTheProgramWithItsResult) {
  struct Case {
    const char* family;
    std::uint32_t features;
    bool fileThere;
    int exitCode;
  };
  for (const Case c : {Case{"larch-mt", feature::kLarchMultitouch, true, 0}, Case{"larch", 0, true, 2},
                       Case{"larch-mt", feature::kLarchMultitouch, false, 4}}) {
    SCOPED_TRACE(std::string(c.family) + (c.fileThere ? "" : " no file"));
    Reset();
    emu::EmulatedController& larch = Controller(c.family, type::kLarch, c.features);
    const std::vector<std::uint8_t> image = Pattern(70);
    Frame().startup.download = 1;
    Frame().startup.downloadFile = c.fileThere ? ImageFile(image) : (folder_.Path() / "none.bin").string();
    if (c.exitCode != 2) ui_.ExpectDialog(title::kFirmwareLoader);
    Commands().RunCommandLineDownload();
    EXPECT_EQ(Frame().exitCode, c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_EQ(Memory(larch, 9, image.size()), image);
    }
    EXPECT_TRUE(ui_.Unexpected().empty()) << "nothing waited for an operator";
  }
}

}  // namespace
}  // namespace kx7::firmware
