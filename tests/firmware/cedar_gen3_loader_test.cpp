// The Cedar Gen3 Code Loader against the emulated code loader of a Cedar GEN3/GEN4 second
// processor: the image is stored in each protocol, and a fault at any step ends the run with the
// loader's failure text, with no reboot into what was not taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "firmware/cedar_gen3_loader.h"
#include "loader_fixture.h"

namespace kx7::firmware {
namespace {

using kx7::testing::Pattern;
using Kind = emu::LoaderFaultKind;

TEST(Gen3Stream, FramesTheImageAsEachProtocolWantsIt) {
  const std::vector<std::uint8_t> image = {0x10, 0x20, 0xF0};
  EXPECT_EQ(Gen3Stream(image, Gen3Protocol::kStandard), image);
  EXPECT_EQ(Gen3Stream(image, Gen3Protocol::kRamUtility), (std::vector<std::uint8_t>{0x20, 0x10, 0x20, 0xF0}));
  // Header {0,0,0,0, 3,0,0,0}, the data, and the 16-bit sum 0x123 of all of it, low byte first.
  EXPECT_EQ(Gen3Stream(image, Gen3Protocol::kHeader),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 3, 0, 0, 0, 0x10, 0x20, 0xF0, 0x23, 0x01}));
}

class CedarGen3LoaderTest : public kx7::testing::LoaderTest {
 protected:
  emu::EmulatedController& Cedar(const std::vector<emu::LoaderFault>& faults = {},
                                 emu::LoaderProtocol protocol = emu::LoaderProtocol::kHeader) {
    emu::ControllerOptions options;
    options.faults = faults;
    options.loaderProtocol = protocol;
    return Controller("cedar-gen4", type::kCedarGen4, 0, options);
  }
  CedarGen3Loader& Download(const std::vector<std::uint8_t>& image, Gen3Protocol protocol = Gen3Protocol::kHeader) {
    return Run<CedarGen3Loader>(ImageFile(image), [protocol](CedarGen3Loader& loader) { loader.protocol = protocol; });
  }
};

TEST_F(CedarGen3LoaderTest, TheImageIsStoredAndTheControllerRebootsIntoIt) {
  for (const auto& [ours, theirs] : {std::pair{Gen3Protocol::kHeader, emu::LoaderProtocol::kHeader},
                                     std::pair{Gen3Protocol::kStandard, emu::LoaderProtocol::kStandard}}) {
    Reset();
    emu::EmulatedController& cedar = Cedar({}, theirs);
    const std::vector<std::uint8_t> image = Pattern(56 * 3 + 5);
    CedarGen3Loader& loader = Download(image, ours);
    EXPECT_EQ(loader.Result(), DownloadResult::kDone) << loader.Message();
    EXPECT_EQ(loader.BytesSent(), image.size());
    EXPECT_EQ(Memory(cedar, 9, image.size()), image);
    EXPECT_TRUE(cedar.TakeRestartRequest());
    EXPECT_FALSE(Frame().passThrough);
    EXPECT_EQ(ui_.MessageTexts().back(), text::kDownloadDone);
  }
}

TEST_F(CedarGen3LoaderTest, AFaultAtAnyStepFailsWithTheLoadersTextAndNoReboot) {
  struct Case {
    const char* step;
    const char* message;
  };
  const std::vector<Case> steps = {{"-DWO", text::kHandshakeFailed},
                                   {"MPL", text::kHandshakeFailed},
                                   {"F", text::kHandshakeFailed},
                                   {"image", text::kDownloadFailed},
                                   {"RE3", text::kDownloadFailed}};
  const std::vector<Kind> kinds = {Kind::kRefuse, Kind::kSilent, Kind::kGarbage, Kind::kWrongHandshake,
                                   Kind::kDropOff};
  for (const Case& step : steps) {
    for (const Kind kind : kinds) {
      SCOPED_TRACE(std::string(step.step) + ":" + emu::LoaderFaults::KindName(kind));
      Reset();
      emu::EmulatedController& cedar = Cedar({{step.step, 1, kind}});
      CedarGen3Loader& loader = Download(Pattern(120));
      EXPECT_EQ(loader.Result(), DownloadResult::kFailed);
      EXPECT_EQ(loader.Message(), step.message);
      if (std::string(step.step) != "RE3") {
        EXPECT_EQ(loader.BytesSent(), 0u);
      }
      EXPECT_FALSE(cedar.TakeRestartRequest());
    }
  }
}

}  // namespace
}  // namespace kx7::firmware
