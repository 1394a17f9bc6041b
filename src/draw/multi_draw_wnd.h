// The multitouch draw window: up to 100 contacts at once, each in its own colour, from the
// controller's 64-byte multi-touch reports (one frame may span several reports) or its 6-byte
// multi-touch packets, from the system's touch input and from a pen's mouse messages. The trace
// style draws every contact's path as it arrives; the live style redraws the current contacts
// every 10 ms. Variants keep to the upper half or the upper quarter of the window for video
// tests. With the grid it shows a Clear box (upper right) and an Exit box (lower left) that are
// worked by touching them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "draw/draw_host.h"
#include "platform/canvas.h"
#include "platform/window.h"

namespace kx7 {

class CMultiDrawWnd : public Window {
 public:
  struct Variant {
    bool fullScreen = false;
    bool live = false;
    bool halfHeight = false;
    bool quarterHeight = false;
    bool quarterScaleY = false;
    bool systemTouch = true;  // takes the system's touch input (33042 does not)
  };
  // The variant a launcher command (33022 to 33042) opens; the plain MDI trace window otherwise.
  static Variant VariantOf(std::uint32_t command);
  static bool IsVariantCommand(std::uint32_t command);

  CMultiDrawWnd(MessageLoop& loop, DrawHost& host, std::uint32_t command);
  ~CMultiDrawWnd() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "MultiDraw"; }

  // --- Input -----------------------------------------------------------------------------------
  void OnByte(std::uint8_t byte);
  // One point of the system's touch input: position in hundredths of a screen pixel.
  struct TouchPoint {
    std::uint32_t id = 0;
    int x100 = 0;
    int y100 = 0;
    bool touching = false;  // down or moving
  };
  // False when no point was down or moving (the view lets the event go on as it came).
  bool TouchInput(const std::vector<TouchPoint>& points);
  enum class MouseAction { kDown, kMove, kUp };
  // A mouse message with its extra information: a pen's is one contact, a plain left press tests
  // the Exit and Clear boxes. Position in client pixels.
  void Mouse(MouseAction action, int x, int y, std::uint32_t extraInfo);
  void OnChar(std::uint16_t key);
  // Clear All (32808): the contacts go, the Exit box disarms, the window repaints.
  void Erase();
  void OnTimer(std::uint32_t id);
  void Close();

  // --- Drawing ---------------------------------------------------------------------------------
  // The first paint reads the sensor size and starts the live timer.
  void Paint(Canvas& canvas);
  void SetLiveCanvas(Canvas* canvas) { live_ = canvas; }
  void SetClientSize(int width, int height);
  // Instead of reading Block 7 at the first paint (kx7cli's --sensor).
  void SetSensorSize(int columns, int rows);
  std::function<void(const Rect& area)> onDrawn;
  std::function<void(CMultiDrawWnd&)> onClosed;
  // "clear", "exit-armed", "close": what the boxes did.
  std::function<void(const std::string& event)> onEvent;

  // --- State -----------------------------------------------------------------------------------
  struct Contact {
    bool used = false;
    std::uint32_t id = 0;
    std::uint8_t status = 0;
    bool wasTouching = false;
    bool touching = false;
    Point at;
    Point previous;
    bool hasSize = false;
    int sizeX = 0;
    int sizeY = 0;
  };
  const std::array<Contact, 100>& Contacts() const { return contacts_; }
  const Variant& Placement() const { return variant_; }
  int SensorColumns() const { return columns_; }
  int SensorRows() const { return rows_; }
  bool ExitArmed() const { return exitArmed_; }
  bool ClearLatched() const { return clearLatched_; }
  bool WhiteBackground() const { return whiteBackground_; }
  bool StatusColouring() const { return statusColouring_; }
  int LayoutCode() const { return layoutCode_; }
  Rect DrawingArea() const;
  Rect ClearBox() const;
  Rect ExitBox() const;
  DrawHost& Host() const { return host_; }

 private:
  struct Record {
    std::uint32_t id = 0;
    std::uint8_t status = 0;
    bool touching = false;
    Point at;  // in the drawing area, before clamping
    bool hasSize = false;
    int sizeX = 0;
    int sizeY = 0;
  };
  enum class Lookup { kAnySlot, kTouchingOnly };

  void SetUp();
  void ReportDone();
  void PacketDone();
  void FrameDone();
  // Stores the record in the contact table and draws it; -1 when it was dropped.
  int Take(const Record& record, Lookup lookup);
  void Trace(int slot);
  // A touch-down or a press in the Exit box: the first arms it, the second closes the window
  // (true).
  bool ExitTouched();
  void DrawContactMarks(Canvas& canvas, const Contact& contact, Color colour);
  void DrawGridAndBoxes(Canvas& canvas) const;
  void DrawBox(Canvas& canvas, const Rect& box, const char* label) const;
  void DrawTouchCount(int count);
  void ClearContacts();
  void Repaint();
  void Event(const char* event);
  bool BoxesShown() const;
  int GridX(int k) const;
  int GridY(int k) const;
  Point Clamped(Point p) const;
  Color ColourOf(int slot) const;

  DrawHost& host_;
  Variant variant_;
  int width_ = 0;
  int height_ = 0;
  Canvas* live_ = nullptr;
  bool setUpDone_ = false;
  std::optional<std::pair<int, int>> sensorOverride_;
  int columns_ = 64;
  int rows_ = 64;

  std::size_t position_ = 0;
  std::array<std::uint8_t, 64> packet_{};
  int layoutCode_ = 2;
  int reportsToCome_ = 0;
  int contactsToCome_ = 0;
  std::array<Contact, 100> contacts_{};

  bool whiteBackground_ = false;
  bool statusColouring_ = false;
  bool exitArmed_ = false;
  bool clearLatched_ = false;
  int frames_ = 0;
  bool closed_ = false;
};

}  // namespace kx7
