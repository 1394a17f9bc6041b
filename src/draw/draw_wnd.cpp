#include "draw/draw_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "draw/draw_constants.h"
#include "draw/draw_geometry.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/messages.h"

namespace kx7 {

namespace {

using namespace draw;

// Only upper-case hexadecimal digits count in the ASCII reports.
bool IsDigit(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

int HexValue(std::uint8_t c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// Half away from zero.
int Round(double value) { return static_cast<int>(value < 0 ? std::ceil(value - 0.5) : std::floor(value + 0.5)); }

}  // namespace

CDrawWnd::CDrawWnd(MessageLoop& loop, DrawHost& host, bool fullScreen)
    : Window(loop), host_(host), fullScreen_(fullScreen), format_(host.ReportFormat()) {}

CDrawWnd::~CDrawWnd() {
  if (!closed_) host_.UnregisterDrawWindow(Id());
}

LResult CDrawWnd::OnMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case msg::kListenerByte:
      OnByte(static_cast<std::uint8_t>(wParam));
      return 0;
    case msg::kListenerRecord:
      OnRecord(reinterpret_cast<const std::uint8_t*>(lParam), static_cast<std::size_t>(wParam));
      return 0;
    case msg::kCopy:
      Copy();
      return 0;
    case wm::kChar:
      OnChar(static_cast<std::uint16_t>(wParam));
      return 0;
    case wm::kClose:
      Close();
      return 0;
    default:
      return 0;
  }
}

// --- Input ------------------------------------------------------------------------------------

void CDrawWnd::OnByte(std::uint8_t byte) {
  if (closed_) return;
  if (history_.size() >= kHistoryLimit)
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(kHistoryTrim));
  history_.push_back(byte);
  newData_ = true;
  target_ = live_;
  Decode(byte);
}

void CDrawWnd::FormatChanged(std::uint32_t format) {
  if (format != cmd::kModePoll) format_ = format;
  ResetDecoder();
  penDown_ = wasDown_ = false;
}

void CDrawWnd::ResetDecoder() {
  report_ = Report::kNone;
  position_ = 0;
  length_ = 0;
  compactArmed_ = false;
}

void CDrawWnd::Erase(bool clearTerminal) {
  ResetDecoder();
  last_ = Point{};
  penDown_ = wasDown_ = false;
  modeCommandSent_ = false;
  history_.clear();
  Repaint();
  if (clearTerminal && host_.TerminalOpen()) host_.ClearTerminal();
}

void CDrawWnd::Decode(std::uint8_t byte) {
  // The signal stream is not touches: nothing is decoded while it runs.
  if (format_ == cmd::kFormatRawSignals) return;
  if (host_.ControllerType() == type::kRowanGen4) {
    DecodeGen4(byte);
  } else if (format_ == cmd::kFormatRaw && !IsUsbLink(host_.LinkKind())) {
    DecodeRaw(byte);
  } else if (format_ == cmd::kFormatDigitizer) {
    DecodeDigitizer(byte);
  } else {
    DecodeStandard(byte);
  }
}

// --- The standard format: binary tablet reports, ASCII and compact reports ---------------------

void CDrawWnd::DecodeStandard(std::uint8_t byte) {
  // A status byte of a binary report starts one whatever came before.
  if (byte & kStartBit) {
    StartBinary(byte);
    return;
  }
  switch (report_) {
    case Report::kBinary:
      BinaryByte(byte);
      return;
    case Report::kAscii:
      AsciiByte(byte);
      return;
    case Report::kCompact:
      CompactByte(byte);
      return;
    case Report::kSkip:
      if (++position_ >= static_cast<std::size_t>(kBirchUsbExtraBytes)) ResetDecoder();
      return;
    default:
      StatusByte(byte);
      return;
  }
}

void CDrawWnd::StartBinary(std::uint8_t status) {
  compactArmed_ = false;
  report_ = Report::kBinary;
  status_ = status;
  position_ = 1;
}

