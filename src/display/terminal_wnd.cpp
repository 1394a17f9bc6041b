#include "display/terminal_wnd.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "controller/controller_families.h"
#include "frame/command_ids.h"
#include "frame/frame_texts.h"
#include "log/log_file.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

constexpr const char* kFailedToOpen = "Failed to open file!";
constexpr const char* kMacroFilter = "Key Macro Files(*.mac)|*.mac|All Files (*.*)|*.*||";
constexpr const char* kScriptFilter = "Key Script Files(*.txt)|*.txt|All Files (*.*)|*.*||";

}  // namespace

CTerminalWnd::CTerminalWnd(CMainFrame& frame)
    : Window(frame.Loop()),
      frame_(frame),
      decoder_(text_, *this),
      tach_(std::make_unique<TachMeter>(frame.Loop(), frame.Ui())),
      usbReports_(std::make_unique<UsbReportsDialog>(frame, decoder_)) {
  text_.clockMs = [this] { return Loop().Now(); };
  text_.logTakesText = [this] { return frame_.logFile && frame_.logFile->TakesTerminalText(); };
  text_.writeLog = [this](std::string_view piece) {
    if (frame_.logFile) frame_.logFile->WriteLog(piece);
  };
  text_.onRowChanged = [this](int row) {
    if (onRowChanged) onRowChanged(row);
  };
  text_.onScrolled = [this] {
    if (onScrolled) onScrolled();
  };
  // The rate meter takes the decoded pieces by message, in their order and with their times.
  text_.rateMeterOpen = [this] { return tach_->Shown(); };
  text_.onDecodedPiece = [this](std::uint64_t ms, int contacts) {
    if (tach_->Shown()) Loop().Post(tach_->Id(), msg::kTachCount, static_cast<WParam>(ms), contacts);
  };
}

CTerminalWnd::~CTerminalWnd() {
  if (!closed_) {
    // Gone without a close (the frame went first): let go of the frame's hooks.
    if (frame_.listeners.Listener(slot::kTerminal) == Id()) frame_.ClearListener(slot::kTerminal);
    if (frame_.terminal == this) frame_.terminal = nullptr;
    if (frame_.terminalEcho == this) frame_.terminalEcho = nullptr;
    tach_->Close();
    usbReports_->Close();
  }
}

DecoderSettings CTerminalWnd::Settings() const {
  DecoderSettings s;
  s.reportFormat = frame_.ReportFormat;
  s.controllerType = frame_.ControllerType;
  s.controllerFeatures = frame_.ControllerFeatures;
  s.linkKind = frame_.LinkKind;
  s.passThrough = frame_.passThrough;
  s.multiTouch = IsMultiTouchController(frame_.ControllerType, frame_.ControllerFeatures);
  s.fullResolution = frame_.settings.Options.FullBirch2Resolution != 0;
  s.wrapOnCr = frame_.settings.Options.WrapOnCR != 0;
  s.wrapOnBit7 = frame_.settings.Options.WrapOnBit7 != 0;
  s.pollMode = frame_.pollMode;
  s.rawLogOpen = frame_.logFile && frame_.logFile->Open() && frame_.logFile->RawMode();
  s.logOpen = frame_.logFile && frame_.logFile->TakesTerminalText();
  return s;
}

