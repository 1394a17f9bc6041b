// What the Birch2 image dialog says about an image: identity, interface and link settings, screen
// type, target ASIC, blankness, and whether the image fits the connected controller.
#include "firmware/birch2_image_summary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "firmware/image_buffer.h"

namespace kx7::firmware {
namespace {

constexpr std::size_t kBlock1 = 0x7240, kBlock6 = 0x74C0, kBlock7 = 0x75C0;

// A download-code image with its block table, the firmware identity at 180 and settings for
// 9600,N,8,1 in Block1 and Block6, all else zero.
class Image {
 public:
  Image() : image_(kBirch2ImageBytes, 0) {
    Word(4 + 2 * 1, kBlock1);
    Word(4 + 2 * 6, kBlock6);
    Word(4 + 2 * 7, kBlock7);
    Text(180, "BR II 4.10");
    image_[kBlock1 + 10] = 0x40;  // framing 4 (N,8,1), baud 0 (9600)
    Word(kBlock6 + 10, 5);        // 9600
    image_[kBlock6 + 14] = 0x84;  // 8 data bits, 1 stop bit
  }
  Image& Word(std::size_t at, unsigned value) {
    image_[at] = static_cast<std::uint8_t>(value >> 8);
    image_[at + 1] = static_cast<std::uint8_t>(value);
    return *this;
  }
  Image& Text(std::size_t at, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) image_[at + i] = static_cast<std::uint8_t>(text[i]);
    image_[at + text.size()] = 0;
    return *this;
  }
  Image& Wide(std::size_t at, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      image_[at + 2 * i] = static_cast<std::uint8_t>(text[i]);
      image_[at + 2 * i + 1] = 0;
    }
    return *this;
  }
  Image& Byte(std::size_t at, std::uint8_t value) {
    image_[at] = value;
    return *this;
  }
  Image& RevC() {
    for (std::size_t at : {0x1000u, 0x2000u, 0x3000u}) {
      image_[at] = 0x0D, image_[at + 1] = 0x06, image_[at + 2] = 0x0D, image_[at + 3] = 0x74;
    }
    return *this;
  }
  std::string Head() const {
    char line[32];
    std::snprintf(line, sizeof line, "Checksum = %04X\n", static_cast<unsigned>(ImageSum(image_.All())));
    return line;
  }
  const ImageBuffer& Buffer() const { return image_; }

 private:
  ImageBuffer image_;
};

