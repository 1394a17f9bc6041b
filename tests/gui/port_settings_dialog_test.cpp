#include "port_settings_dialog.h"

#include <gtest/gtest.h>

#include "test_application.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include "qt_ui_host.h"

namespace kx7 {
namespace {

using Parity = PortSettingsDialogModel::Parity;

struct Applied {
  int calls = 0;
  std::string settings;
  bool rts = false;
  bool dtr = false;
};

class PortSettingsDialogTest : public ::testing::Test {
protected:
  void SetUp() override { EnsureApplication(); }
  PortSettingsDialogModel Model(const std::string &settings, bool rts,
                                bool dtr) {
    return PortSettingsDialogModel(
        settings, rts, dtr, [this](const std::string &s, bool r, bool d) {
          ++applied_.calls;
          applied_.settings = s;
          applied_.rts = r;
          applied_.dtr = d;
        });
  }
  Applied applied_;
};

TEST_F(PortSettingsDialogTest, HasTheProgramsControls) {
  auto model = Model("", false, true);
  PortSettingsDialog dialog(model);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Port Settings"));
  QStringList groups;
  for (const QGroupBox *box : dialog.findChildren<QGroupBox *>())
    groups << box->title();
  EXPECT_EQ(groups,
            (QStringList{"&Baud", "&Parity", "&Data Bits", "&Stop Bits"}));
  const char *rates[] = {"300",   "600",   "1200",  "2400",  "4800",  "9600",
                         "19200", "28800", "38400", "56000", "57600", "115200"};
  for (int i = 0; i < 12; ++i) {
    ASSERT_NE(dialog.BaudButton(i), nullptr);
    EXPECT_EQ(dialog.BaudButton(i)->text(), QString(rates[i]));
  }
  EXPECT_EQ(dialog.ParityButton(Parity::kNone)->text(), QStringLiteral("None"));
  EXPECT_EQ(dialog.ParityButton(Parity::kOdd)->text(), QStringLiteral("Odd"));
  EXPECT_EQ(dialog.ParityButton(Parity::kEven)->text(), QStringLiteral("Even"));
  EXPECT_EQ(dialog.RtsBox()->text(), QStringLiteral("RTS"));
  EXPECT_EQ(dialog.DtrBox()->text(), QStringLiteral("DTR"));
}

TEST_F(PortSettingsDialogTest, ShowsTheModelsChoices) {
  const struct {
    std::string settings;
    bool rts, dtr;
    int baudIndex;
    Parity parity;
    int dataBits, stopBits;
  } cases[] = {
      {"", false, true, 5, Parity::kNone, 8, 1},
      {"19200,e,7,2", true, false, 6, Parity::kEven, 7, 2},
      {"115200,O,8,1", true, true, 11, Parity::kOdd, 8, 1},
  };
  for (const auto &c : cases) {
    auto model = Model(c.settings, c.rts, c.dtr);
    PortSettingsDialog dialog(model);
    EXPECT_TRUE(dialog.BaudButton(c.baudIndex)->isChecked()) << c.settings;
    EXPECT_TRUE(dialog.ParityButton(c.parity)->isChecked()) << c.settings;
    EXPECT_TRUE(dialog.DataBitsButton(c.dataBits)->isChecked()) << c.settings;
    EXPECT_TRUE(dialog.StopBitsButton(c.stopBits)->isChecked()) << c.settings;
    EXPECT_EQ(dialog.RtsBox()->isChecked(), c.rts) << c.settings;
    EXPECT_EQ(dialog.DtrBox()->isChecked(), c.dtr) << c.settings;
  }
}

TEST_F(PortSettingsDialogTest, OkWritesTheChoicesBackAndAppliesThem) {
  auto model = Model("9600,n,8,1", false, true);
  PortSettingsDialog dialog(model);
  dialog.BaudButton(11)->click();
  dialog.ParityButton(Parity::kEven)->click();
  dialog.DataBitsButton(7)->click();
  dialog.StopBitsButton(2)->click();
  dialog.RtsBox()->click();
  dialog.DtrBox()->click();
  dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(model.baudIndex, 11);
  EXPECT_EQ(model.parity, Parity::kEven);
  EXPECT_EQ(model.dataBits, 7);
  EXPECT_EQ(model.stopBits, 2);
  EXPECT_EQ(applied_.calls, 1);
  EXPECT_EQ(applied_.settings, "115200,E,7,2");
  EXPECT_TRUE(applied_.rts);
  EXPECT_FALSE(applied_.dtr);
}

TEST_F(PortSettingsDialogTest, CancelChangesNothing) {
  auto model = Model("19200,e,7,2", true, false);
  PortSettingsDialog dialog(model);
  dialog.BaudButton(0)->click();
  dialog.findChild<QDialogButtonBox *>()
      ->button(QDialogButtonBox::Cancel)
      ->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(model.baudIndex, 6);
  EXPECT_EQ(applied_.calls, 0);
}

TEST_F(PortSettingsDialogTest, RunDialogShowsItOnceRegistered) {
  RegisterPortSettingsDialog();
  QtUiHost host;
  auto model = Model("2400,o,8,1", false, false);
  QTimer::singleShot(0, [] {
    auto *dialog =
        qobject_cast<PortSettingsDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->BaudButton(2)->click();
    dialog->accept();
  });
  EXPECT_TRUE(host.RunDialog(model));
  EXPECT_EQ(applied_.settings, "1200,O,8,1");
}

} // namespace
} // namespace kx7
