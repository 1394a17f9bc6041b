// The Intel hex and S-record reader: what lands where, what is ignored, and every way a file is
// refused.
#include "firmware/hex_image_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "firmware/birch2_image_reader.h"
#include "firmware/intel_hex_writer.h"

namespace kx7::firmware {
namespace {

struct Case {
  const char* what;
  std::string text;
  HexReadOptions options;
  ImageError error;
  std::size_t count;
  std::size_t start;
  std::size_t end;
};

TEST(HexImageReader, ReadsOrRefusesEachFile) {
  const HexReadOptions plain;
  const HexReadOptions cedarGen2{-0x8000, true, 0};
  const Case cases[] = {
      {"one record", ":0400100001020304E2\r\n:00000001FF\r\n", plain, ImageError::kNone, 4, 0x10, 0x13},
      {"no line ends, lower case", ":0400100001020304e2:00000001ff", plain, ImageError::kNone, 4, 0x10, 0x13},
      // An extended linear address record is summed and otherwise ignored: the data lands at its
      // 16-bit address.
      {"a blank inside a record", ":0100200055 8A\r\n", plain, ImageError::kRead, 0, 0, 0},
      {"extended address ignored", ":020000040001F9\r\n:01002000558A\r\n", plain, ImageError::kNone, 1, 0x20, 0x20},
      {"data after the end record", ":00000001FF\r\n:01000000AA55\r\n", plain, ImageError::kNone, 1, 0, 0},
      {"a byte stored twice counts twice", ":01000000AA55\r\n:01000000BB44\r\n", plain, ImageError::kNone, 2, 0, 0},
      {"wrong checksum", ":0400100001020304E3\r\n", plain, ImageError::kChecksum, 0, 0, 0},
      {"not hexadecimal", ":04001000010G0304E2\r\n", plain, ImageError::kRead, 0, 0, 0},
      {"ends inside a record", ":0400100001020304", plain, ImageError::kRead, 0, 0, 0},
      {"ends after the colon", ":01000000AA55\r\n:", plain, ImageError::kRead, 0, 0, 0},
      {"the buffer's last byte", ":01FFFF00AA57\r\n", plain, ImageError::kNone, 1, 0xFFFF, 0xFFFF},
      {"only the end record", ":00000001FF\r\n", plain, ImageError::kEmpty, 0, 0, 0},
      {"expected count", ":0400100001020304E2\r\n", HexReadOptions{0, false, 5}, ImageError::kSize, 0, 0, 0},
      {"expected count met", ":0400100001020304E2\r\n", HexReadOptions{0, false, 4}, ImageError::kNone, 4, 0x10, 0x13},
      // Word addressing from word address 0x8000: word 0x8001 is byte 2.
      {"word addressed", ":02800100AABB18\r\n", cedarGen2, ImageError::kNone, 2, 2, 3},
      {"below the offset", ":0100000011EE\r\n", cedarGen2, ImageError::kRange, 0, 0, 0},
      {"S1 records up to S9", "S1050010AABB85\r\nS9030000FC\r\nS1050020CCDD31\r\n", plain, ImageError::kNone, 2, 0x10, 0x11},
      {"S0, S2 and S3 skipped", "S00600004844521B\r\nS2060100100102E5\r\nS1040000AA51\r\n", plain, ImageError::kNone, 1, 0, 0},
      {"wrong S1 sum", "S1050010AABB86\r\n", plain, ImageError::kChecksum, 0, 0, 0},
      {"S1 count below 3", "S1020010ED\r\n", plain, ImageError::kRead, 0, 0, 0},
      {"S without a kind", "S1040000AA51\r\nS", plain, ImageError::kRead, 0, 0, 0},
      {"no data", "S9030000FC\r\n", plain, ImageError::kEmpty, 0, 0, 0},
      {"unknown format", "\r\n:00000001FF\r\n", plain, ImageError::kFormat, 0, 0, 0},
      {"empty file", "", plain, ImageError::kFormat, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageBuffer image(0x10000);
    const ImageLoad load = ReadHexImageText(c.text, c.options, image);
    EXPECT_EQ(load.error, c.error) << ErrorName(load.error);
    if (c.error != ImageError::kNone) continue;
    EXPECT_EQ(load.count, c.count);
    ASSERT_TRUE(load.start && load.end);
    EXPECT_EQ(*load.start, c.start);
    EXPECT_EQ(*load.end, c.end);
    EXPECT_EQ(load.Length(), c.end + 1);
  }
}

TEST(HexImageReader, KeepsTheFillAroundTheDataAndSaysWhyItRefused) {
  ImageBuffer image(0x10000);
  // Bytes 0x100..0x1FF only: the image is 0x200 long and its first 0x100 bytes stay 0xFF.
  std::string text;
  for (unsigned address = 0x100; address < 0x200; address += 16) {
    unsigned sum = 16 + (address >> 8) + (address & 0xFF);
    char line[64];
    std::snprintf(line, sizeof line, ":10%04X00", address);
    text += line;
    for (int i = 0; i < 16; ++i) text += "11";
    sum += 16 * 0x11;
    std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += line;
  }
  const ImageLoad load = ReadHexImageText(text, {}, image);
  ASSERT_TRUE(load.Loaded()) << ErrorName(load.error);
  EXPECT_EQ(load.Length(), 0x200u);
  EXPECT_EQ(image[0], 0xFF);
  EXPECT_EQ(image[0xFF], 0xFF);
  EXPECT_EQ(image[0x100], 0x11);
  EXPECT_EQ(load.dataSum, 256u * 0x11);

  struct Refusal {
    std::string text;
    const char* message;
  };
  for (const Refusal& refusal : {Refusal{"x", "Unknown File Format"}, Refusal{":0100000011EF", "File Checksum Error"},
                                 Refusal{"S1040000AA52", "File Checksum Error"}, Refusal{":01000000", nullptr}}) {
    const ImageLoad refused = ReadHexImageText(refusal.text, {}, image);
    EXPECT_FALSE(refused.Loaded()) << refusal.text;
    EXPECT_EQ(refused.message == nullptr ? std::string("(none)") : std::string(refused.message),
              refusal.message == nullptr ? std::string("(none)") : std::string(refusal.message));
  }
  ImageBuffer small(0x100);
  const ImageLoad range = ReadHexImageText(":01FFFF00AA57", {}, small);
  EXPECT_EQ(range.error, ImageError::kRange);
  EXPECT_EQ(range.message, nullptr);
}

TEST(Birch2ImageReader, TheWritersFileReadsBackAndTheStrictRulesHold) {
  ImageBuffer blank(kBirch2ImageBytes);
  const std::string text = WriteIntelHex32K(blank.All());
  // The segment record, 2,048 records and the end record.
  EXPECT_EQ(text.rfind(":020000020000FC\r\n:10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n", 0), 0u);
  EXPECT_EQ(text.size(), 17u + 2048u * 45u + 13u);
  EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");

  ImageBuffer image(kBirch2ImageBytes);
  for (std::size_t i = 0; i < image.Size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  ImageBuffer read(kBirch2ImageBytes);
  const ImageLoad load = ReadBirch2ImageText(WriteIntelHex32K(image.All()), read);
  ASSERT_TRUE(load.Loaded()) << ErrorName(load.error);
  EXPECT_EQ(load.count, kBirch2ImageBytes);
  EXPECT_TRUE(std::equal(image.All().begin(), image.All().end(), read.All().begin()));
  EXPECT_EQ(static_cast<std::uint16_t>(load.dataSum), ImageSum(image.All()));

  struct Case {
    const char* what;
    std::string text;
    ImageError error;
  };
  const std::string oneRecord = ":0100000011EE\r\n";
  const Case cases[] = {
      {"S-records are not for it", "S1040000AA51\r\n", ImageError::kFormat},
      {"too few bytes", oneRecord, ImageError::kSize},
      // Every record's address counts, the end record's too.
      {"an address above 0x7FFF", oneRecord + ":008000017F\r\n", ImageError::kAddress},
      {"a record running past the image", ":027FFF00AABBCC\r\n", ImageError::kRange},
      {"a wrong sum", ":0100000011EF\r\n", ImageError::kChecksum},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadBirch2ImageText(c.text, read).error, c.error);
  }
  EXPECT_STREQ(ReadBirch2ImageText(":008000017F\r\n", read).message, "File Address Error");
  EXPECT_STREQ(ReadBirch2ImageText(oneRecord, read).message, "File Size Error");
}

}  // namespace
}  // namespace kx7::firmware