LResult CTerminalWnd::OnMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case msg::kListenerByte:
      if (!text_.Accepting()) return 0;
      text_.timeDisplay = frame_.settings.Options.TimeDisplay;
      text_.wrapOnCr = frame_.settings.Options.WrapOnCR != 0;
      decoder_.DecodeByte(static_cast<std::uint8_t>(wParam), Settings());
      return 0;
    case msg::kListenerRecord:
      if (!text_.Accepting() || lParam == 0) return 0;
      decoder_.DecodeRecord(reinterpret_cast<const std::uint8_t*>(lParam), static_cast<std::size_t>(wParam),
                            Settings());
      return 0;
    case msg::kCopy:
      CopySelection();
      return 0;
    case msg::kSelectAll:
      SelectAll();
      return 0;
    case msg::kPaste:
      Paste();
      return 0;
    case msg::kKeyRecordToggle:
      ToggleRecording();
      return 0;
    case msg::kKeyPlayOnce:
      StopRepeat();
      PlayOnce();
      return 0;
    case msg::kKeyPlayRepeat:
      ToggleRepeat();
      return 0;
    case msg::kKeyMacroSave:
      StopRepeat();
      SaveKeyMacro();
      return 0;
    case msg::kKeyMacroLoad:
      StopRepeat();
      LoadKeyMacro();
      return 0;
    case msg::kKeyScriptLoad:
      StopRepeat();
      LoadKeyScript();
      return 0;
    case msg::kTerminalLine:
      if (lParam != 0) {
        text_.AppendText(reinterpret_cast<const char*>(lParam), TextKind::kDecoded);
        text_.EndLine(LineEnd::kPlain);
      }
      return 0;
    case wm::kTimer:
      if (wParam == kRepeatTimer && repeating_ && !playing_) Play();
      return 0;
    case wm::kClose:
      Close();
      return 0;
    default:
      return 0;
  }
}

void CTerminalWnd::FirstPaint() {
  if (text_.Accepting()) return;
  decoder_.Choices() = RecordChoices{};
  decoder_.Reset();
  text_.Clear();
  text_.timeDisplay = frame_.settings.Options.TimeDisplay;
  text_.wrapOnCr = frame_.settings.Options.WrapOnCR != 0;
  text_.StartAccepting();
  frame_.SetListener(slot::kTerminal, Id());
  frame_.terminal = this;
  frame_.terminalEcho = this;
}

void CTerminalWnd::Close() {
  if (closed_) return;
  closed_ = true;
  StopRepeat();
  recording_ = false;
  UpdateRecorderPane();
  decoder_.Choices() = RecordChoices{};
  tach_->Close();
  usbReports_->Close();
  usbReports_->driverRecord = nullptr;
  usbReports_->storeSyncChoices = nullptr;
  if (frame_.listeners.Listener(slot::kTerminal) == Id()) frame_.ClearListener(slot::kTerminal);
  if (frame_.terminal == this) frame_.terminal = nullptr;
  if (frame_.terminalEcho == this) frame_.terminalEcho = nullptr;
  frame_.Ui().CloseWindow(*this);
  if (onClosed) onClosed(*this);
}

// --- Decoder actions and the frame's echo ------------------------------------------------------

void CTerminalWnd::SendPollByte() { frame_.Post(msg::kSendByte, 0x11, 0); }

void CTerminalWnd::WriteRawLog(std::uint8_t byte) {
  if (frame_.logFile) frame_.logFile->WriteLogByte(byte);
}

void CTerminalWnd::WriteLogLinefeed() {
  if (frame_.logFile) frame_.logFile->WriteLog("\n");
}

void CTerminalWnd::EchoChar(char c) { text_.EchoChar(static_cast<std::uint8_t>(c), TextKind::kEchoed); }

// --- Keys --------------------------------------------------------------------------------------

void CTerminalWnd::OnChar(std::uint16_t key) {
  if (recording_ && keys_.size() < kKeyBufferSize) keys_.push_back(key);
  SendKey(key, false);
}

void CTerminalWnd::SendKey(std::uint16_t key, bool fromPlayback) {
  const OptionsBlock& options = frame_.settings.Options;
  if (options.ForceCaps && key < 0x80) key = static_cast<std::uint16_t>(std::toupper(key));
  if (!options.LoopbackSentChars && !options.FullDuplex)
    text_.EchoChar(static_cast<std::uint8_t>(key), TextKind::kTyped);
  frame_.Loop().Send(frame_.Id(), msg::kSendByte, key & 0xFF, 0);
  if (fromPlayback && key == 0x01) sohSeen_ = true;
  if (key == '\r' && sohSeen_) {
    // A command sent from playback: the draw window comes to the front to show its effect.
    sohSeen_ = false;
    if (frame_.listeners.IsActive(slot::kDraw) && frame_.activateWindow)
      frame_.activateWindow(frame_.listeners.Listener(slot::kDraw));
  }
}

