// Everything modal or window-placing that a core window asks of the user interface: message
// boxes, file dialogs, list choice, dialogs over a core dialog model and opening a window in a
// placement. Implemented with Qt (kx7sdu), scripted answers (tests) and the console (kx7cli).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/window_messages.h"

namespace kx7 {

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel, kAbortRetryIgnore };
enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };
// The values are the classic answer codes, so callers can store and compare them as numbers.
enum class Answer { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

struct FileDialogRequest {
  bool save = false;
  std::string title;
  // "Log Files (*.log)|*.log|All Files (*.*)|*.*||"
  std::string filter;
  std::string defaultExtension;
  std::string fileName;
  std::string initialFolder;  // empty: the current folder
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

enum class PlacementKind { kFullScreen, kMdiChild, kMdiChildAt, kModelessDialog };

struct Placement {
  PlacementKind kind = PlacementKind::kMdiChild;
  std::string title;
  Rect rect;  // full screen and kMdiChildAt
  bool maximized = true;
};

// A dialog's logic lives in a core model; the user interface shows it and reports OK or Cancel.
class DialogModel {
 public:
  virtual ~DialogModel() = default;
  // Stable name that the user interfaces use to pick the view ("PortSettings").
  virtual const char* Kind() const = 0;
  virtual std::string Title() const = 0;
  // Called when the user confirms; false keeps the dialog open.
  virtual bool OnOk() { return true; }
};

class Window;

class UiHost {
 public:
  virtual ~UiHost() = default;

  virtual Answer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                            MessageIcon icon) = 0;
  // Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
  // Returns the chosen index, or nothing when cancelled.
  virtual std::optional<std::size_t> ChooseFromList(const std::string& title, const std::vector<std::string>& lines) = 0;
  // Shows a modal dialog over the model; true for OK.
  virtual bool RunDialog(DialogModel& model) = 0;
  // Shows a core window in a placement; false when the window could not be created.
  virtual bool OpenWindow(Window& window, const Placement& placement) = 0;
  virtual void CloseWindow(Window& window) = 0;
  // The program's window asks to be repainted or re-read its state (menus, status bar).
  virtual void Invalidate(WindowId window) = 0;
  // The system clipboard's text (copy from the terminal and the log viewer, paste as keys).
  virtual void SetClipboardText(const std::string& text) { clipboard_ = text; }
  virtual std::string ClipboardText() const { return clipboard_; }
  // Puts a picture of the window's client area on the clipboard (the clipboard emptied first);
  // false when the clipboard or the picture could not be had.
  virtual bool CopyWindowImage(WindowId window) {
    copiedImageOf = window;
    return false;
  }
  // The window whose picture was last asked for, on hosts without a system clipboard.
  WindowId copiedImageOf = kNoWindow;

 private:
  std::string clipboard_;  // hosts without a system clipboard keep it here
};

// Shorthand for the program's plain notices.
inline Answer ShowMessage(UiHost& host, const std::string& text) {
  return host.MessageBox(text, "KX7SDU", MessageButtons::kOk, MessageIcon::kInformation);
}

}  // namespace kx7
