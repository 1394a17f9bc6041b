// How fast the terminal takes a KXS report stream as the frame hands it over: a megabyte of 5-byte
// reports (a touch that moves, lifts and comes down again) through CMainFrame::DispatchBytes, with
// the terminal open in slot 2, so that every byte goes the whole way: the listener table, message
// 0x803D sent to the terminal, its decoder settings read from the frame, the report decoder and
// the terminal's line ring. Also with time stamps, and with a text log open (on /dev/null, so the
// disk does not count). The figures are bytes a second and heap allocations per megabyte: the
// replaced global operator new below counts every allocation made while the stream goes through.
//
//   terminal_throughput_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "controller/controller_types.h"
#include "kxs_stream.h"
#include "app/command_line.h"
#include "display/display_constants.h"
#include "display/terminal_wnd.h"
#include "frame/command_ids.h"
#include "frame/main_frame.h"
#include "frame/tools_launcher.h"
#include "log/log_file.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace {
std::atomic<std::size_t> allocations{0};

void* Allocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace kx7 {
namespace {

constexpr std::size_t kStreamBytes = 1 << 20;

std::vector<std::uint8_t> KxsStream() { return bench::KxsStream(kStreamBytes); }

// A frame linked to a Birch on COM1 with the terminal open, as the launcher opens it.
struct TerminalRig {
  explicit TerminalRig(int timeDisplay, bool log) {
    environment.settingsFolder = std::filesystem::temp_directory_path().string();
    frame = std::make_unique<CMainFrame>(loop, ui, ports, ParseStartupFlags({"-nosearch"}), environment);
    InstallLogging(*frame);
    ToolsLauncher& launcher = InstallToolsLauncher(*frame);
    frame->LinkKind = 1;
    frame->ControllerType = type::kBirch;
    frame->ReportFormat = format::kKxs;
    frame->settings.Options.TimeDisplay = timeDisplay;
    if (log) {
      ui.ExpectFile("/dev/null");
      frame->OnCommand(cmd::kToggleLogging);
    }
    terminal = launcher.OpenTerminal();
    if (terminal) terminal->FirstPaint();
  }
  bool Ready(bool log) const { return terminal != nullptr && (!log || (frame->logFile && frame->logFile->Open())); }

  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  PortDirectory ports;
  CMainFrame::Environment environment;
  std::unique_ptr<CMainFrame> frame;
  CTerminalWnd* terminal = nullptr;
};

void Run(benchmark::State& state, int timeDisplay, bool log) {
  const std::vector<std::uint8_t> stream = KxsStream();
  TerminalRig rig(timeDisplay, log);
  if (!rig.Ready(log)) {
    state.SkipWithError("the terminal or the log did not open");
    return;
  }
  // Making the frame allocates plenty: a count of none would mean the counter is not in use.
  if (allocations.load() == 0) {
    state.SkipWithError("the replaced operator new is not called");
    return;
  }
  // The first pass fills the ring once; from then on nothing should need the heap.
  rig.frame->DispatchBytes(stream.data(), stream.size());
  const std::size_t before = allocations.load();
  for (auto _ : state) {
    rig.frame->DispatchBytes(stream.data(), stream.size());
    benchmark::ClobberMemory();
  }
  const std::size_t made = allocations.load() - before;
  const double megabytes = static_cast<double>(state.iterations()) * static_cast<double>(stream.size()) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
  state.counters["allocs/MB"] = benchmark::Counter(megabytes > 0 ? static_cast<double>(made) / megabytes : 0);
  state.counters["reports/s"] =
      benchmark::Counter(static_cast<double>(stream.size() / 5), benchmark::Counter::kIsIterationInvariantRate);
  benchmark::DoNotOptimize(rig.terminal->Text().Row(0).size());
}

void BM_TerminalKxs(benchmark::State& state) { Run(state, 0, false); }
BENCHMARK(BM_TerminalKxs)->Unit(benchmark::kMillisecond);

void BM_TerminalKxsAbsoluteStamps(benchmark::State& state) { Run(state, 1, false); }
BENCHMARK(BM_TerminalKxsAbsoluteStamps)->Unit(benchmark::kMillisecond);

void BM_TerminalKxsTextLog(benchmark::State& state) { Run(state, 0, true); }
BENCHMARK(BM_TerminalKxsTextLog)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