void CDrawWnd::BinaryByte(std::uint8_t byte) {
  bytes_[position_++] = byte;
  // Status, X and Y (two bytes each), and with Z two more.
  const bool withZ = format_ == cmd::kFormatZ;
  if (position_ < (withZ ? 7u : 5u)) return;
  const int x = (bytes_[1] << 1) + (bytes_[2] << 8);
  const int y = (bytes_[3] << 1) + (bytes_[4] << 8);
  std::optional<int> z;
  if (withZ && host_.Options().ShowZ) z = bytes_[5] + bytes_[6] * 128;
  penDown_ = (status_ & kTouchBit) != 0;
  DrawPoint(Scale(width_, x, 0x8000), Scale(height_, 0x7FFF - y, 0x8000), z);
  Feed(x, y, 0x7FFF, false);
  ReportDone();
  const bool extraBytes = IsBirchUsbType(host_.ControllerType()) &&
                          (host_.ControllerFeatures() & kBirchUsbExtraFeature) && host_.PassThrough();
  if (extraBytes) {
    report_ = Report::kSkip;
    position_ = 0;
  } else {
    ResetDecoder();
  }
}

void CDrawWnd::StatusByte(std::uint8_t byte) {
  if (compactArmed_) {
    if (byte == kStatusCompact || byte == kStatusUp || byte == kStatusDown || byte == kStatusDown2) {
      // Another compact point follows directly; 0x18 ends the compact run with a lift.
      report_ = Report::kCompact;
      position_ = 0;
      status_ = byte;
      compactDrawn_ = byte != kStatusCompact;
      if (byte == kStatusUp) compactArmed_ = false;
      return;
    }
    compactArmed_ = false;
  }
  switch (byte) {
    case kStatusCompact:
      compactArmed_ = true;
      report_ = Report::kCompact;
      position_ = 0;
      status_ = byte;
      compactDrawn_ = false;
      return;
    case kStatusModeRequest:
    case kStatusUp:
    case kStatusUp2:
    case kStatusUp3:
    case kStatusUp4:
    case kStatusDown:
    case kStatusDown2:
      report_ = Report::kAscii;
      status_ = byte;
      position_ = 0;
      return;
    default:
      return;  // not a report
  }
}

void CDrawWnd::AsciiByte(std::uint8_t byte) {
  // "hhh,hhh" CR: digits at 0-2 and 4-6, the comma at 3, CR at 7.
  const std::size_t at = position_;
  const bool fits = (at == 3) ? byte == ',' : (at == 7) ? byte == '\r' : IsDigit(byte);
  if (!fits) {
    ResetDecoder();
    return;
  }
  bytes_[position_++] = byte;
  if (position_ == 8) AsciiReportDone();
}

void CDrawWnd::AsciiReportDone() {
  const std::uint8_t* x = &bytes_[0];
  const std::uint8_t* y = &bytes_[4];
  const auto decimalLead = [](std::uint8_t c) { return c >= '4' && c <= '9'; };
  bool letters = false;
  for (const std::uint8_t c : {x[0], x[1], x[2], y[0], y[1], y[2]}) letters = letters || (c >= 'A' && c <= 'F');
  if (decimalLead(x[0]) || decimalLead(y[0]))
    decimal_ = true;
  else if (letters)
    decimal_ = false;
  int px = 0, py = 0;
  if (decimal_) {
    // Decimal digits are taken by their low four bits.
    const int vx = (x[0] & 0xF) * 100 + (x[1] & 0xF) * 10 + (x[2] & 0xF);
    const int vy = (y[0] & 0xF) * 100 + (y[1] & 0xF) * 10 + (y[2] & 0xF);
    px = Scale(width_, vx, kDecimalFull);
    py = Scale(height_, kDecimalFull - vy, kDecimalFull);
    Feed(vx, vy, kDecimalFull, false);
  } else {
    const int vx = HexValue(x[0]) * 256 + HexValue(x[1]) * 16 + HexValue(x[2]);
    const int vy = HexValue(y[0]) * 256 + HexValue(y[1]) * 16 + HexValue(y[2]);
    px = Scale(width_, vx, kHexFull);
    py = Scale(height_, kHexFull - vy, kHexFull);
    Feed(vx, vy, kHexFull, false);
  }
  const std::uint8_t status = status_;
  ResetDecoder();
  if (status == kStatusModeRequest) {
    // The controller is not in multi-touch mode: ask it once (until Erase) to switch.
    if (!modeCommandSent_ && !replaying_) {
      modeCommandSent_ = true;
      for (const std::uint8_t b : kMultiTouchModeCommand) Send(b);
    }
  } else {
    penDown_ = status == kStatusDown || status == kStatusDown2;
    DrawPoint(px, py, std::nullopt);
  }
  ReportDone();
}

