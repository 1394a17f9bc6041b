// The blink-code list's lines.
#include "display/blink_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace kx7 {
namespace {

TEST(BlinkCodes, EighteenLinesNumberedRightAlignedWithPaddedTexts) {
  const auto& lines = BlinkCodesModel::Lines();
  ASSERT_EQ(lines.size(), 18u);
  const struct {
    std::size_t index;
    const char* number;
    const char* text;
  } expected[] = {
      {0, " 1", " RAM Data Error      \r\n"},  {2, " 3", " STRAY Error         \r\n"},
      {5, " 6", " Reserved            \r\n"},  {6, " 7", " CABLE NOVRAM Error  \r\n"},
      {9, "10", " EEPROM Error        \r\n"},  {14, "15", " Resistance Error    \r\n"},
      {17, "18", " Fixed Cal Error     \r\n"},
  };
  for (const auto& line : expected) {
    EXPECT_EQ(lines[line.index].number, line.number) << line.index;
    EXPECT_EQ(lines[line.index].text, line.text) << line.index;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(std::stoi(lines[i].number), static_cast<int>(i + 1));
    EXPECT_EQ(lines[i].number.size(), 2u) << i;
    EXPECT_EQ(lines[i].text.size(), 23u) << "a blank, 20 characters, CR LF: " << i;
  }
}

TEST(BlinkCodes, TheWholeTextAndTheNumbersColour) {
  const std::string text = BlinkCodesModel::Text();
  EXPECT_EQ(text.rfind(" 1 RAM Data Error      \r\n 2 RAM Code Error", 0), 0u);
  EXPECT_EQ(text.size(), 18u * 25u);
  EXPECT_EQ(BlinkCodesModel::kNumberColour, (Color{0, 128, 0}));
  BlinkCodesModel model;
  EXPECT_EQ(model.Kind(), std::string("BlinkCodes"));
}

}  // namespace
}  // namespace kx7
