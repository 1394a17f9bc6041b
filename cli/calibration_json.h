// What the calibration commands print: the results of the linearization, the raw-mode calibration,
// the sampling and the prove as JSON objects with the documented keys, and the same facts as
// "Key: value" lines.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "calibration/linearization.h"
#include "calibration/prove_judge.h"
#include "calibration/raw_calibration.h"
#include "calibration/sample_ring.h"
#include "cli_output.h"

namespace kx7::cli {

Json PairsJson(const NodePairs& pairs);

// Result, Clock, Xlow, Xhigh, Ylow, Yhigh, Corners, BalancingFold, Normalization, Raw (grid
// order), Normalized, Corrections, Block2.
Json LinearizationJson(const LinearizationResult& result);
// "Clock: 6", "Extents: 197 1840 227 1767", "Corners: 1", "Block2: ...", "Result: OK".
std::string LinearizationText(const LinearizationResult& result);

// Clock, Error, Flags, Swap, FlipBit1, FlipBit2, Rounds, OrientationCode, Xlow..Yhigh, Message and
// Block1 (the image written, when there is one).
Json RawCalibrationJson(const RawCalibrationResult& result, const std::optional<std::vector<std::uint8_t>>& block1);

// Outcome ("short", "noisy", "ok"), X, Y.
Json SampleJson(const SampleRing::Average& average);

// Result ("Prove OK", "Prove Failed", "Incomplete"), Targets, Clock, Band, Settle, MaxError,
// TouchDowns, EarlyLifts, Failed, Points.
Json ProveJson(const ProveJudge& judge);
std::string ProveResultText(const ProveJudge& judge);

// Each key of the object as "Key: value": strings as they are (a line feed inside written as
// \n), everything else as JsonLine writes it.
std::string KeyValueLines(const Json& object);

// The object as --json asks, or as its lines.
void PrintResult(std::ostream& out, bool json, const Json& object);

}  // namespace kx7::cli
