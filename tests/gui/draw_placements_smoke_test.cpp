// The draw window in each of its placements in the real kx7sdu, offscreen, on an emulated
// controller whose touches come from a feed: the pictures show the grid, a 16pt target and the
// touch-down cross where the window puts them.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kx7sdu_process.h"

namespace kx7 {
namespace {

namespace fs = std::filesystem;

const QColor kGrid(0, 128, 64);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

class DrawPlacements : public testing::Kx7sduProcessTest, public ::testing::WithParamInterface<const char*> {};

// The client area of the draw window in a picture: the box the grid lines span (the first
// vertical and horizontal lines lie on its left and top edge, the last on its right and bottom).
QRect GridBox(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == kGrid) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

bool ColourNear(const QImage& image, QPoint centre, int reach, const QColor& colour) {
  for (int y = centre.y() - reach; y <= centre.y() + reach; ++y)
    for (int x = centre.x() - reach; x <= centre.x() + reach; ++x)
      if (image.valid(x, y) && image.pixelColor(x, y) == colour) return true;
  return false;
}

TEST_P(DrawPlacements, ShowTheGridATargetAndTheFedTouch) {
  const std::string command = GetParam();
  const fs::path feed = folder_ / "feed.txt";
  std::ofstream(feed).close();
  const fs::path picture = folder_ / "draw.png";
  Start({"--emulate", "cedar-gen4", "--touch-feed", feed.string(), "--command", command, "--screenshot",
         picture.string() + ",7000"},
        folder_ / "output.txt");
  // Once the window is open: a stroke from the middle of the screen to the right.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  {
    std::ofstream lines(feed, std::ios::app);
    lines << "down 1024 1024\n";
    for (int i = 1; i <= 20; ++i) lines << "move " << 1024 + 10 * i << " 1024\n";
    lines << "up\n";
  }
  ASSERT_EQ(WaitForExit(std::chrono::seconds(90)), 0);
  const fs::path full = folder_ / "draw-full.png";
  QImage image(QString::fromStdString((command == "kFullDraw" ? full : picture).string()));
  ASSERT_FALSE(image.isNull()) << command;
  image = image.convertToFormat(QImage::Format_RGB32);
  const QRect client = GridBox(image);
  ASSERT_TRUE(client.isValid()) << command << ": no grid";
  const int w = client.width(), h = client.height();
  if (command == "kFullDraw") {
    EXPECT_EQ(client, image.rect());
  }
  if (command == "kSplitMode") {
    EXPECT_LT(w, image.width() * 3 / 4) << "the left two thirds";
  }
  // A grid line at 255/2048 of the width, from top to bottom.
  const int gridX = client.left() + w * 255 / 2048;
  EXPECT_EQ(image.pixelColor(gridX, client.top() + h * 100 / 2048), kGrid) << command;
  // The first 16pt target: a yellow ring around (255, 256)/2048 of W/100 by H/100.
  const QPoint target(client.left() + w * 255 / 2048, client.top() + h * 256 / 2048);
  EXPECT_TRUE(ColourNear(image, target + QPoint(w / 100, 0), 1, kYellow)) << command;
  EXPECT_FALSE(ColourNear(image, target + QPoint(w / 100 + 4, 0), 1, kYellow)) << command;
  // The red cross of the touch-down near the middle, where the feed touched.
  const QPoint middle(client.left() + w / 2, client.top() + h / 2);
  EXPECT_TRUE(ColourNear(image, middle, w / 50 + 6, kRed)) << command;
}

INSTANTIATE_TEST_SUITE_P(Kx7sdu, DrawPlacements, ::testing::Values("kDraw", "kFullDraw", "kSplitMode"),
                         [](const auto& info) { return std::string(info.param).substr(1); });

}  // namespace
}  // namespace kx7
