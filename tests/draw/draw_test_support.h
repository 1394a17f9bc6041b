// A draw window on fixed values (no controller, no terminal), a live canvas that records what
// the bytes draw, and the record as text lines.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "draw/draw_wnd.h"
#include "draw/multi_draw_wnd.h"
#include "draw/offline_draw_host.h"
#include "frame/messages.h"
#include "platform/recording_canvas.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace kx7::testing {

inline std::vector<std::string> Lines(RecordingCanvas& canvas) {
  std::vector<std::string> lines;
  for (const RecordingCanvas::Operation& operation : canvas.Operations()) lines.push_back(RecordLine(operation));
  canvas.Clear();
  return lines;
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// A binary tablet report: status, then X and Y (15-bit) seven bits a byte as the window reads them.
inline std::string Tablet(bool touching, int x, int y) {
  return Bytes({touching ? 0xC0 : 0x80, (x >> 1) & 0x7F, (x >> 8) & 0x7F, (y >> 1) & 0x7F, (y >> 8) & 0x7F});
}

class DrawWindowFixture : public ::testing::Test {
 protected:
  void Open(int width = 1000, int height = 1000, bool fullScreen = false) {
    live = std::make_unique<RecordingCanvas>(width, height);
    window = std::make_unique<CDrawWnd>(loop, host, fullScreen);
    window->SetClientSize(width, height);
    window->SetLiveCanvas(live.get());
  }
  void Feed(const std::string& bytes) {
    for (const char c : bytes) loop.Send(window->Id(), msg::kListenerByte, static_cast<std::uint8_t>(c), 0);
  }
  std::vector<std::string> Drawn() { return Lines(*live); }
  std::vector<std::string> Painted() {
    RecordingCanvas canvas(window->ClientWidth(), window->ClientHeight());
    window->Paint(canvas);
    return Lines(canvas);
  }
  // Only the trace: the overlays switched off.
  void NoOverlays() {
    host.options.ShowGrid = 0;
    host.options.Show16ptTargets = 0;
    host.options.Show25ptTargets = 0;
  }

  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  OfflineDrawHost host{ui};
  std::unique_ptr<RecordingCanvas> live;
  std::unique_ptr<CDrawWnd> window;
};

}  // namespace kx7::testing