void CTerminalWnd::Play() {
  if (playing_) return;
  playing_ = true;
  CommandChannel* channel = frame_.protocol ? &frame_.protocol->channel : nullptr;
  for (std::size_t i = 0; i < keys_.size() && !closed_ && !frame_.closing;) {
    if (keys_[i] == kPauseKey) {
      std::size_t run = 0;
      while (i < keys_.size() && keys_[i] == kPauseKey) {
        ++run;
        ++i;
      }
      // One "?" waits for a reply line, two for two lines, three or more for three.
      const std::uint32_t flags = run == 1 ? 0 : run == 2 ? reply::kTwoLines : reply::kThreeLines;
      if (channel) channel->Transact(80, flags);
      continue;
    }
    SendKey(keys_[i], true);
    ++i;
  }
  playing_ = false;
}

void CTerminalWnd::PlayOnce() { Play(); }

void CTerminalWnd::ToggleRecording() {
  StopRepeat();
  recording_ = !recording_;
  if (recording_) keys_.clear();
  UpdateRecorderPane();
}

void CTerminalWnd::ToggleRepeat() {
  if (repeating_) {
    StopRepeat();
    return;
  }
  repeating_ = true;
  SetTimer(kRepeatTimer, kRepeatMs);
  UpdateRecorderPane();
}

void CTerminalWnd::StopRepeat() {
  if (!repeating_) return;
  repeating_ = false;
  KillTimer(kRepeatTimer);
  UpdateRecorderPane();
}

void CTerminalWnd::UpdateRecorderPane() {
  frame_.recorderState = recording_ ? text::kPaneRecording : repeating_ ? text::kPanePlaying : "";
}

std::vector<std::uint16_t> CTerminalWnd::ParseKeyScript(const std::string& script) {
  std::vector<std::uint16_t> keys;
  for (std::size_t i = 0; i < script.size() && keys.size() < kKeyBufferSize; ++i) {
    const char c = script[i];
    if (c == '\n') continue;
    if (c == '?') {
      keys.push_back(kPauseKey);
    } else if (c == '<') {
      const std::size_t end = script.find('>', i + 1);
      if (end == std::string::npos) {
        keys.push_back(static_cast<std::uint8_t>(c));  // an unclosed "<" is the key itself
        continue;
      }
      // Only the last two characters count.
      unsigned value = 0;
      const std::string digits = script.substr(i + 1, end - i - 1);
      const std::string lastTwo = digits.size() > 2 ? digits.substr(digits.size() - 2) : digits;
      if (std::sscanf(lastTwo.c_str(), "%X", &value) == 1) keys.push_back(static_cast<std::uint16_t>(value & 0xFF));
      i = end;
    } else {
      keys.push_back(static_cast<std::uint8_t>(c));
    }
  }
  return keys;
}

void CTerminalWnd::Paste() {
  const std::string text = frame_.Ui().ClipboardText();
  if (text.empty()) return;
  StopRepeat();
  keys_ = ParseKeyScript(text);
  PlayOnce();
}

bool CTerminalWnd::SaveKeyMacro() {
  FileDialogRequest request;
  request.save = true;
  request.filter = kMacroFilter;
  request.defaultExtension = "mac";
  const std::optional<std::string> path = frame_.Ui().FileDialog(request);
  if (!path) return false;
  std::ofstream out(*path, std::ios::binary | std::ios::trunc);
  if (!out) {
    ShowMessage(frame_.Ui(), kFailedToOpen);
    return false;
  }
  // A count and then the keys, 16 bits each, low byte first.
  const std::uint16_t count = static_cast<std::uint16_t>(keys_.size());
  out.put(static_cast<char>(count & 0xFF)).put(static_cast<char>(count >> 8));
  for (const std::uint16_t key : keys_) out.put(static_cast<char>(key & 0xFF)).put(static_cast<char>(key >> 8));
  return static_cast<bool>(out);
}

bool CTerminalWnd::LoadKeyMacro() {
  FileDialogRequest request;
  request.filter = kMacroFilter;
  request.defaultExtension = "mac";
  const std::optional<std::string> path = frame_.Ui().FileDialog(request);
  if (!path) return false;
  std::ifstream in(*path, std::ios::binary);
  if (!in) {
    ShowMessage(frame_.Ui(), kFailedToOpen);
    return false;
  }
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  keys_.clear();
  if (bytes.size() < 2) return true;
  // A truncated file gives the keys it holds, never more than the buffer takes.
  const std::size_t count = std::min<std::size_t>(bytes[0] | (bytes[1] << 8), kKeyBufferSize);
  for (std::size_t i = 0; i < count && 2 + 2 * i + 1 < bytes.size(); ++i)
    keys_.push_back(static_cast<std::uint16_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8)));
  return true;
}

