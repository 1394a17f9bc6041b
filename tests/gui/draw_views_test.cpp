#include "draw_views.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QKeyEvent>

#include "draw/offline_draw_host.h"
#include "frame/messages.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "test_application.h"

namespace kx7 {
namespace {

class DrawViewsTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  void Feed(Window& window, const std::string& bytes) {
    for (const char c : bytes) loop.Send(window.Id(), msg::kListenerByte, static_cast<std::uint8_t>(c), 0);
  }
  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  OfflineDrawHost host{ui};
};

TEST_F(DrawViewsTest, BytesDrawIntoThePictureAtOnceAndAPaintReplaysThem) {
  CDrawWnd window(loop, host, false);
  {
    DrawView view(window);
    view.resize(400, 300);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(view.Picture().size(), QSize(400, 300));
    EXPECT_EQ(view.Picture().pixelColor(0, 150), QColor(0, 128, 64)) << "the grid's first line";
    EXPECT_EQ(view.Picture().pixelColor(200, 150), QColor(0, 0, 0));
    // A touch-down in the middle: its cross is in the picture before any paint.
    Feed(window, std::string("\xC0\x00\x40\x00\x40", 5));
    // (Off the 25pt target that stands in the middle too.)
    EXPECT_EQ(view.Picture().pixelColor(200, 152), QColor(255, 0, 0));
    EXPECT_EQ(view.Picture().pixelColor(204, 149), QColor(255, 0, 0));
    // A repaint draws the picture again from the history: the cross is still there.
    view.Refresh();
    QApplication::processEvents();
    EXPECT_EQ(view.Picture().pixelColor(200, 152), QColor(255, 0, 0));
    // After Erase the history is empty and so is the picture's trace.
    window.Erase(false);
    view.Refresh();
    QApplication::processEvents();
    EXPECT_EQ(view.Picture().pixelColor(200, 152), QColor(0, 0, 0));
  }
  // The view is gone; the window takes bytes without a live canvas.
  Feed(window, std::string("\xC0\x00\x40\x00\x40", 5));
  EXPECT_EQ(window.History().size(), 5u);
}

TEST_F(DrawViewsTest, TheMultitouchViewDrawsTheContactsItIsSent) {
  host.options.ShowGrid = 0;
  CMultiDrawWnd window(loop, host, 33022);
  MultiDrawView view(window);
  view.resize(320, 320);
  view.show();
  QApplication::processEvents();
  // A 6-byte packet: contact 3 touches down in the middle.
  Feed(window, std::string("\xC0\x00\x40\x00\x40\x03", 6));
  EXPECT_EQ(view.Picture().pixelColor(160, 159), QColor(255, 0, 0));
  // Typed keys reach the window: B turns the background white.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
  QApplication::sendEvent(&view, &key);
  EXPECT_TRUE(window.WhiteBackground());
}

}  // namespace
}  // namespace kx7
