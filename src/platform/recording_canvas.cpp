#include "platform/recording_canvas.h"

#include <sstream>

namespace kx7 {

namespace {

std::string Rgb(Color c) {
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

std::string FillOf(const RecordingCanvas::Operation& o) {
  if (o.hollow) return "none";
  if (o.brush == Color{0, 0, 0}) return "black";
  if (o.brush == Color{255, 255, 255}) return "white";
  return Rgb(o.brush);
}

}  // namespace

std::string RecordLine(const RecordingCanvas::Operation& o) {
  std::ostringstream line;
  const auto point = [&](std::size_t i) -> const Point& { return o.points.at(i); };
  if (o.kind == "fill") {
    line << "fill " << point(0).x << ' ' << point(0).y << ' ' << point(1).x << ' ' << point(1).y << ' '
         << Rgb(o.brush);
  } else if (o.kind == "line") {
    line << "line " << point(0).x << ' ' << point(0).y << ' ' << point(1).x << ' ' << point(1).y << ' ' << Rgb(o.pen)
         << ' ' << o.penWidth;
  } else if (o.kind == "cross") {
    line << "cross " << point(0).x << ' ' << point(0).y << ' ' << point(1).x << ' ' << point(1).y << ' '
         << Rgb(o.pen) << ' ' << o.penWidth;
  } else if (o.kind == "ellipse" || o.kind == "rect") {
    // Drawn as the rectangle centre +- half-axes.
    const Point& a = point(0);
    const Point& b = point(1);
    line << o.kind << ' ' << (a.x + b.x) / 2 << ' ' << (a.y + b.y) / 2 << ' ' << (b.x - a.x) / 2 << ' '
         << (b.y - a.y) / 2 << ' ' << Rgb(o.pen) << ' ' << o.penWidth << ' ' << FillOf(o);
  } else if (o.kind == "pixel") {
    line << "pixel " << point(0).x << ' ' << point(0).y << ' ' << Rgb(o.brush);
  } else if (o.kind == "text") {
    line << "text " << point(0).x << ' ' << point(0).y << " \"" << o.text << '"';
  } else if (o.kind == "box") {
    line << "box " << (o.text == "Exit" ? "exit" : "clear") << ' ' << point(0).x << ' ' << point(0).y << ' '
         << point(1).x << ' ' << point(1).y;
  } else {
    line << o.kind;
    for (const Point& p : o.points) line << ' ' << p.x << ' ' << p.y;
  }
  return line.str();
}


std::vector<RecordingCanvas::Operation> RecordingCanvas::OfKind(const std::string& kind) const {
  std::vector<Operation> matching;
  for (const Operation& operation : operations_)
    if (operation.kind == kind) matching.push_back(operation);
  return matching;
}

RecordingCanvas::Operation RecordingCanvas::Make(const char* kind) const {
  Operation operation;
  operation.kind = kind;
  operation.pen = pen_;
  operation.penWidth = penWidth_;
  operation.brush = brush_;
  operation.hollow = hollow_;
  operation.textColor = textColor_;
  operation.font = font_;
  return operation;
}

void RecordingCanvas::SetPen(Color color, int width, PenStyle /*style*/) {
  pen_ = color;
  penWidth_ = width;
}

void RecordingCanvas::SetBrush(Color color, bool hollow) {
  brush_ = color;
  hollow_ = hollow;
}

void RecordingCanvas::FillRect(const Rect& rect, Color color) {
  Operation operation = Make("fill");
  operation.brush = color;
  operation.points = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  operations_.push_back(operation);
}

void RecordingCanvas::Line(Point from, Point to) {
  Operation operation = Make("line");
  operation.points = {from, to};
  operations_.push_back(operation);
}

void RecordingCanvas::Rectangle(const Rect& rect) {
  Operation operation = Make("rect");
  operation.points = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  operations_.push_back(operation);
}

void RecordingCanvas::Ellipse(const Rect& rect) {
  Operation operation = Make("ellipse");
  operation.points = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  operations_.push_back(operation);
}

void RecordingCanvas::Polygon(const std::vector<Point>& points) {
  Operation operation = Make("polygon");
  operation.points = points;
  operations_.push_back(operation);
}

void RecordingCanvas::Text(Point topLeft, const std::string& text) {
  Operation operation = Make("text");
  operation.points = {topLeft};
  operation.text = text;
  operations_.push_back(operation);
}

Point RecordingCanvas::TextExtent(const std::string& text) const {
  return Point{static_cast<int>(text.size()) * 8, 16};
}

void RecordingCanvas::Cross(Point centre, int dx, int dy) {
  Operation operation = Make("cross");
  operation.points = {centre, {dx, dy}};
  operations_.push_back(operation);
}

void RecordingCanvas::Pixel(Point at, Color color) {
  Operation operation = Make("pixel");
  operation.brush = color;
  operation.points = {at};
  operations_.push_back(operation);
}

void RecordingCanvas::RaisedBox(const Rect& rect, Color face, const std::string& label, Color labelColor,
                                const Font& font) {
  Operation operation = Make("box");
  operation.brush = face;
  operation.textColor = labelColor;
  operation.font = font;
  operation.text = label;
  operation.points = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  operations_.push_back(operation);
}

}  // namespace kx7
