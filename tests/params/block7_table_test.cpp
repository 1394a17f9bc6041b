// The Birch2 Block7 table and its pages without a controller: the fresh table, parameters found
// by address, the units the pages show, and Binary Edit's scrolling, ">>" and search.
#include <gtest/gtest.h>

#include "params/block7_pages.h"
#include "params/block7_table.h"
#include "params/block7_units.h"
#include "params/eep_file.h"

namespace kx7 {
namespace {

TEST(Block7TableTest, AFreshTableHasThreeRangesAndTheBuiltInNames) {
  const Block7Table table;
  ASSERT_EQ(table.Count(), 474u);
  EXPECT_EQ(table.Rows()[243].address, 0x0F3);
  EXPECT_EQ(table.Rows()[244].address, 0x200);
  EXPECT_EQ(table.Rows()[371].address, 0x27F);
  EXPECT_EQ(table.Rows()[372].address, 0x300);
  EXPECT_EQ(table.Rows()[473].address, 0x365);
  EXPECT_EQ(table.Rows()[68].name, "Just.NoiseThresh");
  EXPECT_EQ(table.Rows()[470].name, "SelfParam.Valid");
  EXPECT_EQ(table.Rows()[69].name, "");
  EXPECT_TRUE(table.AnyPending());
}

TEST(Block7TableTest, ParametersAreBigEndianGroupsFoundByAddress) {
  Block7Table table;
  ASSERT_TRUE(table.SetValue32(eep::kThreshK, 0x00150000));
  EXPECT_EQ(table.Rows()[91].value, 0x15);
  EXPECT_EQ(table.Value32(eep::kThreshK), 0x00150000u);
  EXPECT_EQ(table.Value16(eep::kThreshK), 0x0015u);
  EXPECT_FALSE(table.Value32(0x1234));
  // The last row cannot start a 16-bit value.
  EXPECT_FALSE(table.Value16(0x365));
  EXPECT_FALSE(table.SetValue16(0x365, 1));
}

// An EEP file that leaves rows out moves the parameters to other rows: they are still found by
// their addresses, not by where the full table has them.
TEST(Block7TableTest, AFileWithRowsLeftOutKeepsEveryParameterOnItsAddress) {
  const EepFileCheck file = ReadEepFile(
      "%\r\n7\t0200\t0\t%\tScreenOrientation\r\n7\t0201\t2\t%\t\r\n7\t005A\t0\r\n7\t005B\t15\r\n7\t005C\t0\r\n"
      "7\t005D\t0\r\n");
  ASSERT_TRUE(file.Valid());
  const Block7Units units = ComputeBlock7Units(file.table);
  EXPECT_EQ(units.orientation, 2u);
  EXPECT_EQ(units.orientationText, std::string("UL  [12:00]"));
  EXPECT_EQ(units.touch.box, std::string("00150000"));
  EXPECT_FALSE(units.liftoff.box) << "ThreshHyst is not in the file";
  EXPECT_FALSE(units.freq.frequency);
}

TEST(Block7UnitsTest, ThePagesTexts) {
  Block7Table table;
  table.SetValue32(eep::kThreshK, 0x00150000);
  table.SetValue16(eep::kThreshHyst, 16384);
  table.SetValue32(eep::kPalmThreshK, 0x002A0000);
  table.SetValue16(eep::kPalmThreshHyst, 32767);
  table.SetValue16(eep::kAlphaMax, 4);
  table.SetValue16(eep::kFreq, 0x0100);
  table.SetValue16(eep::kFreqPen, 0xFFFF);
  table.SetValue16(eep::kSteadyAlpha, 1024);
  table.SetValue16(eep::kScreenOrientation, 7);
  Block7Units units = ComputeBlock7Units(table);
  EXPECT_EQ(units.touch.capacitance, std::string(" 1pF"));
  EXPECT_EQ(units.touch.percent, std::string("100%"));
  EXPECT_EQ(units.liftoff.percent, std::string("50.00%"));
  EXPECT_EQ(units.fastStray.percent, std::string("200.00%"));
  EXPECT_EQ(units.slowStray.percent, std::string("200.00%"));
  EXPECT_EQ(units.slowStray.capacitance, std::string(" 2pF"));
  EXPECT_EQ(units.noiseFilter.milliseconds, std::string(" 43 ms"));
  EXPECT_EQ(units.noiseFilter.box, std::string("0004"));
  EXPECT_EQ(units.slowStrayFilter.seconds, std::string("inf"));
  EXPECT_EQ(units.freq.frequency, std::string(" 13491 Hz")) << "Clock 0: 3,000,000 / 260 + 1953";
  EXPECT_FALSE(units.orientationText);
  table.SetValue16(eep::kClock, 1);
  units = ComputeBlock7Units(table);
  EXPECT_EQ(units.freq.frequency, std::string(" 13626 Hz"));
  EXPECT_EQ(units.penFreq.frequency, std::string(" 1998 Hz")) << "n = 0x10000, not 0";
  // A ThreshK of 0 shows no share of it.
  table.SetValue32(eep::kThreshK, 0);
  units = ComputeBlock7Units(table);
  EXPECT_FALSE(units.fastStray.percent);
  EXPECT_FALSE(units.slowStray.percent);
  EXPECT_FALSE(units.slowStray.capacitance);
  EXPECT_EQ(units.fastStray.capacitance, std::string(" 2pF"));
}

TEST(Block7BinaryEditTest, ScrollingNeverPassesTheLastPage) {
  Block7Table table;
  CBlock7Page1 page(table);
  page.SetTopRow(1000);
  EXPECT_EQ(page.TopRow(), 458u);
  page.OnScroll(CBlock7Page1::Scroll::kLineDown);
  EXPECT_EQ(page.TopRow(), 458u);
  page.OnScroll(CBlock7Page1::Scroll::kPageUp);
  EXPECT_EQ(page.TopRow(), 442u);
  page.OnWheel(120);
  EXPECT_EQ(page.TopRow(), 438u);
  page.SetTopRow(1);
  page.OnScroll(CBlock7Page1::Scroll::kLineUp);
  EXPECT_EQ(page.TopRow(), 0u);
}

TEST(Block7BinaryEditTest, NextSectionStopsAtEachRangeAndWrapsNearTheEnd) {
  Block7Table table;
  CBlock7Page1 page(table);
  page.NextSection();
  EXPECT_EQ(page.TopRow(), 244u);
  page.NextSection();
  EXPECT_EQ(page.TopRow(), 372u);
  page.SetTopRow(400);
  page.NextSection();
  EXPECT_EQ(page.TopRow(), 0u) << "from row 400 it wraps when it reaches row 466";
}

TEST(Block7BinaryEditTest, SearchMovesByLinesAndReturnsWithoutAMatch) {
  Block7Table table;
  CBlock7Page1 page(table);
  EXPECT_TRUE(page.Search("thresh"));
  EXPECT_EQ(page.TopRow(), 68u);
  EXPECT_EQ(page.Lines()[0].address, "0044");
  EXPECT_EQ(page.Lines()[0].name, "Just.NoiseThresh");
  EXPECT_TRUE(page.Search("THRESH"));
  EXPECT_EQ(page.TopRow(), 74u);
  // Past the last page the remaining rows are tested without moving further.
  page.SetTopRow(440);
  EXPECT_TRUE(page.Search("selfparam.valid"));
  EXPECT_EQ(page.TopRow(), 458u);
  page.SetTopRow(100);
  EXPECT_FALSE(page.Search("no such name"));
  EXPECT_EQ(page.TopRow(), 100u);
  EXPECT_FALSE(page.Search(""));
}

TEST(Block7BinaryEditTest, ValueBoxesGoIntoTwoRowsAndMarkOnlyChangedOnesPending) {
  Block7Table table;
  for (EepEntry& row : table.Rows()) row.pending = false;
  CBlock7Page1 page(table);
  page.SetTopRow(0x5A);
  page.values[0] = "12ab";
  page.values[1] = "zz";  // does not read: its rows stay
  EXPECT_TRUE(page.TakeBoxes());
  EXPECT_EQ(table.Rows()[0x5A].value, 0x12);
  EXPECT_EQ(table.Rows()[0x5B].value, 0xAB);
  EXPECT_TRUE(table.Rows()[0x5A].pending);
  EXPECT_FALSE(table.Rows()[0x5C].pending);
  EXPECT_EQ(page.values[0], "12AB");
  EXPECT_EQ(page.values[1], "0000");
  EXPECT_FALSE(page.TakeBoxes()) << "nothing changed the second time";
  page.SetSelfParamsValid(true);
  EXPECT_EQ(page.SelfParamsValid(), true);
  EXPECT_EQ(table.Value16(eep::kSelfParamValid), 1u);
}

TEST(Block7ThresholdsTest, SpinsMoveLevelsByOnePicofaradAndNoLowerThanOne) {
  Block7Table table;
  CBlock7Page2 page(table);
  table.SetValue32(eep::kThreshK, 0x00150000);
  page.Spin(CBlock7Page2::kTouch, 1);
  EXPECT_EQ(table.Value32(eep::kThreshK), 0x00150000u) << "1 pF is the least";
  page.Spin(CBlock7Page2::kTouch, -2);
  EXPECT_EQ(table.Value32(eep::kThreshK), 3u * kCountsPerPicofaradWhole);
  // Liftoff at 50% of 3 pF is 1.5 pF; a step down would pass below 1 pF and stops there: a third.
  table.SetValue16(eep::kThreshHyst, 16384);
  page.Spin(CBlock7Page2::kLiftoff, 1);
  EXPECT_EQ(table.Value16(eep::kThreshHyst), 10922u);
  // Up past the touch level stops at it.
  page.Spin(CBlock7Page2::kLiftoff, -5);
  EXPECT_EQ(table.Value16(eep::kThreshHyst), 32767u);
  // Without a level the share is not divided by zero.
  table.SetValue32(eep::kPalmThreshK, 0);
  table.SetValue16(eep::kPalmThreshHyst, 77);
  page.Spin(CBlock7Page2::kSlowStray, 1);
  EXPECT_EQ(table.Value16(eep::kPalmThreshHyst), 77u);
  page.SetPalmEnable(true);
  EXPECT_EQ(page.PalmEnable(), true);
  EXPECT_EQ(table.Value16(eep::kConfigFlags), 0x80u);
}

TEST(Block7OtherTest, FrequencySpinsMoveUntilTheShownFrequencyChanges) {
  Block7Table table;
  CBlock7Page3 page(table);
  table.SetValue16(eep::kFreq, 0x0100);
  page.SpinFrequency(CBlock7Page3::kFreq, 1);
  // Without a clock the divider counts in fours: the next shown frequency is four values on.
  EXPECT_EQ(table.Value16(eep::kFreq), 0x0104u);
  page.SpinValue(CBlock7Page3::kFreq, 1);
  EXPECT_EQ(table.Value16(eep::kFreq), 0x0103u);
  page.SetOrientation(2);
  EXPECT_EQ(page.Orientation(), 2);
  page.boxes[CBlock7Page3::kPenFreq] = "12345";
  EXPECT_TRUE(page.TakeBoxes());
  EXPECT_EQ(table.Value16(eep::kFreqPen), 0x2345u);
}

}  // namespace
}  // namespace kx7
