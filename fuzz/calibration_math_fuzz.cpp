// The standard input of the linearization and prove mathematics: "X Y" lines read as kx7cli reads
// them and linearized both ways, and controller bytes (raw or as hexadecimal pairs) judged by each
// prove set. Nothing may crash, divide by zero or produce a table where the run failed.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "calibration/block2_correction.h"
#include "calibration/linearization.h"
#include "calibration/prove_judge.h"
#include "calibration_input.h"

namespace {

void Linearize(const std::string& text) {
  std::istringstream in(text);
  std::string problem;
  const auto pairs = kx7::cli::ReadCoordinateLines(in, 25, problem);
  if (!pairs) {
    if (problem.empty()) __builtin_trap();
    return;
  }
  kx7::NodePairs display{};
  for (std::size_t k = 0; k < display.size(); ++k) display[k] = (*pairs)[k];
  for (const bool suppress : {false, true}) {
    const kx7::LinearizationResult r = kx7::Linearize(display, suppress);
    if (r.Ok() != r.block2.has_value()) __builtin_trap();
    if (r.block2) {
      if (r.block2->size() != 50) __builtin_trap();
      // The table the controller would get evaluates everywhere.
      const kx7::Block2Correction correction(*r.block2);
      for (long long v = 0; v <= 2047; v += 89) correction.Correct(v, 2047 - v);
    }
  }
}

void Prove(const std::string& bytes) {
  for (const kx7::ProveSet set : {kx7::ProveSet::k16, kx7::ProveSet::k4, kx7::ProveSet::k25}) {
    kx7::ProveJudge judge({set, set == kx7::ProveSet::k4 ? 0 : 3, 1.5});
    for (const char byte : bytes) judge.Feed(static_cast<std::uint8_t>(byte));
    if (judge.Current() < 0 || judge.Current() >= judge.Targets()) __builtin_trap();
    for (const kx7::ProvePoint& p : judge.Points())
      if (p.ideal < 0 || p.ideal >= judge.Targets()) __builtin_trap();
    kx7::DvtFileText(judge);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      Linearize(rest);
      break;
    case 1:
      Prove(rest);
      break;
    default:
      if (const auto decoded = kx7::cli::ReadHexBytes(rest)) Prove(std::string(decoded->begin(), decoded->end()));
      break;
  }
  return 0;
}
