// "Please Wait": the small window that stays up while a restarted controller comes back. At most
// one exists; showing it again keeps the text it has and only repaints it. It closes when the
// controller answers the ping, when the reply times out, or when told to.
#pragma once

#include <string>

#include "platform/ui_host.h"
#include "platform/window.h"

namespace kx7 {

class RebootProgressWindow : public Window {
 public:
  RebootProgressWindow(MessageLoop& loop, UiHost& ui);
  ~RebootProgressWindow() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "RebootProgress"; }

  // Opens the window with `text` when it is not open; in every case repaints it.
  void Show(const std::string& text);
  void Close();
  bool IsOpen() const { return open_; }
  const std::string& Text() const { return text_; }

  static constexpr const char* kTitle = "Please Wait";

 private:
  UiHost& ui_;
  std::string text_;
  bool open_ = false;
};

}  // namespace kx7
