#include "canvas_record_printer.h"

#include <sstream>

namespace kx7::cli {

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

std::string CanvasRecordLine(const RecordingCanvas::Operation& o) {
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

void FlushCanvasRecord(RecordingCanvas& canvas, std::ostream& out) {
  for (const RecordingCanvas::Operation& operation : canvas.Operations()) out << CanvasRecordLine(operation) << '\n';
  canvas.Clear();
}

}  // namespace kx7::cli
