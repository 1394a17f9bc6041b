// The "ASCII" chart's rows and its scroll position.
#include "display/ascii_chart.h"

#include <gtest/gtest.h>

#include <string>

namespace kx7 {
namespace {

struct RowCase {
  int code;
  const char* decimal;
  const char* hex;
  const char* character;
};

class AsciiRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(AsciiRows, CodeHexAndCharacter) {
  const AsciiRow row = AsciiChartModel::Row(GetParam().code);
  EXPECT_EQ(row.decimal, GetParam().decimal);
  EXPECT_EQ(row.hex, GetParam().hex);
  EXPECT_EQ(row.character, GetParam().character);
}

INSTANTIATE_TEST_SUITE_P(Codes, AsciiRows,
                         ::testing::Values(RowCase{0, "000", "00", "NUL ^@"}, RowCase{10, "010", "0A", "NL  ^J"},
                                           RowCase{13, "013", "0D", "CR  ^M"}, RowCase{31, "031", "1F", "US  ^_"},
                                           RowCase{32, "032", "20", "SPACE^`"}, RowCase{33, "033", "21", "!"},
                                           RowCase{65, "065", "41", "A"}, RowCase{127, "127", "7F", "DEL"},
                                           // The upper half as the Windows code page shows it.
                                           RowCase{128, "128", "80", "\u20AC"}, RowCase{129, "129", "81", "\u0081"},
                                           RowCase{159, "159", "9F", "\u0178"}, RowCase{200, "200", "C8", "\u00C8"},
                                           RowCase{255, "255", "FF", "\u00FF"}));

TEST(AsciiChart, EveryRowNamesItsOwnCodeAndNothingElseHasARow) {
  for (int code = 0; code < AsciiChartModel::kCodes; ++code) {
    const AsciiRow row = AsciiChartModel::Row(code);
    EXPECT_EQ(std::stoi(row.decimal), code);
    EXPECT_EQ(std::stoi(row.hex, nullptr, 16), code);
    EXPECT_FALSE(row.character.empty()) << code;
  }
  for (int code : {-1, 256}) {
    const AsciiRow row = AsciiChartModel::Row(code);
    EXPECT_TRUE(row.decimal.empty() && row.hex.empty() && row.character.empty()) << code;
  }
}

TEST(AsciiChart, TheTopRowStaysBetweenZeroAndTwoHundredForty) {
  AsciiChartModel chart;
  EXPECT_EQ(chart.Kind(), std::string("AsciiChart"));
  EXPECT_EQ(chart.Title(), "ASCII");
  EXPECT_EQ(chart.FirstRow(), 0);
  chart.SetFirstRow(100);
  EXPECT_EQ(chart.FirstRow(), 100);
  chart.SetFirstRow(250);
  EXPECT_EQ(chart.FirstRow(), 240) << "the last 16 codes fill the chart";
  chart.SetFirstRow(-3);
  EXPECT_EQ(chart.FirstRow(), 0);
}

}  // namespace
}  // namespace kx7