void CDrawWnd::CompactByte(std::uint8_t byte) {
  bytes_[position_++] = byte & 0x1F;
  if (position_ < 4) return;
  const int x = (bytes_[0] << 5) + bytes_[1];
  const int y = (bytes_[2] << 5) + bytes_[3];
  const bool drawn = compactDrawn_;
  const std::uint8_t status = status_;
  report_ = Report::kNone;
  position_ = 0;
  if (drawn) {
    penDown_ = status == kStatusDown || status == kStatusDown2;
    DrawPoint(Scale(width_, x, kHexFull), Scale(height_, kHexFull - y, kHexFull), std::nullopt);
    Feed(x, y, kHexFull, false);
  }
  ReportDone();
}

void CDrawWnd::ReportDone() {
  // Mode Poll: the next report is asked for (the terminal asks itself while it is open).
  if (host_.PollMode() && !host_.TerminalOpen()) Send(kPollByte);
}

// --- Raw, digitizer and Rowan GEN4 --------------------------------------------------------------

void CDrawWnd::DecodeRaw(std::uint8_t byte) {
  if (byte & kStartBit) {
    report_ = Report::kRaw;
    status_ = byte;
    position_ = 1;
    return;
  }
  if (report_ != Report::kRaw) return;
  bytes_[position_++] = byte;
  if (position_ < 5) return;
  const int x11 = ((bytes_[1] >> 3) + bytes_[2] * 16 - 1024) & 0x7FF;
  const int y11 = ((bytes_[3] >> 3) + bytes_[4] * 16 - 1024) & 0x7FF;
  ResetDecoder();
  penDown_ = (status_ & kTouchBit) != 0;
  DrawPoint(Scale(width_, x11, kRawFull), Scale(height_, kRawFull - y11, kRawFull), std::nullopt);
  if (measureTool && !replaying_) {
    const bool full = host_.Options().FullBirch2Resolution && (host_.ControllerFeatures() & feature::kBirchFamily);
    if (full) {
      // The 14-bit values, sign-extended.
      const auto extend = [](int v) { return v >= 0x2000 ? v - 0x4000 : v; };
      measureTool->OnPoint(extend(bytes_[1] + bytes_[2] * 128), extend(bytes_[3] + bytes_[4] * 128), 0x3FFF,
                           penDown_, true);
    } else {
      measureTool->OnPoint(x11 - 1024, y11 - 1024, kRawFull, penDown_, true);
    }
  }
}

void CDrawWnd::DecodeDigitizer(std::uint8_t byte) {
  if (report_ != Report::kDigitizer) {
    if (byte != kDigitizerHeader) return;
    report_ = Report::kDigitizer;
    bytes_[0] = byte;
    position_ = 1;
    return;
  }
  if (position_ == 1 && (byte & 0x3F) == 0) {
    ResetDecoder();
    return;
  }
  if (position_ == 2) {
    if (byte < kDigitizerMinLength) {
      ResetDecoder();
      return;
    }
    length_ = byte;
  }
  bytes_[position_++] = byte;
  if (position_ >= 3 && position_ == length_) DigitizerReportDone();
}

void CDrawWnd::DigitizerReportDone() {
  const std::size_t length = length_;
  const int id = bytes_[1] & 0x3F;
  ResetDecoder();
  if (id != kDigitizerContactsId) return;
  const std::size_t data = length - 5;
  for (std::size_t group = 0; group + 4 <= data; group += 4) {
    const std::uint8_t* g = &bytes_[3 + group];
    const int s = g[0];
    const int x = ((s << 8) & 0xFFF) | g[1];
    const int y = g[2] * 256 + g[3];
    const int state = s & 0x30;
    if (state == 0x10 || state == 0x20) {
      digitizerX_ = x;
      digitizerY_ = y;
      penDown_ = true;
    } else if (state == 0x30) {
      penDown_ = false;
    } else {
      continue;
    }
    DrawPoint(Scale(width_, digitizerX_, kDigitizerWidth), Scale(height_, digitizerY_, kDigitizerHeight),
              std::nullopt);
  }
}

void CDrawWnd::DecodeGen4(std::uint8_t byte) {
  if (report_ != Report::kGen4) {
    if (byte != 0x07 && byte != 0x10) return;
    report_ = Report::kGen4;
    position_ = 0;
  }
  bytes_[position_++] = byte;
  if (position_ < kGen4PacketBytes) return;
  ResetDecoder();
  penDown_ = bytes_[1] == kGen4Touching;
  const int x = bytes_[4] * 256 + bytes_[3];
  const int y = bytes_[6] * 256 + bytes_[5];
  DrawPoint(Scale(x, width_, kGen4Full), Scale(y, height_, kGen4Full), std::nullopt);
  Feed(x, y, kGen4Full, false);
}