TEST(Birch2ImageSummary, SaysWhatTheImageIsFor) {
  struct Case {
    const char* what;
    Image image;
    std::string rest;  // after "Checksum = XXXX\n"
    char interface;
    char target;
  };
  const Case cases[] = {
      {"serial, both blocks alike", Image(),
       "BR II 4.10\nHex File Interface: Serial 9600,N,8,1\nHex File Target: REVB\n", 'S', 'B'},
      {"USB text anywhere in its range", Image().Wide(301, "USB "),
       "BR II 4.10\nHex File Interface: USB\nHex File Target: REVB\n", 'U', 'B'},
      {"the other USB text", Image().Wide(1000, "JFQ C").RevC(),
       "BR II 4.10\nHex File Interface: USB\nHex File Target: REVC\n", 'U', 'C'},
      {"A3 identity and capacitive screen", Image().Wide(600, "A30412").Byte(kBlock7 + 1, 1),
       "BR II 4.10\nHex File OI: A30412\nHex File Interface: Serial 9600,N,8,1\n"
       "Hex File Screen Type: Capacitive\nHex File Target: REVB\n",
       'S', 'B'},
      // Block6 says nothing (baud index 0): Block1's text is shown, and the two differ.
      {"Block6 empty", Image().Word(kBlock6 + 10, 0).Byte(kBlock1 + 10, 0x51),
       "BR II 4.10\nHex File Interface: Serial 19200,E,8,1  [Blocks don't match!]\n"
       " >>>>>>>>>>>>>> Block1: 19200,E,8,1 Block6: 300,N,8,1\nHex File Target: REVB\n",
       'S', 'B'},
      // A P5 image's Block1 text has no framing, so the blocks never match.
      {"P5 identity", Image().Wide(700, "P51234").Byte(kBlock1 + 13, 0x10),
       "BR II 4.10\nHex File OI: P51234\nHex File Interface: Serial 9600,N,8,1  [Blocks don't match!]\n"
       " >>>>>>>>>>>>>> Block1: 19200 Block6: 9600,N,8,1\nHex File Target: REVB\n",
       'S', 'B'},
      {"TOPAZ is REVB whatever the code", Image().Text(176, "TOPAZ x").RevC(),
       "TOPAZ x\nHex File Interface: Serial 9600,N,8,1\nHex File Target: REVB\n", 'S', 'B'},
      {"resistive with Novram, no marker",
       Image().Text(180, "none").Byte(kBlock7 + 3, 1).Byte(kBlock7 + 41, 3).Byte(kBlock7 + 43, 0).Byte(kBlock7 + 45, 1).Byte(kBlock7 + 47, 2),
       "Hex File Screen Type: Resistive w/Novram\nHex File Target: unknown\n", 0, '?'},
      {"codes without a name", Image().Byte(kBlock1 + 10, 0xF9).Word(kBlock6 + 10, 12).Word(kBlock6 + 12, 7).Byte(kBlock6 + 14, 0x6C),
       "BR II 4.10\nHex File Interface: Serial baud?,?,?,?  [Blocks don't match!]\n"
       " >>>>>>>>>>>>>> Block1: baud?,params? Block6: baud?,?,?,?\nHex File Target: REVB\n",
       'S', 'B'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Birch2Summary summary = SummarizeBirch2Image(c.image.Buffer().All());
    EXPECT_EQ(summary.text, c.image.Head() + c.rest);
    EXPECT_EQ(summary.interface, c.interface);
    EXPECT_EQ(summary.target, c.target);
  }
}

TEST(Birch2ImageSummary, BlankImagesAndTheActualAsic) {
  const ImageBuffer blank(kBirch2ImageBytes);
  EXPECT_EQ(SummarizeBirch2Image(blank.All()).text, "Checksum = 8000\nHex File Target: unknown\nBlank File\n");
  EXPECT_EQ(SummarizeBirch2Image(blank.All(), ActualAsic::kUnknown).text,
            "Checksum = 8000\nHex File Target: unknown\nActual ASIC: unknown\nBlank File\n");
  const Image serial;
  EXPECT_NE(SummarizeBirch2Image(serial.Buffer().All(), ActualAsic::kRevC).text.find("REVB\nActual ASIC: REVC\n"),
            std::string::npos);
}

TEST(Birch2ImageSummary, AnImageFitsItsLinkAndAsicOnly) {
  const Birch2Summary serialB = SummarizeBirch2Image(Image().Buffer().All());
  const Birch2Summary usbC = SummarizeBirch2Image(Image().Wide(400, "700 ").RevC().Buffer().All());
  const Birch2Summary unknown = SummarizeBirch2Image(ImageBuffer(kBirch2ImageBytes).All());
  struct Case {
    const Birch2Summary& summary;
    bool usb;
    ActualAsic asic;
    bool fits;
  };
  const Case cases[] = {
      {serialB, false, ActualAsic::kRevB, true},   {serialB, true, ActualAsic::kRevB, false},
      {serialB, false, ActualAsic::kRevC, false},  {serialB, false, ActualAsic::kUnknown, false},
      {usbC, true, ActualAsic::kRevC, true},       {usbC, false, ActualAsic::kRevC, false},
      {unknown, false, ActualAsic::kRevB, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Birch2ImageFits(c.summary, c.usb, c.asic), c.fits) << c.summary.text << c.usb << static_cast<int>(c.asic);
}

}  // namespace
}  // namespace kx7::firmware
