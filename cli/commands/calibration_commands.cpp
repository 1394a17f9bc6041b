// The calibration commands: the offline mathematics of the linearization, the controller's Block2
// evaluation, the sampling, the raw-mode calibration and the prove (standard input in, no
// controller, no port, no settings file).
#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calibration/block2_correction.h"
#include "calibration/calibration_constants.h"
#include "calibration/linearization.h"
#include "calibration/prove_judge.h"
#include "calibration/raw_calibration.h"
#include "calibration/sample_ring.h"
#include "calibration_input.h"
#include "calibration_json.h"
#include "cli_app.h"
#include "command_groups.h"
#include "controller/controller_types.h"
#include "proto/command_channel.h"

namespace kx7::cli {
namespace {

constexpr const char* kMathWhy = "reads its input from standard input and needs no controller";

constexpr const char* kLinearizeMathHelp =
    "Standard input: the 25 raw averages, one \"X Y\" line each (0..2047), in display order: target 0\n"
    "at the top left, then row by row from the top. The clock is read from target 0 as the window\n"
    "reads it. Prints Clock, Extents, Corners, Block2 and Result; with --json Result, Clock, Xlow,\n"
    "Xhigh, Ylow, Yhigh, Corners, BalancingFold, Normalization, Raw (grid order), Normalized,\n"
    "Corrections and Block2. Exit code 0 when it linearized, 1 when it failed (\"Linearization\n"
    "Failed\", \"Lin Failed [Corners = m ]\"), 5 when the input is not 25 such lines.";

constexpr const char* kCorrectMathHelp =
    "Standard input: lines \"x y\" of normalised coordinates (0..2047); each prints as \"cx cy\", the\n"
    "point the controller's Block2 correction makes of it. Exit code 0; 5 for a line that is not\n"
    "two such integers.";

constexpr const char* kSampleMathHelp =
    "Standard input: the \"X Y\" points of one touch, in order, as the window takes them while the\n"
    "finger holds the target; the lift follows the last line. Prints Outcome (short: the ring was\n"
    "not filled, noisy: the window's spread exceeds 20 counts, ok), X and Y. Exit code 0; 5 for a\n"
    "line that is not two integers from 0 to 2047.";

constexpr const char* kRawCalMathHelp =
    "Standard input: the averaged raw positions of the targets, \"X Y\" lines: lower left, upper\n"
    "right (and upper left with --targets 3). Prints Clock, Error (0, 1, 3), Flags, Swap, FlipBit1,\n"
    "FlipBit2, Rounds, OrientationCode, Xlow, Xhigh, Ylow, Yhigh (clamped), Message (the box text)\n"
    "and Block1 (the image with the results written in, with --block1). Exit code 0, 1 when the\n"
    "calibration failed, 5 when the input is not that many lines.";

constexpr const char* kProveMathHelp =
    "Standard input: the controller's bytes (tablet packets), or with --hex the bytes as hexadecimal\n"
    "pairs. Prints Result (\"Prove OK\", \"Prove Failed\", or \"Incomplete\" when the bytes end before\n"
    "the last target), Targets, Clock, Band, Settle, MaxError, TouchDowns, EarlyLifts, Failed and\n"
    "Points. Exit code 0 on \"Prove OK\", 1 otherwise, 4 when the DVT file cannot be written, 5 for\n"
    "input --hex cannot read.";

// Hexadecimal pairs without separators; `exact` bytes unless it is 0.
std::optional<std::vector<std::uint8_t>> ReadBlockHex(const std::string& text, std::size_t exact) {
  auto bytes = ParseHexPairs(text);
  if (!bytes || bytes->empty() || (exact != 0 && bytes->size() != exact)) return std::nullopt;
  return bytes;
}

std::optional<double> ReadAccuracy(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      value <= 0 || value > 100)
    return std::nullopt;
  return value;
}

void AddType(CLI::App& command, std::uint32_t& type, const std::string& help) {
  AddValue(
      command, "--type", "ID", help,
      [&type](const std::string& value) {
        const auto id = ReadControllerType(value);
        if (id) type = *id;
        return id.has_value();
      },
      "not a controller type id such as 32861 (Birch)");
}

int Rejected(CliApp& cli, const std::string& command, const std::string& problem) {
  cli.Err() << "kx7cli: " << command << ": " << problem << "\n";
  return kExitRejected;
}

int NeedsNoController(CliApp& cli, const std::string& command) {
  return cli.RefuseControllerOptions(command, kMathWhy);
}

// --- linearize-math ------------------------------------------------------------------------

void AddLinearizeMath(CliApp& cli) {
  auto suppress = std::make_shared<bool>(false);
  CLI::App& command = cli.AddCommand(
      "linearize-math", "the 25-point linearization of 25 raw averages (standard input)", kOfflineGroup);
  command.add_flag("--suppress-corner-optimization", *suppress,
                   "\"Suppress corner optimization\": no fold check, balancing or corner check");
  cli.AddJsonFlag(command, "print one JSON object");
  command.footer(kLinearizeMathHelp);
  cli.OnRun(command, [&cli, suppress] {
    if (const int refused = NeedsNoController(cli, "linearize-math"); refused != kExitDone) return refused;
    std::string problem;
    const auto pairs = ReadCoordinateLines(cli.In(), cal::kNodes, problem);
    if (!pairs) return Rejected(cli, "linearize-math", problem);
    NodePairs display{};
    for (std::size_t k = 0; k < display.size(); ++k) display[k] = (*pairs)[k];
    const LinearizationResult result = Linearize(display, *suppress);
    if (cli.Globals().json)
      PrintResult(cli.Out(), true, LinearizationJson(result));
    else
      cli.Out() << LinearizationText(result) << std::flush;
    return result.Ok() ? kExitDone : kExitFailed;
  });
}

// --- correct-math --------------------------------------------------------------------------

void AddCorrectMath(CliApp& cli) {
  auto block2 = std::make_shared<std::vector<std::uint8_t>>();
  CLI::App& command =
      cli.AddCommand("correct-math", "where the controller's Block2 correction puts normalised points", kOfflineGroup);
  AddValue(
      command, "--block2", "HEX", "the 50 bytes of Block2 as 100 hexadecimal digits (required)",
      [block2](const std::string& value) {
        const auto bytes = ReadBlockHex(value, cal::kBlock2Bytes);
        if (bytes) *block2 = *bytes;
        return bytes.has_value();
      },
      "not 100 hexadecimal digits")
      ->required();
  command.footer(kCorrectMathHelp);
  cli.OnRun(command, [&cli, block2] {
    if (const int refused = NeedsNoController(cli, "correct-math"); refused != kExitDone) return refused;
    if (cli.Globals().json) return cli.UsageError("correct-math prints lines; it takes no --json");
    std::string problem;
    const auto pairs = ReadCoordinateLines(cli.In(), 0, problem);
    if (!pairs) return Rejected(cli, "correct-math", problem);
    const Block2Correction correction(*block2);
    for (const auto& p : *pairs) {
      const auto c = correction.Correct(p[0], p[1]);
      cli.Out() << c[0] << ' ' << c[1] << '\n';
    }
    cli.Out().flush();
    return kExitDone;
  });
}

// --- sample-math ---------------------------------------------------------------------------

struct SampleRequest {
  SampleSet set = SampleSet::kLinearization;
  std::uint32_t type = 0;
  bool allowNoisy = false;
};

void AddSampleMath(CliApp& cli) {
  auto request = std::make_shared<SampleRequest>();
  CLI::App& command = cli.AddCommand("sample-math", "the sampling of one touch at a target", kOfflineGroup);
  AddValue(
      command, "--set", "lin|rawcal|quad",
      "the procedure whose ring, skip and window apply: linearization,\n"
      "raw-mode calibration or 4-point calibration (required)",
      [request](const std::string& value) {
        if (value == "lin")
          request->set = SampleSet::kLinearization;
        else if (value == "rawcal")
          request->set = SampleSet::kRawCalibration;
        else if (value == "quad")
          request->set = SampleSet::kQuad;
        else
          return false;
        return true;
      },
      "not lin, rawcal or quad")
      ->required();
  AddType(command, request->type, "the controller type whose row applies (default: the default row)");
  command.add_flag("--allow-noisy", request->allowNoisy, "\"Allow Noisy Sample\": no spread check");
  cli.AddJsonFlag(command, "print one JSON object");
  command.footer(kSampleMathHelp);
  cli.OnRun(command, [&cli, request] {
    if (const int refused = NeedsNoController(cli, "sample-math"); refused != kExitDone) return refused;
    std::string problem;
    const auto pairs = ReadCoordinateLines(cli.In(), 0, problem);
    if (!pairs) return Rejected(cli, "sample-math", problem);
    SampleRing ring(SamplingFor(request->set, request->type));
    for (const auto& p : *pairs) ring.Add(static_cast<int>(p[0]), static_cast<int>(p[1]));
    // The raw-mode calibration takes any window; the others turn a noisy one away.
    const bool rejectNoisy = request->set != SampleSet::kRawCalibration && !request->allowNoisy;
    PrintResult(cli.Out(), cli.Globals().json, SampleJson(ring.Lift(rejectNoisy)));
    return kExitDone;
  });
}

// --- rawcal-math ---------------------------------------------------------------------------

struct RawCalRequest {
  int inset = 256;
  int targets = 2;
  std::vector<std::uint8_t> block2;
  bool suppress = false;
  std::uint32_t type = 0;
  std::uint32_t penMode = kPenAuto;
  std::optional<std::vector<std::uint8_t>> block1;
};

void AddRawCalMath(CliApp& cli) {
  auto request = std::make_shared<RawCalRequest>();
  CLI::App& command =
      cli.AddCommand("rawcal-math", "the raw-mode calibration of two or three target averages", kOfflineGroup);
  AddValue(
      command, "--inset", "256|102|0", "the targets' inset E from the edges, 1/2048 units (required)",
      [request](const std::string& value) {
        const auto inset = ReadDecimal(value, 0, 256, 3);
        if (inset && (*inset == 256 || *inset == 102 || *inset == 0)) {
          request->inset = *inset;
          return true;
        }
        return false;
      },
      "not 256, 102 or 0")
      ->required();
  AddValue(
      command, "--targets", "2|3", "two targets, or three (required)",
      [request](const std::string& value) {
        request->targets = value == "3" ? 3 : 2;
        return value == "2" || value == "3";
      },
      "not 2 or 3")
      ->required();
  AddValue(
      command, "--block2", "HEX", "the controller's Block2 (100 hexadecimal digits; default zeros)",
      [request](const std::string& value) {
        const auto bytes = ReadBlockHex(value, cal::kBlock2Bytes);
        if (bytes) request->block2 = *bytes;
        return bytes.has_value();
      },
      "not 100 hexadecimal digits");
  command.add_flag("--suppress-corner-optimization", request->suppress, "\"Suppress corner optimization\"");
  AddType(command, request->type, "the controller type (corner optimisation, Block1 layout)");
  AddValue(
      command, "--pen-mode", "ID", "PenMode: 32853 Auto (default), 32854 Finger, 32859 Pen",
      [request](const std::string& value) {
        const auto id = ReadDecimal(value, 0, 99999, 5);
        if (!id || (*id != 32853 && *id != 32854 && *id != 32859)) return false;
        request->penMode = static_cast<std::uint32_t>(*id);
        return true;
      },
      "not 32853, 32854 or 32859");
  AddValue(
      command, "--block1", "HEX", "a Block1 image to write the results into (hexadecimal pairs)",
      [request](const std::string& value) {
        request->block1 = ReadBlockHex(value, 0);
        return request->block1.has_value();
      },
      "not hexadecimal pairs");
  cli.AddJsonFlag(command, "print one JSON object");
  command.footer(kRawCalMathHelp);
  cli.OnRun(command, [&cli, request] {
    if (const int refused = NeedsNoController(cli, "rawcal-math"); refused != kExitDone) return refused;
    std::string problem;
    const auto pairs = ReadCoordinateLines(cli.In(), static_cast<std::size_t>(request->targets), problem);
    if (!pairs) return Rejected(cli, "rawcal-math", problem);
    RawCalibrationInput input;
    input.inset = request->inset;
    input.targets = *pairs;
    input.correction = Block2Correction(request->block2);
    input.controllerType = request->type;
    input.optimizeCorners =
        !request->suppress && request->type != type::kResistive4Wire && request->type != type::kResistive4WireUsb;
    const RawCalibrationResult result = RawCalibrate(input);
    std::optional<std::vector<std::uint8_t>> block1;
    if (request->block1 && result.error == 0) {
      block1 = *request->block1;
      StoreRawCalibration(*block1, request->type, request->penMode, result);
    }
    PrintResult(cli.Out(), cli.Globals().json, RawCalibrationJson(result, block1));
    return result.error == 0 ? kExitDone : kExitFailed;
  });
}

// --- prove-math ----------------------------------------------------------------------------

struct ProveMathRequest {
  int targets = 16;
  std::uint32_t type = 0;
  std::optional<int> settle;
  std::optional<double> accuracy;
  std::optional<std::string> dvtFile;
  bool hex = false;
};

void AddProveMath(CliApp& cli) {
  auto request = std::make_shared<ProveMathRequest>();
  CLI::App& command = cli.AddCommand("prove-math", "the prove's judgement of the controller's bytes", kOfflineGroup);
  AddValue(
      command, "--targets", "4|16|25", "the target set (required)",
      [request](const std::string& value) {
        const auto n = ReadDecimal(value, 4, 25, 2);
        if (!n || (*n != 4 && *n != 16 && *n != 25)) return false;
        request->targets = *n;
        return true;
      },
      "not 4, 16 or 25")
      ->required();
  AddType(command, request->type, "the controller type whose settle count applies");
  AddValue(
      command, "--settle", "M", "the settle count instead of the type's",
      [request](const std::string& value) {
        request->settle = ReadDecimal(value, 0, 100000, 6);
        return request->settle.has_value();
      },
      "not a number from 0 to 100000");
  AddValue(
      command, "--accuracy", "P", "\"Prove Accuracy %\" of the 25 targets (default 1.09)",
      [request](const std::string& value) {
        request->accuracy = ReadAccuracy(value);
        return request->accuracy.has_value();
      },
      "not a percentage above 0 and at most 100");
  AddValue(
      command, "--dvt-file", "FILE", "with --targets 25: write the DVT data file",
      [request](const std::string& value) {
        request->dvtFile = value;
        return !value.empty();
      },
      "empty");
  command.add_flag("--hex", request->hex, "standard input holds the bytes as hexadecimal pairs");
  cli.AddJsonFlag(command, "print one JSON object");
  command.footer(kProveMathHelp);
  cli.OnRun(command, [&cli, request] {
    if (const int refused = NeedsNoController(cli, "prove-math"); refused != kExitDone) return refused;
    if (request->dvtFile && request->targets != 25) return cli.UsageError("--dvt-file is for --targets 25");
    ProveSettings settings;
    settings.set = request->targets == 4 ? ProveSet::k4 : request->targets == 25 ? ProveSet::k25 : ProveSet::k16;
    settings.settle = settings.set == ProveSet::k4 ? 0 : request->settle.value_or(ProveSettleFor(request->type));
    settings.band = settings.set == ProveSet::k25 ? request->accuracy.value_or(cal::kDefaultProveAccuracy) : cal::kProveBand;
    std::string input(std::istreambuf_iterator<char>(cli.In()), std::istreambuf_iterator<char>{});
    std::vector<std::uint8_t> bytes(input.begin(), input.end());
    if (request->hex) {
      const auto decoded = ReadHexBytes(input);
      if (!decoded) return Rejected(cli, "prove-math", "not hexadecimal pairs");
      bytes = *decoded;
    }
    ProveJudge judge(settings);
    for (const std::uint8_t byte : bytes) judge.Feed(byte);
    int code = judge.Finished() && judge.Passed() ? kExitDone : kExitFailed;
    if (request->dvtFile && judge.Finished()) {
      std::ofstream file(*request->dvtFile, std::ios::binary | std::ios::trunc);
      file << DvtFileText(judge);
      if (!file.flush()) {
        cli.Err() << cal::kCaption << ": " << cal::kFailedToOpenFile << "\n";
        code = kExitCannotOpen;
      }
    }
    PrintResult(cli.Out(), cli.Globals().json, ProveJson(judge));
    return code;
  });
}

}  // namespace

void AddCalibrationCommands(CliApp& cli) {
  AddLinearizeMath(cli);
  AddCorrectMath(cli);
  AddSampleMath(cli);
  AddRawCalMath(cli);
  AddProveMath(cli);
}

}  // namespace kx7::cli