// --- Records ------------------------------------------------------------------------------------

void CDrawWnd::OnRecord(const std::uint8_t* record, std::size_t length) {
  // Too short for the coordinates: not a touch record.
  if (closed_ || record == nullptr || length < kRecordRawY + 2) return;
  newData_ = true;
  target_ = live_;
  const bool touching = (record[kRecordStatus] & kTouchBit) != 0;
  const char status = touching ? (wasDown_ ? kStatusDown2 : kStatusDown) : kStatusUp;
  const bool raw = format_ == cmd::kFormatRaw;
  const int x = static_cast<int>(Word(record, kRecordX));
  const int y = static_cast<int>(Word(record, kRecordY));
  // The raw words are 14-bit; anything above is kept at the edge so the history text stays three digits.
  const int rawX = std::min(static_cast<int>(Word(record, kRecordRawX)), kRecordFull - 1);
  const int rawY = std::min(static_cast<int>(Word(record, kRecordRawY)), kRecordFull - 1);
  int px = 0, py = 0, textX = 0, textY = 0;
  if (raw) {
    px = Scale(width_, rawX, kRecordFull);
    py = Scale(kRecordFull - rawY, height_, kRecordFull);
    textX = (rawX * kDecimalFull) >> 14;
    textY = (rawY * kDecimalFull) >> 14;
  } else {
    px = Scale(width_, x >> 5, kRawFull);
    py = Scale(kRawFull - (y >> 5), height_, kRawFull);
    textX = (x >> 5) * kDecimalFull / kRawFull;
    textY = (y >> 5) * kDecimalFull / kRawFull;
  }
  // The history keeps the point as an ASCII report, so a replay draws it again.
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%c%03d,%03d\r", status, textX, textY);
  for (int i = 0; i < n; ++i) {
    if (history_.size() >= kHistoryLimit)
      history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(kHistoryTrim));
    history_.push_back(static_cast<std::uint8_t>(text[i]));
  }
  std::optional<int> z;
  const bool native = (host_.ControllerFeatures() & feature::kBirchFamily) || host_.ControllerType() == type::kMaple;
  if (native) {
    if (record[0] == kRecordWithPressure && host_.Options().ShowZ && length >= kRecordBytes)
      z = static_cast<int>(Word(record, kRecordPressure));
    if (measureTool && !replaying_) {
      if (raw)
        measureTool->OnPoint(rawX, rawY, 0x3FFF, touching, true);
      else if (host_.Options().FullBirch2Resolution)
        measureTool->OnPoint(x, y, 0x3FFF, touching, false);
      else
        measureTool->OnPoint(x >> 5, y >> 5, kRawFull, touching, false);
    }
  } else if (measureTool && !replaying_) {
    measureTool->OnPoint(textX, textY, kDecimalFull, touching, false);
  }
  penDown_ = touching;
  DrawPoint(px, py, z);
}

// --- Drawing a point ----------------------------------------------------------------------------

std::optional<int> CDrawWnd::ZWidth(int z) const {
  const OptionsBlock& o = host_.Options();
  if (o.ZHigh <= o.ZLow) return std::nullopt;
  const int clamped = std::clamp(z, o.ZLow, o.ZHigh);
  return Round(static_cast<double>(o.ZMaxSize) * (clamped - o.ZLow) / (static_cast<double>(o.ZHigh) - o.ZLow));
}

