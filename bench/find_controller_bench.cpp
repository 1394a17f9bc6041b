// How long Find Controller takes over a pseudo-terminal when the controller answers only at a later
// entry of the settings list: kx7emu serves a Cedar GEN4 at the settings of that entry on COM1 (the
// only port), and the core runs the search on a real-time loop as the Port menu does.
//
// Every entry before the controller's costs one unanswered ping, a 250 ms wait; the figure to meet
// is 1.1 x (unanswered pings x 250 ms) + 100 ms until the controller is found (its answer to the
// ping, seen as the identification's first command going out). The answered ping waits out its
// 250 ms as well (its reply ends only on an echoed "Z" or the time-out), so the bound with that
// wait counted is shown too, and the time with the identification beside it.
//
//   find_controller_bench [--benchmark_...]
//   KX7EMU=/path/to/kx7emu names the emulator (default: emulator/kx7emu of this build tree).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/diagnostic_app.h"
#include "frame/frame_constants.h"
#include "platform/console_ui_host.h"
#include "platform/real_time_loop.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"
#include "emulated_frame.h"
#include "support/child_process.h"

extern char** environ;

namespace kx7 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kUnansweredPingMs = 250;
constexpr double kSlack = 1.1;
constexpr double kOverheadMs = 100;

double Milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

using bench::EmulatorPath;

using kx7::testing::EmulatorProcess;

// The terminal's copy of what goes to the controller: counts the pings and notes when the first
// identification command leaves, which is when the search has its controller.
class SentRecorder : public TerminalEcho {
 public:
  void EchoChar(char c) override {
    sent_ += c;
    if (EndsWith("\x01Z\r")) ++pings;
    if (!identificationAt && EndsWith("\x01OI\r")) identificationAt = Clock::now();
  }
  int pings = 0;
  std::optional<Clock::time_point> identificationAt;

 private:
  bool EndsWith(const std::string& tail) const {
    return sent_.size() >= tail.size() && sent_.compare(sent_.size() - tail.size(), tail.size(), tail) == 0;
  }
  std::string sent_;
};

// Stands in the terminal's listener slot, which the frame's echo needs taken.
class SilentTerminal : public Window {
 public:
  explicit SilentTerminal(MessageLoop& loop) : Window(loop) {}
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

struct Figures {
  bool found = false;
  int pings = 0;
  double foundMs = 0;
  double totalMs = 0;
};

std::optional<Figures> TimeFind(const std::string& controllerSettings, const std::string& existingSettings,
                                std::string& problem) {
  EmulatorProcess emulator;
  if (!emulator.Start(EmulatorPath(), {"--family", "cedar-gen4", "--settings", controllerSettings, "--no-touch"})) {
    problem = "kx7emu did not start (" + EmulatorPath() + "; set KX7EMU or build kx7emu)";
    return std::nullopt;
  }
  Figures figures;
  {
    bench::EmulatedFrame emulated(emulator.Path());
    if (!emulated.Made()) {
      problem = "no temporary folder";
      return std::nullopt;
    }
    RealTimeLoop& loop = emulated.Loop();
    CMainFrame* frame = &emulated.Frame();
    ControllerProtocol* protocol = &emulated.Protocol();
    frame->settings.MainPortSettings = existingSettings;
    frame->settings.Options.LoopbackSentChars = 1;
    SentRecorder recorder;
    SilentTerminal terminal(loop);
    frame->terminalEcho = &recorder;
    frame->SetListener(slot::kTerminal, terminal.Id());

    const Clock::time_point start = Clock::now();
    protocol->finder.FindController(find::kShowWindow, false);
    const Clock::time_point end = Clock::now();

    frame->ClearListener(slot::kTerminal);
    frame->terminalEcho = nullptr;
    figures.found = frame->LinkKind != link::kClosed;
    figures.pings = recorder.pings;
    figures.totalMs = Milliseconds(end - start);
    figures.foundMs = recorder.identificationAt ? Milliseconds(*recorder.identificationAt - start) : figures.totalMs;
  }
  return figures;
}

// One search for a controller at settings entry `entry`; every entry before it goes unanswered.
void BM_FindControllerAtEntry(benchmark::State& state) {
  const int entry = static_cast<int>(state.range(0));
  const std::string controllerSettings = kSearchSettings[static_cast<std::size_t>(entry)];
  // Entry 0 keeps the port's settings: left from another controller so that it goes unanswered.
  const std::string existing = entry == 1 ? "19200,N,8,1" : kDefaultPortSettings;
  const double boundMs = kSlack * (entry * kUnansweredPingMs) + kOverheadMs;
  const double boundWithAnswerMs = kSlack * ((entry + 1) * kUnansweredPingMs) + kOverheadMs;
  Figures figures;
  for (auto _ : state) {
    std::string problem;
    const std::optional<Figures> measured = TimeFind(controllerSettings, existing, problem);
    if (!measured) {
      state.SkipWithError(problem.c_str());
      return;
    }
    figures = *measured;
    state.SetIterationTime(figures.foundMs / 1000.0);
  }
  if (!figures.found) {
    state.SkipWithError("the controller was not found");
    return;
  }
  state.counters["unanswered"] = figures.pings - 1;
  state.counters["found_ms"] = figures.foundMs;
  state.counters["bound_ms"] = boundMs;
  state.counters["bound_with_answer_wait_ms"] = boundWithAnswerMs;
  state.counters["with_identification_ms"] = figures.totalMs;
  const char* verdict = figures.foundMs <= boundMs             ? ": within the bound"
                        : figures.foundMs <= boundWithAnswerMs ? ": over the bound by the answered ping's wait"
                                                               : ": OVER both bounds";
  state.SetLabel(controllerSettings + verdict);
}

BENCHMARK(BM_FindControllerAtEntry)
    ->Arg(1)
    ->Arg(3)
    ->Arg(11)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
