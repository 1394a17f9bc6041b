// Canvas over a QPainter, for the views of the core windows. Coordinates follow the classic
// desktop drawing model the windows are written for: a rectangle's right and bottom edges are
// outside it, and text is placed by its top-left corner.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <string>

#include "platform/canvas.h"

namespace kx7 {

class QtCanvas : public Canvas {
 public:
  // The canvas covers the painter's whole device.
  explicit QtCanvas(QPainter& painter);
  QtCanvas(QPainter& painter, int width, int height);

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void SetPen(Color color, int width = 1, PenStyle style = PenStyle::kSolid) override;
  void SetBrush(Color color, bool hollow = false) override;
  void SetFont(const Font& font) override;
  void SetTextColor(Color color) override { textColor_ = ToQColor(color); }

  void FillRect(const Rect& rect, Color color) override;
  void Line(Point from, Point to) override;
  void Rectangle(const Rect& rect) override;
  void Ellipse(const Rect& rect) override;
  void Polygon(const std::vector<Point>& points) override;
  void Text(Point topLeft, const std::string& text) override;
  Point TextExtent(const std::string& text) const override;
  void Cross(Point centre, int dx, int dy) override;
  void Pixel(Point at, Color color) override;
  void RaisedBox(const Rect& rect, Color face, const std::string& label, Color labelColor, const Font& font) override;

  static QColor ToQColor(Color color) { return QColor(color.red, color.green, color.blue); }
  // "Courier New" and other fixed-pitch requests become a fixed-pitch font that this system has.
  static QFont ToQFont(const Font& font);

 private:
  // The area a shape with the current pen covers, right and bottom edges excluded.
  QRect ShapeRect(const Rect& rect) const;

  QPainter& painter_;
  int width_;
  int height_;
  QColor textColor_{Qt::black};
};

}  // namespace kx7
