// How accurate a linearized controller is: an emulated controller on the documented sensor model
// (bow 3 % and 8 %, each clock), calibrated by its own two-target CX calibration, is proved before
// and after a 25-point linearization. The linearization takes the raw averages at the 25 targets,
// runs the program's mathematics, writes the table into the controller's Block2 and lets the
// controller calibrate again (its CX takes the table into account); both proves judge the
// controller's calibrated reports the way the prove windows do (16 targets at 1.5 %, 25 DVT
// targets at 1.09 %). The counters are the largest error in percent of the screen and whether the
// prove passed.
//
//   calibration_accuracy_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "calibration/calibration_constants.h"
#include "calibration/linearization.h"
#include "calibration/prove_judge.h"
#include "calibration/sample_ring.h"
#include "controller/controller_types.h"
#include "report_encoder.h"
#include "sensor_items.h"
#include "touch_report_generator.h"

namespace kx7 {
namespace {

using emu::ScreenPoint;
using emu::TouchReportGenerator;

constexpr std::uint64_t kHoldMs = 400;

// The controller's CX run: the two targets (1/8 and 7/8 of the screen) each held for a while.
bool CalibrateCx(TouchReportGenerator& g, std::uint64_t& now) {
  if (g.OnCommand("CX") != emu::CommandResult::kAck) return false;
  std::vector<std::uint8_t> out;
  for (const ScreenPoint target : {ScreenPoint{256, 1792}, ScreenPoint{1792, 256}}) {
    g.Touches().Place(target, true, 0, now + 10);
    g.Touches().Place(target, false, 0, now + 10 + kHoldMs);
    for (const std::uint64_t end = now + 2 * kHoldMs; now < end; now += 5) g.Advance(now, out);
  }
  for (const std::uint64_t end = now + 1000; now < end && g.Calibrating(); now += 5) g.Advance(now, out);
  return !g.Calibrating();
}

struct ProveFigures {
  double maxError = 0;
  bool passed = false;
};

// Every target of a set touched where it is drawn: the controller's tablet reports of the touch
// judged as the prove window judges them.
ProveFigures Prove(TouchReportGenerator& g, ProveSet set, double band) {
  const int settle = ProveSettleFor(type::kCedarGen4);
  ProveJudge judge({set, set == ProveSet::k4 ? 0 : settle, band});
  while (!judge.Finished()) {
    const auto at = ProveTargetPosition(set, judge.Current());
    const emu::CalibratedPoint p = g.Sensor().Calibrated({static_cast<double>(at[0]), static_cast<double>(at[1])});
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < settle + 2; ++n) emu::AppendTablet(bytes, {true, false, false}, p.x, p.y);
    emu::AppendTablet(bytes, {false, false, false}, p.x, p.y);
    for (const std::uint8_t b : bytes) judge.Feed(b);
  }
  return {judge.MaxError(), judge.Passed()};
}

void CalibrationAccuracy(benchmark::State& state) {
  const double warp = static_cast<double>(state.range(0)) / 100;
  const int clock = static_cast<int>(state.range(1));
  ProveFigures before16, before25, after16, after25;
  bool linearized = false;
  for (auto _ : state) {
    emu::TouchReportConfig config;
    config.autoStroke = false;
    config.sensor = emu::GivenSensorDefaults();
    config.sensor.clock = clock;
    config.sensor.warp = warp;
    TouchReportGenerator g(config);
    std::uint64_t now = 0;
    CalibrateCx(g, now);
    before16 = Prove(g, ProveSet::k16, cal::kProveBand);
    before25 = Prove(g, ProveSet::k25, cal::kDefaultProveAccuracy);
    // The 25 raw averages in display order, as raw reporting gives them without noise.
    NodePairs display{};
    for (std::size_t k = 0; k < display.size(); ++k) {
      const emu::RawPoint raw = g.Sensor().Raw({static_cast<double>(cal::kGrid[k % 5]), static_cast<double>(cal::kGrid[k / 5])});
      display[k] = {static_cast<long long>(raw.x), static_cast<long long>(raw.y)};
    }
    const LinearizationResult result = Linearize(display, false);
    linearized = result.Ok();
    if (linearized) {
      g.OnBlock(2, *result.block2);
      CalibrateCx(g, now);
      after16 = Prove(g, ProveSet::k16, cal::kProveBand);
      after25 = Prove(g, ProveSet::k25, cal::kDefaultProveAccuracy);
    }
  }
  const auto flag = [](bool on) { return on ? 1.0 : 0.0; };
  state.counters["before16_pct"] = before16.maxError;
  state.counters["before16_ok"] = flag(before16.passed);
  state.counters["before25_pct"] = before25.maxError;
  state.counters["before25_ok"] = flag(before25.passed);
  state.counters["linearized"] = flag(linearized);
  state.counters["after16_pct"] = after16.maxError;
  state.counters["after16_ok"] = flag(after16.passed);
  state.counters["after25_pct"] = after25.maxError;
  state.counters["after25_ok"] = flag(after25.passed);
}

// Arguments: bow in percent, clock.
BENCHMARK(CalibrationAccuracy)
    ->ArgsProduct({{3, 8}, {3, 6, 9, 12}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
