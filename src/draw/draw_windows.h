// The draw windows in the program: opens the draw window and the multitouch draw windows for the
// launcher's commands (in their placements, one at a time in listener slot 0), puts the draw side
// of split mode in place, handles the draw windows' pop-up menu commands and Clear All, hands a
// Format change on, and deletes a closed window once its close has unwound.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "draw/draw_wnd.h"
#include "draw/frame_draw_host.h"
#include "draw/multi_draw_wnd.h"
#include "frame/main_frame.h"
#include "platform/window.h"

namespace kx7 {

class DrawWindows : public Window {
 public:
  explicit DrawWindows(CMainFrame& frame);
  ~DrawWindows() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

  // 32959 (Draw), 32960 (Full Draw) and the multitouch variants 33022 to 33042.
  void Open(std::uint32_t command);
  // The left two thirds of split mode.
  bool PlaceForSplit(const Rect& rect, bool multiTouch);

  CDrawWnd* Draw() const { return draw_.get(); }
  CMultiDrawWnd* MultiDraw() const { return multi_.get(); }
  Window* Current() const;
  DrawHost& Host() { return host_; }

 private:
  static constexpr MessageId kDeleteClosed = wm::kUser + 1;

  CDrawWnd* MakeDraw(bool fullScreen);
  CMultiDrawWnd* MakeMultiDraw(std::uint32_t command);
  bool Show(Window& window, bool fullScreen, const char* title);
  void CloseCurrent();
  void OnPopupCommand(std::uint32_t id);
  CommandState UpdatePopup(std::uint32_t id) const;
  void RepaintCurrent();

  CMainFrame& frame_;
  FrameDrawHost host_;
  std::unique_ptr<CDrawWnd> draw_;
  std::unique_ptr<CMultiDrawWnd> multi_;
  std::vector<std::unique_ptr<Window>> closed_;  // deleted once their close has unwound
};

// Makes the draw windows' subsystem for the frame (after the tools launcher); the frame keeps it.
DrawWindows& InstallDrawWindows(CMainFrame& frame);

}  // namespace kx7
