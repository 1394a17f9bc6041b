// The "Controller Info" window: eight lines of what the controller said about itself and how it
// is reached, a "More..." button and a close button ("Cancel" while a search or identification
// runs, "OK" after it). Closing it while a search runs cancels the search. The view shows the
// lines and buttons and sends wm::kCommand with kMoreButton or kCloseButton (Enter and Escape are
// the close button), or wm::kClose when the window itself is closed.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/ui_host.h"
#include "platform/window.h"

namespace kx7 {

class ControllerInfoWindow : public Window {
 public:
  enum Line { kOi, kUv, kUt, kNm, kPort, kStatus, kErrors, kBaseType, kLineCount };
  static constexpr WParam kMoreButton = 1;
  static constexpr WParam kCloseButton = 2;
  // The group boxes of the last three lines (the first four have none).
  static constexpr std::array<const char*, kLineCount> kGroups = {"", "", "", "", "Comm Port", "", "Errors",
                                                                  "Base Type + Features"};

  ControllerInfoWindow(MessageLoop& loop, UiHost& ui);
  ~ControllerInfoWindow() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "ControllerInfo"; }

  // Shows the window (centred, above the others); false when the user interface could not.
  bool Show();
  void Hide();
  // A search or identification starts (close button "Cancel") or ends ("OK").
  void BeginSearch();
  void EndSearch();

  bool Shown() const { return shown_; }
  // A search may use the window (it runs, shown or hidden).
  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  // The user closed the window while it was active: the search stops at its next check.
  bool Cancelled() const { return cancelled_; }

  const std::string& LineText(int line) const { return lines_.at(static_cast<std::size_t>(line)); }
  void SetLine(int line, const std::string& text);
  void ClearLines();
  const std::string& CloseButtonText() const { return closeText_; }
  void SetCloseButtonText(const std::string& text);
  bool MoreEnabled() const { return moreEnabled_ && static_cast<bool>(onMore); }
  void SetMoreEnabled(bool enabled);

  // "More..." (installed by the identification; without it the button stays disabled).
  std::function<void()> onMore;

 private:
  void UserClosed();
  void Refresh();

  UiHost& ui_;
  std::array<std::string, kLineCount> lines_;
  std::string closeText_ = "OK";
  bool moreEnabled_ = true;
  bool shown_ = false;
  bool active_ = false;
  bool cancelled_ = false;
};

}  // namespace kx7
