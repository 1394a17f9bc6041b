#include "qt_canvas.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPen>
#include <QPolygon>
#include <QStringDecoder>
#include <algorithm>

namespace kx7 {
namespace {

// Window texts are UTF-8, but the terminal shows whatever bytes a controller sent; those are
// shown one character a byte rather than as replacement marks.
QString Decoded(const std::string& text) {
  QStringDecoder decoder(QStringConverter::Utf8);
  QString decoded = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (decoder.hasError()) decoded = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  return decoded;
}

Qt::PenStyle ToQtStyle(PenStyle style) {
  switch (style) {
    case PenStyle::kSolid:
      return Qt::SolidLine;
    case PenStyle::kDash:
      return Qt::DashLine;
    case PenStyle::kDot:
      return Qt::DotLine;
    case PenStyle::kNone:
      return Qt::NoPen;
  }
  return Qt::SolidLine;
}

}  // namespace

QtCanvas::QtCanvas(QPainter& painter)
    : QtCanvas(painter, painter.device() ? painter.device()->width() : 0,
               painter.device() ? painter.device()->height() : 0) {}

QtCanvas::QtCanvas(QPainter& painter, int width, int height) : painter_(painter), width_(width), height_(height) {
  // The windows are drawn pixel by pixel, and start from the desktop's defaults: a thin black
  // pen, a white brush and text drawn without a background.
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setPen(QPen(Qt::black, 1));
  painter_.setBrush(Qt::white);
  painter_.setBackgroundMode(Qt::TransparentMode);
  painter_.setFont(ToQFont(Font{}));
}

QFont QtCanvas::ToQFont(const Font& font) {
  const bool wantsFixed = font.fixedPitch || font.family == "Courier New";
  QFont result(QString::fromStdString(font.family));
  result.setStyleHint(wantsFixed ? QFont::TypeWriter : QFont::AnyStyle);
  if (wantsFixed && !QFontInfo(result).fixedPitch()) {
    result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    result.setStyleHint(QFont::TypeWriter);
  }
  result.setFixedPitch(wantsFixed);
  if (font.pixelHeight > 0)
    result.setPixelSize(font.pixelHeight);
  else
    result.setPointSize(font.pointSize > 0 ? font.pointSize : 10);
  result.setBold(font.bold);
  return result;
}

void QtCanvas::SetPen(Color color, int width, PenStyle style) {
  QPen pen(ToQColor(color));
  // Width 0 is the thinnest line, as width 1 is.
  pen.setWidth(width > 1 ? width : 1);
  pen.setStyle(ToQtStyle(style));
  painter_.setPen(pen);
}

void QtCanvas::SetBrush(Color color, bool hollow) {
  painter_.setBrush(hollow ? QBrush(Qt::NoBrush) : QBrush(ToQColor(color)));
}

void QtCanvas::SetFont(const Font& font) { painter_.setFont(ToQFont(font)); }

void QtCanvas::FillRect(const Rect& rect, Color color) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  painter_.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ToQColor(color));
}

void QtCanvas::Line(Point from, Point to) { painter_.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y)); }

QRect QtCanvas::ShapeRect(const Rect& rect) const {
  QRect area = QRect(QPoint(rect.left, rect.top), QPoint(rect.right, rect.bottom)).normalized();
  // QRect(QPoint, QPoint) includes the far corner; the shape excludes it. A stroked shape
  // grows by its pen on top of that.
  const int shrink = painter_.pen().style() == Qt::NoPen ? 1 : 2;
  area.setWidth(std::max(0, area.width() - shrink));
  area.setHeight(std::max(0, area.height() - shrink));
  return area;
}

void QtCanvas::Rectangle(const Rect& rect) { painter_.drawRect(ShapeRect(rect)); }

void QtCanvas::Ellipse(const Rect& rect) { painter_.drawEllipse(ShapeRect(rect)); }

void QtCanvas::Polygon(const std::vector<Point>& points) {
  if (points.empty()) return;
  QPolygon polygon;
  polygon.reserve(static_cast<qsizetype>(points.size()));
  for (const Point& point : points) polygon << QPoint(point.x, point.y);
  painter_.drawPolygon(polygon);
}

void QtCanvas::Text(Point topLeft, const std::string& text) {
  if (text.empty()) return;
  const QPen pen = painter_.pen();
  painter_.setPen(textColor_);
  const QFontMetrics metrics(painter_.font(), painter_.device());
  painter_.drawText(QPoint(topLeft.x, topLeft.y + metrics.ascent()), Decoded(text));
  painter_.setPen(pen);
}

Point QtCanvas::TextExtent(const std::string& text) const {
  const QFontMetrics metrics(painter_.font(), painter_.device());
  return Point{metrics.horizontalAdvance(Decoded(text)), metrics.height()};
}

void QtCanvas::Cross(Point centre, int dx, int dy) {
  painter_.drawLine(QPoint(centre.x - dx, centre.y), QPoint(centre.x + dx, centre.y));
  painter_.drawLine(QPoint(centre.x, centre.y - dy), QPoint(centre.x, centre.y + dy));
}

void QtCanvas::Pixel(Point at, Color color) { painter_.fillRect(QRect(at.x, at.y, 1, 1), ToQColor(color)); }

void QtCanvas::RaisedBox(const Rect& rect, Color face, const std::string& label, Color labelColor, const Font& font) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  const QRect area(rect.left, rect.top, rect.Width(), rect.Height());
  painter_.save();
  painter_.fillRect(area, ToQColor(face));
  // A raised edge: light top and left, dark bottom and right, two pixels each.
  const QColor light(255, 255, 255), shade(128, 128, 128), dark(64, 64, 64);
  painter_.setPen(QPen(light, 1));
  painter_.drawLine(area.topLeft(), area.topRight());
  painter_.drawLine(area.topLeft(), area.bottomLeft());
  painter_.setPen(QPen(dark, 1));
  painter_.drawLine(area.bottomLeft(), area.bottomRight());
  painter_.drawLine(area.topRight(), area.bottomRight());
  painter_.setPen(QPen(shade, 1));
  painter_.drawLine(area.bottomLeft() + QPoint(1, -1), area.bottomRight() + QPoint(-1, -1));
  painter_.drawLine(area.topRight() + QPoint(-1, 1), area.bottomRight() + QPoint(-1, -1));
  painter_.setFont(ToQFont(font));
  painter_.setPen(ToQColor(labelColor));
  painter_.drawText(area, Qt::AlignCenter, Decoded(label));
  painter_.restore();
}

}  // namespace kx7