bool CTerminalWnd::LoadKeyScript() {
  FileDialogRequest request;
  request.filter = kScriptFilter;
  request.defaultExtension = "txt";
  const std::optional<std::string> path = frame_.Ui().FileDialog(request);
  if (!path) return false;
  std::ifstream in(*path, std::ios::binary);
  if (!in) {
    ShowMessage(frame_.Ui(), kFailedToOpen);
    return false;
  }
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  keys_ = ParseKeyScript(script);
  return true;
}

// --- Selection, copy, paint --------------------------------------------------------------------

void CTerminalWnd::MouseDown(int row, int column) {
  selection_ = Selection{row, column, row, column};
  tracking_ = true;
  if (onScrolled) onScrolled();
}

void CTerminalWnd::MouseDrag(int row, int column) {
  if (!tracking_) return;
  // The end only moves forwards.
  if (row > selection_.endRow || (row == selection_.endRow && column > selection_.endColumn)) {
    selection_.endRow = row;
    selection_.endColumn = column;
    if (onScrolled) onScrolled();
  }
}

void CTerminalWnd::MouseUp() { tracking_ = false; }

bool CTerminalWnd::TouchInput(const std::vector<TouchPoint>& points) {
  if (points.empty()) return false;
  const int contacts = static_cast<int>(points.size());
  for (const TouchPoint& point : points) {
    char piece[64];
    std::snprintf(piece, sizeof piece, "%d%c.%04d.%04d ", point.id, point.released ? 'U' : 'D', point.x, point.y);
    text_.AppendText(piece, TextKind::kDecoded, contacts);
  }
  text_.EndLine(LineEnd::kPlain);
  return true;
}

void CTerminalWnd::SelectAll() {
  selection_ = Selection{0, 0, text_.RowCount() - 1, TerminalText::kColumns};
  if (onScrolled) onScrolled();
}

void CTerminalWnd::CopySelection() {
  if (!selection_.Active()) return;
  frame_.Ui().SetClipboardText(
      text_.Copy(selection_.startRow, selection_.startColumn, selection_.endRow, selection_.endColumn));
  selection_ = Selection{};
  if (onScrolled) onScrolled();
}

void CTerminalWnd::ClearAll() {
  frame_.SetStatusText(pane::kMessage, "");
  text_.Clear();
  decoder_.Reset();
  selection_ = Selection{};
  if (onScrolled) onScrolled();
}

void CTerminalWnd::Paint(Canvas& canvas, int firstRow, int lineHeight, int charWidth, int scrollX) const {
  canvas.FillRect(Rect{0, 0, canvas.Width(), canvas.Height()}, Color{255, 255, 255});
  Font font;
  font.family = "Courier New";
  font.pointSize = 10;
  canvas.SetFont(font);
  const int rows = text_.RowCount();
  for (int row = std::max(firstRow, 0); row < rows; ++row) {
    const int y = (row - firstRow) * lineHeight;
    if (y > canvas.Height()) break;
    const std::string_view line = text_.Row(row);
    if (selection_.Active() && row >= selection_.startRow && row <= selection_.endRow) {
      const int from = row == selection_.startRow ? selection_.startColumn : 0;
      const int to = row == selection_.endRow ? std::min<int>(selection_.endColumn, static_cast<int>(line.size()) - 1)
                                              : static_cast<int>(line.size()) - 1;
      if (to >= from)
        canvas.FillRect(Rect{from * charWidth - scrollX, y, (to + 1) * charWidth - scrollX, y + lineHeight},
                        kSelectionColour);
    }
    canvas.SetTextColor(text_.RowColour(row) == TerminalText::Colour::kSent ? kSentColour : kReceivedColour);
    if (!line.empty()) canvas.Text(Point{-scrollX, y}, std::string(line));
  }
}

}  // namespace kx7
