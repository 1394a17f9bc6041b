#include "qt_canvas.h"

#include <gtest/gtest.h>

#include "test_application.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

namespace kx7 {
namespace {

constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kBlue = Rgb(0, 0, 255);
constexpr Color kGreen = Rgb(0, 160, 0);

class QtCanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    image_ = QImage(100, 80, QImage::Format_RGB32);
    image_.fill(Qt::white);
  }
  // Paints through a fresh canvas, as a view does in each paint event.
  void Paint(const std::function<void(QtCanvas&)>& draw) {
    QPainter painter(&image_);
    QtCanvas canvas(painter);
    draw(canvas);
  }
  Color At(int x, int y) const {
    const QColor color = image_.pixelColor(x, y);
    return Rgb(color.red(), color.green(), color.blue());
  }
  int CountOf(Color color, const QRect& area) const {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) count += At(x, y) == color;
    return count;
  }
  QImage image_;
};

TEST_F(QtCanvasTest, SizeIsThePaintDevicesUnlessGiven) {
  QPainter painter(&image_);
  EXPECT_EQ(QtCanvas(painter).Width(), 100);
  EXPECT_EQ(QtCanvas(painter).Height(), 80);
  EXPECT_EQ(QtCanvas(painter, 40, 30).Width(), 40);
  EXPECT_EQ(QtCanvas(painter, 40, 30).Height(), 30);
}

TEST_F(QtCanvasTest, FillRectCoversLeftTopButNotRightBottom) {
  Paint([](QtCanvas& canvas) { canvas.FillRect({10, 20, 30, 40}, kRed); });
  const struct {
    int x, y;
    Color expected;
  } pixels[] = {{10, 20, kRed},   {29, 39, kRed},  {20, 30, kRed},  {30, 30, kWhite},
                {20, 40, kWhite}, {9, 30, kWhite}, {20, 19, kWhite}};
  for (const auto& p : pixels) EXPECT_EQ(At(p.x, p.y), p.expected) << p.x << "," << p.y;
  EXPECT_EQ(CountOf(kRed, image_.rect()), 20 * 20);
}

TEST_F(QtCanvasTest, EmptyOrInvertedFillDrawsNothing) {
  Paint([](QtCanvas& canvas) {
    canvas.FillRect({10, 10, 10, 30}, kRed);
    canvas.FillRect({30, 30, 20, 20}, kRed);
  });
  EXPECT_EQ(CountOf(kRed, image_.rect()), 0);
}

TEST_F(QtCanvasTest, LinesUseThePen) {
  Paint([](QtCanvas& canvas) {
    canvas.SetPen(kBlue);
    canvas.Line({0, 50}, {99, 50});
    canvas.SetPen(kRed, 3);
    canvas.Line({20, 0}, {20, 30});
  });
  EXPECT_EQ(At(0, 50), kBlue);
  EXPECT_EQ(At(60, 50), kBlue);
  EXPECT_EQ(At(60, 49), kWhite);
  EXPECT_EQ(At(60, 51), kWhite);
  EXPECT_EQ(At(19, 15), kRed);
  EXPECT_EQ(At(21, 15), kRed);
  EXPECT_EQ(At(23, 15), kWhite);
}

TEST_F(QtCanvasTest, NoPenDrawsNoLine) {
  Paint([](QtCanvas& canvas) {
    canvas.SetPen(kBlue, 1, PenStyle::kNone);
    canvas.Line({0, 50}, {99, 50});
  });
  EXPECT_EQ(CountOf(kBlue, image_.rect()), 0);
}

TEST_F(QtCanvasTest, RectangleIsOutlinedWithThePenAndFilledWithTheBrush) {
  Paint([](QtCanvas& canvas) {
    canvas.SetPen(kBlue);
    canvas.SetBrush(kRed);
    canvas.Rectangle({10, 10, 30, 30});
  });
  const struct {
    int x, y;
    Color expected;
  } pixels[] = {{10, 10, kBlue}, {29, 29, kBlue}, {10, 20, kBlue},  {29, 20, kBlue}, {20, 20, kRed},
                {11, 11, kRed},  {28, 28, kRed},  {30, 20, kWhite}, {20, 30, kWhite}};
  for (const auto& p : pixels) EXPECT_EQ(At(p.x, p.y), p.expected) << p.x << "," << p.y;
}

