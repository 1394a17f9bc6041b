#include "options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QApplication>

#include "platform/scripted_ui_host.h"
#include "test_application.h"

namespace kx7 {
namespace {

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  COptionsSheet Sheet() {
    return COptionsSheet(program, ui, [this](const OptionsBlock& options, bool) {
      program = options;
      ++applied;
    });
  }
  OptionsBlock program;
  ScriptedUiHost ui;
  int applied = 0;
};

TEST_F(OptionsDialogTest, ShowsTheThreePagesWithTheirShownControlsOnly) {
  COptionsSheet sheet = Sheet();
  OptionsDialog dialog(sheet);
  ASSERT_EQ(dialog.Tabs()->count(), 3);
  EXPECT_EQ(dialog.Tabs()->tabText(0), "General");
  EXPECT_EQ(dialog.Tabs()->tabText(1), "Terminal");
  EXPECT_EQ(dialog.Tabs()->tabText(2), "Draw");
  for (std::size_t page = 0; page < sheet.PageCount(); ++page)
    for (std::size_t i = 0; i < sheet.Page(page).controls.size(); ++i)
      EXPECT_EQ(dialog.ControlWidget(page, i) == nullptr, sheet.Page(page).controls[i].hidden)
          << sheet.Page(page).controls[i].label;
  const auto time = sheet.Find("Time Display");
  auto* list = qobject_cast<QComboBox*>(dialog.ControlWidget(time->first, time->second));
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count(), 4);
  EXPECT_EQ(list->itemText(3), "Time and Date");
}

TEST_F(OptionsDialogTest, AClickEnablesApplyAndApplyHandsTheValueOver) {
  COptionsSheet sheet = Sheet();
  OptionsDialog dialog(sheet);
  EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
  const auto grid = sheet.Find("Show Grid");
  auto* box = qobject_cast<QCheckBox*>(dialog.ControlWidget(grid->first, grid->second));
  ASSERT_TRUE(box);
  EXPECT_TRUE(box->isChecked());
  box->click();
  EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
  EXPECT_EQ(program.ShowGrid, 1);
  dialog.ApplyButton()->click();
  EXPECT_EQ(program.ShowGrid, 0);
  EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
  dialog.reject();
  EXPECT_EQ(program.ShowGrid, 0) << "Cancel keeps what was applied";
}

TEST_F(OptionsDialogTest, EnterStoresThePageAndKeepsTheDialogOpen) {
  COptionsSheet sheet = Sheet();
  OptionsDialog dialog(sheet);
  dialog.show();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &enter);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
  dialog.accept();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(applied, 1);
}

}  // namespace
}  // namespace kx7
