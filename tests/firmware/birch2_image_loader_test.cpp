// The Birch2 EEPROM Image dialog against an emulated serial Birch: the image is written into
// memory 9, the controller rebooted and found again, and the ID block written back; a controller
// that refuses or falls silent while the image goes in fails the run before any reboot or block
// write, and a copy from the controller reads back what was sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "firmware/birch2_image_loader.h"
#include "firmware/intel_hex_writer.h"
#include "loader_fixture.h"

namespace kx7::firmware {
namespace {

using Kind = emu::LoaderFaultKind;

// A serial REVB download-code image: its block table, the firmware identity at 180 and the
// settings 9600,N,8,1 in Block1 and Block6, with a pattern in the code area.
std::vector<std::uint8_t> SerialImage() {
  std::vector<std::uint8_t> image(kBirch2ImageBytes, 0);
  const auto word = [&](std::size_t at, unsigned value) {
    image[at] = static_cast<std::uint8_t>(value >> 8);
    image[at + 1] = static_cast<std::uint8_t>(value);
  };
  word(4 + 2 * 1, 0x7240);
  word(4 + 2 * 6, 0x74C0);
  word(4 + 2 * 7, 0x75C0);
  const std::string identity = "BR II 4.10";
  for (std::size_t i = 0; i < identity.size(); ++i) image[180 + i] = static_cast<std::uint8_t>(identity[i]);
  image[0x7240 + 10] = 0x40;
  word(0x74C0 + 10, 5);
  image[0x74C0 + 14] = 0x84;
  for (std::size_t i = 0x100; i < 0x1100; ++i) image[i] = static_cast<std::uint8_t>(i * 13);
  return image;
}

class Birch2ImageLoaderTest : public kx7::testing::LoaderTest {
 protected:
  emu::EmulatedController& Birch(const std::vector<emu::LoaderFault>& faults = {}) {
    emu::ControllerOptions options;
    options.faults = faults;
    return Controller("birch", type::kBirch, feature::kBirchFamily, options);
  }
  std::string HexFile(const std::vector<std::uint8_t>& image) {
    const std::string hex = WriteIntelHex32K(image);
    return ImageFile(std::vector<std::uint8_t>(hex.begin(), hex.end()), "image.hex");
  }
};

TEST_F(Birch2ImageLoaderTest, TheImageGoesInAndTheIdBlockSurvivesTheReboot) {
  // At the link's speed, and at 115200 baud with Turbo (the speed is put back afterwards).
  for (const bool turbo : {false, true}) {
    SCOPED_TRACE(turbo ? "turbo" : "plain");
    Reset();
    emu::EmulatedController& birch = Birch();
    const std::string settings = Frame().settings.MainPortSettings;
    const std::vector<std::uint8_t> id = *birch.Parameters().Block(5);
    const std::vector<std::uint8_t> image = SerialImage();
    const std::uint64_t start = loop_.Now();
    Birch2ImageLoader& loader =
        Run<Birch2ImageLoader>(HexFile(image), [turbo](Birch2ImageLoader& dialog) { dialog.turbo = turbo; });
    EXPECT_EQ(loader.Result(), DownloadResult::kDone) << loader.Message() << "\n" << loader.SummaryText();
    EXPECT_EQ(loader.BytesSent(), kBirch2ImageBytes);
    EXPECT_EQ(Memory(birch, 9, 0x1100), std::vector<std::uint8_t>(image.begin(), image.begin() + 0x1100));
    EXPECT_EQ(*birch.Parameters().Block(5), id);
    EXPECT_TRUE(loader.CloseRequested());
    EXPECT_EQ(Frame().settings.MainPortSettings, settings);
    // 32 K as hexadecimal text takes over a minute at 9600 baud, a few seconds at 115200.
    if (turbo) {
      EXPECT_LT(loop_.Now() - start, 30000u);
    } else {
      EXPECT_GT(loop_.Now() - start, 60000u);
    }
  }
}

TEST_F(Birch2ImageLoaderTest, AFailedWriteEndsTheRunBeforeTheRebootAndTheBlockWrites) {
  for (const Kind kind : {Kind::kRefuse, Kind::kSilent, Kind::kGarbage, Kind::kDropOff}) {
    for (const char* step : {"QPO", "QPO-data"}) {
      SCOPED_TRACE(std::string(step) + ":" + emu::LoaderFaults::KindName(kind));
      Reset();
      Birch({{step, 3, kind}});
      Birch2ImageLoader& loader = Run<Birch2ImageLoader>(HexFile(SerialImage()));
      EXPECT_EQ(loader.Result(), DownloadResult::kFailed);
      EXPECT_EQ(loader.Message(), text::kErrorPokeFrame);
      EXPECT_EQ(loader.BytesSent(), 0u);
      EXPECT_EQ(Frame().pendingNotification.window, kNoWindow) << "no reboot was awaited";
    }
  }
}

TEST_F(Birch2ImageLoaderTest, AnImageForAnotherAsicIsNotSent) {
  emu::EmulatedController& birch = Birch();
  std::vector<std::uint8_t> image = SerialImage();
  for (const std::size_t at : {0x2000u, 0x3000u, 0x4000u}) {
    for (std::size_t i = 0; i < 4; ++i) image[at + i] = std::vector<std::uint8_t>{0x0D, 0x06, 0x0D, 0x74}[i];
  }
  Birch2ImageLoader& loader = Run<Birch2ImageLoader>(HexFile(image));
  EXPECT_EQ(loader.Result(), DownloadResult::kRejected);
  EXPECT_EQ(loader.Message(), text::kFileNotCompatible);
  EXPECT_EQ(Memory(birch, 9, 16), std::vector<std::uint8_t>(16, 0xFF)) << "nothing written";
}

TEST_F(Birch2ImageLoaderTest, ACopyFromTheControllerReadsItsImage) {
  emu::EmulatedController& birch = Birch();
  const std::vector<std::uint8_t> image = SerialImage();
  ASSERT_TRUE(birch.Memories().Write(9, 0, std::vector<std::uint16_t>(image.begin(), image.end())));
  Birch2ImageLoader loader(Frame(), Protocol());
  const std::string path = (folder_.Path() / "copy.hex").string();
  ASSERT_TRUE(loader.CopyControllerToFile(path));
  EXPECT_EQ(loader.ControllerImage(), image);
  LoadedImage back = LoadImageFile(path, ImageProfile::kBirch2, DefaultParameters(ImageProfile::kBirch2));
  ASSERT_TRUE(back.Loaded());
  EXPECT_EQ(std::vector<std::uint8_t>(back.Bytes().begin(), back.Bytes().end()), image);
  EXPECT_NE(loader.SummaryText().find("BR II 4.10"), std::string::npos);
}

}  // namespace
}  // namespace kx7::firmware
