#include "app/options_sheet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/scripted_ui_host.h"

namespace kx7 {
namespace {

class OptionsSheetTest : public ::testing::Test {
 protected:
  COptionsSheet Make() {
    return COptionsSheet(current, ui, [this](const OptionsBlock& options, bool ok) {
      current = options;
      (ok ? oks : applies)++;
    });
  }
  std::pair<std::size_t, std::size_t> At(COptionsSheet& sheet, const std::string& label) {
    const auto where = sheet.Find(label);
    EXPECT_TRUE(where) << label;
    return where.value_or(std::make_pair(std::size_t{0}, std::size_t{0}));
  }

  OptionsBlock current;
  ScriptedUiHost ui;
  int applies = 0;
  int oks = 0;
};

TEST_F(OptionsSheetTest, ThePagesAndTheirControls) {
  const std::vector<OptionsPage>& pages = OptionsPages();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_STREQ(pages[0].title, "General");
  EXPECT_STREQ(pages[1].title, "Terminal");
  EXPECT_STREQ(pages[2].title, "Draw");
  int shown = 0;
  for (const OptionsPage& page : pages)
    for (const OptionControl& control : page.controls) shown += control.hidden ? 0 : 1;
  EXPECT_EQ(shown, 2 + 5 + 6);
}

TEST_F(OptionsSheetTest, CancelLeavesTheProgramsSettingsAlone) {
  COptionsSheet sheet = Make();
  const auto [page, control] = At(sheet, "Time Display");
  EXPECT_TRUE(sheet.SetValue(page, control, 2));
  EXPECT_TRUE(sheet.ApplyEnabled());
  EXPECT_EQ(sheet.Copy().TimeDisplay, 2);
  // Cancel is closing the sheet without OK.
  EXPECT_EQ(current.TimeDisplay, 0);
  EXPECT_EQ(applies + oks, 0);
}

TEST_F(OptionsSheetTest, ApplyHandsTheCopyOverAndOkOnlyWhatIsNotAppliedYet) {
  COptionsSheet sheet = Make();
  const auto [page, control] = At(sheet, "Show Grid");
  sheet.SetValue(page, control, 0);
  EXPECT_TRUE(sheet.Apply());
  EXPECT_EQ(current.ShowGrid, 0);
  EXPECT_EQ(applies, 1);
  EXPECT_FALSE(sheet.ApplyEnabled());
  EXPECT_TRUE(sheet.OnOk());
  EXPECT_EQ(oks, 0) << "nothing left to apply";
  COptionsSheet again = Make();
  const auto [dots, dotsControl] = At(again, "Draw Dots");
  again.SetValue(dots, dotsControl, 1);
  EXPECT_TRUE(again.OnOk());
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(current.DrawDots, 1);
}

TEST_F(OptionsSheetTest, EnterStoresThePageAndKeepsTheSheetOpen) {
  COptionsSheet sheet = Make();
  sheet.SetActivePage(1);
  EXPECT_FALSE(sheet.ApplyEnabled());
  EXPECT_TRUE(sheet.Enter());
  EXPECT_TRUE(sheet.ApplyEnabled());
}

TEST_F(OptionsSheetTest, HiddenAndUnshownValuesPassThroughUnchanged) {
  current.ForceCaps = 0;
  current.ZHigh = 77;
  current.CircleSize = 33;  // on no page at all
  std::strcpy(current.LastFolder, "/data/panels");
  current.ProveAccuracyPercent = 2.5;
  COptionsSheet sheet = Make();
  for (std::size_t page = 0; page < sheet.PageCount(); ++page) {
    sheet.SetActivePage(page);
    ASSERT_TRUE(sheet.Enter());
  }
  const OptionsBlock before = current;
  const auto [page, control] = At(sheet, "Find Controller on Launch");
  sheet.SetValue(page, control, 0);
  ASSERT_TRUE(sheet.OnOk());
  OptionsBlock expected = before;
  expected.FindOnLaunch = 0;
  EXPECT_TRUE(current == expected);
}

TEST_F(OptionsSheetTest, ANumberFieldTakesIntegersOnly) {
  COptionsSheet sheet = Make();
  const auto [page, control] = At(sheet, "High");
  EXPECT_TRUE(sheet.SetText(page, control, " 200 "));
  EXPECT_EQ(sheet.Copy().ZHigh, 200);
  for (const std::string bad : {"", "12.5", "1e3", "0x10", "99999999999", "abc"}) {
    ui.ExpectMessage(kEnterIntegerText, Answer::kOk);
    EXPECT_FALSE(sheet.SetText(page, control, bad)) << bad;
    EXPECT_EQ(sheet.Copy().ZHigh, 200) << bad;
  }
  // OK with a field that is no integer keeps the sheet open; nothing reaches the program.
  ui.ExpectMessage(kEnterIntegerText, Answer::kOk);
  sheet.SetActivePage(page);
  EXPECT_FALSE(sheet.OnOk());
  EXPECT_TRUE(ui.AllConsumed()) << ui.Report();
  EXPECT_EQ(current.ZHigh, 180);
  EXPECT_EQ(sheet.Copy().ZHigh, 200);
}

TEST_F(OptionsSheetTest, AListTakesOnlyItsOwnIndexes) {
  COptionsSheet sheet = Make();
  const auto [page, control] = At(sheet, "Grid Style");
  EXPECT_FALSE(sheet.SetValue(page, control, 3));
  EXPECT_FALSE(sheet.SetValue(page, control, -1));
  EXPECT_TRUE(sheet.SetValue(page, control, 2));
  EXPECT_EQ(sheet.Copy().GridMode, 2);
  EXPECT_FALSE(sheet.Find("No Such Box"));
}

}  // namespace
}  // namespace kx7
