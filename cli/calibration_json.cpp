#include "calibration_json.h"

#include "calibration/calibration_constants.h"
#include "proto/command_channel.h"

namespace kx7::cli {

Json PairsJson(const NodePairs& pairs) {
  Json list = Json::array();
  for (const RawPair& p : pairs) list.push_back(Json::array({p[0], p[1]}));
  return list;
}

Json LinearizationJson(const LinearizationResult& r) {
  Json o = Json::object();
  o["Result"] = r.text;
  o["Clock"] = r.clock;
  o["Xlow"] = r.xLow;
  o["Xhigh"] = r.xHigh;
  o["Ylow"] = r.yLow;
  o["Yhigh"] = r.yHigh;
  o["Corners"] = r.corners ? Json(*r.corners) : Json(nullptr);
  o["BalancingFold"] = r.balancingFold;
  o["Normalization"] = Json::array({r.normalization[0], r.normalization[1], r.normalization[2], r.normalization[3]});
  o["Raw"] = PairsJson(r.raw);
  o["Normalized"] = r.normalized ? PairsJson(*r.normalized) : Json(nullptr);
  o["Corrections"] = r.corrections ? PairsJson(*r.corrections) : Json(nullptr);
  o["Block2"] = r.block2 ? Json(HexPairs(*r.block2)) : Json(nullptr);
  return o;
}

std::string LinearizationText(const LinearizationResult& r) {
  std::string text = "Clock: " + std::to_string(r.clock) + "\n";
  text += "Extents: " + std::to_string(r.xLow) + " " + std::to_string(r.xHigh) + " " + std::to_string(r.yLow) + " " +
          std::to_string(r.yHigh) + "\n";
  text += "Corners: " + (r.corners ? std::to_string(*r.corners) : std::string("null")) + "\n";
  text += "Block2: " + (r.block2 ? HexPairs(*r.block2) : std::string("null")) + "\n";
  text += "Result: " + r.text + "\n";
  return text;
}

Json RawCalibrationJson(const RawCalibrationResult& r, const std::optional<std::vector<std::uint8_t>>& block1) {
  Json o = Json::object();
  o["Clock"] = r.clock;
  o["Error"] = r.error;
  o["Flags"] = r.flags;
  o["Swap"] = r.swap ? 1 : 0;
  o["FlipBit1"] = r.flipBit1;
  o["FlipBit2"] = r.flipBit2;
  o["Rounds"] = r.rounds;
  o["OrientationCode"] = Block1OrientationCode(r.clock);
  o["Xlow"] = r.xLow;
  o["Xhigh"] = r.xHigh;
  o["Ylow"] = r.yLow;
  o["Yhigh"] = r.yHigh;
  o["Message"] = r.message;
  o["Block1"] = block1 ? Json(HexPairs(*block1)) : Json(nullptr);
  return o;
}

Json SampleJson(const SampleRing::Average& average) {
  Json o = Json::object();
  const bool ok = average.outcome == SampleRing::Outcome::kOk;
  o["Outcome"] = ok ? "ok" : average.outcome == SampleRing::Outcome::kNoisy ? "noisy" : "short";
  o["X"] = ok ? Json(average.x) : Json(nullptr);
  o["Y"] = ok ? Json(average.y) : Json(nullptr);
  return o;
}

std::string ProveResultText(const ProveJudge& judge) {
  if (!judge.Finished()) return "Incomplete";
  return judge.Passed() ? cal::kProveOk : cal::kProveFailed;
}

Json ProveJson(const ProveJudge& judge) {
  const bool dvt = judge.Settings().set == ProveSet::k25;
  Json o = Json::object();
  o["Result"] = ProveResultText(judge);
  o["Targets"] = judge.Targets();
  o["Clock"] = judge.Clock();
  o["Band"] = judge.Settings().band;
  o["Settle"] = judge.Settings().set == ProveSet::k4 ? 0 : judge.Settings().settle;
  o["MaxError"] = judge.MaxError();
  o["TouchDowns"] = judge.TouchDowns();
  o["EarlyLifts"] = judge.EarlyLifts();
  Json failed = Json::array();
  for (const auto& f : judge.Failed()) failed.push_back(dvt ? Json::array({f[0], f[1]}) : Json(f[0]));
  o["Failed"] = std::move(failed);
  Json points = Json::array();
  for (const ProvePoint& p : judge.Points()) {
    Json point = Json::object();
    point["Display"] = p.display;
    if (dvt) point["Touch"] = p.touch;
    point["Ideal"] = p.ideal;
    point["X"] = p.x;
    point["Y"] = p.y;
    point["ErrX"] = p.errorX;
    point["ErrY"] = p.errorY;
    point["Pass"] = p.pass;
    points.push_back(std::move(point));
  }
  o["Points"] = std::move(points);
  return o;
}

std::string KeyValueLines(const Json& object) {
  std::string text;
  for (const auto& [key, value] : object.items()) {
    text += key + ": ";
    if (value.is_string()) {
      for (const char c : value.get<std::string>()) {
        if (c == '\n')
          text += "\\n";
        else
          text += c;
      }
    } else {
      text += JsonLine(value);
    }
    text += '\n';
  }
  return text;
}

void PrintResult(std::ostream& out, bool json, const Json& object) {
  if (json) {
    out << JsonLine(object) << '\n';
    out.flush();
    return;
  }
  out << KeyValueLines(object);
  out.flush();
}

}  // namespace kx7::cli