void CDrawWnd::DrawPoint(int x, int y, std::optional<int> z) {
  const OptionsBlock& o = host_.Options();
  const int w = std::max(width_, 1);
  const int h = std::max(height_, 1);
  x = std::clamp(x, 0, w - 1);
  y = std::clamp(y, 0, h - 1);
  if (o.GridMode == 1) y = Scale(h, kMiddle, kScale);
  if (o.GridMode == 2) x = Scale(w, kMiddle, kScale);
  const Point at{x, y};
  Canvas* canvas = width_ > 0 && height_ > 0 ? target_ : nullptr;
  const bool touching = penDown_;
  Rect area = Around(at, kCrossArm + 1, kCrossArm + 1);
  if (touching && wasDown_) {
    Color colour = kYellow;
    int width = 1;
    if (const std::optional<int> zWidth = z ? ZWidth(*z) : std::nullopt) {
      width = *zWidth;
      colour = orangeNext_ ? kOrange : kYellow;
      orangeNext_ = !orangeNext_;
    }
    const int grow = width / 2 + 2;
    if (canvas) {
      canvas->SetPen(colour, width);
      if (o.DrawDots || host_.PollMode()) {
        canvas->SetBrush(kWhite);
        canvas->Ellipse(Around(at, kDotRadius, kDotRadius));
      } else {
        canvas->Line(last_, at);
      }
    }
    area = Union(Around(at, grow, grow), Around(last_, grow, grow));
  } else if (touching) {
    if (canvas) {
      canvas->SetPen(kRed, 1);
      canvas->Cross(at, kCrossArm, kCrossArm);
    }
    if (cedarSquare && !replaying_ && cedarSquare->ArmedAndWaiting() &&
        std::abs(x - cedarSquare->TargetX()) < cedarSquare->Tolerance() &&
        std::abs(y - cedarSquare->TargetY()) < cedarSquare->Tolerance())
      cedarSquare->StartRun();
  } else {
    if (canvas) {
      canvas->SetPen(kGreen, 1);
      canvas->SetBrush(kWhite);
      canvas->Ellipse(Around(at, kLiftRadius, kLiftRadius));
    }
    sprite_.shown = false;
  }
  if (o.ShowCursor && touching) sprite_ = Sprite{at, true};
  if (touching) last_ = at;
  wasDown_ = touching;
  if (canvas && canvas == live_) Drawn(area);
}

void CDrawWnd::Feed(int x, int y, int fullScale, bool signedValues) {
  if (measureTool && !replaying_) measureTool->OnPoint(x, y, fullScale, penDown_, signedValues);
}

void CDrawWnd::Send(std::uint8_t byte) {
  if (!replaying_) host_.SendByte(byte);
}

void CDrawWnd::Drawn(const Rect& area) {
  if (onDrawn) onDrawn(area);
}

void CDrawWnd::Repaint() { host_.Ui().Invalidate(Id()); }

void CDrawWnd::SetLiveCanvas(Canvas* canvas) { live_ = canvas; }

void CDrawWnd::SetClientSize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
}

// --- Paint --------------------------------------------------------------------------------------

void CDrawWnd::Paint(Canvas& canvas) {
  SetClientSize(canvas.Width(), canvas.Height());
  if (!painted_) {
    painted_ = true;
    circleX_ = width_ / 2.0;
    circleY_ = height_ / 2.0;
  }
  canvas.FillRect(Rect{0, 0, width_, height_}, kBlack);
  DrawOverlays(canvas);
  // The replay starts from a clean decoder, as the first byte of the history did.
  ResetDecoder();
  decimal_ = true;
  penDown_ = wasDown_ = false;
  orangeNext_ = false;
  digitizerX_ = digitizerY_ = 0;
  replaying_ = true;
  target_ = &canvas;
  for (const std::uint8_t byte : history_) Decode(byte);
  replaying_ = false;
  target_ = live_;
  if (buttonDown_ && cedarCircle) {
    const int size = cedarCircle->SizePercent();
    canvas.SetPen(kYellow, 1);
    canvas.SetBrush(kBlack);
    const Point centre{static_cast<int>(circleX_), static_cast<int>(circleY_)};
    canvas.Ellipse(Around(centre, width_ * size / 200, height_ * size / 200));
  }
  newData_ = false;
}

void CDrawWnd::DrawTarget(Canvas& canvas, int x2048, int y2048) const {
  const OptionsBlock& o = host_.Options();
  const int style = o.TouchMarkerStyle >= 0 && o.TouchMarkerStyle <= 3 ? o.TouchMarkerStyle : 0;
  int rx = width_ / 100;
  int ry = height_ / 100;
  if (style >= 2) {
    const double p = std::isfinite(o.ProveAccuracyPercent) ? o.ProveAccuracyPercent : 0.0;
    // Out-of-range settings give no target rather than an undefined conversion.
    const double fx = width_ * p / 100.0, fy = height_ * p / 100.0;
    rx = std::fabs(fx) < 1e9 ? static_cast<int>(fx) : 0;
    ry = std::fabs(fy) < 1e9 ? static_cast<int>(fy) : 0;
  }
  const Rect r = Around(Point{Scale(width_, x2048, kScale), Scale(height_, y2048, kScale)}, rx, ry);
  if (style == 1 || style == 3)
    canvas.Rectangle(r);
  else
    canvas.Ellipse(r);
}

