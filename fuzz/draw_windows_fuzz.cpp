// Received bytes and touch records of any content under any settings, into the draw window and
// the multitouch draw window: the first bytes choose the format, the controller, the link, the
// client size and the settings; the rest is a run of chunks, bytes or a record, for the draw
// window, and the same bytes go to the multitouch window. Nothing may be read past a record (each
// lies in a block of its own length), and every point drawn lies in the client area.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "draw/draw_wnd.h"
#include "draw/multi_draw_wnd.h"
#include "draw/offline_draw_host.h"
#include "platform/canvas.h"
#include "platform/console_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace {

class CheckingCanvas : public kx7::Canvas {
 public:
  CheckingCanvas(int width, int height) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPen(kx7::Color, int, kx7::PenStyle) override {}
  void SetBrush(kx7::Color, bool) override {}
  void SetFont(const kx7::Font&) override {}
  void SetTextColor(kx7::Color) override {}
  void FillRect(const kx7::Rect& rect, kx7::Color) override {
    Inside({rect.left, rect.top});
    Inside({rect.right - 1, rect.bottom - 1});
  }
  void Line(kx7::Point from, kx7::Point to) override {
    Inside(from);
    Inside(to);
  }
  void Rectangle(const kx7::Rect& rect) override { Inside(Centre(rect)); }
  void Ellipse(const kx7::Rect& rect) override { Inside(Centre(rect)); }
  void Polygon(const std::vector<kx7::Point>& points) override {
    for (const kx7::Point& p : points) Inside(p);
  }
  void Text(kx7::Point at, const std::string&) override { Inside(at); }
  kx7::Point TextExtent(const std::string& text) const override { return {static_cast<int>(text.size()) * 8, 16}; }
  void Cross(kx7::Point centre, int, int) override { Inside(centre); }
  void Pixel(kx7::Point at, kx7::Color) override { Inside(at); }
  void RaisedBox(const kx7::Rect& rect, kx7::Color, const std::string&, kx7::Color, const kx7::Font&) override {
    Inside({rect.left, rect.top});
    Inside({rect.right, rect.bottom});
  }

 private:
  static kx7::Point Centre(const kx7::Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  void Inside(kx7::Point p) const {
    if (p.x < 0 || p.y < 0 || p.x >= width_ || p.y >= height_) __builtin_trap();
  }
  int width_;
  int height_;
};

constexpr std::uint32_t kFormats[] = {32816, 32817, 32818, 32819, 32822, 32826, 32840, 32843};
constexpr std::uint32_t kTypes[] = {32861, 32865, 32880, 32881, 32883, 32855, 32874, 32879};
constexpr std::uint32_t kVariants[] = {33022, 33033, 33025, 33031, 33023, 33034, 33036, 33039};
constexpr std::size_t kSettingsBytes = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kSettingsBytes) return 0;
  kx7::ConsoleUiHost ui(std::cerr);
  kx7::OfflineDrawHost host(ui);
  host.reportFormat = kFormats[data[0] % 8];
  host.controllerType = kTypes[data[1] % 8];
  host.controllerFeatures = static_cast<std::uint32_t>(data[2]) << (data[3] % 24);
  host.linkKind = data[3] & 0x80 ? 259 : 1;
  host.passThrough = data[4] & 1;
  host.pollMode = data[4] & 2;
  host.multiTouchReports = data[4] & 4;
  kx7::OptionsBlock& o = host.options;
  o.GridMode = data[5] % 4;  // 3: no such style
  o.DrawDots = data[5] & 4;
  o.ShowZ = data[5] & 8;
  o.Show25Diagonals = data[5] & 16;
  o.ExtTargets = data[5] & 32;
  o.Ext16ptTargets = (data[5] >> 6) % 3;
  o.TouchMarkerStyle = data[6] % 5;
  o.ProveAccuracyPercent = data[6] * 1.7;
  o.ZLow = data[7] % 50;
  o.ZHigh = data[7] / 2;
  o.ZMaxSize = data[8];
  o.PctClear = data[8] & 1;
  const int width = 1 + data[9] * 8, height = 1 + data[10] * 6;
  kx7::VirtualTimeLoop loop;
  kx7::CDrawWnd draw(loop, host, data[11] & 1);
  kx7::CMultiDrawWnd multi(loop, host, kVariants[data[11] >> 5]);
  CheckingCanvas canvas(width, height);
  draw.SetClientSize(width, height);
  draw.SetLiveCanvas(&canvas);
  multi.SetSensorSize(1 + data[9] % 80, 1 + data[10] % 80);
  multi.Paint(canvas);
  multi.SetLiveCanvas(&canvas);
  // Chunks: a length byte; below 0xC0 that many bytes, else a record of (length & 0x3F) * 2 bytes.
  std::size_t at = kSettingsBytes;
  while (at < size) {
    const std::uint8_t head = data[at++];
    const std::size_t length = head < 0xC0 ? head : (head & 0x3F) * 2u;
    const std::size_t take = std::min(length, size - at);
    if (head < 0xC0) {
      for (std::size_t i = 0; i < take; ++i) {
        draw.OnByte(data[at + i]);
        multi.OnByte(data[at + i]);
      }
    } else {
      // A block of exactly the record's length, so that a read past it is caught.
      std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[take ? take : 1]);
      for (std::size_t i = 0; i < take; ++i) record[i] = data[at + i];
      draw.OnRecord(take ? record.get() : nullptr, take);
    }
    at += take;
  }
  draw.Paint(canvas);
  multi.Paint(canvas);
  draw.PaintOverlay(canvas);
  return 0;
}
