// The serial Firmware Loader against the emulated Larch boot loader: the image lands in the
// controller's flash page by page, and a controller that refuses, falls silent, answers garbage
// or drops off at any step ends the run with "Error Poke Frame", no reboot into a partial image
// and no hang.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "firmware/firmware_loader.h"
#include "loader_fixture.h"

namespace kx7::firmware {
namespace {

using kx7::testing::Pattern;
using Kind = emu::LoaderFaultKind;

class FirmwareLoaderTest : public kx7::testing::LoaderTest {
 protected:
  // A Larch in its application, or in its boot loader already.
  emu::EmulatedController& Larch(bool inBootLoader, const std::vector<emu::LoaderFault>& faults = {},
                                 std::optional<std::uint32_t> pageSize = std::nullopt) {
    emu::ControllerOptions options;
    options.faults = faults;
    options.loaderPageSize = pageSize;
    return Controller(inBootLoader ? "larch-mt" : "larch", type::kLarch,
                      inBootLoader ? feature::kLarchMultitouch : 0, options);
  }
  FirmwareLoader& Download(const std::vector<std::uint8_t>& image) { return Run<FirmwareLoader>(ImageFile(image)); }
};

TEST_F(FirmwareLoaderTest, ImagesOfEveryShapeLandInFlashAndTheControllerRebootsIntoThem) {
  struct Case {
    std::size_t length;
    bool inBootLoader;
  };
  // One page exactly, a short last piece, several pages with a partial last one; from the
  // application (RE1 first) and from the boot loader.
  for (const Case c : {Case{256, false}, Case{100, true}, Case{256 * 3 + 45, false}, Case{1, true}}) {
    SCOPED_TRACE(c.length);
    Reset();
    emu::EmulatedController& larch = Larch(c.inBootLoader);
    const std::vector<std::uint8_t> image = Pattern(c.length);
    FirmwareLoader& loader = Download(image);
    EXPECT_EQ(loader.Result(), DownloadResult::kDone) << loader.Message();
    EXPECT_EQ(loader.Message(), "");
    EXPECT_EQ(loader.BytesSent(), c.length);
    EXPECT_EQ(loader.PageSize(), 256u);
    EXPECT_EQ(Memory(larch, 9, c.length), image);
    ASSERT_FALSE(status_.empty());
    EXPECT_EQ(status_.back(), BytesSentText(c.length, c.length));
    EXPECT_FALSE(larch.InRom()) << "rebooted into the new code";
  }
}

TEST_F(FirmwareLoaderTest, ImageFilesThatCannotBeUsedEndTheAutomaticRunWithTheirCode) {
  Larch(true);
  FirmwareLoader& missing = Run<FirmwareLoader>((folder_.Path() / "missing.bin").string());
  EXPECT_EQ(missing.Result(), DownloadResult::kCannotOpen);
  EXPECT_EQ(missing.Message(), text::kFailedToOpenFile);
  EXPECT_EQ(Download({}).Result(), DownloadResult::kRejected);
}

TEST_F(FirmwareLoaderTest, AFaultAtAnyStepFailsTheRunWithoutRebootingIntoAPartialImage) {
  struct Case {
    const char* step;
    int occurrence;
  };
  const std::vector<Case> steps = {{"PB", 1}, {"PD", 1}, {"PD", 5}, {"PD-data", 3}, {"PE", 1}, {"PE-page", 2}};
  const std::vector<Kind> kinds = {Kind::kRefuse, Kind::kSilent, Kind::kGarbage, Kind::kDropOff};
  const std::size_t length = 256 * 2 + 10;
  for (const bool inBootLoader : {false, true}) {
    for (const Case& step : steps) {
      for (const Kind kind : kinds) {
        SCOPED_TRACE(std::string(step.step) + ":" + std::to_string(step.occurrence) + ":" +
                     emu::LoaderFaults::KindName(kind) + (inBootLoader ? " boot loader" : " application"));
        Reset();
        emu::EmulatedController& larch = Larch(inBootLoader, {{step.step, step.occurrence, kind}});
        FirmwareLoader& loader = Download(Pattern(length));
        EXPECT_EQ(loader.Result(), DownloadResult::kFailed);
        EXPECT_EQ(loader.Message(), text::kErrorPokeFrame);
        EXPECT_LT(loader.BytesSent(), length);
        if (kind != Kind::kDropOff) {
          EXPECT_TRUE(larch.InRom()) << "no RE3 after a failed step";
        }
      }
    }
  }
}

TEST_F(FirmwareLoaderTest, TheEntryIntoTheBootLoaderOutlastsAMissedPingButNotAControllerThatIsGone) {
  for (const auto& [kind, done] : {std::pair{Kind::kRefuse, true}, std::pair{Kind::kSilent, true},
                                   std::pair{Kind::kGarbage, true}, std::pair{Kind::kDropOff, false}}) {
    SCOPED_TRACE(emu::LoaderFaults::KindName(kind));
    Reset();
    emu::EmulatedController& larch = Larch(false, {{"Z", 1, kind}});
    const std::vector<std::uint8_t> image = Pattern(40);
    FirmwareLoader& loader = Download(image);
    EXPECT_EQ(loader.Result(), done ? DownloadResult::kDone : DownloadResult::kFailed);
    if (done) {
      EXPECT_EQ(Memory(larch, 9, image.size()), image);
    } else {
      EXPECT_EQ(loader.Message(), text::kErrorPokeFrame);
    }
  }
}

TEST_F(FirmwareLoaderTest, APageSizeOfZeroIsRefusedBeforeAnyPiece) {
  Larch(true, {}, 0);
  FirmwareLoader& loader = Download(Pattern(64));
  EXPECT_EQ(loader.Result(), DownloadResult::kFailed);
  EXPECT_EQ(loader.Message(), text::kErrorPokeFrame);
  EXPECT_EQ(loader.BytesSent(), 0u);
}

}  // namespace
}  // namespace kx7::firmware