void CDrawWnd::DrawOverlays(Canvas& canvas) const {
  const OptionsBlock& o = host_.Options();
  const int w = width_, h = height_;
  if (w <= 0 || h <= 0) return;
  // Ticks end at the edge of a window too small for them (what the screen would clip anyway).
  const auto inX = [w](int x) { return std::clamp(x, 0, w - 1); };
  const auto inY = [h](int y) { return std::clamp(y, 0, h - 1); };
  if (o.ShowGrid) {
    canvas.SetPen(kGridGreen, 1);
    if (o.GridMode == 1) {
      const int y = Scale(h, kMiddle, kScale);
      canvas.Line({0, y}, {w - 1, y});
      for (int i = 1; i < 80; ++i) {
        const int base = kGridX[static_cast<std::size_t>(i / 10)];
        if (i % 10 == 0) {
          const int x = Scale(w, base, kScale);
          canvas.Line({x, inY(y - kMajorTick)}, {x, inY(y + kMajorTick)});
        } else {
          const int x = Scale(w, base + (i % 10) * 256 / 10, kScale);
          canvas.Line({x, y}, {x, inY(y - kMinorTick)});
        }
      }
    } else if (o.GridMode == 2) {
      const int x = Scale(w, kMiddle, kScale);
      canvas.Line({x, 0}, {x, h - 1});
      for (const int k : kBarTicksY) {
        const int y = Scale(h, k, kScale);
        canvas.Line({inX(x - kMajorTick), y}, {inX(x + kMajorTick), y});
      }
    } else {
      for (const int k : kGridX) {
        const int x = Scale(w, k, kScale);
        canvas.Line({x, 0}, {x, h - 1});
      }
      canvas.Line({w - 1, 0}, {w - 1, h - 1});
      for (const int k : kGridY) {
        const int y = Scale(h, k, kScale);
        canvas.Line({0, y}, {w - 1, y});
      }
      canvas.Line({0, h - 1}, {w - 1, h - 1});
    }
  }
  if (o.GridMode != 1 && o.GridMode != 2) {
    if (o.Show16ptTargets) {
      canvas.SetPen(kYellow, 1);
      canvas.SetBrush(kBlack);
      if (o.ExtTargets) {
        const std::size_t ring = o.Ext16ptTargets == 1 ? 1 : 0;
        const int nearEdge = kExtNearEdge[ring], farEdge = kExtFarEdge[ring];
        for (const int x : kProveX) DrawTarget(canvas, x, nearEdge);
        for (const int y : kProveY) {
          DrawTarget(canvas, nearEdge, y);
          DrawTarget(canvas, farEdge, y);
        }
        for (const int x : kProveX) DrawTarget(canvas, x, farEdge);
      } else {
        for (const int y : kProveY)
          for (const int x : kProveX) DrawTarget(canvas, x, y);
      }
    }
    if (o.Show25ptTargets) {
      canvas.SetPen(kYellow, 1);
      for (const int y : kLinearizeAt)
        for (const int x : kLinearizeAt)
          canvas.Cross(Point{Scale(w, x, kScale), Scale(h, y, kScale)}, w / 100, h / 100);
    }
  }
  if (o.Show25Diagonals) {
    canvas.SetPen(kGridGreen, 1);
    canvas.Line({0, 0}, {w / 4, h / 4});
    canvas.Line({0, h - 1}, {w / 4, 3 * h / 4});
    canvas.Line({w - 1, 0}, {3 * w / 4, h / 4});
    canvas.Line({w - 1, h - 1}, {3 * w / 4, 3 * h / 4});
  }
}

void CDrawWnd::PaintOverlay(Canvas& canvas) const {
  const auto plot = [&](Point p, Color c) {
    if (p.x >= 0 && p.y >= 0 && p.x < width_ && p.y < height_) canvas.Pixel(p, c);
  };
  if (host_.Options().ShowCursor && sprite_.shown) {
    // The cursor: a small white arrow-head with a black outline, its tip on the point.
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j <= i / 2; ++j) plot({sprite_.at.x + j, sprite_.at.y + i}, kWhite);
      plot({sprite_.at.x + i / 2 + 1, sprite_.at.y + i}, kBlack);
    }
  }
  if (mark_) {
    const Point m = *mark_;
    for (const Point p : {m, Point{m.x - 1, m.y}, Point{m.x + 1, m.y}, Point{m.x, m.y - 1}, Point{m.x, m.y + 1}})
      plot(p, kWhite);
  }
}

