// Loading a file as each use loads it: raw files with their limits and displays, the Cedar EEPROM
// sum and fill rule, the default profile by name, and a file that does not open.
#include "firmware/image_profile.h"

#include <gtest/gtest.h>

#include <string>

namespace kx7::firmware {
namespace {

TEST(ImageProfile, RawFilesLoadAsTheyAreWithinTheirLimits) {
  struct Case {
    ImageProfile profile;
    std::size_t size;
    ImageError error;
    const char* message;
  };
  const Case cases[] = {
      {ImageProfile::kBin, 3, ImageError::kNone, nullptr},
      {ImageProfile::kBin, 0, ImageError::kEmpty, nullptr},
      {ImageProfile::kCedarGen3, kCedarGen3ImageBytes, ImageError::kNone, nullptr},
      {ImageProfile::kCedarGen3, kCedarGen3ImageBytes + 1, ImageError::kSize, nullptr},
      {ImageProfile::kCedarGen3, 0, ImageError::kEmpty, nullptr},
      {ImageProfile::kCedarEeprom, kCedarFileBytes + 1, ImageError::kSize, "File Size Error"},
      {ImageProfile::kCedarEeprom, 0, ImageError::kNone, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ProfileName(c.profile)) + " " + std::to_string(c.size));
    const ReaderParameters parameters = DefaultParameters(c.profile);
    const std::string bytes(std::min(c.size, parameters.size), '\x01');
    const LoadedImage loaded = LoadImage(bytes, c.size > parameters.size, c.profile, parameters);
    EXPECT_EQ(loaded.load.error, c.error);
    EXPECT_EQ(loaded.load.message == nullptr, c.message == nullptr);
    if (c.message != nullptr && loaded.load.message != nullptr) {
      EXPECT_STREQ(loaded.load.message, c.message);
    }
    if (loaded.Loaded()) {
      EXPECT_EQ(loaded.length, c.size);
      EXPECT_EQ(loaded.load.count, c.size);
    }
  }
  const LoadedImage bin = LoadImage(std::string("\x10\x20\xFF", 3), false, ImageProfile::kBin, DefaultParameters(ImageProfile::kBin));
  EXPECT_EQ(bin.display, "Size: 0003\nFileSum: 012F");
  EXPECT_EQ(bin.image[3], 0xFF);
}

TEST(ImageProfile, CedarEepromFilesAreSummedAsIfFilledTo256K) {
  const std::string full(kCedarFileBytes, '\0');
  const LoadedImage exact = LoadImage(full, false, ImageProfile::kCedarEeprom, DefaultParameters(ImageProfile::kCedarEeprom));
  ASSERT_TRUE(exact.Loaded());
  EXPECT_FALSE(exact.cedar.fillOffered);
  EXPECT_EQ(exact.display, "File Size: 262144   Sum: 0000");

  const LoadedImage shorter =
      LoadImage(std::string("\x01\x02", 2), false, ImageProfile::kCedarEeprom, DefaultParameters(ImageProfile::kCedarEeprom));
  ASSERT_TRUE(shorter.Loaded());
  EXPECT_TRUE(shorter.cedar.fillOffered);
  EXPECT_EQ(shorter.cedar.sum, 3);
  // 3 + 0xFF for each of the 262,142 missing bytes, modulo 65,536.
  EXPECT_EQ(shorter.cedar.filledSum, static_cast<std::uint16_t>(3 + 0xFFu * (kCedarFileBytes - 2)));
  EXPECT_EQ(shorter.display.rfind("File Size: 2   Sum (if filled to 256MB with FFs): FE05\nFile Size is less 256MB.\n", 0), 0u)
      << shorter.display;
}

TEST(ImageProfile, TheNameChoosesTheDefaultAndAMissingFileIsAnOpenError) {
  EXPECT_EQ(DefaultProfileFor("code.BIN"), ImageProfile::kBin);
  EXPECT_EQ(DefaultProfileFor("/a.bin/code.hex"), ImageProfile::kHex);
  EXPECT_EQ(DefaultProfileFor("bin"), ImageProfile::kHex);
  for (const char* name : {"hex", "cedar-gen2", "birch2", "bin", "cedar-gen3", "cedar-eeprom"}) {
    const std::optional<ImageProfile> profile = ProfileByName(name);
    ASSERT_TRUE(profile) << name;
    EXPECT_STREQ(ProfileName(*profile), name);
  }
  EXPECT_FALSE(ProfileByName("HEX"));
  const LoadedImage missing = LoadImageFile("/nonexistent/x.hex", ImageProfile::kHex, DefaultParameters(ImageProfile::kHex));
  EXPECT_EQ(missing.load.error, ImageError::kOpen);
  EXPECT_STREQ(missing.load.message, "Failed to open file!");
}

}  // namespace
}  // namespace kx7::firmware
