// The draw window: where the controller reports touches, live. Every received byte is kept in
// the touch history and decoded in the report format of the window; each decoded point is drawn
// as a trace (lines between touching points, a red cross at a touch-down, a green circle at a
// lift) over the test overlays (grid or ruler bar, 16 and 25 targets, diagonals). A paint fills
// the background, draws the overlays and replays the history; bytes that arrive between paints
// draw only what they add, on the live canvas the view hands in. The mouse can stand in for
// touches ("Track Mouse"), and the window copies itself to the clipboard as a picture. Three
// placements use it: an MDI child "Draw", full screen, and the left of split mode.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "draw/draw_host.h"
#include "draw/draw_tools.h"
#include "platform/canvas.h"
#include "platform/window.h"

namespace kx7 {

class CDrawWnd : public Window {
 public:
  CDrawWnd(MessageLoop& loop, DrawHost& host, bool fullScreen);
  ~CDrawWnd() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "Draw"; }

  // --- Input -----------------------------------------------------------------------------------
  // One received byte (message 0x803D): kept in the history, decoded and drawn at once.
  void OnByte(std::uint8_t byte);
  // A driver or HID touch record (message 0x803E).
  void OnRecord(const std::uint8_t* record, std::size_t length);
  // A Format command was chosen: the window decodes in `format` from now on (the poll toggle
  // keeps the format); the decoder and both pens start afresh.
  void FormatChanged(std::uint32_t format);
  // Clear All (with the terminal) or Space (without it).
  void Erase(bool clearTerminal);
  void OnChar(std::uint16_t key);
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);
  void DoubleClick(int x, int y);
  // Puts a picture of the client area on the clipboard (message 0x800A).
  void Copy();
  void Close();

  // --- Drawing ---------------------------------------------------------------------------------
  // The whole client area: background, overlays, the history replayed, the Cedar Circle ring.
  void Paint(Canvas& canvas);
  // What lies on top of the trace and is never part of it: the cursor sprite and the Mark plus.
  // The view draws it over its copy of the client area.
  void PaintOverlay(Canvas& canvas) const;
  // The canvas a byte draws on as it arrives (the view's copy of the client area); null: the
  // bytes are decoded and kept, and drawn at the next paint.
  void SetLiveCanvas(Canvas* canvas);
  // The client area's size; the live canvas and the mouse are in it.
  void SetClientSize(int width, int height);
  int ClientWidth() const { return width_; }
  int ClientHeight() const { return height_; }
  // Called after a byte, a record or the mouse drew on the live canvas, with the area it touched.
  std::function<void(const Rect& area)> onDrawn;
  // The window is gone from the screen (the owner deletes it later).
  std::function<void(CDrawWnd&)> onClosed;

  // --- State -----------------------------------------------------------------------------------
  bool FullScreen() const { return fullScreen_; }
  std::uint32_t Format() const { return format_; }
  const std::vector<std::uint8_t>& History() const { return history_; }
  bool PenDown() const { return penDown_; }
  bool WasDown() const { return wasDown_; }
  Point LastPoint() const { return last_; }
  bool ModeCommandSent() const { return modeCommandSent_; }
  bool NewData() const { return newData_; }
  bool Tracking() const { return tracking_; }
  struct Sprite {
    Point at;
    bool shown = false;
  };
  const Sprite& CursorSprite() const { return sprite_; }
  DrawHost& Host() const { return host_; }

  // The test tools, each null while closed; the window feeds them and closes them with itself.
  MeasureToolFeed* measureTool = nullptr;
  CedarCircleTool* cedarCircle = nullptr;
  CedarSquareTool* cedarSquare = nullptr;
  // Opens the Measure Tool (key M); not there while the tool is not.
  std::function<void()> openMeasureTool;

 private:
  enum class Report { kNone, kBinary, kAscii, kCompact, kSkip, kRaw, kDigitizer, kGen4 };

  void Decode(std::uint8_t byte);
  void DecodeStandard(std::uint8_t byte);
  void StartBinary(std::uint8_t status);
  void BinaryByte(std::uint8_t byte);
  void StatusByte(std::uint8_t byte);
  void AsciiByte(std::uint8_t byte);
  void AsciiReportDone();
  void CompactByte(std::uint8_t byte);
  void ReportDone();
  void DecodeRaw(std::uint8_t byte);
  void DecodeDigitizer(std::uint8_t byte);
  void DigitizerReportDone();
  void DecodeGen4(std::uint8_t byte);
  void ResetDecoder();

  // Draws a decoded point with the pen state `penDown_`; `z` when the point carries pressure.
  void DrawPoint(int x, int y, std::optional<int> z);
  std::optional<int> ZWidth(int z) const;
  void Feed(int x, int y, int fullScale, bool signedValues);
  void Send(std::uint8_t byte);
  void Drawn(const Rect& area);
  void Repaint();
  void MouseReport(char kind, int x, int y);
  void DrawOverlays(Canvas& canvas) const;
  void DrawTarget(Canvas& canvas, int x2048, int y2048) const;

  DrawHost& host_;
  bool fullScreen_;
  std::uint32_t format_;
  int width_ = 0;
  int height_ = 0;
  Canvas* live_ = nullptr;
  Canvas* target_ = nullptr;  // the canvas of the byte being decoded: the paint's or the live one

  // Decoder.
  Report report_ = Report::kNone;
  std::size_t position_ = 0;  // next byte within the report; 0 = waiting for a report
  std::array<std::uint8_t, 256> bytes_{};
  std::size_t length_ = 0;  // of the report being collected
  std::uint8_t status_ = 0;
  bool compactArmed_ = false;
  bool compactDrawn_ = false;  // the compact point being collected is drawn
  bool decimal_ = true;        // the base of the previous ASCII report
  int digitizerX_ = 0;         // last touching digitizer position
  int digitizerY_ = 0;

  // Pens and trace.
  bool penDown_ = false;
  bool wasDown_ = false;
  Point last_;
  bool orangeNext_ = false;  // Z segments alternate yellow and orange
  std::vector<std::uint8_t> history_;
  bool replaying_ = false;
  bool newData_ = false;
  bool modeCommandSent_ = false;
  Sprite sprite_;

  // Mouse.
  bool tracking_ = false;
  bool buttonDown_ = false;
  bool painted_ = false;
  double circleX_ = 0;
  double circleY_ = 0;
  std::optional<Point> mark_;
  bool closed_ = false;
};

}  // namespace kx7
