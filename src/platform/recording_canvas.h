// A canvas that records every call, for tests that check what a window draws.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"

namespace kx7 {

class RecordingCanvas : public Canvas {
 public:
  RecordingCanvas(int width, int height) : width_(width), height_(height) {}

  struct Operation {
    // "line", "rect", "ellipse", "polygon", "text", "fill", "cross" (centre, then dx and dy),
    // "pixel" (colour in brush), "box" (face in brush, label in text)
    std::string kind;
    std::vector<Point> points;
    std::string text;
    Color pen;
    int penWidth = 1;
    Color brush;
    bool hollow = false;
    Color textColor;
    Font font;
  };

  const std::vector<Operation>& Operations() const { return operations_; }
  std::vector<Operation> OfKind(const std::string& kind) const;
  void Clear() { operations_.clear(); }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPen(Color color, int width, PenStyle style) override;
  void SetBrush(Color color, bool hollow) override;
  void SetFont(const Font& font) override { font_ = font; }
  void SetTextColor(Color color) override { textColor_ = color; }
  void FillRect(const Rect& rect, Color color) override;
  void Line(Point from, Point to) override;
  void Rectangle(const Rect& rect) override;
  void Ellipse(const Rect& rect) override;
  void Polygon(const std::vector<Point>& points) override;
  void Text(Point topLeft, const std::string& text) override;
  // A fixed cell of 8 x 16 pixels a character keeps layout tests independent of fonts.
  Point TextExtent(const std::string& text) const override;
  void Cross(Point centre, int dx, int dy) override;
  void Pixel(Point at, Color color) override;
  void RaisedBox(const Rect& rect, Color face, const std::string& label, Color labelColor, const Font& font) override;

 private:
  Operation Make(const char* kind) const;

  int width_;
  int height_;
  Color pen_;
  int penWidth_ = 1;
  Color brush_;
  bool hollow_ = false;
  Color textColor_;
  Font font_;
  std::vector<Operation> operations_;
};

// One recorded call as a line of text: "fill 0 0 640 480 0,0,0", "line X0 Y0 X1 Y1 R,G,B WIDTH",
// "cross X Y DX DY R,G,B WIDTH", "ellipse X Y RX RY R,G,B WIDTH FILL" (and "rect"; FILL none,
// black, white or R,G,B), "pixel X Y R,G,B", "text X Y \"TEXT\"", "box clear|exit X0 Y0 X1 Y1".
std::string RecordLine(const RecordingCanvas::Operation& operation);

}  // namespace kx7
