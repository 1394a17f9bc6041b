#include "platform/recording_canvas.h"

namespace kx7 {

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
