// The terminal window: everything the controller sends, decoded, and everything the user types,
// which goes to the controller. It keeps the last 100 lines (TerminalText), stamps them with
// times on request, lets the user select and copy, pastes text as keys, records and plays keys
// back (with waits for the controller's replies), and writes what it shows into the log. It
// listens in slot 2 from its first paint until it closes. It owns its rate meter ("Tach") and its
// "USB Sync - Async Reports" window, one of each, which close with it. The Qt view forwards paint,
// keys, mouse and touch and draws through Canvas.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/report_decoder.h"
#include "display/tach_meter.h"
#include "display/terminal_text.h"
#include "display/usb_reports_dialog.h"
#include "frame/main_frame.h"
#include "platform/canvas.h"
#include "platform/window.h"

namespace kx7 {

class CTerminalWnd : public Window, public TerminalEcho, private DecoderActions {
 public:
  static constexpr std::size_t kKeyBufferSize = 101;
  static constexpr std::uint32_t kRepeatTimer = 1;
  static constexpr std::uint32_t kRepeatMs = 200;
  // A pause marker in the key buffer ("?" of a key script); a run of them waits for reply lines.
  static constexpr std::uint16_t kPauseKey = 0xFFFF;

  explicit CTerminalWnd(CMainFrame& frame);
  ~CTerminalWnd() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "Terminal"; }

  // --- The view's events -----------------------------------------------------------------------
  // The first paint: the terminal starts taking data and listens in slot 2.
  void FirstPaint();
  bool Accepting() const { return text_.Accepting(); }
  // A typed key (WM_CHAR).
  void OnChar(std::uint16_t key);
  // Selection by mouse, in rows and columns of the text.
  void MouseDown(int row, int column);
  void MouseDrag(int row, int column);
  void MouseUp();
  // One touch event of the system: one piece per point, "%dD.%04d.%04d " while the point is down
  // or moving, "%dU.%04d.%04d " once released (id, X and Y in pixels of the view), and the line
  // ends. The rate meter takes the number of points as the contact count. False when the event
  // carried no point (the view then lets it go on as it came).
  struct TouchPoint {
    int id = 0;
    bool released = false;
    int x = 0;
    int y = 0;
  };
  bool TouchInput(const std::vector<TouchPoint>& points);
  // Draws the rows from `firstRow` with the given line height and character width.
  void Paint(Canvas& canvas, int firstRow, int lineHeight, int charWidth, int scrollX) const;
  // The user closes the window, or the program does.
  void Close();

  // --- Commands --------------------------------------------------------------------------------
  void ClearAll();
  void CopySelection();
  void SelectAll();
  void Paste();
  void ToggleRecording();
  void PlayOnce();
  void ToggleRepeat();
  bool SaveKeyMacro();
  bool LoadKeyMacro();
  bool LoadKeyScript();
  // A key script as text: LF skipped, CR a key, "<hh>" a key in hexadecimal, "?" a pause.
  static std::vector<std::uint16_t> ParseKeyScript(const std::string& script);

  // --- State -----------------------------------------------------------------------------------
  TerminalText& Text() { return text_; }
  const TerminalText& Text() const { return text_; }
  ReportDecoder& Decoder() { return decoder_; }
  bool Recording() const { return recording_; }
  bool Repeating() const { return repeating_; }
  const std::vector<std::uint16_t>& Keys() const { return keys_; }
  struct Selection {
    int startRow = -1, startColumn = 0, endRow = -1, endColumn = 0;
    bool Active() const { return startRow >= 0; }
  };
  const Selection& CurrentSelection() const { return selection_; }
  DecoderSettings Settings() const;
  CMainFrame& Frame() const { return frame_; }

  // --- The terminal's two dialogs, one of each, gone with it -----------------------------------
  TachMeter& Tach() { return *tach_; }
  const TachMeter& Tach() const { return *tach_; }
  UsbReportsDialog& UsbReports() { return *usbReports_; }

  // The window is gone from the screen (the owner deletes it later).
  std::function<void(CTerminalWnd&)> onClosed;
  // A row changed or the rows scrolled: the view redraws that row, or everything.
  std::function<void(int row)> onRowChanged;
  std::function<void()> onScrolled;

  static constexpr Color kReceivedColour{0, 0, 255};
  static constexpr Color kSentColour{0, 0, 0};
  static constexpr Color kSelectionColour{0, 255, 255};

 private:
  // DecoderActions
  void SendPollByte() override;
  void WriteRawLog(std::uint8_t byte) override;
  void WriteLogLinefeed() override;
  // TerminalEcho
  void EchoChar(char c) override;

  void SendKey(std::uint16_t key, bool fromPlayback);
  void Play();
  void StopRepeat();
  void UpdateRecorderPane();

  CMainFrame& frame_;
  TerminalText text_;
  ReportDecoder decoder_;
  Selection selection_;
  bool tracking_ = false;
  std::vector<std::uint16_t> keys_;
  bool recording_ = false;
  bool repeating_ = false;
  bool playing_ = false;
  bool sohSeen_ = false;
  bool closed_ = false;
  // After the decoder: the record-choice window reads its choices when it is made.
  std::unique_ptr<TachMeter> tach_;
  std::unique_ptr<UsbReportsDialog> usbReports_;
};

}  // namespace kx7
