// How fast the draw window takes a KXS stream and how long a paint takes, drawing into a real
// 1920 x 1080 QImage through the Qt canvas as kx7sdu does. The stream (a megabyte of 5-byte
// reports: a touch that moves, lifts and comes down again) goes through CMainFrame::DispatchBytes
// with the draw window in slot 0, so every byte goes the whole way: the listener table, message
// 0x803D, the history, the decoder and the drawing of each point. The paint is the full replay of
// a 10,000-byte history (the most the window keeps) with the overlays.
//
//   draw_throughput_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "controller/controller_types.h"
#include "draw/draw_wnd.h"
#include "draw/frame_draw_host.h"
#include "frame/main_frame.h"
#include "gui/qt_canvas.h"
#include "kxs_stream.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace kx7 {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kStreamBytes = 1 << 20;
constexpr std::size_t kHistoryBytes = 10000;

struct DrawRig {
  DrawRig() : image(kWidth, kHeight, QImage::Format_RGB32) {
    environment.settingsFolder = std::filesystem::temp_directory_path().string();
    frame = std::make_unique<CMainFrame>(loop, ui, ports, ParseStartupFlags({"-nosearch"}), environment);
    frame->LinkKind = 1;
    frame->ControllerType = type::kBirch;
    host = std::make_unique<FrameDrawHost>(*frame);
    window = std::make_unique<CDrawWnd>(loop, *host, false);
    frame->SetListener(0, window->Id());
    painter.begin(&image);
    canvas = std::make_unique<QtCanvas>(painter, kWidth, kHeight);
    window->SetClientSize(kWidth, kHeight);
    window->SetLiveCanvas(canvas.get());
  }
  ~DrawRig() {
    window->SetLiveCanvas(nullptr);
    canvas.reset();
    painter.end();
  }

  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  PortDirectory ports;
  CMainFrame::Environment environment;
  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<FrameDrawHost> host;
  std::unique_ptr<CDrawWnd> window;
  QImage image;
  QPainter painter;
  std::unique_ptr<QtCanvas> canvas;
};

void BM_DrawStream(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = bench::KxsStream(kStreamBytes);
  DrawRig rig;
  for (auto _ : state) {
    rig.frame->DispatchBytes(stream.data(), stream.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_DrawStream)->Unit(benchmark::kMillisecond);

void BM_ReplayHistory(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = bench::KxsStream(kHistoryBytes);
  DrawRig rig;
  rig.frame->DispatchBytes(stream.data(), stream.size());
  if (rig.window->History().size() != kHistoryBytes) state.SkipWithError("the history is not full");
  for (auto _ : state) {
    rig.window->Paint(*rig.canvas);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ReplayHistory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

int main(int argc, char** argv) {
  // QPainter's fonts want a GUI application; no display is needed.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
