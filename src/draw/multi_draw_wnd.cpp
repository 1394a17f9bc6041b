#include "draw/multi_draw_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controller/controller_types.h"
#include "draw/draw_constants.h"
#include "draw/draw_geometry.h"
#include "frame/command_ids.h"
#include "frame/messages.h"
#include "link/hid/hid_constants.h"

namespace kx7 {

namespace {

using namespace draw;

bool Inside(const Rect& r, Point p) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }

// The layout codes the window keeps for the controller's report layouts and the system's touches.
int LayoutCodeOf(std::uint32_t layoutFeature) {
  switch (layoutFeature) {
    case feature::kLarchSensor2:
      return 4;
    case feature::kLarchSensor1:
      return 3;
    case feature::kLarchSensor3:
      return 5;
    case feature::kLarchSensor0:
      return 7;
    default:
      return 2;
  }
}
constexpr int kSystemTouchLayout = 10;

}  // namespace

bool CMultiDrawWnd::IsVariantCommand(std::uint32_t command) {
  switch (command) {
    case cmd::kMultiDraw:
    case cmd::kMultiDrawUpperHalf:
    case cmd::kMultiDrawLive:
    case cmd::kMultiDrawLiveUpperHalf:
    case cmd::kFullScreenMultiDraw:
    case cmd::kFullScreenMultiDrawNoTouch:
    case cmd::kFullScreenMultiDrawUpperHalf:
    case cmd::kFullScreenMultiDrawQuarter:
    case cmd::kFullScreenMultiDrawLive:
    case cmd::kFullScreenMultiDrawLiveUpperHalf:
    case cmd::kFullScreenMultiDrawLiveQuarter:
    case cmd::kFullScreenMultiDrawQuarterScaled:
      return true;
    default:
      return false;
  }
}

CMultiDrawWnd::Variant CMultiDrawWnd::VariantOf(std::uint32_t command) {
  Variant v;
  switch (command) {
    case cmd::kMultiDrawUpperHalf:
      v.halfHeight = true;
      break;
    case cmd::kMultiDrawLive:
      v.live = true;
      break;
    case cmd::kMultiDrawLiveUpperHalf:
      v.live = v.halfHeight = true;
      break;
    case cmd::kFullScreenMultiDraw:
      v.fullScreen = true;
      break;
    case cmd::kFullScreenMultiDrawNoTouch:
      v.fullScreen = true;
      v.systemTouch = false;
      break;
    case cmd::kFullScreenMultiDrawUpperHalf:
      v.fullScreen = v.halfHeight = true;
      break;
    case cmd::kFullScreenMultiDrawQuarter:
      v.fullScreen = v.quarterHeight = true;
      break;
    case cmd::kFullScreenMultiDrawLive:
      v.fullScreen = v.live = true;
      break;
    case cmd::kFullScreenMultiDrawLiveUpperHalf:
      v.fullScreen = v.live = v.halfHeight = true;
      break;
    case cmd::kFullScreenMultiDrawLiveQuarter:
      v.fullScreen = v.live = v.quarterHeight = true;
      break;
    case cmd::kFullScreenMultiDrawQuarterScaled:
      v.fullScreen = v.quarterHeight = v.quarterScaleY = true;
      break;
    default:
      break;
  }
  return v;
}

CMultiDrawWnd::CMultiDrawWnd(MessageLoop& loop, DrawHost& host, std::uint32_t command)
    : Window(loop), host_(host), variant_(VariantOf(command)) {}

CMultiDrawWnd::~CMultiDrawWnd() {
  if (!closed_) {
    KillTimer(kLiveTimer);
    host_.UnregisterDrawWindow(Id());
  }
}

