// All drawing of the core windows goes through Canvas: a Qt painter in kx7sdu, a recording
// canvas in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Color&) const = default;
};

inline constexpr Color Rgb(int r, int g, int b) {
  return Color{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Font {
  std::string family = "Courier New";
  int pointSize = 10;
  bool bold = false;
  bool fixedPitch = true;
  // Above 0: the character height in pixels, in place of the point size (a font that scales
  // with the window).
  int pixelHeight = 0;
  bool operator==(const Font&) const = default;
};

enum class PenStyle { kSolid, kDash, kDot, kNone };

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void SetPen(Color color, int width = 1, PenStyle style = PenStyle::kSolid) = 0;
  // Fill for rectangles, ellipses and polygons; `hollow` draws outlines only.
  virtual void SetBrush(Color color, bool hollow = false) = 0;
  virtual void SetFont(const Font& font) = 0;
  virtual void SetTextColor(Color color) = 0;

  virtual void FillRect(const Rect& rect, Color color) = 0;
  virtual void Line(Point from, Point to) = 0;
  virtual void Rectangle(const Rect& rect) = 0;
  virtual void Ellipse(const Rect& rect) = 0;
  virtual void Polygon(const std::vector<Point>& points) = 0;
  virtual void Text(Point topLeft, const std::string& text) = 0;
  // Width and height of a text in the current font.
  virtual Point TextExtent(const std::string& text) const = 0;

  // A plus in the current pen: (x - dx, y) to (x + dx, y) and (x, y - dy) to (x, y + dy), both
  // ends included. One call, so that what a window draws does not depend on how a back end
  // treats the last pixel of a line.
  virtual void Cross(Point centre, int dx, int dy) {
    Line({centre.x - dx, centre.y}, {centre.x + dx, centre.y});
    Line({centre.x, centre.y - dy}, {centre.x, centre.y + dy});
  }
  // One pixel in a colour.
  virtual void Pixel(Point at, Color color) { FillRect(Rect{at.x, at.y, at.x + 1, at.y + 1}, color); }
  // A raised button face filled with `face`, its label centred in `labelColor` and `font`.
  virtual void RaisedBox(const Rect& rect, Color face, const std::string& label, Color labelColor, const Font& font) {
    FillRect(rect, face);
    SetPen(Rgb(255, 255, 255));
    Line({rect.left, rect.bottom - 1}, {rect.left, rect.top});
    Line({rect.left, rect.top}, {rect.right - 1, rect.top});
    SetPen(Rgb(128, 128, 128));
    Line({rect.right - 1, rect.top}, {rect.right - 1, rect.bottom - 1});
    Line({rect.right - 1, rect.bottom - 1}, {rect.left, rect.bottom - 1});
    SetFont(font);
    SetTextColor(labelColor);
    const Point extent = TextExtent(label);
    Text({rect.left + (rect.Width() - extent.x) / 2, rect.top + (rect.Height() - extent.y) / 2}, label);
  }
};

}  // namespace kx7