TEST_F(QtCanvasTest, HollowBrushLeavesTheInside) {
  Paint([](QtCanvas& canvas) {
    canvas.SetPen(kBlue);
    canvas.SetBrush(kRed, true);
    canvas.Rectangle({10, 10, 30, 30});
    canvas.Ellipse({40, 10, 80, 50});
  });
  EXPECT_EQ(At(10, 10), kBlue);
  EXPECT_EQ(At(20, 20), kWhite);
  EXPECT_EQ(At(60, 30), kWhite);
  EXPECT_EQ(CountOf(kRed, image_.rect()), 0);
  EXPECT_GT(CountOf(kBlue, QRect(40, 10, 40, 40)), 0);
}

TEST_F(QtCanvasTest, FilledShapesWithoutPenUseTheBrushOnly) {
  Paint([](QtCanvas& canvas) {
    canvas.SetPen(kBlue, 1, PenStyle::kNone);
    canvas.SetBrush(kRed);
    canvas.Rectangle({0, 0, 10, 10});
    canvas.SetBrush(kGreen);
    canvas.Ellipse({40, 10, 80, 50});
    canvas.SetBrush(kBlue);
    canvas.Polygon({{10, 70}, {30, 50}, {50, 70}});
  });
  EXPECT_EQ(CountOf(kRed, image_.rect()), 100);
  EXPECT_EQ(At(60, 30), kGreen);
  EXPECT_EQ(At(41, 11), kWhite);  // an ellipse leaves its bounding box's corners
  EXPECT_EQ(At(30, 65), kBlue);
  EXPECT_EQ(At(12, 52), kWhite);
}

TEST_F(QtCanvasTest, TextIsPlacedByItsTopLeftCornerInTheTextColour) {
  Point extent;
  Paint([&](QtCanvas& canvas) {
    canvas.SetPen(kBlue);
    canvas.SetTextColor(kRed);
    canvas.SetFont(Font{"Courier New", 12, true, true});
    canvas.Text({10, 30}, "HHHH");
    extent = canvas.TextExtent("HHHH");
    canvas.Line({0, 5}, {99, 5});
  });
  ASSERT_GT(extent.x, 0);
  ASSERT_GT(extent.y, 0);
  // The pen is back after the text: the line drawn after it is blue.
  EXPECT_EQ(At(50, 5), kBlue);
  const QRect box(10, 30, extent.x, extent.y);
  EXPECT_EQ(CountOf(kBlue, box), 0);
  // Text anti-aliasing blends the edges; the stems are the text colour itself.
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < image_.height(); ++y)
    for (int x = 0; x < image_.width(); ++x)
      if (y != 5 && At(x, y) != kWhite) (box.contains(x, y) ? inside : outside)++;
  EXPECT_GT(CountOf(kRed, box), 0);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
}

TEST_F(QtCanvasTest, FixedPitchRequestsGetAFixedPitchFontThatExists) {
  const Font fixed[] = {
      {"Courier New", 10, false, true}, {"Courier New", 14, true, false}, {"No Such Family At All", 9, false, true}};
  for (const Font& request : fixed) {
    const QFont font = QtCanvas::ToQFont(request);
    EXPECT_TRUE(QFontInfo(font).fixedPitch()) << request.family;
    EXPECT_EQ(font.pointSize(), request.pointSize) << request.family;
    EXPECT_EQ(font.bold(), request.bold) << request.family;
  }
  Paint([](QtCanvas& canvas) {
    canvas.SetFont(Font{"Courier New", 10, false, true});
    EXPECT_EQ(canvas.TextExtent("iiii").x, canvas.TextExtent("WWWW").x);
    EXPECT_LT(canvas.TextExtent("WW").x, canvas.TextExtent("WWWW").x);
    EXPECT_EQ(canvas.TextExtent("").x, 0);
  });
}

TEST_F(QtCanvasTest, BytesThatAreNotUtf8ShowAsTheirLatin1Characters) {
  // A controller's bytes are not UTF-8; they show as the characters they stand for, not as
  // replacement marks.
  const auto render = [&](const std::string& text) {
    image_.fill(Qt::white);
    Paint([&](QtCanvas& canvas) {
      canvas.SetFont(Font{"Courier New", 12, false, true});
      canvas.Text({5, 5}, text);
    });
    return image_.copy();
  };
  const QImage latin = render(std::string("A\xB1\xE9", 3));
  const QImage utf8 = render("A\xC2\xB1\xC3\xA9");
  const QImage marks = render("A\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(latin, utf8);
  EXPECT_NE(latin, marks);
}

}  // namespace
}  // namespace kx7