LResult CMultiDrawWnd::OnMessage(MessageId message, WParam wParam, LParam) {
  switch (message) {
    case msg::kListenerByte:
      OnByte(static_cast<std::uint8_t>(wParam));
      return 0;
    case wm::kTimer:
      OnTimer(static_cast<std::uint32_t>(wParam));
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

// --- Geometry -----------------------------------------------------------------------------------

void CMultiDrawWnd::SetClientSize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
}

Rect CMultiDrawWnd::DrawingArea() const {
  int bottom = height_;
  if (variant_.halfHeight) bottom = height_ - height_ / 2;
  if (variant_.quarterHeight) bottom = height_ - 3 * height_ / 4;
  return Rect{0, 0, width_, bottom};
}

// A window narrower than the sensor has more lines than pixels: they stay on its last pixel.
int CMultiDrawWnd::GridX(int k) const {
  const int width = DrawingArea().Width();
  return std::min(static_cast<int>(std::lround((k + 0.5) * width / columns_)), std::max(width - 1, 0));
}

int CMultiDrawWnd::GridY(int k) const {
  const int height = DrawingArea().Height();
  return std::min(static_cast<int>(std::lround((k + 0.5) * height / rows_)), std::max(height - 1, 0));
}

Rect CMultiDrawWnd::ClearBox() const {
  return Rect{GridX(std::max(columns_ - 8, 0)), GridY(0), GridX(columns_ - 1), GridY(std::min(3, rows_ - 1))};
}

Rect CMultiDrawWnd::ExitBox() const {
  return Rect{GridX(0), GridY(std::max(rows_ - 4, 0)), GridX(std::min(3, columns_ - 1)), GridY(rows_ - 1)};
}

bool CMultiDrawWnd::BoxesShown() const { return host_.Options().ShowGrid && host_.Options().PctClear; }

Point CMultiDrawWnd::Clamped(Point p) const {
  const Rect area = DrawingArea();
  return Point{std::clamp(p.x, 0, std::max(area.Width() - 1, 0)), std::clamp(p.y, 0, std::max(area.Height() - 1, 0))};
}

Color CMultiDrawWnd::ColourOf(int slot) const {
  if (statusColouring_)
    return kStatusColours[static_cast<std::size_t>((contacts_[static_cast<std::size_t>(slot)].status >> 4) & 7)];
  return kContactColours[static_cast<std::size_t>(slot % 10)];
}

void CMultiDrawWnd::SetSensorSize(int columns, int rows) { sensorOverride_ = std::make_pair(columns, rows); }

// --- Set-up and paint ---------------------------------------------------------------------------

void CMultiDrawWnd::SetUp() {
  setUpDone_ = true;
  columns_ = rows_ = kDefaultSensorCells;
  if (sensorOverride_) {
    columns_ = sensorOverride_->first;
    rows_ = sensorOverride_->second;
  } else {
    const std::uint32_t t = host_.ControllerType();
    if (t == type::kLarchUsb0500 || t == type::kLarch || t == type::kLarchUsb) {
      if (const auto block = host_.ReadBlock7(); block && block->size() > 8) {
        const auto& b = *block;
        columns_ = b[7] != 0 ? b[7] : b[5];
        rows_ = b[7] != 0 ? b[8] : b[6];
      }
    }
  }
  // A sensor of no columns or rows has no grid to divide by.
  if (columns_ <= 0) columns_ = kDefaultSensorCells;
  if (rows_ <= 0) rows_ = kDefaultSensorCells;
  ClearContacts();
  if (variant_.live) SetTimer(kLiveTimer, kLiveMs);
}

void CMultiDrawWnd::Paint(Canvas& canvas) {
  SetClientSize(canvas.Width(), canvas.Height());
  if (!setUpDone_) SetUp();
  canvas.FillRect(Rect{0, 0, width_, height_}, whiteBackground_ ? kWhite : kBlack);
  DrawGridAndBoxes(canvas);
  if (!variant_.live) return;
  for (std::size_t slot = 0; slot < contacts_.size(); ++slot) {
    const Contact& c = contacts_[slot];
    if (!c.used || !c.touching) continue;
    const Color colour = ColourOf(static_cast<int>(slot));
    canvas.SetPen(colour, 1);
    canvas.SetBrush(colour);
    canvas.Ellipse(Around(c.at, 8, 8));
  }
}

void CMultiDrawWnd::DrawGridAndBoxes(Canvas& canvas) const {
  const OptionsBlock& o = host_.Options();
  const Rect area = DrawingArea();
  if (!o.ShowGrid || area.Width() <= 0 || area.Height() <= 0) return;
  canvas.SetPen(kGridGreen, 1);
  for (int k = 0; k < columns_; ++k) canvas.Line({GridX(k), 0}, {GridX(k), area.Height() - 1});
  for (int k = 0; k < rows_; ++k) canvas.Line({0, GridY(k)}, {area.Width() - 1, GridY(k)});
  if (!o.PctClear) return;
  DrawBox(canvas, ClearBox(), kClearLabel);
  DrawBox(canvas, ExitBox(), kExitLabel);
}

void CMultiDrawWnd::DrawBox(Canvas& canvas, const Rect& box, const char* label) const {
  Font font;
  font.family = "Arial";
  font.fixedPitch = false;
  font.pixelHeight = std::max(1, box.Height() / 2);
  canvas.RaisedBox(box, kBoxGrey, label, kWhite, font);
}

void CMultiDrawWnd::DrawTouchCount(int count) {
  if (!live_) return;
  const Rect box = ClearBox();
  DrawBox(*live_, box, kClearLabel);
  Font font;
  font.family = "Arial";
  font.fixedPitch = false;
  font.pixelHeight = std::max(1, box.Height() / 4);
  live_->SetFont(font);
  live_->SetTextColor(kBlack);
  char text[32];
  std::snprintf(text, sizeof text, kTouchCountFormat, count);
  live_->Text({box.left + box.Width() / 16, box.top + box.Height() / 8}, text);
  if (onDrawn) onDrawn(box);
}

// --- Controller bytes ---------------------------------------------------------------------------

void CMultiDrawWnd::OnByte(std::uint8_t byte) {
  if (closed_ || host_.ReportFormat() == cmd::kFormatRawSignals) return;
  if (host_.MultiTouchReports()) {
    if (position_ == 0 && std::find(kMultiReportIds.begin(), kMultiReportIds.end(), byte) == kMultiReportIds.end())
      return;
    packet_[position_++] = byte;
    if (position_ == kMultiReportBytes) {
      position_ = 0;
      ReportDone();
    }
    return;
  }
  // 6-byte packets: a byte with bit 7 starts one wherever the previous one stood.
  if (byte & kStartBit) {
    position_ = 0;
  } else if (position_ == 0) {
    return;
  }
  packet_[position_++] = byte;
  if (position_ == 6) {
    position_ = 0;
    PacketDone();
  }
}

void CMultiDrawWnd::ReportDone() {
  const hid::Layout& layout = hid::LayoutFor(host_.ControllerFeatures());
  layoutCode_ = LayoutCodeOf(layout.feature);
  // A pen report is not a contact report.
  if (layout.penReports && (packet_[1] & 0x80)) return;
  const int count = packet_[static_cast<std::size_t>(layout.countOffset)];
  if (count > kContactSlots) return;
  if (count != 0) {
    reportsToCome_ = (count + layout.contacts - 1) / layout.contacts;
    contactsToCome_ = count;
  }
  if (reportsToCome_ == 0) return;
  const int here = std::min(layout.contacts, contactsToCome_);
  contactsToCome_ -= here;
  const Rect area = DrawingArea();
  for (int i = 0; i < here; ++i) {
    const std::size_t base = 1 + static_cast<std::size_t>(i * layout.recordBytes);
    const std::uint8_t status = packet_[base];
    const bool valid = layout.validWhenNonZero ? status != 0 : (status & hid::kValidBit) != 0;
    if (!valid) continue;
    Record r;
    r.id = packet_[base + 1];
    r.status = status;
    r.touching = layout.recordBytes == 15 ? (status & 0x03) == 0x03 : (status & 0x07) == 0x07;
    const int x = Word(packet_.data(), base + 2);
    const int y = Word(packet_.data(), base + static_cast<std::size_t>(layout.yOffset));
    r.at = Point{Scale(x, area.Width(), 32767), Scale(y, area.Height(), 32767)};
    if (layout.recordBytes == 10) {
      r.hasSize = true;
      r.sizeX = Scale(Word(packet_.data(), base + 6), area.Width(), 32767);
      r.sizeY = Scale(Word(packet_.data(), base + 8), area.Height(), 32767);
    }
    Take(r, Lookup::kAnySlot);
  }
  if (--reportsToCome_ == 0) FrameDone();
}

void CMultiDrawWnd::PacketDone() {
  layoutCode_ = 2;
  const Rect area = DrawingArea();
  Record r;
  r.touching = (packet_[0] & kTouchBit) != 0;
  r.status = r.touching ? 0x07 : 0x04;
  const int x = (packet_[1] << 1) + (packet_[2] << 8);
  const int y = 0x7FFF - ((packet_[3] << 1) + (packet_[4] << 8));
  r.id = packet_[5];
  r.at = Point{static_cast<int>((static_cast<long long>(area.Width()) * x) >> 15),
               static_cast<int>((static_cast<long long>(area.Height()) * y) >> 15)};
  Take(r, Lookup::kTouchingOnly);
  FrameDone();
}

void CMultiDrawWnd::FrameDone() {
  int touching = 0;
  for (const Contact& c : contacts_) touching += c.used && c.touching ? 1 : 0;
  if (touching == 0 || variant_.live) return;
  if (++frames_ % kTouchCountEvery == 0 && BoxesShown()) DrawTouchCount(touching);
}

// --- The contact table --------------------------------------------------------------------------

int CMultiDrawWnd::Take(const Record& record, Lookup lookup) {
  int slot = -1;
  for (std::size_t i = 0; i < contacts_.size() && slot < 0; ++i)
    if (contacts_[i].used && contacts_[i].id == record.id) slot = static_cast<int>(i);
  if (slot < 0) {
    if (lookup == Lookup::kTouchingOnly && !record.touching) return -1;
    for (std::size_t i = 0; i < contacts_.size() && slot < 0; ++i)
      if (!contacts_[i].used) slot = static_cast<int>(i);
    if (slot < 0) {
      // A 101st contact: the table starts again.
      ClearContacts();
      slot = 0;
    }
    Contact fresh;
    fresh.used = true;
    fresh.id = record.id;
    contacts_[static_cast<std::size_t>(slot)] = fresh;
  }
  Contact& c = contacts_[static_cast<std::size_t>(slot)];
  Point at = record.at;
  if (variant_.quarterScaleY) at.y *= 4;
  at = Clamped(at);
  c.previous = c.wasTouching ? c.at : at;
  c.at = at;
  c.status = record.status;
  c.touching = record.touching;
  c.hasSize = record.hasSize;
  c.sizeX = record.sizeX;
  c.sizeY = record.sizeY;
  Trace(slot);
  return slot;
}

void CMultiDrawWnd::ClearContacts() {
  for (Contact& c : contacts_) c = Contact{};
}

void CMultiDrawWnd::Trace(int slot) {
  Contact& c = contacts_[static_cast<std::size_t>(slot)];
  const bool touchDown = c.touching && !c.wasTouching;
  const bool boxes = BoxesShown();
  bool drawn = !variant_.live;
  if (boxes) {
    const bool inClear = Inside(ClearBox(), c.at);
    if (!Inside(ExitBox(), c.at)) exitArmed_ = false;
    if (!inClear) clearLatched_ = false;
    if (inClear && touchDown && !clearLatched_) {
      Event("clear");
      Erase();
      clearLatched_ = true;
      return;  // the table was cleared with it
    }
    if (inClear && clearLatched_) drawn = false;
    if (touchDown && Inside(ExitBox(), c.at) && ExitTouched()) return;
  }
  if (drawn && live_ && width_ > 0 && height_ > 0) DrawContactMarks(*live_, c, ColourOf(slot));
  c.wasTouching = c.touching;
  if (!c.touching) c = Contact{};
}

void CMultiDrawWnd::DrawContactMarks(Canvas& canvas, const Contact& c, Color colour) {
  const OptionsBlock& o = host_.Options();
  const bool sizes = o.ShowZ || o.DrawFlag2399;
  const bool touchDown = c.touching && !c.wasTouching;
  Rect area = Around(c.at, kCrossArm + kContactPen, kCrossArm + kContactPen);
  if (touchDown) {
    if (!sizes) {
      canvas.SetPen(statusColouring_ ? colour : kRed, kContactPen);
      canvas.Cross(c.at, kCrossArm, kCrossArm);
    }
  } else if (c.touching) {
    canvas.SetPen(colour, kContactPen);
    if (c.hasSize && sizes) {
      // The contact's size: an ellipse at the new position, repeated back along the segment.
      canvas.SetBrush(colour);
      const int rx = std::max(c.sizeX / 2, 0), ry = std::max(c.sizeY / 2, 0);
      const int dx = c.at.x - c.previous.x, dy = c.at.y - c.previous.y;
      const int steps = std::max(std::abs(dx), std::abs(dy)) / 2;
      for (int i = 0; i <= steps; ++i) {
        const Point p{c.at.x - (steps ? dx * i / steps : 0), c.at.y - (steps ? dy * i / steps : 0)};
        canvas.Ellipse(Around(p, rx, ry));
      }
      area = Union(Around(c.at, rx + 2, ry + 2), Around(c.previous, rx + 2, ry + 2));
    } else if (o.DrawDots) {
      canvas.Line(c.at, c.at);
    } else {
      canvas.Line(c.previous, c.at);
      area = Union(area, Around(c.previous, kContactPen, kContactPen));
    }
  } else if (c.wasTouching) {
    if (!sizes) {
      canvas.SetPen(statusColouring_ ? colour : kGreen, kContactPen);
      canvas.SetBrush(kWhite, true);
      canvas.Ellipse(Around(c.at, kLiftRadius, kLiftRadius));
    }
  } else {
    return;
  }
  if (onDrawn) onDrawn(area);
}

// --- The system's touches, the pen and the mouse -----------------------------------------------

bool CMultiDrawWnd::TouchInput(const std::vector<TouchPoint>& points) {
  if (closed_) return false;
  bool any = false;
  for (const TouchPoint& p : points) any = any || p.touching;
  if (!any) return false;
  const Rect screen = host_.FullScreenRect();
  const Rect area = DrawingArea();
  const long long sw = std::max(screen.Width(), 1), sh = std::max(screen.Height(), 1);
  for (const TouchPoint& p : points) {
    layoutCode_ = kSystemTouchLayout;
    Record r;
    r.id = p.id;
    r.touching = p.touching;
    r.status = p.touching ? 0x07 : 0x04;
    r.at = Point{static_cast<int>((p.x100 - screen.left * 100LL) * area.Width() / (sw * 100)),
                 static_cast<int>((p.y100 - screen.top * 100LL) * area.Height() / (sh * 100))};
    Take(r, Lookup::kAnySlot);
    if (closed_) return true;
  }
  FrameDone();
  return true;
}

void CMultiDrawWnd::Mouse(MouseAction action, int x, int y, std::uint32_t extraInfo) {
  if (closed_) return;
  const bool pen = (extraInfo & kPenSignatureMask) == kPenSignature && (extraInfo & kPenSignatureTouchBit) == 0;
  if (pen) {
    // The pen's position goes through the same mapping as the system's touches.
    const Rect screen = host_.FullScreenRect();
    const Rect area = DrawingArea();
    const int sx = screen.Width() > 0 && area.Width() > 0 ? screen.left + x * screen.Width() / area.Width() : x;
    const int sy = screen.Height() > 0 && area.Height() > 0 ? screen.top + y * screen.Height() / area.Height() : y;
    TouchPoint p;
    p.id = extraInfo;
    p.x100 = sx * 100;
    p.y100 = sy * 100;
    p.touching = action != MouseAction::kUp;
    if (!TouchInput({p}) && !p.touching) {
      // A lift alone still ends the contact.
      Record r;
      r.id = extraInfo;
      r.at = Point{x, y};
      Take(r, Lookup::kAnySlot);
    }
    return;
  }
  if (action != MouseAction::kDown || !BoxesShown()) return;
  const Point at{x, y};
  if (Inside(ExitBox(), at)) {
    ExitTouched();
  } else if (Inside(ClearBox(), at)) {
    Event("clear");
    Erase();
  }
}

bool CMultiDrawWnd::ExitTouched() {
  if (exitArmed_) {
    Event("close");
    Close();
    return true;
  }
  exitArmed_ = true;
  Event("exit-armed");
  if (live_) {
    DrawBox(*live_, ExitBox(), kExitLabel);
    if (onDrawn) onDrawn(ExitBox());
  }
  return false;
}

void CMultiDrawWnd::OnChar(std::uint16_t key) {
  if (closed_) return;
  OptionsBlock& o = host_.Options();
  switch (key) {
    case 0x1B:
      Close();
      return;
    case 'B':
    case 'b':
      whiteBackground_ = !whiteBackground_;
      ClearContacts();
      Repaint();
      return;
    case 'G':
    case 'g':
      o.ShowGrid = o.ShowGrid ? 0 : 1;
      ClearContacts();
      Repaint();
      return;
    case ' ':
      ClearContacts();
      Repaint();
      return;
    case 'R':
    case 'r':
      host_.ResetController();
      return;
    case 'D':
    case 'd':
      o.DrawDots = o.DrawDots ? 0 : 1;
      return;
    case 'Z':
    case 'z':
      o.ShowZ = o.ShowZ ? 0 : 1;
      return;
    case 'P':
    case 'p':
      statusColouring_ = !statusColouring_;
      return;
    default:
      return;
  }
}

void CMultiDrawWnd::Erase() {
  ClearContacts();
  exitArmed_ = false;
  Repaint();
}

void CMultiDrawWnd::OnTimer(std::uint32_t id) {
  if (id == kLiveTimer && !closed_) Repaint();
}

void CMultiDrawWnd::Repaint() { host_.Ui().Invalidate(Id()); }

void CMultiDrawWnd::Event(const char* event) {
  if (onEvent) onEvent(event);
}

void CMultiDrawWnd::Close() {
  if (closed_) return;
  closed_ = true;
  KillTimer(kLiveTimer);
  host_.UnregisterDrawWindow(Id());
  host_.Ui().CloseWindow(*this);
  if (onClosed) onClosed(*this);
}

}  // namespace kx7
