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
};

}  // namespace kx7