// --- Mouse and keys -----------------------------------------------------------------------------

void CDrawWnd::MouseReport(char kind, int x, int y) {
  if (!host_.TerminalOpen() || width_ <= 0 || height_ <= 0) return;
  const int rx = Round(static_cast<double>(x) / width_ * kRawFull);
  const int ry = Round(static_cast<double>(height_ - y) / height_ * kRawFull);
  char text[32];
  std::snprintf(text, sizeof text, kMouseReportFormat, kind, rx, ry);
  host_.TerminalReport(text);
}

void CDrawWnd::MouseDown(int x, int y) {
  if (closed_) return;
  if (measureTool && width_ > 0 && height_ > 0) {
    const int fs = measureTool->FullScale();
    measureTool->OnMark(Scale(x, fs, width_), Scale(height_ - y, fs, height_));
    measureTool->TakeFocus();
    mark_ = Point{x, y};
    Drawn(Around(*mark_, 2, 2));
  }
  buttonDown_ = true;
  if (host_.Options().TrackMouse) {
    tracking_ = true;
    penDown_ = true;
    wasDown_ = false;
    target_ = live_;
    DrawPoint(x, y, std::nullopt);
    MouseReport('D', x, y);
  }
  if (cedarCircle) {
    circleX_ = x;
    circleY_ = y;
    Repaint();
  }
}

void CDrawWnd::MouseMove(int x, int y) {
  if (closed_) return;
  if (measureTool && width_ > 0 && height_ > 0) {
    const int fs = measureTool->FullScale();
    measureTool->OnCursor(Scale(x, fs, width_), Scale(height_ - y, fs, height_));
  }
  if (buttonDown_ && cedarCircle) {
    circleX_ = x;
    circleY_ = y;
    Repaint();
  }
  if (tracking_) {
    penDown_ = true;
    target_ = live_;
    DrawPoint(x, y, std::nullopt);
    MouseReport('.', x, y);
  }
}

void CDrawWnd::MouseUp(int x, int y) {
  if (closed_) return;
  buttonDown_ = false;
  if (host_.Options().TrackMouse && tracking_) {
    target_ = live_;
    penDown_ = true;
    DrawPoint(x, y, std::nullopt);
    penDown_ = false;
    DrawPoint(x, y, std::nullopt);
    MouseReport('U', x, y);
  }
  tracking_ = false;
}

void CDrawWnd::DoubleClick(int x, int y) {
  MouseDown(x, y);
  MouseUp(x, y);
}

void CDrawWnd::OnChar(std::uint16_t key) {
  if (closed_) return;
  OptionsBlock& o = host_.Options();
  switch (key) {
    case 'M':
    case 'm':
      if (openMeasureTool) openMeasureTool();
      return;
    case 0x01:
      if (host_.TerminalOpen()) host_.ActivateTerminal();
      return;
    case 0x1B:
      Close();
      return;
    case ' ':
      Erase(false);
      if (cedarCircle) cedarCircle->BringToTop();
      return;
    case 'B':
    case 'b':
      o.ShowGrid = 0;
      Repaint();
      return;
    case 'G':
    case 'g':
      o.ShowGrid = 1;
      Repaint();
      return;
    case 'S':
    case 's':
      o.ExtTargets = o.ExtTargets ? 0 : 1;
      Repaint();
      return;
    case 'D':
    case 'd':
      o.DrawDots = o.DrawDots ? 0 : 1;
      return;
    case 'R':
    case 'r':
      if (fullScreen_) host_.ResetController();
      return;
    default:
      return;
  }
}

void CDrawWnd::Copy() {
  if (!closed_) host_.Ui().CopyWindowImage(Id());
}

void CDrawWnd::Close() {
  if (closed_) return;
  closed_ = true;
  host_.UnregisterDrawWindow(Id());
  if (measureTool) measureTool->Close();
  if (cedarCircle) cedarCircle->Close();
  if (cedarSquare) cedarSquare->Close();
  measureTool = nullptr;
  cedarCircle = nullptr;
  cedarSquare = nullptr;
  host_.Ui().CloseWindow(*this);
  if (onClosed) onClosed(*this);
}

}  // namespace kx7
